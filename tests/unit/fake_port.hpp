// A serial port with scripted reads and recorded writes, and a clock that the reads move.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <variant>
#include <vector>

#include "protocol/link.hpp"
#include "platform/serial_port.hpp"

namespace dimmwand::testing {

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  MonotonicClock function() {
    return [this] { return now; };
  }
};

class FakePort final : public SerialPort {
 public:
  struct Data {
    std::string bytes;
    std::chrono::milliseconds takes{1};
  };
  struct Timeout {};
  struct Failure {
    std::string message;
  };
  using Step = std::variant<Data, Timeout, Failure>;

  FakePort(FakeClock& clock, std::deque<Step> reads) : clock_(clock), reads_(std::move(reads)) {}

  std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) override {
    ++read_calls;
    if (reads_.empty()) {
      clock_.now += kLineTimeout;
      return 0;
    }
    Step step = reads_.front();
    reads_.pop_front();
    if (auto* d = std::get_if<Data>(&step)) {
      clock_.now += d->takes;
      const std::size_t n = std::min(buffer.size(), d->bytes.size());
      std::copy_n(d->bytes.begin(), n, buffer.begin());
      if (n < d->bytes.size()) reads_.push_front(Data{d->bytes.substr(n), std::chrono::milliseconds(0)});
      return n;
    }
    if (std::holds_alternative<Timeout>(step)) {
      clock_.now += kLineTimeout;
      return 0;
    }
    return std::unexpected(std::get<Failure>(step).message);
  }

  std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> bytes) override {
    events.push_back("write");
    if (!write_error.empty()) return std::unexpected(write_error);
    const std::size_t n = std::min(bytes.size(), max_write);
    written.insert(written.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
  }

  void discard_input() override { events.push_back("discard"); }

  std::vector<std::uint8_t> written;
  std::vector<std::string> events;
  std::string write_error;
  std::size_t max_write = 1 << 20;
  int read_calls = 0;

 private:
  FakeClock& clock_;
  std::deque<Step> reads_;
};

}  // namespace dimmwand::testing
