// The programmer side of the workbench: one operation at a time (a read, a careful write, the
// write-back of its backup), run on a thread of the server through the console's own commands,
// so that frames and pauses are exactly the console's. The operation belongs to the server, not
// to a tab: closing the page does not stop it, and its outcome stays until the next one.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <functional>
#include <thread>

#include "image_api.hpp"

namespace dimmwand::ui {

struct Target {
  std::string port;
  unsigned generation = 5;
  std::string area = "spd";  // or "reg"
};

class Bench {
 public:
  explicit Bench(std::filesystem::path backup_dir) : backup_dir_(std::move(backup_dir)) {}
  ~Bench() { wait(); }

  // Each starts the operation, or answers why not (busy, a bad target) as {"error"}.
  Json start_read(const Target& t);
  // Only the careful path: write --check --changed --verify with a backup in the backup folder.
  Json start_write(const Target& t, const Bytes& image);
  // Writes the last write's backup back, the same careful way.
  Json start_restore();

  // The operation now or last: kind, running, done/total, log, error, image read, backup.
  Json status() const;
  // The checks write --check makes of `image` before any port is opened.
  static Json checks(const Target& t, const Bytes& image);
  // The SPD blocks (of 64 bytes) a DDR5 hub's registers protect, as write refuses them.
  static Json protection(const Bytes& registers);
  // The ports as scan --long lists them.
  static Json ports();

  bool running() const;
  void wait();

 private:
  Json begin(const std::string& kind, const Target& t);
  void run_write_of(const Target& t, const std::string& input, bool remove_input);
  void launch(std::function<void()> work);  // starts the operation's thread, held under the lock
  std::string backup_path(const Target& t) const;
  friend class BenchOutput;

  std::filesystem::path backup_dir_;
  mutable std::mutex mutex_;
  std::thread worker_;
  bool running_ = false;
  Json state_ = Json::object();
  Target last_target_;
  std::string last_backup_;
};

}  // namespace dimmwand::ui
