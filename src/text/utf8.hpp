// UTF-8 helpers shared by the command line and the answer decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dimmwand::text {

// True when `s` is well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool is_valid_utf8(std::string_view s);

// Decodes bytes as UTF-8, replacing each maximal invalid subpart with U+FFFD.
std::string decode_utf8_lossy(std::span<const std::uint8_t> bytes);

// True for the code points with the Unicode White_Space property.
bool is_white_space(char32_t c);

// Removes White_Space characters from both ends of valid UTF-8 text; inner ones stay.
std::string_view trim_white_space(std::string_view s);

// Appends the UTF-8 form of `c`; a surrogate gets its three-byte form (as WTF-8 wants).
void append_utf8(std::string& out, char32_t c);

// The value of an ASCII hexadecimal digit (either case), or -1.
constexpr int hex_digit_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Terminal columns that valid UTF-8 text takes: East Asian wide and full-width characters count two.
std::size_t display_width(std::string_view s);

}  // namespace dimmwand::text
