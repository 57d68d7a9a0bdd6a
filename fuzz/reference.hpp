// Plain reference versions of what the fuzz targets check, written independently of the code
// under test: slow and obvious on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::fuzz {

inline bool white_space(char32_t c) {
  static const std::vector<char32_t> set{0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,   0x1680,
                                         0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                                         0x2009, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (const char32_t w : set) {
    if (w == c) return true;
  }
  return false;
}

// Code points of text already known to be valid UTF-8.
inline std::u32string code_points(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
    for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
    out += c;
    i += static_cast<std::size_t>(n);
  }
  return out;
}

inline std::u32string trimmed(std::u32string s) {
  while (!s.empty() && white_space(s.front())) s.erase(0, 1);
  while (!s.empty() && white_space(s.back())) s.pop_back();
  return s;
}

inline bool hex_digit(char32_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

inline unsigned digit_value(char32_t c) {
  return c <= '9' ? static_cast<unsigned>(c - '0') : (static_cast<unsigned>(c) | 0x20u) - 'a' + 10;
}

// The value of a hexadecimal argument, or nothing when it is rejected.
inline std::optional<unsigned> hex_argument(std::string_view valid_utf8, unsigned max) {
  std::u32string d = trimmed(code_points(valid_utf8));
  if (d.size() >= 2 && d[0] == '0' && (d[1] == 'x' || d[1] == 'X')) d.erase(0, 2);
  if (d.empty() || d == U"+" || d == U"-") return std::nullopt;
  if (d[0] == '+') d.erase(0, 1);
  for (const char32_t c : d) {
    if (!hex_digit(c)) return std::nullopt;
  }
  while (d.size() > 1 && d[0] == '0') d.erase(0, 1);
  if (d.size() > 8) return std::nullopt;
  unsigned long long v = 0;
  for (const char32_t c : d) v = v * 16 + digit_value(c);
  if (v > max) return std::nullopt;
  return static_cast<unsigned>(v);
}

// The hexadecimal digits of an answer taken two by two.
inline std::vector<std::uint8_t> answer_bytes(std::string_view answer) {
  std::string digits;
  for (const char c : answer) {
    if (hex_digit(static_cast<unsigned char>(c))) digits += c;
  }
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return out;
}

}  // namespace dimmwand::fuzz
