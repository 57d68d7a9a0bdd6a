#include "text/utf8.hpp"

#include <array>

namespace dimmwand::text {
namespace {

struct Decoded {
  char32_t code_point;
  std::size_t length;  // bytes consumed; for an invalid sequence, the maximal invalid subpart
  bool valid;
};

// Decodes one sequence at the start of `s` (non-empty), following the well-formed byte
// table of Unicode chapter 3 so that the invalid subparts come out as the standard says.
Decoded decode_one(std::span<const std::uint8_t> s) {
  const std::uint8_t b0 = s[0];
  if (b0 < 0x80) return {b0, 1, true};
  std::size_t need = 0;
  std::uint8_t lo = 0x80;
  std::uint8_t hi = 0xBF;
  char32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return {0xFFFD, 1, false};
  }
  std::size_t i = 1;
  for (; i <= need; ++i) {
    if (i >= s.size()) return {0xFFFD, i, false};
    const std::uint8_t b = s[i];
    const std::uint8_t min = (i == 1) ? lo : std::uint8_t{0x80};
    const std::uint8_t max = (i == 1) ? hi : std::uint8_t{0xBF};
    if (b < min || b > max) return {0xFFFD, i, false};
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return {cp, i, true};
}

std::span<const std::uint8_t> as_bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The last code point of valid UTF-8 text and where it starts.
std::pair<char32_t, std::size_t> last_code_point(std::string_view s) {
  std::size_t start = s.size() - 1;
  while (start > 0 && (static_cast<std::uint8_t>(s[start]) & 0xC0) == 0x80) --start;
  return {decode_one(as_bytes(s.substr(start))).code_point, start};
}

}  // namespace

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool is_valid_utf8(std::string_view s) {
  auto bytes = as_bytes(s);
  while (!bytes.empty()) {
    const Decoded d = decode_one(bytes);
    if (!d.valid) return false;
    bytes = bytes.subspan(d.length);
  }
  return true;
}

std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const Decoded d = decode_one(bytes);
    if (d.valid) {
      out.append(reinterpret_cast<const char*>(bytes.data()), d.length);
    } else {
      append_utf8(out, 0xFFFD);
    }
    bytes = bytes.subspan(d.length);
  }
  return out;
}

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string_view trim_white_space(std::string_view s) {
  while (!s.empty()) {
    const Decoded d = decode_one(as_bytes(s));
    if (!d.valid || !is_white_space(d.code_point)) break;
    s.remove_prefix(d.length);
  }
  while (!s.empty()) {
    const auto [cp, start] = last_code_point(s);
    if (!is_white_space(cp)) break;
    s = s.substr(0, start);
  }
  return s;
}

std::size_t display_width(std::string_view s) {
  static constexpr std::array<std::pair<char32_t, char32_t>, 11> kWide{{
      {0x1100, 0x115F},
      {0x2E80, 0x303E},
      {0x3041, 0x33FF},
      {0x3400, 0x4DBF},
      {0x4E00, 0x9FFF},
      {0xA000, 0xA4CF},
      {0xAC00, 0xD7A3},
      {0xF900, 0xFAFF},
      {0xFE30, 0xFE4F},
      {0xFF00, 0xFF60},
      {0xFFE0, 0xFFE6},
  }};
  std::size_t width = 0;
  auto bytes = as_bytes(s);
  while (!bytes.empty()) {
    const Decoded d = decode_one(bytes);
    bool wide = d.code_point >= 0x20000 && d.code_point <= 0x3FFFD;
    for (const auto& [lo, hi] : kWide) wide = wide || (d.code_point >= lo && d.code_point <= hi);
    width += wide ? 2 : 1;
    bytes = bytes.subspan(d.length);
  }
  return width;
}

}  // namespace dimmwand::text
