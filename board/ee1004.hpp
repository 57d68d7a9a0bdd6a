// The DDR4 module's SPD EEPROM, an EE1004-v part (JEDEC EE1004-v), modelled on the Microchip
// AT34C04 data sheet:
// - 6.2 two pages of 256 bytes: SPA0 (6Ch) and SPA1 (6Eh) select one, RPA (6Dh) reads back which
//   (acknowledged: page 0); a data byte after SPA is don't-care and not acknowledged. The page is
//   0 at power-on;
// - 7 byte and page writes as on other serial EEPROMs (16-byte pages), the write cycle starting
//   at the STOP, no acknowledge during it; a protected quadrant acknowledges the word address but
//   not the data, and starts no write cycle (table 7-1);
// - 7.5 four quadrants of 128 bytes with reversible protection: set one with 0110 MMM0 (quadrant
//   identifiers 001, 100, 101, 000) with A0 at VHV, not acknowledged when already set; clear all
//   with 0110 0110 and A0 at VHV; read one with R/W = 1 without VHV, acknowledged when not set.
// The socket ties SA1 and SA2 to ground; SA0 is ground, or VHV from the firmware's switch.
#pragma once

#include <vector>

#include "chip.hpp"
#include "eeprom_page.hpp"

namespace dimmwand::board {

class Ee1004 final : public I2cDevice {
 public:
  // `memory` is the module's SPD area (512 bytes), written in place; `protected_quadrants` one
  // bit per quadrant.
  Ee1004(std::vector<std::uint8_t>& memory, const SocketPins& pins, SimTime write_cycle,
         std::uint8_t protected_quadrants);

  bool start(std::uint8_t address, bool read, SimTime now) override;
  bool write(std::uint8_t byte, SimTime now) override;
  std::uint8_t read(SimTime now) override;
  void stop(SimTime now) override;
  void power_up() override;
  bool busy(SimTime now) const override { return cycle_.busy(now); }

 private:
  enum class Target { None, Memory, PageSelect, Protect, Clear, State };

  bool quadrant_protected(std::uint16_t address) const;

  std::vector<std::uint8_t>& memory_;
  const SocketPins& pins_;
  SimTime write_cycle_;
  std::uint8_t protected_ = 0;
  std::uint8_t page_ = 0;
  Target target_ = Target::None;
  std::uint8_t quadrant_ = 0;  // of a Protect command
  bool address_taken_ = false;
  std::uint8_t pointer_ = 0;  // the address counter within the page
  bool command_armed_ = false;
  PageWrite cycle_;
};

}  // namespace dimmwand::board
