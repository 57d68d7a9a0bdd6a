// The programmer side of the workbench: one operation at a time (a read, a write's plan, the
// write of a plan), run on a thread of the server through the console's own steps, so that frames
// and pauses are exactly the console's. The operation belongs to the server, not to a tab:
// closing the page does not stop it, and its outcome stays until the next one. A write that
// failed stays, with its backup, for the port it was on, until it is written back or dismissed.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "image_api.hpp"
#include "plan.hpp"

namespace dimmwand::ui {

class Bench {
 public:
  explicit Bench(std::filesystem::path backup_dir) : backup_dir_(std::move(backup_dir)) {}
  ~Bench() { wait(); }

  // Each starts the operation, or answers why not (busy, a bad target) as {"error"}.
  // The area read until two reads agree.
  Json start_read(const Target& t);
  // The plan of writing `image` ("write"), or the backup of the failed write on port `restore_of`
  // ("restore"), onto the module on t's port.
  Json start_plan(const Target& t, const Bytes& image);
  Json start_restore_plan(const std::string& restore_of, const std::string& port);
  // The write of the plan `id`; a plan onto another module needs `clone`.
  Json start_write(const std::string& id, bool clone);
  // Forgets the failed write on `port`.
  Json dismiss(const std::string& port);

  // The operation now or last (kind, running, done/total, log, error, image read, plan) and the
  // failed writes kept.
  Json status() const;
  // The ports as scan --long lists them.
  static Json ports();

  bool running() const;
  void wait();

 private:
  // A write that failed, kept for the port it was on.
  struct Failure {
    Target target;
    std::string log, error;
    std::optional<std::string> backup;  // the backup file, when it was saved
    Bytes backup_bytes;
    std::size_t written = 0;  // frames sent: with none the module is as it was
  };

  Json begin(const std::string& kind, const Target& t);
  void launch(std::function<void()> work);  // starts the operation's thread, held under the lock
  void plan_of(const std::string& kind, const std::string& restore_of, const Target& t, const Bytes& image);
  void write_of(const Plan& plan);
  void end(const std::optional<std::string>& error, bool interrupted = false);
  std::string backup_path(const Target& t) const;
  friend class BenchOutput;

  std::filesystem::path backup_dir_;
  mutable std::mutex mutex_;
  std::thread worker_;
  bool running_ = false;
  Json state_ = Json::object();
  std::optional<Plan> plan_;  // the last plan made, until it is written or another is made
  std::map<std::string, Failure> failures_;
};

}  // namespace dimmwand::ui
