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

#include "model/ddr.hpp"

namespace CLI {
class App;
}

namespace dimmwand {

// A value of an enumerated argument as typed on the command line, with its help text.
struct ValueText {
  std::string_view text;
  std::string_view help;
};
inline constexpr std::array<ValueText, 3> kDeviceValues{{{"3", "DDR3"}, {"4", "DDR4"}, {"5", "DDR5"}}};
inline constexpr std::array<ValueText, 2> kModeValues{{{"spd", "SPD 数据区"}, {"reg", "REG 数据区（仅 DDR5）"}}};

// Arguments shared by read and write.
struct Common {
  std::string port;
  DeviceType device;
  std::optional<DataMode> mode;
};

struct ScanArgs {
  bool long_listing = false;  // -l: each port's description and USB identity
};
struct ReadArgs {
  Common common;
  std::optional<std::string> out;
  bool verify = false;  // read twice; differing answers are an error
};
struct ReadByteArgs {
  std::string port;
  DeviceType device;
  std::uint16_t addr;
};
struct WriteArgs {
  Common common;
  std::string input;
  bool verify = false;                // read the area back and compare
  bool changed = false;               // write only the bytes that differ from the module
  std::optional<std::string> backup;  // save the area here before the first write; never replaced
  bool check = false;                 // refuse an image that does not fit the module
  bool protect = false;               // with check: let a REG image set block protection bits
};
struct WriteByteArgs {
  std::string port;
  DeviceType device;
  std::uint16_t addr;
  std::uint8_t value;
  bool verify = false;  // read the byte back and compare
};
struct WriteProtectArgs {
  std::string port;
  DeviceType device;
  std::uint16_t code;
};

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
inline constexpr std::string_view kVersion = "0.1.0";

// Why parsing did not yield a Cli: the requested help or version, or a rejected command line.
// `report` is the complete text to print, ending with a newline.
struct ParseStop {
  enum class Kind { Help, Version, Error };
  Kind kind;
  std::string report;
};

// The whole command description, built afresh on every call.
std::unique_ptr<CLI::App> command_description();

// The top-level help, as printed when the program is started without arguments.
std::string top_level_help();

// Parses the process arguments (program path first).
std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args);

}  // namespace dimmwand
