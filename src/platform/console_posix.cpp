#include "platform/console.hpp"

#include <unistd.h>

namespace dimmwand {

ProcessArgs::ProcessArgs(std::vector<std::string> args) : storage_(std::move(args)) {
  for (const auto& a : storage_) pointers_.push_back(a.c_str());
}

ProcessArgs prepare_console(int argc, char** argv) {
  // POSIX terminals take the bytes as they are; the texts are UTF-8 already.
  return ProcessArgs(std::vector<std::string>(argv, argv + argc));
}

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace dimmwand
