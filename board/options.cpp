// dimmwand-board's command line: its options with their Chinese help, in the emulator's shape.
#include "options.hpp"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "cli/version.hpp"
#include "images.hpp"

namespace dimmwand::board {
namespace {

constexpr const char* kProgram = "dimmwand-board";

constexpr const char* kAbout =
    "在模拟的 ATmega328P（simavr，16 MHz）上运行编程器固件，插座里是按数据手册模拟的 SPD 芯片，\n"
    "串口在伪终端上：不用硬件即可端到端地试用和测试固件\n"
    "不带命令时一直服务到被中断，先打印串口路径；\n"
    "带 -- 命令 参数... 时运行该命令，其中的 {port} 换成串口路径，并以命令的退出状态结束\n";

constexpr const char* kExamples =
    "示例:\n"
    "  dimmwand-board                                          //持续服务，先打印串口路径\n"
    "  dimmwand-board -- dimmwand read {port} 4                //在模拟的编程器上读 DDR4\n"
    "  dimmwand-board --spd5 m.bin --save -- dimmwand write {port} 5 -i new.bin   //写入并存回 m.bin\n"
    "  dimmwand-board --protect4 0-1 -- dimmwand write-protect {port} 4 0000      //读出块写保护";

void check_blocks(const std::string& option, const std::string& text, unsigned count, std::uint32_t& out) {
  const auto blocks = parse_blocks(text, count);
  if (!blocks) throw CLI::ValidationError(option, fmt::format("须为块号 0 到 {}，如 0-1,3", count - 1));
  out = *blocks;
}

void describe(CLI::App& app, Options& o) {
  app.set_help_flag("-h,--help", "Print help");
  app.set_version_flag("-V,--version", version_text(kProgram), "Print version");
  app.footer(kExamples);
  for (const auto& a : emu::kAreaNames) {
    std::string kind(a.name.substr(0, 3));
    std::transform(kind.begin(), kind.end(), kind.begin(), [](char c) { return static_cast<char>(c - 'a' + 'A'); });
    app.add_option_function<std::string>(
           fmt::format("--{}", a.name), [&o, name = std::string(a.name)](const std::string& p) { o.images[name] = p; },
           fmt::format("从 {} 字节的原始映像载入 DDR{} {} 区", a.size, a.name.substr(3), kind))
        ->type_name("FILE");
  }
  app.add_flag("--save", o.save, "退出时把从文件载入的数据区写回这些文件");
  app.add_option("--log", o.log_path,
                 "写总线日志：每个 I2C 传输一行（时间、地址、字节、应答），以及插座供电、高压和固件的回答")
      ->type_name("FILE");
  app.add_option("--firmware", o.firmware, "运行这个固件（ELF 文件，缺省为本程序旁边的 dimmwand-fw.elf）")
      ->type_name("FILE");
  app.add_option_function<double>(
         "--write-cycle",
         [&o](double ms) {
           if (!(ms >= 0 && ms <= 1000)) throw CLI::ValidationError("--write-cycle", "须为 0 到 1000 的毫秒数");
           o.write_cycle_ms = ms;
         },
         "EEPROM 的写周期，毫秒（缺省 5，数据手册的最大值）")
      ->type_name("MS");
  auto* module = app.add_option_group("内存条与编程器板");
  module
      ->add_option_function<std::string>(
          "--protect3",
          [&o](const std::string& kind) {
            if (kind != "reversible" && kind != "permanent") {
              throw CLI::ValidationError("--protect3", "须为 reversible 或 permanent");
            }
            o.protect3 = kind;
          },
          "DDR3：低半区（00-7F）已写保护，可清除的（reversible）或永久的（permanent）")
      ->type_name("KIND");
  module
      ->add_option_function<std::string>(
          "--protect4",
          [&o](const std::string& t) {
            std::uint32_t b = 0;
            check_blocks("--protect4", t, 4, b);
            o.protect4 = static_cast<std::uint8_t>(b);
          },
          "DDR4：这些块（每块 128 字节，0-3）已写保护，如 0-1")
      ->type_name("BLOCKS");
  module
      ->add_option_function<std::string>(
          "--protect5",
          [&o](const std::string& t) {
            std::uint32_t b = 0;
            check_blocks("--protect5", t, 16, b);
            o.protect5 = static_cast<std::uint16_t>(b);
          },
          "DDR5：在 MR12/MR13 中置上这些块（每块 64 字节，0-15）的写保护位，如 0-7")
      ->type_name("BLOCKS");
  module->add_flag("--online", o.online, "DDR5：HSA 不接地（不在脱机模式）：块写保护只能置上，不能清除");
  module->add_flag("--no-high-voltage", o.no_high_voltage, "板上没有装 SA0 的高压（VHV）开关");
  module
      ->add_option_function<unsigned>(
          "--bus-speed",
          [&o](unsigned khz) {
            if (khz != 100 && khz != 400) throw CLI::ValidationError("--bus-speed", "须为 100 或 400");
            o.bus_khz = khz;
          },
          "内存条总线速度跳线：100 或 400 kHz（缺省 100）")
      ->type_name("KHZ");
  module->add_option("--hold-sda", o.hold_sda, "总线上有个器件把 SDA 拉低，直到 SCL 上来了 N 个时钟脉冲（0：一直不放）")
      ->type_name("N");
}

}  // namespace

std::optional<std::uint32_t> parse_blocks(const std::string& text, unsigned count) {
  std::uint32_t bits = 0;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string piece = text.substr(at, comma - at);
    const std::size_t dash = piece.find('-');
    const auto number = [](const std::string& s) -> std::optional<unsigned> {
      unsigned n = 0;
      const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), n);
      if (error != std::errc{} || end != s.data() + s.size() || s.empty()) return std::nullopt;
      return n;
    };
    const auto first = number(piece.substr(0, dash));
    const auto last = dash == std::string::npos ? first : number(piece.substr(dash + 1));
    if (!first || !last || *last < *first || *last >= count) return std::nullopt;
    for (unsigned b = *first; b <= *last; ++b) bits |= 1u << b;
    at = comma + 1;
  }
  return bits;
}

std::expected<Options, int> parse_options(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  // The command's own arguments are never ours, even where they look like our options.
  if (const auto dashes = std::find(args.begin(), args.end(), "--"); dashes != args.end()) {
    o.command.assign(dashes + 1, args.end());
    args.erase(dashes, args.end());
  }
  CLI::App app(kAbout, kProgram);
  describe(app, o);
  try {
    std::vector<const char*> cargs{kProgram};
    for (const auto& a : args) cargs.push_back(a.c_str());
    app.parse(static_cast<int>(cargs.size()), cargs.data());
  } catch (const CLI::ParseError& e) {
    return std::unexpected(app.exit(e) == 0 ? 0 : 2);
  }
  return o;
}

}  // namespace dimmwand::board
