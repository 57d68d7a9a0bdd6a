#include "cli/exit.hpp"

#include <fmt/format.h>

#include <cstdio>

namespace dimmwand {

int finish(const ParseStop& stop) {
  const bool failed = stop.kind == ParseStop::Kind::Error;
  std::fputs(stop.report.c_str(), failed ? stderr : stdout);
  std::fflush(stdout);
  return failed ? kExitUsage : kExitSuccess;
}

int finish(const Result<>& outcome) {
  std::fflush(stdout);
  if (outcome) return kExitSuccess;
  fmt::print(stderr, "错误: {}\n", outcome.error().display());
  return outcome.error().is_interrupted() ? kExitInterrupted : kExitCommandFailed;
}

}  // namespace dimmwand
