// The process entry of dimmwand: parse, run one handler, turn the outcome into output and exit
// status.
#pragma once

#include <span>

namespace dimmwand {

// Takes the process arguments as UTF-8 (program path first) and returns the exit status.
int run_entry(std::span<const char* const> args);

}  // namespace dimmwand
