// The programmer board in simavr: an ATmega328P at 16 MHz running the firmware, its UART on a
// pseudo-terminal, its TWI on the module's bus, its pins on the sockets' supplies, the high
// voltage and the bus lines. Simulated time is held to real time (the board sleeps when it runs
// ahead), so that the host's pacing meets the EEPROM's write cycles as on a real board.
#pragma once

#include <simavr/sim_avr.h>
#include <simavr/sim_elf.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <sys/types.h>
#include <vector>

#include "bus.hpp"
#include "chip.hpp"
#include "pty.hpp"
#include "twi_master.hpp"

namespace dimmwand::board {

struct BoardFittings {
  bool high_voltage = true;  // the SA0 switch has its supply
  bool fast_bus = false;     // the 400 kHz jumper
};

class Simulator {
 public:
  // `log` may be null; the caller closes it after the simulator has gone.
  Simulator(emu::Pty pty, std::FILE* log, BoardFittings fittings);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Loads the firmware (an ELF file); false with the reason when it cannot.
  bool load(const std::string& firmware, std::string& why);
  Bus& bus() { return bus_; }
  const SocketPins& pins() const { return pins_; }
  // A device holds SDA low from the start (see Bus::hold_sda).
  void hold_sda(unsigned pulses);

  // Runs until SIGINT or SIGTERM, or (with `child`) until the command has ended; then on until the
  // board has finished what it was sent (at most 10 s more). Returns the exit status: the
  // command's, 0 after a signal, 1 when the firmware stopped the AVR.
  int run(std::optional<pid_t> child);

 private:
  static void on_uart_out(avr_irq_t* irq, std::uint32_t value, void* param);
  static void on_flow(avr_irq_t* irq, std::uint32_t value, void* param);
  static void on_port(avr_irq_t* irq, std::uint32_t value, void* param);

  void connect();
  void port_changed(char port);
  void set_input(char port, int pin, bool high);
  void bus_lines();
  void pump_input();
  void pump_output();
  bool quiet(SimTime since_child) const;
  SimTime now() const;
  void report_speed();

  avr_t* avr_ = nullptr;
  elf_firmware_t firmware_{};  // kept while simavr runs it
  emu::Pty pty_;
  BoardFittings fittings_;
  Bus bus_;
  std::unique_ptr<TwiMaster> twi_;
  SocketPins pins_;
  std::uint8_t supplies_ = 0;  // PORTD bits 5-7 as last seen
  bool hv_switch_ = false;     // the firmware's high-voltage pin
  // Per port B, C, D: the pins driven from outside and their levels.
  std::pair<std::uint8_t, std::uint8_t> external_[3] = {};
  bool scl_low_ = false;  // SCL pulled low by the pins
  bool xon_ = true;       // the UART's receive queue has room
  // A byte from the line and the simulated time it arrived at.
  struct Arrival {
    std::uint8_t byte;
    SimTime arrived;
  };
  using Clock = std::chrono::steady_clock;
  std::deque<Arrival> in_;
  Clock::time_point real_start_{};  // when run() began, and the simulated time then
  SimTime sim_start_{};
  std::string out_;
  std::string answer_;  // the firmware's answer line so far, for the log
  SimTime last_activity_{};
  bool crashed_ = false;
  // For the speed report: cycles run awake and the real time they took.
  std::uint64_t awake_cycles_ = 0;
  std::chrono::steady_clock::duration awake_time_{};
};

// Routes SIGINT, SIGTERM and SIGCHLD to the run loop and ignores SIGPIPE; false when it cannot.
bool route_signals();

}  // namespace dimmwand::board
