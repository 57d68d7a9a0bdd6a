#include "dispatch.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "cli/cli.hpp"
#include "cli/exit.hpp"
#include "platform/interrupt.hpp"

namespace dimmwand {

int run_entry(std::span<const char* const> args) {
  if (args.size() <= 1) {
    fmt::print(stdout, "{}\n", top_level_help());
    std::fflush(stdout);
    return kExitSuccess;
  }
  auto cli = parse_command_line(args);
  if (!cli) return finish(cli.error());
  catch_interrupts();
  const Context ctx = system_context(interrupted);
  return finish(dispatch(std::move(cli->command), ctx));
}

}  // namespace dimmwand
