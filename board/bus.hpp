// The module's I2C bus on the board: the devices in the powered socket, the master's steps handed
// to them, a device that holds SDA low, and the log of every transaction.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "chip.hpp"

namespace dimmwand::board {

class Bus {
 public:
  // `log` (may be null) gets one line per transaction and a note per event; the caller closes it.
  explicit Bus(std::FILE* log) : log_(log) {}

  // A socket holding `device` for generation `generation`, unpowered.
  void add_socket(std::uint8_t generation, I2cDevice& device);
  // The firmware's supply pin of a socket.
  void power(std::uint8_t generation, bool on, SimTime now);

  // The master's steps; each is acknowledged by whichever powered device acknowledges it.
  bool start(std::uint8_t address, bool read, SimTime now);
  bool write(std::uint8_t byte, SimTime now);
  std::uint8_t read(bool master_acks, SimTime now);
  void stop(SimTime now);
  // The master let go of the lines in the middle of a transaction (its interface turned off).
  void abandon(SimTime now);

  // A device holds SDA low until `pulses` clock pulses have passed (0: for good).
  void hold_sda(unsigned pulses);
  bool sda_held() const { return held_; }
  // A clock pulse made with the pins (the firmware freeing the bus); true when SDA was let go.
  bool clock_pulse(SimTime now);

  // True while a powered device's write cycle runs.
  bool busy(SimTime now) const;

  void note(SimTime now, std::string_view text);
  void flush();

 private:
  struct Socket {
    std::uint8_t generation;
    I2cDevice* device;
    bool powered;
  };
  void end_line();

  std::FILE* log_;
  std::vector<Socket> sockets_;
  std::vector<I2cDevice*> selected_;  // the devices that acknowledged the current address
  std::string line_;                  // the transaction being logged
  bool held_ = false;
  unsigned pulses_left_ = 0;
  unsigned pulses_seen_ = 0;
};

// Seconds with microseconds, as every log line starts.
std::string seconds(SimTime t);

}  // namespace dimmwand::board
