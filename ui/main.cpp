// dimmwand-ui: the workbench in the browser. Serves one page on 127.0.0.1, prints its address
// with the token as the first line of standard output, and opens it in the default browser.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/version.hpp"
#include "platform/console.hpp"
#include "guarded_server.hpp"
#include "platform/desktop.hpp"
#include "platform/interrupt.hpp"
#include "platform/net.hpp"
#include "server.hpp"
#include "spd/input.hpp"

namespace {

using namespace dimmwand;
using namespace dimmwand::ui;

constexpr std::size_t kTokenBytes = 16;  // 128 bits
constexpr auto kInterruptPoll = std::chrono::milliseconds(200);

struct Options {
  std::vector<std::string> files;
  unsigned port = 0;
  bool no_browser = false;
  std::string programmer;
  std::string backup_dir;
};

int run(const Options& o) {
  Workbench wb;
  for (const auto& file : o.files) {
    auto image = spd::load_image(file);
    if (!image) {
      fmt::print(stderr, "错误: {}\n", image.error().display());
      return 1;
    }
    wb.files.emplace_back(std::filesystem::path(file).filename().string(), std::move(*image));
  }
  wb.programmer = o.programmer;
  wb.backup_dir = o.backup_dir.empty() ? documents_folder() / "dimmwand-backups" : std::filesystem::path(o.backup_dir);
  std::string why;
  const auto token = new_token(kTokenBytes, why);
  if (!token) {
    fmt::print(stderr, "错误: 无法从系统取得随机数: {}\n", why);
    return 1;
  }
  Bench bench(wb.backup_dir);
  wb.bench = &bench;
  GuardedServer server;
  int port = 0;
  if (o.port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
  } else if (server.bind_to_port("127.0.0.1", static_cast<int>(o.port))) {
    port = static_cast<int>(o.port);
  } else {
    port = -1;
  }
  if (port <= 0) {
    // The library keeps the system's reason to itself: a socket of our own asks again.
    const auto reason = o.port == 0 ? std::nullopt : listen_refusal(o.port);
    fmt::print(stderr, "错误: 无法在 127.0.0.1{} 上监听{}\n", o.port == 0 ? "" : fmt::format(":{}", o.port),
               reason ? ": " + *reason : "");
    return 1;
  }
  wb.door = Door{*token, static_cast<unsigned>(port)};
  install_routes(server, wb);
  const auto url = fmt::format("http://127.0.0.1:{}/?token={}", port, *token);
  fmt::print("{}\n", url);
  std::fflush(stdout);
  catch_interrupts();
  std::thread listener([&server] { server.listen_after_bind(); });
  // The browser is opened on a file of this user's that leads on to the address, never on the
  // address itself: a command line is there for every user of the machine to read.
  std::optional<std::filesystem::path> forwarding;
  if (!o.no_browser) {
    auto opened = open_in_browser(url, fmt::format("dimmwand-ui-{}.html", port));
    if (opened)
      forwarding = *opened;
    else
      fmt::print(stderr, "提示: 无法打开浏览器（{}），请手动打开上面的地址\n", opened.error());
  }
  while (!interrupted()) std::this_thread::sleep_for(kInterruptPoll);
  // The operation in progress stops at a frame boundary, as the console's does, and says its count.
  bench.wait();
  const auto last = bench.status();
  const bool stopped = last.value("interrupted", false);
  if (stopped) fmt::print(stderr, "错误: {}\n", last.value("error", std::string()));
  server.stop();
  listener.join();
  std::error_code ignored;
  if (forwarding) std::filesystem::remove(*forwarding, ignored);
  return stopped ? 130 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  // UTF-8 arguments and console output on Windows too.
  const auto args = dimmwand::prepare_console(argc, argv);
  Options o;
  CLI::App app("本地网页工作台：查看、修改、比较 SPD 映像，经编程器读写内存条", "dimmwand-ui");
  app.allow_windows_style_options(false);  // "/x" is a path, never an option
  app.set_version_flag("-V,--version", [] { return dimmwand::version_text("dimmwand-ui"); });
  app.add_option("FILE", o.files, "启动时在页面中打开的映像（第一个先显示）");
  app.add_option("--listen", o.port, "监听 127.0.0.1 上的这个端口（缺省由系统挑选）")
      ->type_name("PORT")
      ->check(CLI::Range(1, 65535));
  app.add_flag("--no-browser", o.no_browser, "不打开浏览器，只打印地址");
  app.add_option("--programmer", o.programmer, "页面上预先填好的编程器串口")->type_name("PORT");
  app.add_option("--backup-dir", o.backup_dir, "写入前的备份保存在这里（缺省: 主目录或“文档”下的 dimmwand-backups）")
      ->type_name("DIR");
  try {
    app.parse(static_cast<int>(args.view().size()), args.view().data());
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return run(o);
}
