#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "cli/cli.hpp"
#include "cli/help_formatter.hpp"
#include "cli/parse_support.hpp"
#include "cli/version.hpp"

namespace dimmwand {
namespace {

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

}  // namespace

std::unique_ptr<CLI::App> command_description() {
  auto app = std::make_unique<CLI::App>(std::string(kAbout), std::string(kProgramName));
  app->formatter(std::make_shared<HelpFormatter>());
  app->allow_windows_style_options(false);  // "/x" is a value (a path), never an option, on every system
  app->set_help_flag("-h,--help", "Print help");
  app->set_version_flag("-V,--version", version_text(kProgramName), "Print version");
  app->footer(std::string(kExamples));
  app->require_subcommand(1);
  cli::add_subcommands(*app, kSubcommands);
  return app;
}

std::string top_level_help() { return command_description()->help(); }

std::expected<Cli, ParseStop> parse_command_line(std::span<const char* const> args) {
  auto app = command_description();
  auto chosen = cli::parse_with(*app, args);
  if (!chosen) return std::unexpected(std::move(chosen.error()));
  auto command = cli::entry_of(kSubcommands, **chosen).record(**chosen);
  if (!command) return std::unexpected(ParseStop{ParseStop::Kind::Error, cli::rejection(*app, command.error())});
  return Cli{std::move(*command)};
}

}  // namespace dimmwand
