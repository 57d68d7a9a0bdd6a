#include "image/text_chars.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <initializer_list>

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

}  // namespace

std::optional<std::string> as_text(std::span<const std::uint8_t> file) {
  const auto starts = [&](std::initializer_list<std::uint8_t> mark) {
    return file.size() >= mark.size() && std::equal(mark.begin(), mark.end(), file.begin());
  };
  if (starts({0xFF, 0xFE})) return from_utf16(file.subspan(2), false, false);
  if (starts({0xFE, 0xFF})) return from_utf16(file.subspan(2), true, false);
  const auto body = file.subspan(starts({0xEF, 0xBB, 0xBF}) ? 3 : 0);
  const std::string_view s(reinterpret_cast<const char*>(body.data()), body.size());
  if (std::all_of(s.begin(), s.end(), [](char c) { return allowed_in_text(static_cast<unsigned char>(c)); })) {
    if (utf8_but_for_a_cut_end(s)) return std::string(s);
    return std::nullopt;
  }
  // Without a mark, UTF-16 shows itself by ASCII lines: a zero byte in every unit, and a line break.
  for (const bool big_endian : {false, true}) {
    if (auto t = from_utf16(file, big_endian, true); t && t->find('\n') != std::string::npos) return t;
  }
  return std::nullopt;
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
