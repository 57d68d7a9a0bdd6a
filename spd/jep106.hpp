// JEDEC JEP106 manufacturer codes as SPD stores them: a continuation count (the bank) and a
// code, each with an odd-parity bit 7.
#pragma once

#include <cstdint>
#include <string>

namespace dimmwand::spd {

// "Micron (bank 1, 0x2C)"; a maker not in the table shows as "未知 (bank 7, 0x13)", a blank
// field as "未记录".
std::string manufacturer(std::uint8_t continuation, std::uint8_t code);

}  // namespace dimmwand::spd
