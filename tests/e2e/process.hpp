// Runs a program to completion and captures what it printed, for end-to-end tests.
#pragma once

#include <string>
#include <vector>

#include "files.hpp"

namespace dimmwand::testing {

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
  long max_rss_kb = 0;  // the program's peak memory
  double seconds = 0;   // wall time from start to exit
};

// Runs `argv` with standard input closed, in `cwd` when given.
RunResult run_program(const std::vector<std::string>& argv, const std::string& cwd = {});

// The built tool and emulator.
std::string tool_path();
std::string emulator_path();

// A fresh empty folder that is removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// dimmwand-spd with `args`, in `cwd` when given.
RunResult run_spd(std::vector<std::string> args, const std::string& cwd = {});

}  // namespace dimmwand::testing
