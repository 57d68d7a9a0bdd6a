// Console preparation: UTF-8 output and the process arguments as UTF-8 text.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace dimmwand {

class ProcessArgs {
 public:
  explicit ProcessArgs(std::vector<std::string> args);
  std::span<const char* const> view() const { return pointers_; }

 private:
  std::vector<std::string> storage_;
  std::vector<const char*> pointers_;
};

// Switches console output to UTF-8 where consoles have code pages, and returns the arguments
// in UTF-8 (on POSIX as the system delivers them).
ProcessArgs prepare_console(int argc, char** argv);

// True when standard error is shown on a terminal (not a file or a pipe).
bool stderr_is_terminal();

}  // namespace dimmwand
