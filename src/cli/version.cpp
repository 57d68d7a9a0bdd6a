#include "cli/version.hpp"

#include <fmt/format.h>

#include "build_info.hpp"

namespace dimmwand {

std::string version_text(std::string_view program) {
  if (kBuildCommit.empty()) return fmt::format("{} {}", program, kVersion);
  return fmt::format("{} {} (git {})", program, kVersion, kBuildCommit);
}

}  // namespace dimmwand
