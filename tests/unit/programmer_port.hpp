// A port with the programmer model behind it, and a bench that hands commands that port, a fake
// clock that their pauses move, and strings for their output: the commands run whole, without a
// pseudo-terminal, and every frame is seen with the time it was sent.
#pragma once

#include <fmt/format.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "commands/args.hpp"
#include "commands/context.hpp"
#include "fake_port.hpp"
#include "programmer.hpp"

namespace dimmwand::testing {

struct SentFrame {
  std::chrono::steady_clock::time_point at;
  EncodedFrame bytes;
};

class ProgrammerPort final : public SerialPort {
 public:
  ProgrammerPort(emu::Programmer& programmer, FakeClock& clock, std::vector<SentFrame>& sent, std::size_t unplug_after,
                 bool silent, bool late, std::chrono::microseconds drain_time)
      : programmer_(programmer),
        clock_(clock),
        sent_(sent),
        unplug_after_(unplug_after),
        silent_(silent),
        late_(late),
        drain_time_(drain_time) {}

  std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) override {
    pending_.insert(pending_.begin(), delayed_.begin(), delayed_.end());  // arriving now, after any discard
    delayed_.clear();
    if (pending_.empty()) {
      clock_.now += kLineTimeout;
      return 0;
    }
    const std::size_t n = std::min(buffer.size(), pending_.size());
    std::copy_n(pending_.begin(), n, buffer.begin());
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> bytes) override {
    if (sent_.size() >= unplug_after_) return std::unexpected("设备已移除");
    if (bytes.size() == kFrameSize) {
      EncodedFrame f{};
      std::copy(bytes.begin(), bytes.end(), f.begin());
      sent_.push_back({clock_.now, f});
    }
    for (const auto& event : programmer_.feed(bytes, clock_.now)) {
      if (event.answer && !silent_ && late_ && event.write) {
        delayed_.insert(delayed_.end(), event.answer->begin(), event.answer->end());
      } else if (event.answer && !silent_)
        pending_.insert(pending_.end(), event.answer->begin(), event.answer->end());
    }
    return bytes.size();
  }

  void discard_input() override { pending_.clear(); }

  void wait_until_sent() override { clock_.now += drain_time_; }

 private:
  emu::Programmer& programmer_;
  FakeClock& clock_;
  std::vector<SentFrame>& sent_;
  std::size_t unplug_after_;
  bool silent_;
  bool late_;
  std::chrono::microseconds drain_time_;
  std::deque<char> delayed_;  // answers to byte writes that arrive only at the next read
  std::deque<char> pending_;
};

class StringOutput final : public Output {
 public:
  void out(std::string_view text) override { out_text += text; }
  void err(std::string_view text) override { err_text += text; }
  std::string out_text;
  std::string err_text;
};

// One programmer and everything a command needs to talk to it.
struct Bench {
  explicit Bench(emu::Areas areas = emu::default_areas(), emu::Faults faults = {})
      : programmer(std::move(areas), {}, std::chrono::milliseconds(5), std::move(faults)) {}

  // The user's Ctrl-C, once this many frames have been sent.
  std::size_t cancel_after = SIZE_MAX;
  // The cable pulled once this many frames have been sent: the next write fails.
  std::size_t unplug_after = SIZE_MAX;
  // A programmer that takes every frame and never answers.
  bool silent = false;
  // A programmer whose answers to byte writes arrive late: after the discard before the next frame.
  bool late_write_answers = false;
  // How long a frame written takes to leave the port (a slow line, a driver that holds it back).
  std::chrono::microseconds drain_time{0};

  Context context() {
    return Context{[this](const std::string&) -> Result<SerialLink> {
                     clock.now += std::chrono::milliseconds(10);  // a command starts well after the last one
                     return SerialLink(std::make_unique<ProgrammerPort>(programmer, clock, sent, unplug_after, silent,
                                                                        late_write_answers, drain_time),
                                       LinkHooks{clock.function(), [this] { return sent.size() >= cancel_after; }});
                   },
                   [this](std::chrono::microseconds d) { clock.now += d; }, output};
  }

  // The sent frames of one command code.
  std::vector<SentFrame> frames(CommandCode code) const {
    std::vector<SentFrame> out;
    for (const auto& f : sent) {
      if (f.bytes[2] == static_cast<std::uint8_t>(code)) out.push_back(f);
    }
    return out;
  }

  FakeClock clock;
  emu::Programmer programmer;
  std::vector<SentFrame> sent;
  StringOutput output;
};

// A file for -i and --backup, removed with the object.
struct TempFile {
  explicit TempFile(const std::string& name, const std::vector<std::uint8_t>& content = {})
      : path((std::filesystem::temp_directory_path() / fmt::format("dimmwand-unit-{}", name)).string()) {
    std::filesystem::remove(path);
    if (!content.empty())
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  }
  ~TempFile() { std::filesystem::remove(path); }
  std::string path;
};

inline emu::Faults faults(const std::function<void(emu::Faults&)>& set) {
  emu::Faults f;
  set(f);
  return f;
}

inline WriteArgs write_args(DeviceType device, const std::string& input) {
  WriteArgs args;
  args.common = {"P", device, std::nullopt};
  args.input = input;
  return args;
}

}  // namespace dimmwand::testing
