// The emulator's command line: the options with their Chinese help, and the value parsers.
#include "options.hpp"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <string_view>

#include "cli/version.hpp"
#include "images.hpp"

namespace dimmwand::emu {
namespace {

constexpr const char* kProgram = "dimmwand-emu";

// The closing line feed leaves a blank line before the usage, as in the other programs' help.
constexpr const char* kAbout =
    "在伪终端上扮演 dimmwand 的编程器，不用硬件即可试用和测试\n"
    "不带命令时一直服务到被中断，先打印串口路径；\n"
    "带 -- 命令 参数... 时运行该命令，其中的 {port} 换成串口路径，并以命令的退出状态结束\n";

constexpr const char* kExamples =
    "示例:\n"
    "  dimmwand-emu                                            //持续服务，先打印串口路径\n"
    "  dimmwand-emu -- dimmwand read {port} 5                  //对模拟器运行一条命令\n"
    "  dimmwand-emu --line-rate -- dimmwand read {port} 5      //按真实 115200 波特线路的速率回答\n"
    "  dimmwand-emu --silent -- dimmwand ReadByte {port} 3 0   //模拟编程器无响应\n"
    "  dimmwand-emu --only 4 -- dimmwand read {port} 3         //只插一条 DDR4，却按 DDR3 读取";

// "spd3" as the help names it: "DDR3 SPD".
std::string area_words(std::string_view name) {
  std::string kind(name.substr(0, 3));
  for (auto& c : kind) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return fmt::format("DDR{} {}", name.substr(3), kind);
}

// The whole description; the callbacks and bound values write into `o`.
void describe(CLI::App& app, Options& o) {
  app.set_help_flag("-h,--help", "Print help");
  app.set_version_flag("-V,--version", version_text(kProgram), "Print version");
  app.footer(kExamples);
  for (const auto& a : kAreaNames) {
    app.add_option_function<std::string>(
           fmt::format("--{}", a.name), [&o, name = std::string(a.name)](const std::string& p) { o.images[name] = p; },
           fmt::format("从 {} 字节的原始映像载入 {} 区", a.size, area_words(a.name)))
        ->type_name("FILE");
  }
  app.add_flag("--save", o.save, "退出时把从文件载入的数据区写回这些文件");
  app.add_option("--log", o.log_path, "写帧日志：每帧一行，秒数、字节、做了什么")->type_name("FILE");
  app.add_option("--export", o.export_dir, "把四个缺省映像写到 DIR 后退出")->type_name("DIR");
  app.add_option("--swap", o.swap_file,
                 "第二条内存条的 SPD 映像（大小决定代数）：每收到一次 SIGUSR1，就与插槽里同代的那条互换，"
                 "如同拔下一条、插上另一条；--save 时各自写回自己的文件")
      ->type_name("FILE");
  app.add_option_function<double>(
         "--write-cycle",
         [&o](double ms) {
           if (!(ms >= 0)) throw CLI::ValidationError("--write-cycle", "须为不小于 0 的毫秒数");
           o.write_cycle_ms = ms;
         },
         "EEPROM 的写周期，毫秒：字节写入在它结束之后才回答（缺省 5）")
      ->type_name("MS");
  app.add_option_function<double>(
         "--min-write-gap",
         [&o](double ms) {
           if (!(ms >= 0)) throw CLI::ValidationError("--min-write-gap", "须为不小于 0 的毫秒数");
           o.min_write_gap_ms = ms;
         },
         "与上一次字节写入相隔不到这么多毫秒的字节写入丢失，结束时报告其数目（缺省不作此判断）")
      ->type_name("MS");
  auto* faults = app.add_option_group("线路故障");
  faults->add_flag("--silent", o.silent, "从不回答");
  faults->add_flag("--no-line-feed", [&o](std::int64_t) { o.style.line_feed = false; }, "回答末尾不带换行");
  faults->add_option("--chunk", o.chunk, "把回答分成每段 N 字节发送")->type_name("N");
  faults->add_option("--chunk-delay", o.chunk_delay_ms, "段间停顿，毫秒（缺省 20）")->type_name("MS");
  faults->add_option("--short", o.style.short_by, "整区回答少发最后 N 个字节")->type_name("N");
  faults->add_flag("--separators", o.style.separators, "回答的字节之间加空格");
  faults->add_flag("--lower", o.style.lower_case, "使用小写十六进制数字");
  faults->add_option("--stale", o.stale, "启动时和每次回答 50 ms 之后发送 TEXT（转义: \\n \\r \\xHH）")
      ->type_name("TEXT");
  faults->add_option("--hangup-after", o.hangup_after, "第 N 帧到达时断线")->type_name("N");
  faults->add_option("--babble", o.babble, "收到一帧之后不停地发送 TEXT，从不发换行")->type_name("TEXT");
  faults->add_flag("--hangup-mid-answer", o.hangup_mid_answer, "第一个回答发到一半时断线");
  faults
      ->add_option_function<std::string>(
          "--answer", [&o](const std::string& t) { o.style.fixed = t; }, "用 TEXT 回答每个请求（转义: \\n \\r \\xHH）")
      ->type_name("TEXT");
  faults->add_option("--write-answer", o.style.write_answer, "单字节写入的文本回答（缺省 1）")->type_name("TEXT");
  faults->add_option("--protect-answer", o.style.protect_answer, "写保护码以十六进制发送的文本（缺省 OK）")
      ->type_name("TEXT");
  auto* module = app.add_option_group("内存条与线路");
  module
      ->add_option_function<std::string>(
          "--only",
          [&o](const std::string& g) {
            if (g != "3" && g != "4" && g != "5") throw CLI::ValidationError("--only", "须为 3、4 或 5");
            o.only = static_cast<DeviceType>(g[0] - '0');
          },
          "插槽里只有这一代的一条内存条：指明其他代数的帧按那一代的地址读写它，如同在实物上选错了代数"
          "（缺省每代各一条）")
      ->type_name("3|4|5");
  module
      ->add_option_function<std::string>(
          "--protect-range",
          [&o](const std::string& t) {
            const auto ranges = parse_ranges(t, 16);
            if (!ranges) throw CLI::ValidationError("--protect-range", "须为十六进制范围，如 0-7F,100");
            for (const auto& [a, b] : *ranges) {
              o.faults.protected_ranges.emplace_back(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b));
            }
          },
          "DDR3/DDR4 SPD 上字节写入被忽略的地址（十六进制，如 0-7F），如同写保护")
      ->type_name("RANGES");
  module
      ->add_option("--protect-blocks", o.protect_blocks,
                   "DDR5：在 MR12/MR13 中置上这些块的位（如 0-7,12）；写入受保护块的字节被忽略")
      ->type_name("BLOCKS");
  module->add_option("--flaky", o.faults.flaky_every, "每第 N 次整区读取的回答里翻转一个随机位")->type_name("N");
  module->add_option("--seed", o.faults.seed, "翻转位的随机种子（缺省 1）")->type_name("N");
  module
      ->add_option_function<std::string>(
          "--lose-writes",
          [&o](const std::string& t) {
            const auto ranges = parse_ranges(t, 16);
            if (!ranges) throw CLI::ValidationError("--lose-writes", "须为十六进制地址，如 1FE,1FF");
            for (const auto& [a, b] : *ranges) {
              for (auto x = a; x <= b; ++x) o.faults.lost_writes.insert(static_cast<std::uint16_t>(x));
            }
          },
          "这些地址（十六进制）的字节写入帧在线路上丢失：不写入、不回答")
      ->type_name("ADDRS");
  module->add_flag("--line-rate", o.line_rate, "按真实 115200 波特线路的速率发送回答（每字节 86.8 us）");
  module->add_option("--read-time", o.read_time_ms, "编程器读取内存条所用的时间：读请求之后等待这么多毫秒再回答")
      ->type_name("MS");
  module->add_option("--interrupt-after", o.interrupt_after, "带命令时：第 N 帧到达时向命令发送 SIGINT")
      ->type_name("N");
}

}  // namespace

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
  if (o.style.fixed) o.style.fixed = unescape(*o.style.fixed);
  o.stale = unescape(o.stale);
  return o;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    if (c == 'n')
      out += '\n';
    else if (c == 'r')
      out += '\r';
    else if (c == 't')
      out += '\t';
    else if (c == 'x' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
             std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

std::optional<std::vector<std::pair<unsigned long, unsigned long>>> parse_ranges(const std::string& text, int base) {
  std::vector<std::pair<unsigned long, unsigned long>> ranges;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t comma = std::min(text.find(',', at), text.size());
    const std::string piece = text.substr(at, comma - at);
    const std::size_t dash = piece.find('-');
    try {
      std::size_t used = 0;
      const std::string a = piece.substr(0, dash);
      const unsigned long first = std::stoul(a, &used, base);
      if (used != a.size()) return std::nullopt;
      unsigned long last = first;
      if (dash != std::string::npos) {
        const std::string b = piece.substr(dash + 1);
        last = std::stoul(b, &used, base);
        if (used != b.size() || last < first) return std::nullopt;
      }
      ranges.emplace_back(first, last);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    at = comma + 1;
  }
  return ranges;
}

}  // namespace dimmwand::emu
