// The subcommands of dimmwand-spd. Each prints its results and returns success or the error for
// the entry to print; diff also says whether the images differ.
#pragma once

#include <optional>
#include <string>

#include "model/ddr.hpp"
#include "error/device_error.hpp"

namespace dimmwand::spd {

// An image named on the command line, with what the user said of it.
struct ImageArgs {
  std::string file;
  std::optional<DeviceType> device;  // the generation of an SPD image
  std::optional<DataMode> mode;      // -t: an SPD image or the DDR5 REG area; absent: judged by size
  bool all = false;                  // info: every field, in sections
  bool json = false;                 // one JSON document instead of text
};

Result<> run_check(const ImageArgs& image);
Result<> run_fix(const ImageArgs& image, const std::string& out);
Result<> run_info(const ImageArgs& image);
Result<bool> run_diff(const std::string& a, const std::string& b, bool json = false);  // true: they differ

}  // namespace dimmwand::spd
