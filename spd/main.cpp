// dimmwand-spd: know what is in an SPD image before it goes onto a module.
//   dimmwand-spd check FILE [DEVICE]       verify every checksum (status 1 when one is wrong)
//   dimmwand-spd fix FILE [DEVICE] -o OUT  write a copy with every checksum recomputed
//   dimmwand-spd info FILE [DEVICE]        decode the essentials
//   dimmwand-spd diff A B                  the bytes that differ (status 1 when any does)
#include <fmt/format.h>

#include "cli/help_formatter.hpp"
#include "cli/parse_support.hpp"
#include "cli/version.hpp"
#include "platform/console.hpp"
#include "cli/exit.hpp"
#include "spd/commands.hpp"

namespace {

using namespace dimmwand;

std::unique_ptr<CLI::App> description() {
  auto app = std::make_unique<CLI::App>("SPD 映像的校验、修正、解读与比较", "dimmwand-spd");
  app->formatter(std::make_shared<HelpFormatter>());
  app->allow_windows_style_options(false);
  app->set_help_flag("-h,--help", "Print help");
  app->set_version_flag("-V,--version", version_text("dimmwand-spd"), "Print version");
  app->footer(
      "示例:\n"
      "  dimmwand-spd check spd4.bin              //检查校验和\n"
      "  dimmwand-spd fix spd4.bin -o fixed.bin   //重算校验和并另存\n"
      "  dimmwand-spd info spd5.bin               //解读映像\n"
      "  dimmwand-spd info reg5.bin               //解读 DDR5 REG 区（集线器寄存器）\n"
      "  dimmwand-spd diff old.bin new.bin        //比较两个映像");
  app->require_subcommand(1);
  const auto file = [](CLI::App* sub, const char* id, const char* value_name, const char* help) {
    sub->add_option(id)->description(help)->type_name(value_name)->required();
  };
  const auto device = [](CLI::App* sub) {
    sub->add_option("device")
        ->description("DDR 类型: 3 | 4 | 5（缺省按文件判断）")
        ->type_name("DEVICE")
        ->check(cli::one_of(kDeviceValues, "DEVICE", false));
  };
  const auto mode = [](CLI::App* sub) {
    sub->add_option("-t")
        ->description("映像种类（缺省: 128 字节为 REG 区，其余为 SPD）")
        ->type_name("MODE")
        ->check(cli::one_of(kModeValues, "MODE", true));
  };
  CLI::App* check = app->add_subcommand("check", "检查 JEDEC、XMP 3.0 与 EXPO 校验和");
  file(check, "file", "FILE", "SPD 或 REG 区映像文件");
  device(check);
  mode(check);
  CLI::App* fix = app->add_subcommand("fix", "重算所有校验和，另存为新文件");
  file(fix, "file", "FILE", "SPD 映像文件");
  device(fix);
  mode(fix);
  fix->add_option("-o")->description("输出文件")->type_name("OUT")->required()->check(cli::path_value("-o <OUT>"));
  CLI::App* info = app->add_subcommand("info", "解读映像：类型、容量、速率、时序、制造商等；REG 区: 集线器寄存器");
  file(info, "file", "FILE", "SPD 或 REG 区映像文件");
  device(info);
  mode(info);
  info->add_flag("--all")->description("完整解读：每个字段，按节列出");
  for (auto* sub : {check, info}) sub->add_flag("--json")->description("输出一个 JSON 文档（键见手册页）");
  CLI::App* diff = app->add_subcommand("diff", "比较两个映像，按字段列出不同的字节");
  file(diff, "a", "A", "原映像");
  file(diff, "b", "B", "新映像");
  diff->add_flag("--json")->description("输出一个 JSON 文档（键见手册页）");
  for (auto* sub : {check, fix, info, diff}) sub->footer("");
  cli::add_help_subcommand(*app);
  return app;
}

std::optional<DeviceType> device_of(const CLI::App& sub) {
  const CLI::Option* o = sub.get_option_no_throw("device");
  if (o == nullptr || o->count() == 0) return std::nullopt;
  return static_cast<DeviceType>(3 + *cli::match_value(kDeviceValues, o->as<std::string>(), false));
}

std::optional<DataMode> mode_of(const CLI::App& sub) {
  const CLI::Option* o = sub.get_option_no_throw("-t");
  if (o == nullptr || o->count() == 0) return std::nullopt;
  return cli::match_value(kModeValues, o->as<std::string>(), true) == 1 ? DataMode::Reg : DataMode::Spd;
}

// Runs the chosen subcommand; the exit status, with 1 also for images that differ.
int run(const CLI::App& sub) {
  const auto text = [&](const char* id) { return sub.get_option(id)->as<std::string>(); };
  const std::string& name = sub.get_name();
  const auto flag = [&](const char* id) {
    const CLI::Option* o = sub.get_option_no_throw(id);
    return o != nullptr && o->count() != 0;
  };
  const auto image = [&] { return spd::ImageArgs{text("file"), device_of(sub), mode_of(sub), flag("--all"), flag("--json")}; };
  Result<> outcome;
  bool differ = false;
  if (name == "check") outcome = spd::run_check(image());
  if (name == "fix") outcome = spd::run_fix(image(), text("-o"));
  if (name == "info") outcome = spd::run_info(image());
  if (name == "diff") {
    auto d = spd::run_diff(text("a"), text("b"), flag("--json"));
    if (d) differ = *d;
    else outcome = std::unexpected(std::move(d.error()));
  }
  const int status = finish(outcome);
  return status == kExitSuccess && differ ? kExitCommandFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
  auto args = prepare_console(argc, argv);
  auto app = description();
  if (args.view().size() <= 1) {
    fmt::print("{}\n", app->help());
    return kExitSuccess;
  }
  const auto chosen = cli::parse_with(*app, args.view());
  return chosen ? run(**chosen) : finish(chosen.error());
}
