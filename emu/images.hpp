// The emulator's module images: the four areas it holds, and a plausible default for each.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/ddr.hpp"

namespace dimmwand::emu {

struct Areas {
  std::vector<std::uint8_t> spd3;  // DDR3 SPD, 256 bytes
  std::vector<std::uint8_t> spd4;  // DDR4 SPD, 512 bytes
  std::vector<std::uint8_t> spd5;  // DDR5 SPD, 1024 bytes
  std::vector<std::uint8_t> reg5;  // DDR5 REG, 128 bytes
};

// An area by its short name: spd3, spd4, spd5 or reg5.
struct AreaName {
  std::string_view name;
  std::vector<std::uint8_t> Areas::* member;
  std::size_t size;
};
inline constexpr AreaName kAreaNames[] = {
    {"spd3", &Areas::spd3, spd_size(DeviceType::DDR3)},
    {"spd4", &Areas::spd4, spd_size(DeviceType::DDR4)},
    {"spd5", &Areas::spd5, spd_size(DeviceType::DDR5)},
    {"reg5", &Areas::reg5, kRegAreaSize},
};

// A DDR3 UDIMM, a DDR4 UDIMM and a DDR5 UDIMM with valid checksums, and a DDR5 hub register file.
Areas default_areas();

}  // namespace dimmwand::emu
