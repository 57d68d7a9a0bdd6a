// The JEDEC SPD checksum: CRC-16 with polynomial 0x1021, initial value 0, not reflected, no
// final XOR (CRC-16/XMODEM); stored low byte first. XMP 3.0 and EXPO blocks use it too.
#pragma once

#include <cstdint>
#include <span>

namespace dimmwand::model {

constexpr std::uint16_t crc16(std::span<const std::uint8_t> bytes) {
  std::uint16_t crc = 0;
  for (const std::uint8_t b : bytes) {
    crc = static_cast<std::uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

}  // namespace dimmwand::model
