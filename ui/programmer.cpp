#include "programmer.hpp"

#include <fmt/format.h>

#include "commands/area.hpp"
#include "commands/area_read.hpp"
#include "commands/image_checks.hpp"
#include "door.hpp"
#include "model/hub.hpp"
#include "operation.hpp"
#include "platform/port_list.hpp"

namespace dimmwand::ui {
namespace {

constexpr std::size_t kPlanIdBytes = 16;
constexpr const char* kNoTwoAgree = "三次读出的内容两两不同，线路可能有干扰；没有采用读出的内容";

// The area read until two reads agree, or the page's words for why not.
std::expected<Bytes, DeviceError> settled(SerialLink& link, DeviceType device, const AreaSpec& area) {
  auto agreed = read_area_settled(link, device, area);
  if (!agreed) return std::unexpected(std::move(agreed.error()));
  if (!*agreed) return std::unexpected(DeviceError::other(kNoTwoAgree));
  return std::move(**agreed);
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
  Json failures = Json::array();
  for (const auto& [port, f] : failures_) {
    failures.push_back({{"port", port},
                        {"generation", f.target.generation},
                        {"area", f.target.area},
                        {"log", f.log},
                        {"error", f.error},
                        {"backup", f.backup ? Json(*f.backup) : Json()},
                        {"written", f.written},
                        // Written back only when the write changed something and its backup was saved.
                        {"restorable", f.backup && f.written > 0}});
  }
  s["failures"] = failures;
  return s;
}

Json Bench::begin(const std::string& kind, const Target& t) {
  if (auto bad = bad_target(t)) return Json{{"error", *bad}};
  std::lock_guard lock(mutex_);
  if (running_) return Json{{"error", "编程器忙: 另一个操作正在进行"}, {"busy", true}};
  if (worker_.joinable()) worker_.join();
  running_ = true;
  state_ = Json{{"kind", kind}, {"port", t.port}, {"generation", t.generation}, {"area", t.area}, {"done", 0},
                {"total", 0},   {"log", ""}};
  return nullptr;
}

void Bench::launch(std::function<void()> work) {
  // Under the lock: a worker that ends at once must not let another operation begin before it is
  // held in worker_, or that one's thread would be overwritten while it runs.
  std::lock_guard lock(mutex_);
  worker_ = std::thread(std::move(work));
}

void Bench::end(const std::optional<std::string>& error, bool interrupted) {
  std::lock_guard lock(mutex_);
  if (error) {
    state_["error"] = *error;
    state_["interrupted"] = interrupted;
  }
  running_ = false;
}

Json Bench::start_read(const Target& t) {
  if (auto refused = begin("read", t); !refused.is_null()) return refused;
  launch([this, t] {
    BenchOutput output(*this);
    const auto ctx = context_for(output);
    const auto device = *device_of(t.generation);
    auto link = ctx.open_link(t.port);
    if (!link) return end(words_of(link.error()), link.error().is_interrupted());
    auto bytes = settled(*link, device, area_of(t));
    if (!bytes) return end(words_of(bytes.error()), bytes.error().is_interrupted());
    std::string note;
    if (t.area == "spd") {
      const auto judged = judge_generation((*bytes)[kKeyByte], device);
      if (judged.refusal) return end(judged.refusal);
      if (judged.note) note = *judged.note + "\n";
    } else if (!hub::is_spd5118(*bytes)) {
      note = fmt::format("读出的 REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = {:02X} {:02X}）\n",
                         (*bytes)[hub::kDeviceTypeHigh], (*bytes)[hub::kDeviceTypeLow]);
    }
    {
      std::lock_guard lock(mutex_);
      state_["image"] = to_hex(*bytes);
      state_["log"] = fmt::format("已读取 {} 字节（两次读出一致）\n{}", bytes->size(), note);
    }
    end(std::nullopt);
  });
  return Json{{"started", true}};
}

Json Bench::start_plan(const Target& t, const Bytes& image) {
  if (auto bad = bad_target(t)) return Json{{"error", *bad}};
  const auto area = area_of(t);
  if (image.size() != area.capacity) {
    return Json{{"error", fmt::format("映像 {} 字节，DDR{} {} 区为 {} 字节", image.size(), t.generation,
                                      t.area == "reg" ? "REG" : "SPD", area.capacity)}};
  }
  const auto fits = t.area == "reg" ? check_reg_image(image) : check_spd_image(image, *device_of(t.generation));
  if (!fits) return Json{{"error", page_words("映像检查未通过: " + fits.error())}};
  if (auto refused = begin("plan", t); !refused.is_null()) return refused;
  launch([this, t, image] { plan_of("write", "", t, image); });
  return Json{{"started", true}};
}

Json Bench::start_restore_plan(const std::string& restore_of, const std::string& port) {
  Target t;
  Bytes backup;
  {
    std::lock_guard lock(mutex_);
    const auto f = failures_.find(restore_of);
    if (f == failures_.end() || !f->second.backup || f->second.written == 0) {
      return Json{{"error", "这次写入没有可写回的备份"}};
    }
    t = Target{port, f->second.target.generation, f->second.target.area};
    backup = f->second.backup_bytes;
  }
  if (auto refused = begin("plan", t); !refused.is_null()) return refused;
  launch([this, t, backup, restore_of] { plan_of("restore", restore_of, t, backup); });
  return Json{{"started", true}};
}

void Bench::plan_of(const std::string& kind, const std::string& restore_of, const Target& t, const Bytes& image) {
  BenchOutput output(*this);
  const auto ctx = context_for(output);
  const auto device = *device_of(t.generation);
  auto link = ctx.open_link(t.port);
  if (!link) return end(words_of(link.error()), link.error().is_interrupted());
  auto base = settled(*link, device, area_of(t));
  if (!base) return end(words_of(base.error()), base.error().is_interrupted());
  std::optional<Bytes> registers;
  if (t.area == "spd") {
    const auto judged = judge_generation((*base)[kKeyByte], device);
    if (judged.refusal) return end(judged.refusal);
    if (judged.note) output.append(*judged.note + "\n");
    if (device == DeviceType::DDR5) {
      auto regs = settled(*link, device, *resolve_area(device, DataMode::Reg));
      if (!regs) return end(words_of(regs.error()), regs.error().is_interrupted());
      registers = std::move(*regs);
    }
  } else if (!hub::is_spd5118(*base)) {
    // No hub answered: the registers of something else are no base for a write.
    return end(
        fmt::format("读出的 REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = {:02X} {:02X}）：插槽里可能不是 "
                    "DDR5 内存条；没有生成计划",
                    (*base)[hub::kDeviceTypeHigh], (*base)[hub::kDeviceTypeLow]));
  } else if (kind == "write") {
    if (auto fits = check_reg_protection(image, *base, false); !fits) {
      return end(page_words("映像检查未通过: " + fits.error()));
    }
  }
  auto plan = make_plan(kind, t, image, std::move(*base), std::move(registers), backup_dir_.string());
  if (!plan) return end(plan.error());
  std::string why;
  const auto id = new_token(kPlanIdBytes, why);
  if (!id) return end("无法从系统取得随机数: " + why);
  plan->id = *id;
  plan->restore_of = restore_of;
  {
    std::lock_guard lock(mutex_);
    Json shown = plan->shown;
    shown["id"] = plan->id;
    if (!restore_of.empty()) shown["restore_of"] = restore_of;
    state_["plan"] = shown;
    plan_ = std::move(*plan);
  }
  end(std::nullopt);
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
