// How a run of either program ends: its exit statuses, and the one place that prints a
// rejected command line or a failed command.
#pragma once

#include "cli/common.hpp"
#include "error/device_error.hpp"

namespace dimmwand {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitCommandFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // as a shell reports a command ended by Ctrl-C

// The end of a run whose command line was not parsed into a command: the report on standard
// output (help, version) or standard error (rejection); 0 or 2.
int finish(const ParseStop& stop);

// The end of a run whose command ran: nothing more on success, "错误: {e}" otherwise; 0, 1, or
// 130 when the user interrupted it.
int finish(const Result<>& outcome);

}  // namespace dimmwand
