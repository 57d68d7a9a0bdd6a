// The ATmega328P's two-wire interface as a bus master, in place of simavr's own model of it:
// this one follows the data sheet's status codes and TWINT handshake (ATmega328P data sheet,
// chapter 21 "2-wire Serial Interface": 21.7 using the TWI, tables 21-3 and 21-4 of master
// transmitter and receiver status codes, 21.9 register description), spends the bus time its bit
// rate gives, and cannot START while a device holds SDA low. Interrupt-driven use (TWIE) is not
// modelled: the firmware polls TWINT.
#pragma once

#include <simavr/sim_avr.h>
#include <simavr/sim_io.h>

#include <cstdint>

#include "bus.hpp"

namespace dimmwand::board {

class TwiMaster {
 public:
  TwiMaster(avr_t* avr, Bus& bus);
  TwiMaster(const TwiMaster&) = delete;
  TwiMaster& operator=(const TwiMaster&) = delete;

  // Takes the interface's registers over; after avr_init.
  void install();

 private:
  enum class Phase { Idle, Started, Transmit, Receive, Ended };
  // simavr's hook for the module's reset, with the way back to this object.
  struct ResetHook {
    avr_io_t io;
    TwiMaster* self;
  };

  static void on_register_write(avr_t* avr, avr_io_addr_t addr, std::uint8_t value, void* param);
  static avr_cycle_count_t on_step_done(avr_t* avr, avr_cycle_count_t when, void* param);
  static void on_reset(avr_io_t* io);

  void control(std::uint8_t value);
  void begin_step(unsigned bit_times, std::uint8_t status);
  void reset();
  SimTime now() const;
  avr_cycle_count_t bit_time() const;
  std::uint8_t& reg(std::uint16_t address) const { return avr_->data[address]; }

  avr_t* avr_;
  Bus& bus_;
  ResetHook hook_{};
  Phase phase_ = Phase::Idle;
  bool owner_ = false;     // we sent a START and no STOP yet
  bool stepping_ = false;  // a step is on the bus; TWINT comes at its end
  std::uint8_t next_status_ = 0;
  bool read_pending_ = false;  // the step that ends is a received byte for TWDR
  std::uint8_t received_ = 0;
  unsigned clock_khz_ = 0;  // the bus clock last noted in the log
};

}  // namespace dimmwand::board
