// What every command line of the project shares: the value checks hooked into CLI11, the
// reports of rejected command lines in one layout, the `help` subcommand, and the mapping of
// CLI11's outcomes to help, version or rejection. Used by dimmwand and dimmwand-spd.
#pragma once

#include <CLI/CLI.hpp>

#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "cli/common.hpp"

namespace dimmwand::cli {

// The words of a rejected command line. dimmwand's are clap's English, which scripts and users
// already know; dimmwand-spd speaks Chinese like the rest of its messages. Each is a format with
// named fields; an empty one leaves the parser's own message.
struct UsageTexts {
  std::string_view rejection;  // {message} {usage} {hint}
  std::string_view usage;      // the usage line's first word, as the help prints it in English
  std::string_view top_hint;   // {program}
  std::string_view sub_hint;   // {program} {sub}
  std::string_view no_subcommand;
  std::string_view unknown_subcommand;  // {typed}
  std::string_view similar;             // {name}
  std::string_view repeated;            // {label}
  std::string_view no_value;            // {label}
  std::string_view missing;             // {list}
  std::string_view too_few;             // {label} {least}
  std::string_view extra;               // {list}: words nobody takes
  std::string_view unknown_option;      // {list}
  std::string_view invalid_value;       // {typed} {name} {values}
  std::string_view option_as_path;      // {label} {typed}
  std::string_view invalid_utf8;        // {name}
  std::string_view did_you_mean;        // {name}: after unknown_option, the nearest option
};

extern const UsageTexts kEnglishUsage;
extern const UsageTexts kChineseUsage;

// A typed text as it may be shown on a terminal: invalid UTF-8 becomes U+FFFD.
std::string shown(std::string_view typed);

// Text arguments must be valid UTF-8.
CLI::Validator utf8_text(std::string_view value_name, const UsageTexts& texts = kEnglishUsage);

// An enumerated value, matched exactly or ignoring the case of ASCII letters.
std::optional<std::size_t> match_value(std::span<const ValueText> values, std::string_view typed, bool fold_case);
CLI::Validator one_of(std::span<const ValueText> values, std::string_view value_name, bool fold_case,
                      const UsageTexts& texts = kEnglishUsage);

// A file path after an option: a value that looks like an option means the value was left out,
// so `-o -t spd` never creates a file named "-t".
CLI::Validator path_value(std::string_view label, const UsageTexts& texts = kEnglishUsage);

// Adds the `help [COMMAND]` subcommand.
void add_help_subcommand(CLI::App& app, const UsageTexts& texts = kEnglishUsage);

// Adds one subcommand of a program's table: its name, its aliases (accepted wherever the name
// is, never listed), its about text and its arguments. The examples of the program's own help
// are not repeated in it.
CLI::App* add_subcommand(CLI::App& app, std::string_view name, std::span<const std::string_view> aliases,
                         std::string_view about, void (*arguments)(CLI::App&));

// A program's subcommands, from its table (entries with name, aliases, about and arguments), then
// the `help` subcommand.
template <typename Table>
void add_subcommands(CLI::App& app, const Table& table, const UsageTexts& texts = kEnglishUsage) {
  for (const auto& entry : table) add_subcommand(app, entry.name, entry.aliases, entry.about, entry.arguments);
  add_help_subcommand(app, texts);
}

// The table's entry for the subcommand that was chosen; every parsed subcommand has one.
template <typename Table>
const auto& entry_of(const Table& table, const CLI::App& chosen) {
  for (const auto& entry : table) {
    if (entry.name == chosen.get_name()) return entry;
  }
  return *std::begin(table);  // not reached: the parser knows only the table's names
}

// Parses `args` against `app` (built with add_help_subcommand). Returns the chosen subcommand,
// or the help, version or rejection report to print.
std::expected<const CLI::App*, ParseStop> parse_with(CLI::App& app, std::span<const char* const> args,
                                                     const UsageTexts& texts = kEnglishUsage);

// The report of a rejected command line, in the layout of every other rejection.
std::string rejection(const CLI::App& app, const std::string& message, const UsageTexts& texts = kEnglishUsage);

}  // namespace dimmwand::cli
