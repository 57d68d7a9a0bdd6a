#include "dispatch.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "cli/cli.hpp"
#include "cli/exit.hpp"
#include "commands/commands.hpp"
#include "platform/interrupt.hpp"
#include "util/overloaded.hpp"

namespace dimmwand {
namespace {

Result<> dispatch(Commands command) {
  return std::visit(Overloaded{
                        [](ScanArgs a) { return run_scan(a); },
                        [](ReadArgs a) { return run_read(std::move(a)); },
                        [](ReadByteArgs a) { return run_read_byte(std::move(a)); },
                        [](WriteArgs a) { return run_write(std::move(a)); },
                        [](WriteByteArgs a) { return run_write_byte(std::move(a)); },
                        [](WriteProtectArgs a) { return run_write_protect(std::move(a)); },
                    },
                    std::move(command));
}

}  // namespace

int run_entry(std::span<const char* const> args) {
  if (args.size() <= 1) {
    fmt::print(stdout, "{}\n", top_level_help());
    std::fflush(stdout);
    return kExitSuccess;
  }
  auto cli = parse_command_line(args);
  if (!cli) return finish(cli.error());
  catch_interrupts();
  return finish(dispatch(std::move(cli->command)));
}

}  // namespace dimmwand
