// The write of a plan, and the failed writes kept for their ports.
#include "programmer.hpp"

#include <fmt/format.h>

#include <ctime>

#include "commands/write_steps.hpp"
#include "operation.hpp"
#include "platform/image_file.hpp"

namespace dimmwand::ui {
namespace {

constexpr const char* kChanged = "模块内容在生成计划之后变了；请重新生成写入计划";

}  // namespace

Json Bench::start_write(const std::string& id, bool clone) {
  Plan plan;
  {
    std::lock_guard lock(mutex_);
    if (running_) return Json{{"error", "编程器忙: 另一个操作正在进行"}, {"busy", true}};
    if (!plan_ || plan_->id != id) return Json{{"error", "这个写入计划已失效；请重新生成写入计划"}};
    if (plan_->other_module && !clone) {
      return Json{{"error", "插槽里是另一条内存条：要把它写成映像的副本，请先勾选“写成副本”"}};
    }
    plan = std::move(*plan_);
    plan_.reset();
  }
  if (auto refused = begin(plan.kind, plan.target); !refused.is_null()) return refused;
  launch([this, plan = std::move(plan)] { write_of(plan); });
  return Json{{"started", true}};
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

void Bench::write_of(const Plan& plan) {
  BenchOutput output(*this);
  const auto ctx = context_for(output);
  const auto& t = plan.target;
  std::error_code made;
  std::filesystem::create_directories(backup_dir_, made);
  // A write-back puts the module's own earlier content back as it was read, a damaged or blank
  // module's too: it is not judged like an image from the page (--check), only written carefully.
  const WriteArgs args{
      common_of(t), plan.kind == "write" ? "页面中的映像" : "备份", true, true, backup_path(t), plan.kind == "write",
      false};
  std::optional<Bytes> saved;
  const auto failed = [&](const std::string& error, bool interrupted = false) {
    {
      std::lock_guard lock(mutex_);
      const std::string log = state_.value("log", std::string());
      if (plan.kind == "restore") {
        // The write that failed first keeps its backup: that is the content to get back.
        if (auto f = failures_.find(plan.restore_of); f != failures_.end()) {
          f->second.log = log;
          f->second.error = error;
        }
      } else {
        failures_[t.port] = Failure{t,
                                    log,
                                    error,
                                    saved ? args.backup : std::nullopt,
                                    saved.value_or(Bytes()),
                                    state_.value("done", std::size_t{0})};
      }
    }
    end(error, interrupted);
  };
  const auto area = area_of(t);
  auto link = ctx.open_link(t.port);
  if (!link) return failed(words_of(link.error()), link.error().is_interrupted());
  auto before = read_before(*link, args, area, plan.image, ctx);
  if (!before) return failed(words_of(before.error()), before.error().is_interrupted());
  saved = *before->current;
  {
    std::lock_guard lock(mutex_);
    state_["backup"] = *args.backup;
  }
  if (!still_holds(plan, *before->current)) return failed(kChanged);
  const auto planned = plan_write(plan.image, before->current, before->registers);
  if (!planned) return failed(words_of(planned.error()));
  if (planned->addresses != plan.addresses) return failed(kChanged);
  if (planned->notice) output.err(*planned->notice);
  const auto done = write_planned(&*link, args, &area, &plan.image, &*planned, ctx);
  if (!done) return failed(words_of(done.error()), done.error().is_interrupted());
  if (plan.kind == "restore") {
    std::lock_guard lock(mutex_);
    failures_.erase(plan.restore_of);
  }
  end(std::nullopt);
}

Json Bench::dismiss(const std::string& port) {
  std::lock_guard lock(mutex_);
  failures_.erase(port);
  return Json{{"dismissed", port}};
}

}  // namespace dimmwand::ui
