// A device on the module's I2C bus as the master's transactions reach it, one call per step, and
// the socket's pins that such a device also sees.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace dimmwand::board {

// Simulated time since the AVR started.
using SimTime = std::chrono::nanoseconds;

// The address pins of the DDR3 and DDR4 sockets as the firmware sets them.
struct SocketPins {
  bool sa0_high_voltage = false;  // VHV on SA0: it also reads as a 1
  bool sa1_high = false;          // DDR3's SA1 lifted
};

class I2cDevice {
 public:
  virtual ~I2cDevice() = default;
  // A START or repeated START with a seven-bit address; true when the device acknowledges.
  virtual bool start(std::uint8_t address, bool read, SimTime now) = 0;
  // A byte the master writes after this device acknowledged its address; true to acknowledge.
  virtual bool write(std::uint8_t byte, SimTime now) = 0;
  // A byte the master reads from this device.
  virtual std::uint8_t read(SimTime now) = 0;
  // STOP: the end of a transaction with this device; a write cycle starts here.
  virtual void stop(SimTime now) = 0;
  // The socket's supply has come on: the device's volatile state is its power-on state.
  virtual void power_up() = 0;
  // True while an internal write cycle runs.
  virtual bool busy(SimTime now) const = 0;
};

}  // namespace dimmwand::board
