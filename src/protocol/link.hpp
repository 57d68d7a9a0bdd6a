// The serial link to the programmer: opening it and sending one request frame.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "error/device_error.hpp"
#include "platform/serial_port.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {

using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

// What a link takes from its caller besides the port: the clock of the answer deadline, and
// whether the user has asked to stop (a wait for the programmer then ends early).
struct LinkHooks {
  MonotonicClock now = [] { return std::chrono::steady_clock::now(); };
  std::function<bool()> cancelled = [] { return false; };
};

// The open connection to the programmer; closed when dropped.
class SerialLink {
 public:
  explicit SerialLink(std::unique_ptr<SerialPort> port, LinkHooks hooks = {})
      : port_(std::move(port)), hooks_(std::move(hooks)) {}
  SerialPort& port() { return *port_; }
  // Returns once the frames sent have left the port (or after the write time-out).
  void wait_until_sent() { port_->wait_until_sent(); }
  std::chrono::steady_clock::time_point now() const { return hooks_.now(); }
  bool cancelled() const { return hooks_.cancelled(); }

 private:
  std::unique_ptr<SerialPort> port_;
  LinkHooks hooks_;
};

Result<SerialLink> open_link(const std::string& port_name, LinkHooks hooks = {});

// Discards pending input, then writes the nine bytes of `frame` whole. Reads nothing.
Result<> send_request(SerialLink& link, const RequestFrame& frame);

}  // namespace dimmwand
