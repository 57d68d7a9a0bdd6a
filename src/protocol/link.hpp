// The serial link to the programmer: opening it and sending one request frame.
#pragma once

#include <memory>
#include <string>

#include "error/device_error.hpp"
#include "protocol/frame.hpp"
#include "platform/serial_port.hpp"

namespace dimmwand {

// The open connection to the programmer; closed when dropped.
class SerialLink {
 public:
  explicit SerialLink(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}
  SerialPort& port() { return *port_; }

 private:
  std::unique_ptr<SerialPort> port_;
};

Result<SerialLink> open_link(const std::string& port_name);

// Discards pending input, then writes the nine bytes of `frame` whole. Reads nothing.
Result<> send_request(SerialLink& link, const RequestFrame& frame);

}  // namespace dimmwand
