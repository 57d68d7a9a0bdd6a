// The arguments of dimmwand's subcommands: declaring them on the parser, and reading the parsed
// values back into records.
#pragma once

#include <CLI/CLI.hpp>

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "commands/args.hpp"

namespace dimmwand::cli {

// A required positional argument.
CLI::Option* positional(CLI::App& sub, const char* id, const char* value_name, const char* help);

// PORT and DEVICE, the first two positionals of every subcommand but scan.
void add_port_and_device(CLI::App& sub);

// -t MODE, for read and write.
void add_mode(CLI::App& sub);

// ADDR, VALUE or CODE: hexadecimal, converted while the command line is parsed.
CLI::Option* add_hex(CLI::App& sub, const char* id, const char* value_name, const char* help, bool byte);

// A missing required argument, named by its id: only reachable if the description and the records
// ever disagree.
using Missing = std::string;
template <typename T>
using Converted = std::expected<T, Missing>;

Converted<std::string> text_of(const CLI::App& sub, std::string_view id, std::string_view option);
std::optional<std::string> optional_text(const CLI::App& sub, std::string_view option);
bool flag(const CLI::App& sub, std::string_view option);
Converted<DeviceType> device_of(const CLI::App& sub);
Converted<std::uint16_t> hex16_of(const CLI::App& sub, std::string_view id);
Converted<std::uint8_t> hex8_of(const CLI::App& sub, std::string_view id);
Converted<Common> common_of(const CLI::App& sub);

}  // namespace dimmwand::cli
