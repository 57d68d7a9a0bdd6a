// The generations of memory module the tool knows, and the data areas of their EEPROMs.
//
// Sizes and key bytes: JEDEC SPD layouts as public decoders describe them (Linux i2c-tools
// decode-dimms for DDR3 and DDR4, the ee1004 and spd5118 drivers for the DDR4 and DDR5 EEPROMs):
// the SPD area is 256 bytes on DDR3, 512 on DDR4 (two pages of 256) and 1024 on DDR5 (the SPD
// hub's 16 blocks of 64); byte 2 of every SPD, the key byte, names the memory type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/spd_bus.hpp"

namespace dimmwand {

// The DDR generation; the value is the generation number sent in every request.
enum class DeviceType : std::uint8_t { DDR3 = 3, DDR4 = 4, DDR5 = 5 };

// The data area of a module: the SPD EEPROM, or (DDR5 only) the SPD hub's register file.
enum class DataMode { Spd, Reg };

constexpr std::uint8_t generation(DeviceType d) { return static_cast<std::uint8_t>(d); }

inline constexpr std::array<DeviceType, 3> kGenerations{DeviceType::DDR3, DeviceType::DDR4, DeviceType::DDR5};

// Bytes in the SPD area of a generation.
constexpr std::size_t spd_size(DeviceType g) {
  switch (g) {
    case DeviceType::DDR3:
      return bus::kDdr3SpdSize;
    case DeviceType::DDR4:
      return std::size_t{bus::kDdr4PageSize} * bus::kDdr4PageCount;
    case DeviceType::DDR5:
      return std::size_t{bus::kHubPageSize} * bus::kHubPageCount;
  }
  return 0;
}

// The supply voltage JEDEC fixes for a generation, in millivolts: what every board gives its
// modules without XMP or EXPO (JESD79-3 1.5 V, JESD79-4 1.2 V, JESD79-5 1.1 V).
constexpr unsigned jedec_millivolts(DeviceType g) {
  switch (g) {
    case DeviceType::DDR3:
      return 1500;
    case DeviceType::DDR4:
      return 1200;
    case DeviceType::DDR5:
      return 1100;
  }
  return 0;
}

// Bytes in the DDR5 REG area: the hub's registers MR0 to MR127.
inline constexpr std::size_t kRegAreaSize = bus::kHubRegisterCount;

// Byte 2 of an SPD, which names the memory type.
inline constexpr std::size_t kKeyByte = 2;

// The key byte of each generation.
constexpr std::uint8_t key_byte(DeviceType g) {
  switch (g) {
    case DeviceType::DDR3:
      return 0x0B;
    case DeviceType::DDR4:
      return 0x0C;
    case DeviceType::DDR5:
      return 0x12;
  }
  return 0;
}

constexpr std::optional<DeviceType> generation_of_key(std::uint8_t key) {
  for (const auto g : kGenerations) {
    if (key_byte(g) == key) return g;
  }
  return std::nullopt;
}

// Memory types whose key byte the tool knows but whose SPD it does not decode: their layouts
// differ (LPDDR5 and LPDDR5X follow JESD406-5, not DDR5's JESD400-5). Key bytes as illumos
// libjedec (libjedec.h, spd_dram_type_t) and decode-dimms list them.
constexpr std::optional<std::string_view> other_memory_type(std::uint8_t key) {
  switch (key) {
    case 0x0E:
      return "DDR4E";
    case 0x0F:
      return "LPDDR3";
    case 0x10:
      return "LPDDR4";
    case 0x11:
      return "LPDDR4X";
    case 0x13:
      return "LPDDR5";
    case 0x14:
      return "DDR5 NVDIMM-P";
    case 0x15:
      return "LPDDR5X";
    default:
      return std::nullopt;
  }
}

constexpr std::optional<DeviceType> generation_of_size(std::size_t size) {
  for (const auto g : kGenerations) {
    if (spd_size(g) == size) return g;
  }
  return std::nullopt;
}

}  // namespace dimmwand
