// The SPD EEPROMs of the modules installed in this computer, as the kernel's own drivers show
// them. On Linux each device that ee1004 (DDR4), spd5118 (DDR5), at24 or eeprom (DDR3) has taken
// has a file ROOT/bus/i2c/drivers/<driver>/<bus>-<address>/eeprom; ROOT is /sys but for tests.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand {

// The drivers that show a module's SPD, in the order their folders are searched.
inline constexpr std::array<std::string_view, 4> kSpdDrivers{"ee1004", "spd5118", "at24", "eeprom"};

// SPD EEPROMs answer at 0x50-0x57, one address per memory slot of a bus.
inline constexpr unsigned kFirstSpdAddress = 0x50;
inline constexpr unsigned kLastSpdAddress = 0x57;

struct InstalledEeprom {
  std::string driver;
  unsigned bus = 0;
  unsigned address = 0;
  std::string path;                                             // of the eeprom file
  std::expected<std::vector<std::uint8_t>, std::string> bytes;  // at most the limit, or the system's message
};

struct InstalledEeproms {
  std::string drivers_folder;            // ROOT/bus/i2c/drivers
  std::vector<std::string> drivers;      // the SPD drivers whose folders exist
  std::vector<InstalledEeprom> eeproms;  // by bus, then address
};

// What the drivers under `root` show, each file read up to `limit` bytes; nullopt where the
// system has no such files (Windows, where reading them needs a kernel driver of our own).
std::optional<InstalledEeproms> installed_eeproms(const std::string& root, std::size_t limit);

}  // namespace dimmwand
