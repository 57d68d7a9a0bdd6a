// The parsed command line: value sets, one record per subcommand, and the parser's entry points.
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

namespace CLI {
class App;
}

namespace dimmwand {


// One alternative per subcommand, in the order of the help listing.
using Commands = std::variant<ScanArgs, ReadArgs, ReadByteArgs, WriteArgs, WriteByteArgs, WriteProtectArgs>;

struct Cli {
  Commands command;
};

// A subcommand as the help lists it; aliases are accepted but never shown.
struct SubcommandInfo {
  std::string_view name;
  std::array<std::string_view, 2> aliases;
  std::string_view about;
};
inline constexpr std::array<SubcommandInfo, 6> kSubcommands{{
    {"scan", {}, "搜索可用串口"},
    {"read", {}, "读取数据，-o 保存文件，缺省打印十六进制"},
    {"ReadByte", {"read-byte", "readbyte"}, "读取单个字节"},
    {"write", {}, "写入文件数据到器件"},
    {"WriteByte", {"write-byte", "writebyte"}, "写入单个字节（器件返回 1 表示成功、0 表示失败）"},
    {"write-protect", {}, "设置写保护码"},
}};

inline constexpr std::string_view kProgramName = "dimmwand";

// The whole command description, built afresh on every call.
std::unique_ptr<CLI::App> command_description();

// The top-level help, as printed when the program is started without arguments.
std::string top_level_help();

// Parses the process arguments (program path first).
std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args);

}  // namespace dimmwand
