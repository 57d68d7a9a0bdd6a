// The DDR5 module's SPD hub, an SPD5118 (JEDEC JESD300-5), in I2C mode with one-byte addressing,
// as the Linux driver drivers/hwmon/spd5118.c and the ABLIC S-34HTS08AB data sheet (summarised in
// the Bus Pirate's DDR5 guide) describe it:
// - its address 1010 and HID 000: HSA tied to ground, which is also the offline mode of a
//   programming station;
// - the address byte: bit 7 set names the NVM (the SPD area) at offset bits 6-0 in the page that
//   MR11 bits 2-0 select, clear names the register MR0-MR127; the registers other than MR11 answer
//   only in page 0 (read as 0, written not at all elsewhere); the address counter advances within
//   the page or the register file;
// - MR11's page is 0 at power-on; MR0-MR5 (device type 51 18, revision, vendor, capabilities) and
//   MR48-MR52 (status, temperature) are read-only; MR48 bit 3 is set while the NVM is written,
//   bit 2 in offline mode (hub.hpp's sources);
// - NVM writes of up to 16 bytes go in at the STOP, in one write cycle; during it the hub still
//   acknowledges its address and serves the registers, but refuses the NVM's address byte;
// - MR12 bit n protects NVM block n (0-7), MR13 bit n block 8+n, 64 bytes a block: writes there
//   are acknowledged and ignored; a block's bit can always be set, and cleared only in offline
//   mode.
// The other registers keep what the REG image gives them.
#pragma once

#include <vector>

#include "chip.hpp"
#include "eeprom_page.hpp"

namespace dimmwand::board {

class Spd5118 final : public I2cDevice {
 public:
  // `nvm` (1024 bytes) and `registers` (128) are the module's SPD and REG areas, written in place.
  Spd5118(std::vector<std::uint8_t>& nvm, std::vector<std::uint8_t>& registers, SimTime write_cycle, bool offline);

  bool start(std::uint8_t address, bool read, SimTime now) override;
  bool write(std::uint8_t byte, SimTime now) override;
  std::uint8_t read(SimTime now) override;
  void stop(SimTime now) override;
  void power_up() override;
  bool busy(SimTime now) const override { return cycle_.busy(now); }

 private:
  std::uint8_t page() const;
  std::uint8_t read_register(std::uint8_t mr, SimTime now) const;
  void write_register(std::uint8_t mr, std::uint8_t value);
  bool block_protected(std::uint16_t offset) const;

  std::vector<std::uint8_t>& nvm_;
  std::vector<std::uint8_t>& registers_;
  SimTime write_cycle_;
  bool offline_;
  bool selected_ = false;
  bool address_taken_ = false;
  bool memory_ = false;        // the address counter is in the NVM, not the registers
  std::uint16_t pointer_ = 0;  // NVM offset (0-1023) or register (0-127)
  PageWrite cycle_;
};

}  // namespace dimmwand::board
