#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>

#include "cli/cli.hpp"
#include "cli/help_formatter.hpp"
#include "cli/hex.hpp"
#include "cli/parse_support.hpp"
#include "cli/version.hpp"
#include "text/utf8.hpp"

namespace dimmwand {
namespace {

using cli::match_value;
using cli::one_of;
using cli::path_value;
using cli::utf8_text;

constexpr std::string_view kAbout = "DDR3/4/5 SPD/REG 串口读写";

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
  if (name == "scan") {
    sub->add_flag("-l,--long")->description("列出每个串口的描述、USB 芯片类型、VID:PID、序列号与制造商");
    return;
  }
  add_port_and_device(sub);
  if (name == "read") {
    add_mode(sub);
    sub->add_option("-o")->description("输出二进制文件")->type_name("OUT")->check(path_value("-o <OUT>"));
    sub->add_flag("--verify")->description("读取两次并比对，不一致则报错（不保存、不打印）");
  } else if (name == "write") {
    add_mode(sub);
    sub->add_option("-i")->description("输入二进制文件")->type_name("INPUT")->required()->check(
        path_value("-i <INPUT>"));
    sub->add_flag("--verify")->description("写入后读回校验");
    sub->add_flag("--changed")->description("先读取器件，只写入不同的字节");
    sub->add_option("--backup")->description("写入前先把器件内容备份到文件（文件不得已存在）")->type_name("FILE")->check(
        path_value("--backup <FILE>"));
    auto* check = sub->add_flag("--check")->description(
        "写入前检查映像是否适合模块，不适合则什么都不发送：\n"
        "SPD 区须为该代的大小、内存类型字节（字节 2）相符、每个校验和正确；\n"
        "REG 区须为 128 字节、带集线器器件类型（MR0-MR1 = 51 18），且不设置模块尚未设置的块写保护位：\n"
        "MR12/MR13 的位一旦置 1，该块就再也写不进，只有集线器的脱机模式（模块 HSA 引脚接地）才能清除");
    sub->add_flag("--protect")->description("与 --check 同用：允许 REG 映像设置块写保护位（见 --check）")->needs(check);
  } else if (name == "ReadByte" || name == "WriteByte") {
    positional(sub, "addr", "ADDR", "字节地址，十六进制 0000-FFFF")->check(hex_value(parse_hex_u16, "ADDR"));
    if (name == "WriteByte") {
      positional(sub, "value", "VALUE", "写入值，十六进制 00-FF")->check(hex_value(parse_hex_u8, "VALUE"));
      sub->add_flag("--verify")->description("写入后读回校验");
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

bool flag(const CLI::App& sub, std::string_view option) {
  const CLI::Option* o = sub.get_option_no_throw(std::string(option));
  return o != nullptr && o->count() != 0;
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
  if (name == "scan") return ScanArgs{flag(sub, "--long")};
  if (name == "read" || name == "write") {
    auto common = common_of(sub);
    if (!common) return std::unexpected(common.error());
    if (name == "read") return ReadArgs{std::move(*common), optional_text(sub, "-o"), flag(sub, "--verify")};
    auto input = text_of(sub, "input", "-i");
    if (!input) return std::unexpected(input.error());
    return WriteArgs{std::move(*common),           std::move(*input),  flag(sub, "--verify"),
                     flag(sub, "--changed"),       optional_text(sub, "--backup"), flag(sub, "--check"),
                     flag(sub, "--protect")};
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
    return WriteByteArgs{std::move(*port), *device, *addr, *value, flag(sub, "--verify")};
  }
  return std::unexpected(Missing{fmt::format("the subcommand '{}' wasn't recognized", name)});
}

}  // namespace

std::unique_ptr<CLI::App> command_description() {
  auto app = std::make_unique<CLI::App>(std::string(kAbout), std::string(kProgramName));
  app->formatter(std::make_shared<HelpFormatter>());
  app->allow_windows_style_options(false);  // "/x" is a value (a path), never an option, on every system
  app->set_help_flag("-h,--help", "Print help");
  app->set_version_flag("-V,--version", version_text(kProgramName), "Print version");
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
  cli::add_help_subcommand(*app);
  return app;
}

std::string top_level_help() { return command_description()->help(); }

std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args) {
  auto app = command_description();
  auto chosen = cli::parse_with(*app, args);
  if (!chosen) return std::unexpected(std::move(chosen.error()));
  auto command = to_commands(**chosen);
  if (!command) return std::unexpected(ParseStop{ParseStop::Kind::Error, cli::rejection(*app, command.error().message)});
  return Cli{std::move(*command)};
}

}  // namespace dimmwand
