// The module's SPD bus as a programmer meets it: the addresses, page selects and protection
// commands of each generation's SPD device. The programmer's firmware (built by avr-g++ in C++14)
// and the chip models of dimmwand-board both take them from here, so this header holds plain
// constants and nothing of the standard library.
//
// Sources for the facts used here:
// - DDR3, an SPD EEPROM of the TSE2002 / 34C02 class: Microchip AT34C02D data sheet ("2-Kbit
//   I2C Serial Presence Detect EEPROM with Software Write Protection"), 6.1 device addressing,
//   7.5 write protection, 8.4 checking the write-protect registers: device address 1010 A2 A1 A0;
//   the protection commands use the device type 0110: set permanent protection 0110 A2 A1 A0 (the
//   pins as wired), set reversible protection 0110 001 with A0 at VHV, clear it 0110 011 with A0
//   at VHV and A1 high; both cover the lower half, 00h-7Fh; the same address with R/W = 1 reads
//   the state: acknowledged = not set.
// - DDR4, an EE1004-v SPD EEPROM (JEDEC EE1004-v): Microchip AT34C04 data sheet, 6.2 set and read
//   page address, 7 writes to a protected quadrant, 7.5 reversible software write protection:
//   two pages of 256 bytes selected by SPA0 (6Ch) and SPA1 (6Eh), read back by RPA (6Dh:
//   acknowledged = page 0, not acknowledged = page 1); four quadrants of 128 bytes, set one by one
//   with 0110 MMM0 (quadrant identifiers 001, 100, 101, 000) with A0 at VHV, cleared all at once
//   with 0110 0110 with A0 at VHV, read with R/W = 1 and no VHV (acknowledged = not protected).
//   Linux drivers/misc/eeprom/ee1004.c uses the same page commands.
// - DDR5, the SPD5118 hub (JEDEC JESD300-5): Linux drivers/hwmon/spd5118.c: in one-byte
//   addressing bit 7 of the address byte selects the 1024-byte NVM (set) or the registers (clear);
//   the NVM is 8 pages of 128 bytes, the page in MR11 bits 2-0, MR11 bit 3 two-byte addressing;
//   the registers other than MR11 answer only while page 0 is selected. The hub's other registers
//   are in hub.hpp.
#pragma once

#include <stdint.h>

// Two namespaces spelled out: avr-g++ builds C++14, which has no nested namespace definitions.
namespace dimmwand {
namespace bus {

// Seven-bit address of the SPD device with SA2-SA0 (DDR5: HSA) tied to ground.
constexpr uint8_t kSpdAddress = 0x50;

// The SPD area of each generation, as its device holds it: DDR3's 2-Kbit EEPROM, DDR4's two pages,
// the hub's eight pages; and the hub's 128 registers (ddr.hpp's sizes are these).
constexpr uint16_t kDdr3SpdSize = 256;
constexpr uint8_t kDdr4PageCount = 2;
constexpr uint8_t kHubPageCount = 8;
constexpr uint16_t kHubRegisterCount = 128;

// DDR3: the commands of the software write protection (device type 0110), seven-bit addresses.
constexpr uint8_t kDdr3PermanentProtect = 0x30;  // 0110 A2 A1 A0 with the pins at 000
constexpr uint8_t kDdr3SetReversible = 0x31;     // 0110 001, A0 at VHV
constexpr uint8_t kDdr3ClearReversible = 0x33;   // 0110 011, A0 at VHV and A1 high
constexpr uint16_t kDdr3ProtectedSpan = 128;     // the lower half, 00h-7Fh

// DDR4: the page commands and the quadrant protection commands (EE1004-v), seven-bit addresses.
constexpr uint8_t kDdr4SetPage0 = 0x36;  // SPA0 (6Ch)
constexpr uint8_t kDdr4SetPage1 = 0x37;  // SPA1 (6Eh)
constexpr uint8_t kDdr4ReadPage = 0x36;  // RPA (6Dh), read
constexpr uint16_t kDdr4PageSize = 256;
constexpr uint16_t kDdr4QuadrantSize = 128;
constexpr uint8_t kDdr4QuadrantCount = 4;
// SWP0-SWP3 (and RPS0-RPS3 with R/W = 1): quadrant identifiers 001, 100, 101, 000 after 0110.
constexpr uint8_t kDdr4ProtectQuadrant[kDdr4QuadrantCount] = {0x31, 0x34, 0x35, 0x30};
constexpr uint8_t kDdr4ClearProtection = 0x33;  // CWP: 0110 011, A0 at VHV

// DDR5: one-byte addressing of the SPD5118 hub.
constexpr uint8_t kHubMemoryBit = 0x80;  // in the address byte: the NVM, not the registers
constexpr uint16_t kHubPageSize = 128;
constexpr uint8_t kHubPageMask = 0x07;         // MR11 bits 2-0: the NVM page
constexpr uint8_t kHubTwoByteMode = 0x08;      // MR11 bit 3: two-byte addressing
constexpr uint8_t kHubDeviceTypeHigh = 0;      // MR0: 0x51, read-only
constexpr uint8_t kHubDeviceTypeLow = 1;       // MR1: 0x18, read-only
constexpr uint8_t kHubLegacyMode = 11;         // MR11
constexpr uint8_t kHubProtectLow = 12;         // MR12: blocks 0-7, bit n block n
constexpr uint8_t kHubProtectHigh = 13;        // MR13: blocks 8-15
constexpr uint16_t kHubBlockSize = 64;         // bytes of the NVM per protection block
constexpr uint8_t kHubDeviceStatus = 48;       // MR48
constexpr uint8_t kHubWriteInProgress = 0x08;  // MR48 bit 3

}  // namespace bus
}  // namespace dimmwand
