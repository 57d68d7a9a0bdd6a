#include "programmer.hpp"

#include <fmt/format.h>

#include <atomic>
#include <ctime>

#include "commands/commands.hpp"
#include "commands/image_checks.hpp"
#include "model/hub.hpp"
#include "platform/image_file.hpp"
#include "platform/interrupt.hpp"
#include "platform/port_list.hpp"

namespace dimmwand::ui {

// What a command says goes to the operation's log, and its frame count to the progress bar.
class BenchOutput final : public Output {
 public:
  explicit BenchOutput(Bench& bench) : bench_(bench) {}
  void out(std::string_view text) override { append(text); }
  void err(std::string_view text) override { append(text); }
  void progress(std::size_t done, std::size_t total) override {
    std::lock_guard lock(bench_.mutex_);
    bench_.state_["done"] = done;
    bench_.state_["total"] = total;
  }

 private:
  void append(std::string_view text) {
    std::lock_guard lock(bench_.mutex_);
    bench_.state_["log"] = bench_.state_.value("log", std::string()) + std::string(text);
  }
  Bench& bench_;
};

namespace {

std::atomic<unsigned> temp_counter{0};

std::optional<DeviceType> device_of(unsigned g) {
  if (g < 3 || g > 5) return std::nullopt;
  return static_cast<DeviceType>(g);
}

Common common_of(const Target& t) {
  return Common{t.port, *device_of(t.generation), t.area == "reg" ? std::optional(DataMode::Reg) : std::nullopt};
}

std::filesystem::path temp_file(const char* what) {
  return std::filesystem::temp_directory_path() /
         fmt::format("dimmwand-ui-{}-{}-{}.bin", what, static_cast<long long>(std::time(nullptr)), temp_counter++);
}

Context context_for(Output& output) {
  // The console's own port and pause; Ctrl-C of the server stops an operation as it stops the console's.
  const auto system = system_context([] { return interrupted(); });
  return Context{system.open_link, system.pause, output};
}

Json bad_target(const Target& t) {
  if (t.port.empty()) return Json{{"error", "请先选择或输入串口"}};
  if (!device_of(t.generation)) return Json{{"error", "代数须为 3、4 或 5"}};
  if (t.area != "spd" && t.area != "reg") return Json{{"error", "数据区须为 spd 或 reg"}};
  if (t.area == "reg" && t.generation != 5) return Json{{"error", "REG 区仅适用于 D5"}};
  return nullptr;
}

}  // namespace

bool Bench::running() const {
  std::lock_guard lock(mutex_);
  return running_;
}

void Bench::wait() {
  if (worker_.joinable()) worker_.join();
}

Json Bench::status() const {
  std::lock_guard lock(mutex_);
  Json s = state_;
  s["running"] = running_;
  return s;
}

Json Bench::begin(const std::string& kind, const Target& t) {
  if (auto bad = bad_target(t); !bad.is_null()) return bad;
  std::lock_guard lock(mutex_);
  if (running_) return Json{{"error", "编程器忙: 另一个操作正在进行"}, {"busy", true}};
  if (worker_.joinable()) worker_.join();
  running_ = true;
  state_ = Json{{"kind", kind}, {"port", t.port}, {"generation", t.generation}, {"area", t.area}, {"done", 0},
                {"total", 0},   {"log", ""}};
  return nullptr;
}

Json Bench::start_read(const Target& t) {
  if (auto refused = begin("read", t); !refused.is_null()) return refused;
  launch([this, t] {
    BenchOutput output(*this);
    const auto path = temp_file("read");
    const auto done = run_read(ReadArgs{common_of(t), path.string(), false}, context_for(output));
    auto image = done ? read_image(path.string(), 64 * 1024) : std::expected<Bytes, std::string>(std::unexpected(""));
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::lock_guard lock(mutex_);
    if (!done) {
      state_["error"] = done.error().display();
      state_["interrupted"] = done.error().is_interrupted();
    } else if (!image)
      state_["error"] = image.error();
    else {
      state_["image"] = to_hex(*image);
      state_["log"] = fmt::format("已读取 {} 字节\n", image->size());  // not the name of the file it passed through
    }
    running_ = false;
  });
  return Json{{"started", true}};
}

void Bench::launch(std::function<void()> work) {
  // Under the lock: a worker that ends at once must not let another operation begin before it is
  // held in worker_, or that one's thread would be overwritten while it runs.
  std::lock_guard lock(mutex_);
  worker_ = std::thread(std::move(work));
}

std::string Bench::backup_path(const Target& t) const {
  // The local time of the write, as the file's name: one operation at a time calls localtime.
  const std::time_t now = std::time(nullptr);
  char stamp[32] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", local);
  for (unsigned n = 1;; ++n) {
    const auto name =
        fmt::format("{}-ddr{}-{}{}.bin", stamp, t.generation, t.area, n == 1 ? "" : fmt::format("-{}", n));
    const auto path = (backup_dir_ / name).string();
    if (!path_exists(path)) return path;
  }
}

void Bench::run_write_of(const Target& t, const std::string& input, bool remove_input) {
  BenchOutput output(*this);
  std::error_code made;
  std::filesystem::create_directories(backup_dir_, made);
  const auto backup = backup_path(t);
  {
    std::lock_guard lock(mutex_);
    state_["backup"] = backup;
  }
  // A write-back puts the module's own earlier content back as it was read, a damaged or blank
  // module's too: it is not judged like an image from the page (--check), only written carefully.
  const bool check = remove_input;
  WriteArgs args{common_of(t), input, true, true, backup, check, false};
  const auto done = run_write(args, context_for(output));
  if (remove_input) {
    std::error_code ignored;
    std::filesystem::remove(input, ignored);
  }
  std::lock_guard lock(mutex_);
  if (path_exists(backup)) {
    last_backup_ = backup;
    last_target_ = t;
  } else {
    state_.erase("backup");
  }
  if (!done) {
    state_["error"] = done.error().display();
    state_["interrupted"] = done.error().is_interrupted();
  }
  running_ = false;
}

Json Bench::start_write(const Target& t, const Bytes& image) {
  if (auto refused = begin("write", t); !refused.is_null()) return refused;
  const auto input = temp_file("write").string();
  if (auto saved = save_new_image(input, image); !saved) {
    std::lock_guard lock(mutex_);
    state_["error"] = fmt::format("无法保存临时文件 {}: {}", input, saved.error());
    running_ = false;
    return Json{{"error", state_["error"]}};
  }
  launch([this, t, input] { run_write_of(t, input, true); });
  return Json{{"started", true}};
}

Json Bench::start_restore() {
  std::string backup;
  Target t;
  {
    std::lock_guard lock(mutex_);
    backup = last_backup_;
    t = last_target_;
  }
  if (backup.empty()) return Json{{"error", "没有可写回的备份"}};
  if (auto refused = begin("restore", t); !refused.is_null()) return refused;
  {
    std::lock_guard lock(mutex_);
    state_["restoring"] = backup;
  }
  launch([this, t, backup] { run_write_of(t, backup, false); });
  return Json{{"started", true}};
}

Json Bench::checks(const Target& t, const Bytes& image) {
  if (auto bad = bad_target(t); !bad.is_null() && t.port.empty() == false) return bad;
  const auto device = device_of(t.generation);
  if (!device) return Json{{"error", "代数须为 3、4 或 5"}};
  const auto fits = t.area == "reg" ? check_reg_image(image) : check_spd_image(image, *device);
  if (!fits) return Json{{"ok", false}, {"reason", fits.error()}};
  return Json{{"ok", true}};
}

Json Bench::protection(const Bytes& registers) {
  if (registers.size() != kRegAreaSize) return Json{{"error", fmt::format("REG 区应为 {} 字节", kRegAreaSize)}};
  const auto mask = hub::protected_blocks(registers);
  Json blocks = Json::array();
  for (unsigned b = 0; b < 16; ++b) {
    if (mask & (1U << b)) blocks.push_back(b);
  }
  return Json{{"blocks", blocks}, {"block_size", hub::kBlockSize}};
}

Json Bench::ports() {
  const auto listing = list_serial_port_details();
  if (!listing) return Json{{"error", fmt::format("枚举串口失败: {}", listing.error())}};
  Json out = Json::array();
  for (const auto& p : *listing) {
    out.push_back({{"name", p.name},
                   {"description", p.description},
                   {"transport", p.transport},
                   {"vid_pid", p.vid && p.pid ? fmt::format("{:04X}:{:04X}", *p.vid, *p.pid) : "-"},
                   {"serial_number", p.serial_number},
                   {"manufacturer", p.manufacturer}});
  }
  return Json{{"ports", out}};
}

}  // namespace dimmwand::ui
