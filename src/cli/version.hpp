// The version report of the programs: the version, and the commit of a build from a checkout.
#pragma once

#include <string>
#include <string_view>

namespace dimmwand {

// "dimmwand 0.1.0", or "dimmwand 0.1.0 (git 0123456789ab)" for a build from a git checkout.
std::string version_text(std::string_view program);

}  // namespace dimmwand
