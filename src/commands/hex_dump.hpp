// The dump format: 16 bytes a line after a six-digit offset.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace dimmwand {

// "000010  10 11 12": upper-case digits, no trailing space, a short last line left short.
std::string format_hex_dump(std::span<const std::uint8_t> bytes);

}  // namespace dimmwand
