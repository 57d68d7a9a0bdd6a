// dimmwand's subcommands: for each, its arguments, the record a parse yields and its handler.
#include <fmt/format.h>

#include "cli/arguments.hpp"
#include "cli/cli.hpp"
#include "cli/parse_support.hpp"
#include "commands/commands.hpp"

namespace dimmwand {
namespace {

using namespace cli;

void scan_arguments(CLI::App& sub) {
  sub.add_flag("-l,--long")->description("列出每个串口的描述、USB 芯片类型、VID:PID、序列号与制造商");
}

Converted<Commands> scan_record(const CLI::App& sub) { return ScanArgs{flag(sub, "--long")}; }

void read_arguments(CLI::App& sub) {
  add_port_and_device(sub);
  add_mode(sub);
  sub.add_option("-o")->description("输出二进制文件")->type_name("OUT")->check(path_value("-o <OUT>"));
  sub.add_flag("--verify")->description("读取两次并比对，不一致则报错（不保存、不打印）");
}

Converted<Commands> read_record(const CLI::App& sub) {
  auto common = common_of(sub);
  if (!common) return std::unexpected(common.error());
  return ReadArgs{std::move(*common), optional_text(sub, "-o"), flag(sub, "--verify")};
}

// The port and the generation that every byte command begins with.
struct PortDevice {
  std::string port;
  DeviceType device;
};
Converted<PortDevice> port_device_of(const CLI::App& sub) {
  auto port = text_of(sub, "port", "port");
  if (!port) return std::unexpected(port.error());
  auto device = device_of(sub);
  if (!device) return std::unexpected(device.error());
  return PortDevice{std::move(*port), *device};
}

void read_byte_arguments(CLI::App& sub) {
  add_port_and_device(sub);
  add_hex(sub, "addr", "ADDR", "字节地址，十六进制 0000-FFFF", false);
}

Converted<Commands> read_byte_record(const CLI::App& sub) {
  auto at = port_device_of(sub);
  if (!at) return std::unexpected(at.error());
  auto addr = hex16_of(sub, "addr");
  if (!addr) return std::unexpected(addr.error());
  return ReadByteArgs{std::move(at->port), at->device, *addr};
}

void write_arguments(CLI::App& sub) {
  add_port_and_device(sub);
  add_mode(sub);
  sub.add_option("-i")->description("输入二进制文件")->type_name("INPUT")->required()->check(path_value("-i <INPUT>"));
  sub.add_flag("--verify")->description("写入后读回校验");
  sub.add_flag("--changed")->description("先读取器件，只写入不同的字节");
  sub.add_option("--backup")
      ->description("写入前先把器件内容备份到文件（文件不得已存在）")
      ->type_name("FILE")
      ->check(path_value("--backup <FILE>"));
  auto* check = sub.add_flag("--check")->description(
      "写入前检查映像是否适合模块，不适合则什么都不发送：\n"
      "SPD 区须为该代的大小、内存类型字节（字节 2）相符、每个校验和正确；\n"
      "REG 区须为 128 字节、带集线器器件类型（MR0-MR1 = 51 18），且不设置模块尚未设置的块写保护位：\n"
      "MR12/MR13 的位一旦置 1，该块就再也写不进，只有集线器的脱机模式（模块 HSA 引脚接地）才能清除");
  sub.add_flag("--protect")->description("与 --check 同用：允许 REG 映像设置块写保护位（见 --check）")->needs(check);
  sub.add_flag("--force")->description(
      "SPD 映像的字节 2 是该代 SPD 区不会有的内存类型（如 DDR4 映像写入 DDR5），或是 REG 区映像时，\n"
      "照样写入（缺省拒绝，什么都不发送）；例如写回损坏模块的备份");
}

Converted<Commands> write_record(const CLI::App& sub) {
  auto common = common_of(sub);
  if (!common) return std::unexpected(common.error());
  auto input = text_of(sub, "input", "-i");
  if (!input) return std::unexpected(input.error());
  return WriteArgs{std::move(*common),
                   std::move(*input),
                   flag(sub, "--verify"),
                   flag(sub, "--changed"),
                   optional_text(sub, "--backup"),
                   flag(sub, "--check"),
                   flag(sub, "--protect"),
                   flag(sub, "--force")};
}

void write_byte_arguments(CLI::App& sub) {
  add_port_and_device(sub);
  add_hex(sub, "addr", "ADDR", "字节地址，十六进制 0000-FFFF", false);
  add_hex(sub, "value", "VALUE", "写入值，十六进制 00-FF", true);
  sub.add_flag("--verify")->description("写入后读回校验");
}

Converted<Commands> write_byte_record(const CLI::App& sub) {
  auto at = port_device_of(sub);
  if (!at) return std::unexpected(at.error());
  auto addr = hex16_of(sub, "addr");
  if (!addr) return std::unexpected(addr.error());
  auto value = hex8_of(sub, "value");
  if (!value) return std::unexpected(value.error());
  return WriteByteArgs{std::move(at->port), at->device, *addr, *value, flag(sub, "--verify")};
}

void write_protect_arguments(CLI::App& sub) {
  add_port_and_device(sub);
  add_hex(sub, "code", "CODE", "保护码，十六进制 0000-FFFF", false);
}

Converted<Commands> write_protect_record(const CLI::App& sub) {
  auto at = port_device_of(sub);
  if (!at) return std::unexpected(at.error());
  auto code = hex16_of(sub, "code");
  if (!code) return std::unexpected(code.error());
  return WriteProtectArgs{std::move(at->port), at->device, *code};
}

}  // namespace

const std::array<Subcommand, std::variant_size_v<Commands>> kSubcommands{{
    {"scan", {}, "搜索可用串口", scan_arguments, scan_record, handled_by<ScanArgs, run_scan>()},
    {"read",
     {},
     "读取数据，-o 保存文件，缺省打印十六进制",
     read_arguments,
     read_record,
     handled_by<ReadArgs, run_read>()},
    {"ReadByte",
     {"read-byte", "readbyte"},
     "读取单个字节",
     read_byte_arguments,
     read_byte_record,
     handled_by<ReadByteArgs, run_read_byte>()},
    {"write", {}, "写入文件数据到器件", write_arguments, write_record, handled_by<WriteArgs, run_write>()},
    {"WriteByte",
     {"write-byte", "writebyte"},
     "写入单个字节（器件返回 1 表示成功、0 表示失败）",
     write_byte_arguments,
     write_byte_record,
     handled_by<WriteByteArgs, run_write_byte>()},
    {"write-protect",
     {},
     "设置写保护码",
     write_protect_arguments,
     write_protect_record,
     handled_by<WriteProtectArgs, run_write_protect>()},
}};

Result<> dispatch(Commands command, const Context& ctx) {
  for (const auto& sub : kSubcommands) {
    if (sub.handler.alternative == command.index()) return sub.handler.run(std::move(command), ctx);
  }
  return std::unexpected(DeviceError::other("内部错误: 没有处理这种命令的函数"));
}

}  // namespace dimmwand
