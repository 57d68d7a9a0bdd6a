// Windows lets no program read the SMBus without a kernel driver, and dimmwand brings none.
#include "platform/installed_spd.hpp"

namespace dimmwand {

std::optional<InstalledEeproms> installed_eeproms(const std::string& /*root*/, std::size_t /*limit*/) {
  return std::nullopt;
}

}  // namespace dimmwand
