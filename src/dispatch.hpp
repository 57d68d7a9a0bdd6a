// The process entry: parse, run one handler, turn the outcome into output and exit status.
#pragma once

#include <span>

#include "error/device_error.hpp"

namespace dimmwand {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCommandFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // as a shell reports a command ended by Ctrl-C

struct ParseStop;

// The end of a run whose command line was not parsed into a command: the report on standard
// output (help, version) or standard error (rejection); 0 or 2.
int finish(const ParseStop& stop);

// The end of a run whose command ran: nothing more on success, "错误: {e}" otherwise; 0, 1, or
// 130 when the user interrupted it.
int finish(const Result<>& outcome);

// Takes the process arguments as UTF-8 (program path first) and returns the exit status.
int run_entry(std::span<const char* const> args);

}  // namespace dimmwand
