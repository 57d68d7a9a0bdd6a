// dimmwand-spd: know what is in an SPD image before it goes onto a module.
//   dimmwand-spd check FILE [DEVICE]       verify every checksum (status 1 when one is wrong)
//   dimmwand-spd fix FILE [DEVICE] -o OUT  write a copy with every checksum recomputed
//   dimmwand-spd info FILE [DEVICE]        decode the essentials
//   dimmwand-spd diff A B                  the bytes that differ (status 1 when any does)
//   dimmwand-spd convert IN -o OUT         a text dump as the raw image
//   dimmwand-spd host [--save DIR]         the modules in this computer, through the kernel's drivers
//   dimmwand-spd kit FILE...               can these modules run together, and how fast
//   dimmwand-spd fields FILE               what set can change, with the values now
//   dimmwand-spd set FILE K=V... -o OUT    a copy with these fields changed, and only their bytes
//   dimmwand-spd rebin FILE --speed N -o OUT        a copy whose top speed is N
//   dimmwand-spd promote FILE --profile P -o OUT    a copy whose JEDEC base is profile P
// Each image may be a text dump (dimmwand read's, i2cdump, hexdump -C, xxd, plain hex).
#include <algorithm>
#include <fmt/format.h>

#include "cli/common.hpp"
#include "cli/exit.hpp"
#include "cli/help_formatter.hpp"
#include "cli/parse_support.hpp"
#include "cli/version.hpp"
#include "platform/console.hpp"
#include "spd/commands.hpp"
#include "spd/edit_commands.hpp"
#include "spd/values.hpp"

namespace {

using namespace dimmwand;
using spd::assignment;
using spd::generation_number;
using spd::speed_value;

// Usage errors in Chinese, as every other message of dimmwand-spd.
const cli::UsageTexts& kUsage = cli::kChineseUsage;

void file(CLI::App& sub, const char* id, const char* value_name, const char* help) {
  sub.add_option(id)->description(help)->type_name(value_name)->required();
}

void output(CLI::App& sub, const char* help) {
  sub.add_option("-o")->description(help)->type_name("OUT")->required()->check(cli::path_value("-o <OUT>", kUsage));
}

// An image and what the user says of it: the generation, and SPD or REG.
void image(CLI::App& sub, const char* help) {
  file(sub, "file", "FILE", help);
  sub.add_option("device")
      ->description("DDR 类型: 3 | 4 | 5（也可写 DDR4 等，不分大小写；缺省按文件判断）")
      ->type_name("DEVICE")
      ->check(cli::one_of(kDeviceValues, "DEVICE", false, kUsage))
      ->transform(generation_number);
  sub.add_option("-t")
      ->description("映像种类（缺省: 128 字节为 REG 区，其余为 SPD）")
      ->type_name("MODE")
      ->check(cli::one_of(kModeValues, "MODE", true, kUsage));
}

void json(CLI::App& sub) { sub.add_flag("--json")->description("输出一个 JSON 文档（键见手册页）"); }

bool flag(const CLI::App& sub, const char* id) {
  const CLI::Option* o = sub.get_option_no_throw(id);
  return o != nullptr && o->count() != 0;
}

std::string text(const CLI::App& sub, const char* id) { return sub.get_option(id)->as<std::string>(); }

std::optional<std::string> optional_text(const CLI::App& sub, const char* id) {
  return flag(sub, id) ? std::optional(text(sub, id)) : std::nullopt;
}

spd::ImageArgs image_of(const CLI::App& sub) {
  spd::ImageArgs args{text(sub, "file"),  std::nullopt,        std::nullopt,
                      flag(sub, "--all"), flag(sub, "--json"), flag(sub, "--strict")};
  if (flag(sub, "device")) args.device = kGenerations[*cli::match_value(kDeviceValues, text(sub, "device"), false)];
  if (flag(sub, "-t"))
    args.mode = cli::match_value(kModeValues, text(sub, "-t"), true) == 1 ? DataMode::Reg : DataMode::Spd;
  return args;
}

// An edit's new file: never an existing one unless --force.
void edit_output(CLI::App& sub, const char* force = "替换已存在的输出文件") {
  output(sub, "输出文件（已存在时须加 --force；从不改写输入文件；- 为标准输出）");
  sub.add_flag("--force")->description(force);
  sub.add_flag("--json")->description("在标准输出给出修改清单的 JSON 文档");
}

spd::EditOutput edit_output_of(const CLI::App& sub) {
  return {text(sub, "-o"), flag(sub, "--force"), flag(sub, "--json")};
}

struct SpdSubcommand {
  std::string_view name;
  std::array<std::string_view, 2> aliases;
  std::string_view about;
  void (*arguments)(CLI::App&);
  int (*run)(const CLI::App&);  // the exit status
};

// One row a subcommand: the parser, the help, the dispatch and the completions' lists follow it.
const std::array<SpdSubcommand, 11> kSubcommands{{
    {"check",
     {},
     "检查 JEDEC、XMP 3.0 与 EXPO 校验和",
     [](CLI::App& sub) {
       image(sub, "SPD 或 REG 区映像文件");
       sub.add_flag("--strict")->description("再检查时序、容量、日期与厂商代码是否自洽（只警告，不改变退出状态）");
       json(sub);
     },
     [](const CLI::App& sub) { return finish(spd::run_check(image_of(sub))); }},
    {"fix",
     {},
     "重算所有校验和，另存为新文件",
     [](CLI::App& sub) {
       image(sub, "SPD 映像文件");
       output(sub, "输出文件（已存在时须加 --force；从不改写输入文件）");
       sub.add_flag("--force")->description("替换已存在的输出文件");
     },
     [](const CLI::App& sub) { return finish(spd::run_fix(image_of(sub), text(sub, "-o"), flag(sub, "--force"))); }},
    {"info",
     {},
     "解读映像：类型、容量、速率、时序、制造商等；REG 区: 集线器寄存器",
     [](CLI::App& sub) {
       image(sub, "SPD 或 REG 区映像文件");
       sub.add_flag("--all")->description("完整解读：每个字段，按节列出");
       json(sub);
     },
     [](const CLI::App& sub) { return finish(spd::run_info(image_of(sub))); }},
    {"diff",
     {},
     "比较两个映像，按字段列出不同的字节",
     [](CLI::App& sub) {
       file(sub, "a", "A", "原映像");
       file(sub, "b", "B", "新映像");
       json(sub);
     },
     [](const CLI::App& sub) {
       // Images that differ end with status 1, as cmp and diff do.
       const auto differ = spd::run_diff(text(sub, "a"), text(sub, "b"), flag(sub, "--json"));
       if (!differ) return finish(std::unexpected(differ.error()));
       const int status = finish(Result<>{});
       return *differ ? kExitCommandFailed : status;
     }},
    {"convert",
     {},
     "把文本转储（dimmwand read、i2cdump、hexdump -C、xxd、十六进制字节）转成原始映像",
     [](CLI::App& sub) {
       file(sub, "file", "FILE", "文本转储或映像文件（- 为标准输入）");
       output(sub, "输出文件，不覆盖已有文件（- 为标准输出）");
       sub.add_flag("--any-size")
           ->description(
               "读出的字节数不是任何数据区的大小（128、256、512、1024），或不是字节 2 所说那一代的大小时也保存");
     },
     [](const CLI::App& sub) {
       return finish(spd::run_convert(text(sub, "file"), text(sub, "-o"), flag(sub, "--any-size")));
     }},
    {"host",
     {},
     "列出本机已安装的内存条（Linux，经内核的 SPD 驱动读取），可逐条保存",
     [](CLI::App& sub) {
       sub.add_option("--sysfs")
           ->description("sysfs 的位置（缺省 /sys）")
           ->type_name("ROOT")
           ->check(cli::path_value("--sysfs <ROOT>", kUsage));
       sub.add_option("--save")
           ->description("把每条内存条的映像存入该文件夹，以型号和序列号命名，不覆盖已有文件")
           ->type_name("DIR")
           ->check(cli::path_value("--save <DIR>", kUsage));
       json(sub);
     },
     [](const CLI::App& sub) {
       spd::HostArgs args{optional_text(sub, "--sysfs").value_or("/sys"), optional_text(sub, "--save"),
                          flag(sub, "--json")};
       return finish(spd::run_host(args));
     }},
    {"kit",
     {},
     "几条内存条能否一起使用，共同的速率与时序",
     [](CLI::App& sub) {
       sub.add_option("files")
           ->description("各内存条的映像（至少两个）")
           ->type_name("FILE")
           ->required()
           ->expected(2, -1)
           ->allow_extra_args();
     },
     [](const CLI::App& sub) { return finish(spd::run_kit(sub.get_option("files")->as<std::vector<std::string>>())); }},
    {"fields",
     {},
     "列出可修改的字段：当前值、单位与可取的范围",
     [](CLI::App& sub) {
       file(sub, "file", "FILE", "SPD 映像文件");
       json(sub);
     },
     [](const CLI::App& sub) { return finish(spd::run_fields(text(sub, "file"), flag(sub, "--json"))); }},
    {"set",
     {},
     "修改字段（型号、序列号、日期、时序、XMP/EXPO 配置…），另存为新文件；只改这些字段与覆盖它们的校验和",
     [](CLI::App& sub) {
       file(sub, "file", "FILE", "SPD 映像文件");
       sub.add_option("assignments")
           ->description(
               "要改的字段，写成 字段=值，可给多个（全改或都不改）；字段名不分大小写；速率按 JEDEC 速度档的周期存储")
           ->type_name("NAME=VALUE")
           ->required()
           ->expected(1, -1)
           ->allow_extra_args()
           ->check(assignment());
       edit_output(sub, "替换已存在的输出文件；也允许把基本速率设得高于映像原有的速率");
     },
     [](const CLI::App& sub) {
       return finish(spd::run_set(text(sub, "file"), sub.get_option("assignments")->as<std::vector<std::string>>(),
                                  edit_output_of(sub)));
     }},
    {"rebin",
     {},
     "降低最高速率：tCKmin 改为该速率的周期，时序的纳秒数不变，CL 列表按 JEDEC 速度档裁剪",
     [](CLI::App& sub) {
       file(sub, "file", "FILE", "SPD 映像文件");
       sub.add_option("--speed")
           ->description("新的最高速率（MT/s），不高于模组的额定速率")
           ->type_name("N")
           ->required()
           ->check(speed_value());
       edit_output(sub);
     },
     [](const CLI::App& sub) {
       return finish(spd::run_rebin(text(sub, "file"), static_cast<unsigned>(std::stoul(text(sub, "--speed"))),
                                    edit_output_of(sub)));
     }},
    {"promote",
     {},
     "把 XMP/EXPO 配置的速率与时序设为 JEDEC 基本设置，CL 列表与基本设置的合并",
     [](CLI::App& sub) {
       file(sub, "file", "FILE", "SPD 映像文件");
       sub.add_option("--profile")
           ->description("配置: xmp1、xmp2、xmp3…、expo1、expo2（不分大小写；校验和不成立的配置不提升）")
           ->type_name("PROFILE")
           ->required()
           ->check(cli::utf8_text("PROFILE", kUsage));
       sub.add_flag("--accept-voltage")
           ->description(
               "配置要求的电压（VDD；DDR5 还有 VDDQ、VPP）高于 JEDEC 固定电压时仍然提升（主板须能给出该电压）");
       edit_output(sub);
     },
     [](const CLI::App& sub) {
       return finish(spd::run_promote(text(sub, "file"), text(sub, "--profile"), flag(sub, "--accept-voltage"),
                                      edit_output_of(sub)));
     }},
}};

std::unique_ptr<CLI::App> description() {
  auto app =
      std::make_unique<CLI::App>("SPD 映像的校验、修正、解读、比较与修改；读取文本转储与本机的内存条", "dimmwand-spd");
  app->formatter(std::make_shared<HelpFormatter>());
  app->allow_windows_style_options(false);
  app->set_help_flag("-h,--help", "Print help");
  app->set_version_flag("-V,--version", version_text("dimmwand-spd"), "Print version");
  app->footer(
      "示例:\n"
      "  dimmwand-spd check spd4.bin                             //检查校验和\n"
      "  dimmwand-spd fix spd4.bin -o fixed.bin                  //重算校验和并另存\n"
      "  dimmwand-spd info spd5.bin                              //解读映像\n"
      "  dimmwand-spd info reg5.bin                              //解读 DDR5 REG 区（集线器寄存器）\n"
      "  dimmwand-spd diff old.bin new.bin                       //比较两个映像\n"
      "  dimmwand-spd convert spd4.txt -o spd4.bin               //把文本转储转成原始映像\n"
      "  sudo dimmwand-spd host --save backup                    //列出并备份本机的内存条（Linux）\n"
      "  dimmwand-spd kit a.bin b.bin                            //两条内存条能否一起使用\n"
      "  dimmwand-spd fields spd3.bin                            //可修改的字段与当前值\n"
      "  dimmwand-spd set a.bin serial_number=0104EEFF -o b.bin  //改序列号，另存\n"
      "  dimmwand-spd rebin a.bin --speed 1066 -o b.bin          //降到 1066 MT/s\n"
      "  dimmwand-spd promote a.bin --profile xmp1 -o b.bin      //XMP 配置 1 设为默认");
  app->require_subcommand(1);
  cli::add_subcommands(*app, kSubcommands, kUsage);
  return app;
}

}  // namespace

int main(int argc, char** argv) {
  auto args = prepare_console(argc, argv);
  auto app = description();
  if (args.view().size() <= 1) {
    fmt::print("{}\n", app->help());
    return kExitSuccess;
  }
  const auto chosen = cli::parse_with(*app, args.view(), kUsage);
  if (!chosen) return finish(chosen.error());
  return cli::entry_of(kSubcommands, **chosen).run(**chosen);
}
