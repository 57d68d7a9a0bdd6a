// The DDR3 module's SPD EEPROM, a 256-byte part of the TSE2002 / 34C02 class, modelled on the
// Microchip AT34C02D data sheet ("2-Kbit I2C Serial Presence Detect EEPROM with Software Write
// Protection"):
// - 6.1 device addressing: 1010 A2 A1 A0; the socket ties A2 to ground, A1 and A0 are the
//   firmware's (A0 at VHV reads as a 1);
// - 7.1-7.3 byte and page writes (16-byte pages, the word address rolling over within the page),
//   the write cycle starting at the STOP, the address not acknowledged until it is over;
// - 7.5 software write protection of the lower half (00h-7Fh): set permanently with 0110 A2 A1 A0
//   (the pins as wired); set reversibly with 0110 001 and A0 at VHV; cleared with 0110 011, A0 at
//   VHV and A1 high; once permanent, neither reversible command is taken. A protected byte's data
//   is not acknowledged and starts no write cycle (as the AT34C04 data sheet's table 7-1 has it for
//   its quadrants);
// - 8.4 the state read with the same commands and R/W = 1: acknowledged when not set (the
//   reversible one only with A0 at VHV).
#pragma once

#include <vector>

#include "chip.hpp"
#include "eeprom_page.hpp"

namespace dimmwand::board {

class Ddr3Eeprom final : public I2cDevice {
 public:
  enum class Protection { None, Reversible, Permanent };

  // `memory` is the module's SPD area (256 bytes), written in place.
  Ddr3Eeprom(std::vector<std::uint8_t>& memory, const SocketPins& pins, SimTime write_cycle, Protection protection);

  bool start(std::uint8_t address, bool read, SimTime now) override;
  bool write(std::uint8_t byte, SimTime now) override;
  std::uint8_t read(SimTime now) override;
  void stop(SimTime now) override;
  void power_up() override;
  bool busy(SimTime now) const override { return cycle_.busy(now); }

 private:
  enum class Target { None, Memory, SetPermanent, SetReversible, ClearReversible, State };

  std::vector<std::uint8_t>& memory_;
  const SocketPins& pins_;
  SimTime write_cycle_;
  bool permanent_ = false;
  bool reversible_ = false;
  Target target_ = Target::None;
  bool address_taken_ = false;  // the word address of this write has come
  std::uint16_t pointer_ = 0;   // the address counter
  PageWrite cycle_;
  bool command_armed_ = false;
};

}  // namespace dimmwand::board
