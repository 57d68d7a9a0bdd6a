// dimmwand's command line: its subcommands, the parsed records, and the parser's entry points.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "cli/common.hpp"
#include "commands/args.hpp"
#include "commands/context.hpp"

namespace CLI {
class App;
}

namespace dimmwand {


// One alternative per subcommand, in the order of the help listing.
using Commands = std::variant<ScanArgs, ReadArgs, ReadByteArgs, WriteArgs, WriteByteArgs, WriteProtectArgs>;

struct Cli {
  Commands command;
};

// One subcommand: how the help lists it (aliases are accepted but never shown), its arguments,
// the record a parse yields and the handler that runs it. The parser, the help and the dispatch
// all come from this one table.
struct Subcommand {
  std::string_view name;
  std::array<std::string_view, 2> aliases;
  std::string_view about;
  void (*arguments)(CLI::App&);
  std::expected<Commands, std::string> (*record)(const CLI::App&);  // the error: a missing argument
  Result<> (*run)(Commands, const Context&);
};

// In the order of the help listing and of the Commands alternatives.
extern const std::array<Subcommand, std::variant_size_v<Commands>> kSubcommands;

inline constexpr std::string_view kProgramName = "dimmwand";

// The whole command description, built afresh on every call.
std::unique_ptr<CLI::App> command_description();

// The top-level help, as printed when the program is started without arguments.
std::string top_level_help();

// Parses the process arguments (program path first).
std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args);

}  // namespace dimmwand
