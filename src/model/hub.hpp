// The register file of a DDR5 module's SPD hub (JEDEC JESD300-5, the SPD5118 hub), as the REG
// area holds it: MR0 to MR127.
//
// The bus-level facts (MR0-MR1, MR11-MR13, MR48's busy bit, the block size) are in spd_bus.hpp.
//
// Sources for the facts used here:
// - Linux, drivers/hwmon/spd5118.c: MR0-MR1 device type 0x51 0x18, MR2 revision, MR3-MR4 vendor
//   (JEP106 bank and code, odd parity), MR5 capabilities, MR11 legacy-mode page, MR26 thermal
//   sensor configuration, MR49-MR50 temperature.
// - ABLIC S-34HTS08AB data sheet, as summarised in the Bus Pirate DDR5 guide: the 1024-byte NVM
//   is 16 blocks of 64 bytes; MR12 bit n protects block n (0-7), MR13 bit n block 8+n (8-15); a
//   block can always be protected, but its protection is cleared (1 to 0) only in offline mode,
//   with the module's HSA pin tied to ground; MR48 bit 2 reports that mode (write-protect
//   override available), bit 3 an NVM write in progress.
// - Nuvoton's register descriptions for sideband devices of the DDR5 hub's bus
//   (MR_Register_LLSI.h, Apache-2.0), which restate the hub's MR18: bit 5 the interface
//   (0 = I2C up to 1 MHz, 1 = I3C Basic), and in I3C only bit 6 parity (T bit) disabled and bit 7
//   packet error check enabled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "model/spd_bus.hpp"

namespace dimmwand::hub {

inline constexpr std::size_t kDeviceTypeHigh = bus::kHubDeviceTypeHigh;  // MR0
inline constexpr std::size_t kDeviceTypeLow = bus::kHubDeviceTypeLow;    // MR1
inline constexpr std::size_t kProtectLow = bus::kHubProtectLow;          // MR12: blocks 0-7
inline constexpr std::size_t kProtectHigh = bus::kHubProtectHigh;        // MR13: blocks 8-15
inline constexpr std::size_t kRevision = 2;                              // MR2
inline constexpr std::size_t kVendorBank = 3;                            // MR3: JEP106 continuation count, odd parity
inline constexpr std::size_t kVendorCode = 4;                            // MR4: JEP106 code, odd parity
inline constexpr std::size_t kCapability = 5;                            // MR5: bit 1 thermal sensor supported
inline constexpr std::size_t kLegacyMode = bus::kHubLegacyMode;      // MR11: bit 3 two-byte addressing, bits 2-0 page
inline constexpr std::size_t kInterface = 14;                        // MR14: host and local interface configuration
inline constexpr std::size_t kDeviceConfig = 18;                     // MR18: bus interface
inline constexpr std::size_t kSensorConfig = 26;                     // MR26: bit 0 thermal sensor disabled
inline constexpr std::size_t kLimitHigh = 28;                        // MR28-MR29, then low, critical high, critical low
inline constexpr std::size_t kDeviceStatus = bus::kHubDeviceStatus;  // MR48
inline constexpr std::size_t kTemperature = 49;                      // MR49-MR50: low byte first, 0.25 °C from bit 2
// MR48-MR52: the device status, the temperature and the temperature and error status, which
// the hub updates by itself: two reads of a working module may differ there.
inline constexpr std::size_t kFirstLive = 48;
inline constexpr std::size_t kLastLive = 52;
inline constexpr std::uint8_t kWriteInProgress = bus::kHubWriteInProgress;  // MR48 bit 3
inline constexpr std::uint8_t kOverrideAvailable = 0x04;  // MR48 bit 2: offline mode, protection can be cleared
inline constexpr std::uint8_t kI3c = 0x20;                // MR18 bit 5: I3C Basic, else I2C
inline constexpr std::uint8_t kParityDisabled = 0x40;     // MR18 bit 6, in I3C
inline constexpr std::uint8_t kPacketCheck = 0x80;        // MR18 bit 7, in I3C
inline constexpr std::uint16_t kDeviceType = 0x5118;
inline constexpr std::size_t kBlockSize = bus::kHubBlockSize;  // bytes of the SPD area per protection block
inline constexpr std::size_t kBlockCount = 16;

// True when the registers carry the hub's device type.
bool is_spd5118(std::span<const std::uint8_t> registers);

// One bit per protected block, block 0 in bit 0; needs the registers of a hub.
std::uint16_t protected_blocks(std::span<const std::uint8_t> registers);

// The block numbers of a mask, ranges joined: "0-7, 12".
std::string block_list(std::uint16_t blocks);

// A temperature register pair (low byte first) in °C: an 11-bit two's complement count of
// 0.25 °C in bits 12-2.
double temperature(std::uint8_t low, std::uint8_t high);

// Two reads of the registers that agree but for those the hub updates by itself (MR48-MR52).
bool same_registers(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

}  // namespace dimmwand::hub
