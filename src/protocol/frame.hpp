// The 9-byte request frame and its CRC-8/ROHC checksum, encoded by the tool and decoded by the
// emulator with the same definitions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace dimmwand {

enum class CommandCode : std::uint8_t {
  ReadByte = 0x01,
  WriteByte = 0x02,
  WriteProtect = 0x03,
  ReadSpd = 0x05,
  ReadReg = 0x06,
  WriteRegByte = 0x07,
};

struct RequestFrame {
  CommandCode command;
  std::uint8_t device;    // the DDR generation number: 3, 4 or 5
  std::uint16_t address;  // byte address or position; otherwise 0
  std::uint16_t value;    // data byte in bits 7..0, or the 16-bit protection code; otherwise 0
};

inline constexpr std::size_t kFrameSize = 9;
inline constexpr std::uint8_t kFrameHeader0 = 0xAA;
inline constexpr std::uint8_t kFrameHeader1 = 0x55;

using EncodedFrame = std::array<std::uint8_t, kFrameSize>;

// CRC-8/ROHC (poly 0x07 reflected to 0xE0, init 0xFF, no final XOR) from a table built at
// compile time.
inline constexpr std::array<std::uint8_t, 256> kCrc8RohcTable = [] {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1u) ? (r >> 1) ^ 0xE0u : r >> 1;
    table[i] = static_cast<std::uint8_t>(r);
  }
  return table;
}();

constexpr std::uint8_t crc8_rohc(std::span<const std::uint8_t> bytes) {
  std::uint8_t r = 0xFF;
  for (const std::uint8_t b : bytes) r = kCrc8RohcTable[r ^ b];
  return r;
}

// The checksum of frame bytes 2 to 7.
constexpr std::uint8_t frame_checksum(std::span<const std::uint8_t, 6> bytes) { return crc8_rohc(bytes); }

constexpr EncodedFrame encode_frame(const RequestFrame& f) {
  EncodedFrame out{kFrameHeader0,
                   kFrameHeader1,
                   static_cast<std::uint8_t>(f.command),
                   f.device,
                   static_cast<std::uint8_t>(f.address >> 8),
                   static_cast<std::uint8_t>(f.address & 0xFF),
                   static_cast<std::uint8_t>(f.value >> 8),
                   static_cast<std::uint8_t>(f.value & 0xFF),
                   0};
  out[8] = frame_checksum(std::span<const std::uint8_t, 6>(out.data() + 2, 6));
  return out;
}

// The request in nine received bytes, as encode_frame made it; nullopt when the header or the
// checksum is wrong. The command code is kept as it came: an unknown one is the receiver's to
// answer (the programmer ignores it).
constexpr std::optional<RequestFrame> decode_frame(std::span<const std::uint8_t, kFrameSize> bytes) {
  if (bytes[0] != kFrameHeader0 || bytes[1] != kFrameHeader1) return std::nullopt;
  if (bytes[8] != frame_checksum(bytes.subspan<2, 6>())) return std::nullopt;
  return RequestFrame{static_cast<CommandCode>(bytes[2]), bytes[3],
                      static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]),
                      static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7])};
}

}  // namespace dimmwand
