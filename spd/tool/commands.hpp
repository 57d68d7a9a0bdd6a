// The subcommands of dimmwand-spd. Each prints its results and returns success or the error for
// the entry to print; diff also says whether the images differ. Every image they read may also
// be a text dump (dimmwand read's, i2cdump, hexdump -C, xxd, plain hex), or "-" for standard input.
#pragma once

#include <optional>
#include <string>
#include <vector>

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
  bool strict = false;               // check: also the consistency rules, as warnings
};

Result<> run_check(const ImageArgs& image);
// A copy with every checksum right, as a new file (or over one with `force`).
Result<> run_fix(const ImageArgs& image, const std::string& out, bool force = false);
Result<> run_info(const ImageArgs& image);
Result<bool> run_diff(const std::string& a, const std::string& b, bool json = false);  // true: they differ

// The raw bytes of an image (a text dump, usually) as a new file, or on standard output for "-";
// only of a data area's size unless `any_size`.
Result<> run_convert(const std::string& in, const std::string& out, bool any_size = false);

// The modules installed in this computer, as the kernel's drivers under `sysfs` show them.
struct HostArgs {
  std::string sysfs = "/sys";
  std::optional<std::string> save;  // a folder to save each image in
  bool json = false;
};
Result<> run_host(const HostArgs& args);

// Whether the modules of these images can run together, and at what common setting.
Result<> run_kit(const std::vector<std::string>& files);

}  // namespace dimmwand::spd
