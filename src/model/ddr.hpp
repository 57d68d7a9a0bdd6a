// The generations of memory module the tool knows, and the data areas of their EEPROMs.
//
// Sizes and key bytes: JEDEC SPD layouts as public decoders describe them (Linux i2c-tools
// decode-dimms for DDR3 and DDR4, the ee1004 and spd5118 drivers for the DDR4 and DDR5 EEPROMs):
// the SPD area is 256 bytes on DDR3, 512 on DDR4 (two pages of 256) and 1024 on DDR5 (the SPD
// hub's 16 blocks of 64); byte 2 of every SPD, the key byte, names the memory type.
#pragma once

#include <array>
#include <chrono>
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

// The self-timed write cycle of an SPD EEPROM (tWR): after a byte write, the device takes no
// other for at most this long. 5 ms in the data sheets of each kind: the 24C02-class EEPROMs of
// DDR3 modules (Samsung S524L50X51, for one), JEDEC's EE1004-v of DDR4 and the SPD5118 hub of DDR5.
inline constexpr std::chrono::milliseconds kEepromWriteCycle{5};

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

// The memory types byte 2 names, from JEDEC JESD21-C's SPD key byte table (the values decode-dimms
// of i2c-tools and illumos libjedec, libjedec.h spd_dram_type_t, list; 0x00 and 0x0D are reserved,
// values above 0x15 are not assigned). `area`: the generation whose SPD area holds such an SPD,
// if any: the DDR5 SPD hub also carries the SPD of LPDDR5 and LPDDR5X CAMM2 modules. The tool
// decodes DDR3, DDR4 and DDR5 alone; the others differ in layout (LPDDR5 and LPDDR5X follow
// JESD406-5, not DDR5's JESD400-5).
struct MemoryType {
  std::uint8_t key;
  std::string_view name;
  std::optional<DeviceType> area;
};

inline constexpr std::array<MemoryType, 20> kMemoryTypes{{
    {0x01, "FPM DRAM", std::nullopt},
    {0x02, "EDO DRAM", std::nullopt},
    {0x03, "Pipelined Nibble", std::nullopt},
    {0x04, "SDR SDRAM", std::nullopt},
    {0x05, "Multiplexed ROM", std::nullopt},
    {0x06, "DDR SGRAM", std::nullopt},
    {0x07, "DDR SDRAM", std::nullopt},
    {0x08, "DDR2", std::nullopt},
    {0x09, "DDR2 FB-DIMM", std::nullopt},
    {0x0A, "DDR2 FB-DIMM Probe", std::nullopt},
    {0x0B, "DDR3", DeviceType::DDR3},
    {0x0C, "DDR4", DeviceType::DDR4},
    {0x0E, "DDR4E", std::nullopt},
    {0x0F, "LPDDR3", std::nullopt},
    {0x10, "LPDDR4", std::nullopt},
    {0x11, "LPDDR4X", std::nullopt},
    {0x12, "DDR5", DeviceType::DDR5},
    {0x13, "LPDDR5", DeviceType::DDR5},
    {0x14, "DDR5 NVDIMM-P", std::nullopt},
    {0x15, "LPDDR5X", DeviceType::DDR5},
}};

// The memory type a key byte names, or nullptr when it names none.
constexpr const MemoryType* memory_type(std::uint8_t key) {
  for (const auto& t : kMemoryTypes) {
    if (t.key == key) return &t;
  }
  return nullptr;
}

// Each generation's key byte is in the table, its SPD in its own area. (Compared by value: a
// pointer compared in a constant expression is refused under the sanitizers.)
static_assert([] {
  for (const auto g : kGenerations) {
    bool found = false;
    for (const auto& t : kMemoryTypes) found = found || (t.key == key_byte(g) && t.area == g);
    if (!found) return false;
  }
  return true;
}());

// The memory types whose key byte the tool knows but whose SPD it does not decode.
constexpr std::optional<std::string_view> other_memory_type(std::uint8_t key) {
  if (generation_of_key(key)) return std::nullopt;
  if (const auto* t = memory_type(key)) return t->name;
  return std::nullopt;
}

constexpr std::optional<DeviceType> generation_of_size(std::size_t size) {
  for (const auto g : kGenerations) {
    if (spd_size(g) == size) return g;
  }
  return std::nullopt;
}

}  // namespace dimmwand
