// The subcommands of dimmwand-spd. Each prints its results and returns success or the error for
// the entry to print; diff also says whether the images differ.
#pragma once

#include <optional>
#include <string>

#include "cli/cli.hpp"
#include "error/device_error.hpp"

namespace dimmwand::spd {

Result<> run_check(const std::string& file, std::optional<DeviceType> device);
Result<> run_fix(const std::string& file, std::optional<DeviceType> device, const std::string& out);
Result<> run_info(const std::string& file, std::optional<DeviceType> device);
Result<bool> run_diff(const std::string& a, const std::string& b);  // true: they differ

}  // namespace dimmwand::spd
