#include <fmt/format.h>

#include <chrono>
#include <cstdio>

#include "commands/area.hpp"
#include "commands/commands.hpp"
#include "console.hpp"
#include "files/image_file.hpp"
#include "protocol/link.hpp"

namespace dimmwand {
namespace {

constexpr std::chrono::milliseconds kWritePause{7};              // after every frame: the EEPROM's write cycle
constexpr std::chrono::milliseconds kProgressInterval{250};      // between redraws of the live counter

// A live "sent/total" counter after the progress text, on a terminal only. It is erased again
// before anything else is printed, so the line ends as if it had never been there.
class LiveProgress {
 public:
  LiveProgress(std::size_t total, bool enabled) : total_(total), enabled_(enabled) {}
  ~LiveProgress() { erase(); }
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;

  void update(std::size_t sent) {
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || (shown_ != 0 && now - last_drawn_ < kProgressInterval && sent != total_)) return;
    last_drawn_ = now;
    const std::string counter = fmt::format("{}/{}", sent, total_);
    put(std::string(shown_, '\b') + counter);
    shown_ = counter.size();
  }

  void erase() {
    if (shown_ == 0) return;
    put(std::string(shown_, '\b') + std::string(shown_, ' ') + std::string(shown_, '\b'));
    shown_ = 0;
  }

 private:
  static void put(const std::string& s) {
    std::fputs(s.c_str(), stderr);
    std::fflush(stderr);
  }

  std::size_t total_;
  bool enabled_;
  std::size_t shown_ = 0;  // characters of the counter now on the screen
  std::chrono::steady_clock::time_point last_drawn_{};
};

}  // namespace

Result<> run_write(WriteArgs args) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  const auto n = generation(args.common.device);
  // One byte more than the area tells a longer file apart without reading it whole.
  auto data = read_image(args.input, area->capacity + 1);
  if (!data) return std::unexpected(DeviceError::file(FileFailure::Action::Read, args.input, data.error()));
  if (data->empty()) return std::unexpected(DeviceError::other("文件为空"));
  if (data->size() > area->capacity) {
    fmt::print("文件超出 D{} 容量，仅写入前 {} 字节\n", n, area->capacity);
    std::fflush(stdout);
    data->resize(area->capacity);
  }
  auto link = open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));

  fmt::print(stderr, "写入中 {} 字节 ... ", data->size());
  std::fflush(stderr);
  LiveProgress progress(data->size(), stderr_is_terminal());
  for (std::size_t i = 0; i < data->size(); ++i) {
    const RequestFrame frame{area->write_command, n, static_cast<std::uint16_t>(i), (*data)[i]};
    if (auto sent = send_request(*link, frame); !sent) return sent;
    precise_sleep(kWritePause);
    progress.update(i + 1);
  }
  progress.erase();
  fmt::print("完成\n");
  return {};
}

}  // namespace dimmwand
