// The editing subcommands of dimmwand-spd: fields, set, rebin and promote. Each reads an image,
// prints what it changed on standard error (the JSON document on standard output with --json)
// and writes a new file; a refused edit writes nothing.
#pragma once

#include <string>
#include <vector>

#include "error/device_error.hpp"

namespace dimmwand::spd {

// Where an edit goes: never the input, never an existing file unless `force`.
struct EditOutput {
  std::string path;
  bool force = false;
  bool json = false;
};

Result<> run_fields(const std::string& file, bool json);
Result<> run_set(const std::string& file, const std::vector<std::string>& assignments, const EditOutput& out);
Result<> run_rebin(const std::string& file, unsigned speed, const EditOutput& out);
Result<> run_promote(const std::string& file, const std::string& profile, bool accept_voltage, const EditOutput& out);

}  // namespace dimmwand::spd
