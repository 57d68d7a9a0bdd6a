// The kernel's SPD files, found through the drivers' folders in sysfs.
#include <algorithm>
#include <filesystem>

#include "platform/image_file.hpp"
#include "platform/installed_spd.hpp"
#include "text/utf8.hpp"

namespace dimmwand {
namespace {

namespace fs = std::filesystem;

// "3-0051" as the bus 3 and the address 0x51; nothing for any other entry (bind, module, uevent).
std::optional<std::pair<unsigned, unsigned>> device_of(const std::string& name) {
  const auto dash = name.find('-');
  if (dash == 0 || dash == std::string::npos || name.size() - dash - 1 != 4) return std::nullopt;
  unsigned bus = 0;
  for (const char c : name.substr(0, dash)) {
    if (c < '0' || c > '9' || bus > 100000) return std::nullopt;
    bus = bus * 10 + static_cast<unsigned>(c - '0');
  }
  unsigned address = 0;
  for (const char c : name.substr(dash + 1)) {
    const int digit = text::hex_digit_value(static_cast<unsigned char>(c));
    if (digit < 0) return std::nullopt;
    address = address * 16 + static_cast<unsigned>(digit);
  }
  if (address < kFirstSpdAddress || address > kLastSpdAddress) return std::nullopt;
  return std::pair{bus, address};
}

}  // namespace

std::optional<InstalledEeproms> installed_eeproms(const std::string& root, std::size_t limit) {
  InstalledEeproms found;
  const fs::path drivers = fs::path(root) / "bus" / "i2c" / "drivers";
  found.drivers_folder = drivers.string();
  for (const auto driver : kSpdDrivers) {
    const fs::path folder = drivers / driver;
    std::error_code error;
    if (!fs::is_directory(folder, error)) continue;
    found.drivers.emplace_back(driver);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const auto device = device_of(it->path().filename().string());
      if (!device) continue;
      const std::string path = (it->path() / "eeprom").string();
      found.eeproms.push_back({std::string(driver), device->first, device->second, path, read_image(path, limit)});
    }
  }
  std::sort(found.eeproms.begin(), found.eeproms.end(), [](const InstalledEeprom& a, const InstalledEeprom& b) {
    return std::pair(a.bus, a.address) < std::pair(b.bus, b.address);
  });
  return found;
}

}  // namespace dimmwand
