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
#include <type_traits>
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

// The handler of one kind of record, and which alternative of Commands that record is: the
// dispatch finds a row by the record's type, so the order of the table and of the variant may
// differ without harm.
struct Handler {
  std::size_t alternative;
  Result<> (*run)(Commands, const Context&);
};

// The index of the alternative T in a variant.
template <typename T, typename Variant>
struct AlternativeOf;
template <typename T, typename... Ts>
struct AlternativeOf<T, std::variant<Ts...>> {
  static constexpr std::size_t value = [] {
    std::size_t i = 0;
    (void)((std::is_same_v<T, Ts> ? false : (++i, true)) && ...);
    return i;
  }();
};

template <typename Args, Result<> (*handler)(Args, const Context&)>
constexpr Handler handled_by() {
  static_assert(AlternativeOf<Args, Commands>::value < std::variant_size_v<Commands>, "a record that Commands lacks");
  return {AlternativeOf<Args, Commands>::value,
          [](Commands command, const Context& ctx) { return handler(std::get<Args>(std::move(command)), ctx); }};
}

// One subcommand: how the help lists it (aliases are accepted but never shown), its arguments,
// the record a parse yields and the handler that runs it. The parser, the help and the dispatch
// all come from this one table.
struct Subcommand {
  std::string_view name;
  std::array<std::string_view, 2> aliases;
  std::string_view about;
  void (*arguments)(CLI::App&);
  std::expected<Commands, std::string> (*record)(const CLI::App&);  // the error: a missing argument
  Handler handler;
};

// In the order of the help listing.
extern const std::array<Subcommand, std::variant_size_v<Commands>> kSubcommands;

// Runs the handler of the record's own kind.
Result<> dispatch(Commands command, const Context& ctx);

inline constexpr std::string_view kProgramName = "dimmwand";

// The whole command description, built afresh on every call.
std::unique_ptr<CLI::App> command_description();

// The top-level help, as printed when the program is started without arguments.
std::string top_level_help();

// Parses the process arguments (program path first).
std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args);

}  // namespace dimmwand
