// Converters of the hexadecimal command-line arguments (addresses, byte values, codes).
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace dimmwand {

// Accepts surrounding Unicode white space, one "0x"/"0X" prefix, one "+" and any number of
// hexadecimal digits whose value fits. Every rejection carries "无效十六进制: {text}" with the
// text exactly as typed.
std::expected<std::uint16_t, std::string> parse_hex_u16(std::string_view text);
std::expected<std::uint8_t, std::string> parse_hex_u8(std::string_view text);

}  // namespace dimmwand
