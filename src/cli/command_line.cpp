#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>

#include "cli/cli.hpp"
#include "cli/help_formatter.hpp"
#include "cli/hex.hpp"
#include "text/utf8.hpp"

namespace dimmwand {
namespace {

constexpr std::string_view kAbout = "DDR3/4/5 SPD/REG 串口读写";
constexpr std::string_view kHelpSubcommand = "help";

constexpr std::string_view kExamples =
    "示例:\n"
    "  dimmwand scan                                //搜索设备\n"
    "  dimmwand read COM3 3                         //读取SPD数据\n"
    "  dimmwand read COM3 3 -o spd3.bin             //保存SPD数据到文件\n"
    "  dimmwand read COM3 5 -t REG -o reg5.bin      //读取DDR5 REG 数据\n"
    "  dimmwand write COM3 3 -i spd3.bin            //写入SPD数据\n"
    "  dimmwand write COM3 5 -t REG -i reg5.bin     //写入DDR5 REG 数据\n"
    "  dimmwand ReadByte COM3 5 0003                //读取单个字节\n"
    "  dimmwand WriteByte COM3 5 0003 0007          //写入单个字节\n"
    "  dimmwand write-protect COM3 4 0045           //设置写保护码\n"
    "  dimmwand write-protect COM3 5 2255           //设置写保护码";

// Shows a rejected text without passing invalid UTF-8 on to the terminal.
std::string shown(const std::string& typed) {
  return text::decode_utf8_lossy({reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size()});
}

// Text arguments must be valid UTF-8; file paths are not checked at all.
CLI::Validator utf8_text(std::string_view value_name) {
  return {[value_name](std::string& v) {
            return text::is_valid_utf8(v) ? std::string() : fmt::format("invalid UTF-8 was detected in '<{}>'", value_name);
          },
          ""};
}

// Matches an enumerated value: exactly, or ignoring the case of ASCII letters.
std::optional<std::size_t> match_value(std::span<const ValueText> values, std::string_view typed, bool fold_case) {
  const auto fold = [fold_case](char c) {
    return fold_case && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& v = values[i].text;
    if (v.size() == typed.size() &&
        std::equal(v.begin(), v.end(), typed.begin(), [&](char a, char b) { return a == fold(b); })) {
      return i;
    }
  }
  return std::nullopt;
}

CLI::Validator one_of(std::span<const ValueText> values, std::string_view value_name, bool fold_case) {
  return {[values, value_name, fold_case](std::string& v) -> std::string {
            if (match_value(values, v, fold_case)) return {};
            std::vector<std::string_view> accepted;
            for (const auto& value : values) accepted.push_back(value.text);
            return fmt::format("invalid value '{}' for '<{}>'\n  [possible values: {}]", shown(v), value_name,
                               fmt::join(accepted, ", "));
          },
          ""};
}

// An option value that looks like an option means the value was left out: `-o -t spd` must
// never create a file named "-t".
CLI::Validator path_value(std::string_view label) {
  return {[label](std::string& v) -> std::string {
            if (v.size() < 2 || v[0] != '-') return {};
            return fmt::format("a value is required for '{}' but none was supplied (write './{}' for a file of that name)",
                               label, shown(v));
          },
          ""};
}

template <typename Convert>
CLI::Validator hex_value(Convert convert, std::string_view value_name) {
  return {[convert, value_name](std::string& v) -> std::string {
            if (!text::is_valid_utf8(v)) return fmt::format("invalid UTF-8 was detected in '<{}>'", value_name);
            auto converted = convert(v);
            if (converted) return {};
            return fmt::format("invalid value '{}' for '<{}>': {}", v, value_name, converted.error());
          },
          ""};
}

CLI::Option* positional(CLI::App* sub, const char* id, const char* value_name, const char* help) {
  return sub->add_option(id)->description(help)->required()->type_name(value_name);
}

void add_port_and_device(CLI::App* sub) {
  positional(sub, "port", "PORT", "串口号，如 COM3")->check(utf8_text("PORT"));
  positional(sub, "device", "DEVICE", "DDR 类型: 3 | 4 | 5")->check(one_of(kDeviceValues, "DEVICE", false));
}

void add_mode(CLI::App* sub) {
  sub->add_option("-t")->description("数据模式（仅 D5 可用，缺省 SPD）")->type_name("MODE")->check(one_of(kModeValues, "MODE", true));
}

void add_arguments(CLI::App* sub, std::string_view name) {
  if (name == "scan") return;
  add_port_and_device(sub);
  if (name == "read") {
    add_mode(sub);
    sub->add_option("-o")->description("输出二进制文件")->type_name("OUT")->check(path_value("-o <OUT>"));
  } else if (name == "write") {
    add_mode(sub);
    sub->add_option("-i")->description("输入二进制文件")->type_name("INPUT")->required()->check(
        path_value("-i <INPUT>"));
  } else if (name == "ReadByte" || name == "WriteByte") {
    positional(sub, "addr", "ADDR", "字节地址，十六进制 0000-FFFF")->check(hex_value(parse_hex_u16, "ADDR"));
    if (name == "WriteByte") {
      positional(sub, "value", "VALUE", "写入值，十六进制 00-FF")->check(hex_value(parse_hex_u8, "VALUE"));
    }
  } else if (name == "write-protect") {
    positional(sub, "code", "CODE", "保护码，十六进制 0000-FFFF")->check(hex_value(parse_hex_u16, "CODE"));
  }
}

// ---- From parse results to records ----------------------------------------------------------

// A conversion failure; only reachable if the description and the records ever disagree.
struct Missing {
  std::string message;
};

template <typename T>
using Converted = std::expected<T, Missing>;

Converted<std::string> text_of(const CLI::App& sub, std::string_view id, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  if (o == nullptr || o->count() == 0) {
    return std::unexpected(Missing{fmt::format("the following required argument was not provided: {}", id)});
  }
  return o->as<std::string>();
}

std::optional<std::string> optional_text(const CLI::App& sub, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  if (o == nullptr || o->count() == 0) return std::nullopt;
  return o->as<std::string>();
}

Converted<DeviceType> device_of(const CLI::App& sub) {
  auto typed = text_of(sub, "device", "device");
  if (!typed) return std::unexpected(typed.error());
  const auto i = match_value(kDeviceValues, *typed, false);
  if (!i) return std::unexpected(Missing{"the following required argument was not provided: device"});
  return static_cast<DeviceType>(3 + *i);
}

template <typename Convert>
auto hex_of(const CLI::App& sub, std::string_view id, Convert convert)
    -> Converted<typename decltype(convert(std::string_view{}))::value_type> {
  auto typed = text_of(sub, id, id);
  if (!typed) return std::unexpected(typed.error());
  auto v = convert(*typed);
  if (!v) return std::unexpected(Missing{v.error()});
  return *v;
}

Converted<Common> common_of(const CLI::App& sub) {
  auto port = text_of(sub, "port", "port");
  if (!port) return std::unexpected(port.error());
  auto device = device_of(sub);
  if (!device) return std::unexpected(device.error());
  std::optional<DataMode> mode;
  if (auto t = optional_text(sub, "-t")) mode = match_value(kModeValues, *t, true) == 1 ? DataMode::Reg : DataMode::Spd;
  return Common{std::move(*port), *device, mode};
}

// Fills the record of the chosen subcommand field by field, in declaration order.
Converted<Commands> to_commands(const CLI::App& sub) {
  const std::string& name = sub.get_name();
  if (name == "scan") return ScanArgs{};
  if (name == "read" || name == "write") {
    auto common = common_of(sub);
    if (!common) return std::unexpected(common.error());
    if (name == "read") return ReadArgs{std::move(*common), optional_text(sub, "-o")};
    auto input = text_of(sub, "input", "-i");
    if (!input) return std::unexpected(input.error());
    return WriteArgs{std::move(*common), std::move(*input)};
  }
  auto port = text_of(sub, "port", "port");
  if (!port) return std::unexpected(port.error());
  auto device = device_of(sub);
  if (!device) return std::unexpected(device.error());
  if (name == "write-protect") {
    auto code = hex_of(sub, "code", parse_hex_u16);
    if (!code) return std::unexpected(code.error());
    return WriteProtectArgs{std::move(*port), *device, *code};
  }
  auto addr = hex_of(sub, "addr", parse_hex_u16);
  if (!addr) return std::unexpected(addr.error());
  if (name == "ReadByte") return ReadByteArgs{std::move(*port), *device, *addr};
  if (name == "WriteByte") {
    auto value = hex_of(sub, "value", parse_hex_u8);
    if (!value) return std::unexpected(value.error());
    return WriteByteArgs{std::move(*port), *device, *addr, *value};
  }
  return std::unexpected(Missing{fmt::format("the subcommand '{}' wasn't recognized", name)});
}

// ---- Reports ---------------------------------------------------------------------------------

const CLI::App* chosen_subcommand(const CLI::App& app) {
  const auto chosen = app.get_subcommands();
  return chosen.empty() ? &app : chosen.front();
}

// The report of a rejected command line. It may quote what was typed, which need not be valid
// UTF-8: such bytes are shown as U+FFFD rather than passed to the terminal.
std::string error_report(const CLI::App& app, const std::string& message) {
  const CLI::App* where = chosen_subcommand(app);
  const std::string help_hint =
      where == &app ? std::string("'--help'") : fmt::format("'{} {} --help'", kProgramName, where->get_name());
  return shown(fmt::format("error: {}\n\n{}\nFor more information, try {}.\n", message,
                           HelpFormatter{}.make_usage(where, where->get_name()), help_hint));
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string unknown_subcommand(const std::string& typed) {
  std::string message = fmt::format("unrecognized subcommand '{}'", shown(typed));
  for (const auto& info : kSubcommands) {
    if (edit_distance(CLI::detail::to_lower(typed), CLI::detail::to_lower(std::string(info.name))) <= 2) {
      return message + fmt::format("\n\n  tip: a similar subcommand exists: '{}'", info.name);
    }
  }
  return message;
}

std::string option_label(const CLI::Option& o) { return fmt::format("-{} <{}>", o.get_snames().front(), o.get_type_name()); }

// Rewords the parser's messages where they would be unclear to a user.
std::string error_message(const CLI::App& app, const CLI::ParseError& e) {
  const std::string what = e.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    // "-t: ..." : the option is named before the colon; it was either repeated or left empty.
    const CLI::Option* o = chosen_subcommand(app)->get_option_no_throw(what.substr(0, what.find(':')));
    if (o != nullptr && !o->get_positional()) {
      return o->count() > 1 ? fmt::format("the argument '{}' cannot be used multiple times", option_label(*o))
                            : fmt::format("a value is required for '{}' but none was supplied", option_label(*o));
    }
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    const CLI::App* where = chosen_subcommand(app);
    if (where == &app) {
      const auto rest = app.remaining();
      return rest.empty() ? "a subcommand is required but one was not provided" : unknown_subcommand(rest.front());
    }
    std::vector<std::string> missing;
    for (const auto* o : where->get_options()) {
      if (!o->get_required() || o->count() != 0) continue;
      missing.push_back(o->get_positional() ? fmt::format("<{}>", o->get_type_name()) : option_label(*o));
    }
    if (!missing.empty()) {
      return fmt::format("the following required arguments were not provided: {}", fmt::join(missing, " "));
    }
  }
  if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr) {
    // The parser puts the argument's id before our message, which already names it.
    if (const auto colon = what.find(": "); colon != std::string::npos) return what.substr(colon + 2);
  }
  return what;
}

void add_help_subcommand(CLI::App& app) {
  CLI::App* help = app.add_subcommand(std::string(kHelpSubcommand), "Print this message or the help of the given subcommand(s)");
  help->add_option("command")->description("Print help for the subcommand")->type_name("COMMAND")->check(utf8_text("COMMAND"));
}

std::expected<Cli, ParseStop> help_requested(const CLI::App& app, const CLI::App& help) {
  const CLI::Option* which = help.get_option("command");
  if (which->count() == 0) {
    // app.help() would show the help of the chosen subcommand, which is `help` itself.
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app.get_formatter()->make_help(&app, "", CLI::AppFormatMode::Normal)});
  }
  const std::string name = which->as<std::string>();
  for (const auto* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->check_name(name)) {
      return std::unexpected(ParseStop{ParseStop::Kind::Help, sub->help(std::string(kProgramName))});
    }
  }
  return std::unexpected(ParseStop{ParseStop::Kind::Error,
                                   error_report(app, unknown_subcommand(name))});
}

}  // namespace

std::unique_ptr<CLI::App> command_description() {
  auto app = std::make_unique<CLI::App>(std::string(kAbout), std::string(kProgramName));
  app->formatter(std::make_shared<HelpFormatter>());
  app->allow_windows_style_options(false);  // "/x" is a value (a path), never an option, on every system
  app->set_help_flag("-h,--help", "Print help");
  app->set_version_flag("-V,--version", fmt::format("{} {}", kProgramName, kVersion), "Print version");
  app->footer(std::string(kExamples));
  app->require_subcommand(1);
  for (const auto& info : kSubcommands) {
    CLI::App* sub = app->add_subcommand(std::string(info.name), std::string(info.about));
    sub->footer("");  // the examples belong to the top-level help only
    for (const auto alias : info.aliases) {
      if (!alias.empty()) sub->alias(std::string(alias));
    }
    add_arguments(sub, info.name);
  }
  add_help_subcommand(*app);
  app->get_subcommand(std::string(kHelpSubcommand))->footer("");
  return app;
}

std::string top_level_help() { return command_description()->help(); }

std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args) {
  auto app = command_description();
  try {
    app->parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::CallForHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app->help()});
  } catch (const CLI::CallForAllHelp&) {
    return std::unexpected(ParseStop{ParseStop::Kind::Help, app->help()});
  } catch (const CLI::CallForVersion& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Version, std::string(e.what()) + "\n"});
  } catch (const CLI::ParseError& e) {
    return std::unexpected(ParseStop{ParseStop::Kind::Error, error_report(*app, error_message(*app, e))});
  }
  const auto chosen = app->get_subcommands();
  if (chosen.empty()) {
    return std::unexpected(
        ParseStop{ParseStop::Kind::Error, error_report(*app, "a subcommand is required but one was not provided")});
  }
  if (chosen.front()->get_name() == kHelpSubcommand) return help_requested(*app, *chosen.front());
  auto command = to_commands(*chosen.front());
  if (!command) return std::unexpected(ParseStop{ParseStop::Kind::Error, error_report(*app, command.error().message)});
  return Cli{std::move(*command)};
}

}  // namespace dimmwand
