#include "image/text_chars.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "text/utf8.hpp"

namespace dimmwand::image {

namespace {

bool allowed_in_text(char32_t c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// UTF-16 code units as UTF-8 text; nullopt at a control character or an unpaired surrogate. A
// last unit or surrogate pair left incomplete is taken as cut off.
std::optional<std::string> from_utf16(std::span<const std::uint8_t> bytes, bool big_endian, bool ascii_only) {
  const auto unit = [&](std::size_t k) {
    const std::uint8_t first = bytes[2 * k];
    const std::uint8_t second = bytes[2 * k + 1];
    return static_cast<char32_t>(big_endian ? first << 8 | second : second << 8 | first);
  };
  std::string out;
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t c = unit(i);
    if (ascii_only && c >= 0x80) return std::nullopt;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == units) break;
      const char32_t low = unit(++i);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return std::nullopt;
    }
    if (!allowed_in_text(c)) return std::nullopt;
    text::append_utf8(out, c);
  }
  return out;
}

// Valid UTF-8 but perhaps for a last character cut short: its lead byte and continuations only.
bool utf8_but_for_a_cut_end(std::string_view s) {
  if (text::is_valid_utf8(s)) return true;
  std::size_t lead = s.size();
  while (lead > 0 && s.size() - lead < 3 && (static_cast<unsigned char>(s[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return false;
  const auto b = static_cast<unsigned char>(s[--lead]);
  const std::size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  return s.size() - lead < length && text::is_valid_utf8(s.substr(0, lead));
}

// UTF-32 code units as UTF-8 text; nullopt at a control character or a value that is no
// character. A last unit left incomplete is taken as cut off.
std::optional<std::string> from_utf32(std::span<const std::uint8_t> bytes, bool big_endian, bool ascii_only) {
  std::string out;
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
    char32_t c = 0;
    for (std::size_t k = 0; k < 4; ++k) c = c << 8 | bytes[at + (big_endian ? k : 3 - k)];
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || !allowed_in_text(c)) return std::nullopt;
    if (ascii_only && c >= 0x80) return std::nullopt;
    text::append_utf8(out, c);
  }
  return out;
}

bool starts_with(std::span<const std::uint8_t> file, std::initializer_list<std::uint8_t> mark) {
  return file.size() >= mark.size() && std::equal(mark.begin(), mark.end(), file.begin());
}

// UTF-8, with or without its mark.
std::optional<std::string> from_utf8(std::span<const std::uint8_t> file) {
  const auto body = file.subspan(starts_with(file, {0xEF, 0xBB, 0xBF}) ? 3 : 0);
  const std::string_view s(reinterpret_cast<const char*>(body.data()), body.size());
  if (std::all_of(s.begin(), s.end(), [](char c) { return allowed_in_text(static_cast<unsigned char>(c)); }) &&
      utf8_but_for_a_cut_end(s)) {
    return std::string(s);
  }
  return std::nullopt;
}

// The text of a file that is text as it stands.
std::optional<std::string> decoded(std::span<const std::uint8_t> file) {
  if (starts_with(file, {0xFF, 0xFE, 0x00, 0x00})) return from_utf32(file.subspan(4), false, false);
  if (starts_with(file, {0x00, 0x00, 0xFE, 0xFF})) return from_utf32(file.subspan(4), true, false);
  if (starts_with(file, {0xFF, 0xFE})) return from_utf16(file.subspan(2), false, false);
  if (starts_with(file, {0xFE, 0xFF})) return from_utf16(file.subspan(2), true, false);
  if (auto text = from_utf8(file)) return text;
  // Without a mark, UTF-16 and UTF-32 show themselves by ASCII lines: zero bytes in every unit,
  // and a line break.
  for (const bool big_endian : {false, true}) {
    if (auto t = from_utf16(file, big_endian, true); t && t->find('\n') != std::string::npos) return t;
    if (auto t = from_utf32(file, big_endian, true); t && t->find('\n') != std::string::npos) return t;
  }
  return std::nullopt;
}

// An 8-bit text with a stray NUL byte or a few (a C string's end written with it, a tool's
// padding) is still a text: the file without them, when they are at most one in 64 of its other
// bytes. Every SPD and REG image is far from that: its reserved bytes are zero by the dozen.
std::optional<std::vector<std::uint8_t>> without_stray_nuls(std::span<const std::uint8_t> file) {
  const auto nuls = static_cast<std::size_t>(std::count(file.begin(), file.end(), std::uint8_t{0}));
  if (nuls == 0 || nuls == file.size() || nuls > std::max<std::size_t>(1, (file.size() - nuls) / 64)) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> rest;
  rest.reserve(file.size() - nuls);
  std::copy_if(file.begin(), file.end(), std::back_inserter(rest), [](std::uint8_t b) { return b != 0; });
  return rest;
}

// One line in a double-byte code page (GBK, Big5, Shift-JIS's kanji, EUC): every byte above
// 0x7F a lead byte 0x81-0xFE followed by a trail byte 0x40-0xFE other than 0x7F (a lead byte
// last is taken as cut off), and ASCII characters among them (spaces, digits, a name). A blank
// image's 0xFF bytes are no lead bytes; a fill pattern of high bytes holds no ASCII.
bool double_byte_line(std::span<const std::uint8_t> bytes) {
  if (std::none_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; })) return false;
  bool wide = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) continue;
    if (b == 0x80 || b == 0xFF) return false;
    if (i + 1 == bytes.size()) break;
    const std::uint8_t trail = bytes[++i];
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
    wide = true;
  }
  return wide;
}

}  // namespace

std::optional<std::string> as_text(std::span<const std::uint8_t> file) {
  if (auto text = decoded(file)) return text;
  if (const auto rest = without_stray_nuls(file)) return from_utf8(*rest);
  return std::nullopt;
}

bool local_code_page_text(std::span<const std::uint8_t> file) {
  if (as_text(file)) return false;
  const auto rest = without_stray_nuls(file);
  const std::span<const std::uint8_t> bytes = rest ? std::span<const std::uint8_t>(*rest) : file;
  const auto control = [](std::uint8_t b) { return !allowed_in_text(b); };
  if (bytes.empty() || std::any_of(bytes.begin(), bytes.end(), control)) return false;
  const bool lines = std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == '\n' || b == '\r'; });
  return lines || double_byte_line(bytes);
}

bool is_line_space(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r'; }

int hex_value(char c) { return text::hex_digit_value(static_cast<unsigned char>(c)); }

std::size_t hex_run(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && hex_value(s[n]) >= 0) ++n;
  return n;
}

std::expected<void, std::string> append_hex(std::string_view digits, std::vector<std::uint8_t>& out) {
  if (digits.empty() || digits.size() % 2 != 0 || hex_run(digits) != digits.size()) {
    return std::unexpected(fmt::format("“{}”不是十六进制字节", digits));
  }
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(hex_value(digits[i]) << 4 | hex_value(digits[i + 1])));
  }
  return {};
}

std::vector<std::string_view> split(std::string_view s, std::string_view separators) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t start = s.find_first_not_of(separators, at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(s.find_first_of(separators, start), s.size());
    parts.push_back(s.substr(start, end - start));
    at = end;
  }
  return parts;
}

}  // namespace dimmwand::image
