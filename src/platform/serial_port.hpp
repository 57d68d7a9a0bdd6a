// The small interface between the protocol and a platform's serial port, with the port's
// fixed settings. One implementation per platform; tests put a fake behind it.
#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>

namespace dimmwand {

inline constexpr unsigned kBaudRate = 115200;                   // 8 data bits, no parity, 1 stop bit
inline constexpr std::chrono::milliseconds kLineTimeout{200};   // longest wait for a first byte
inline constexpr std::chrono::milliseconds kWriteTimeout{200};  // longest wait of one write call

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Returns at once with what has arrived (up to the buffer's size), otherwise waits up to
  // kLineTimeout for the first byte. 0 means nothing arrived in time. An error carries the
  // system's message; a hang-up of the device is an error too.
  virtual std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) = 0;
  // One write call: accepts at least one byte within kWriteTimeout, or fails with a message.
  virtual std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> bytes) = 0;
  // Drops input that has arrived and not been read; best effort.
  virtual void discard_input() = 0;
  // Returns once the bytes written have left the port (its transmit queue is empty), or after
  // kWriteTimeout; best effort. A port with no queue of its own returns at once.
  virtual void wait_until_sent() {}
};

// Opens a port by its name as typed, exclusively, with the fixed settings. The error is the
// system's reason.
std::expected<std::unique_ptr<SerialPort>, std::string> open_serial_port(const std::string& name);

}  // namespace dimmwand
