// The register file of a DDR5 module's SPD hub (JEDEC JESD300-5, the SPD5118 hub), as the REG
// area holds it: MR0 to MR127.
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
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace dimmwand::hub {

inline constexpr std::size_t kRegisterCount = 128;
inline constexpr std::size_t kDeviceTypeHigh = 0;    // MR0
inline constexpr std::size_t kDeviceTypeLow = 1;     // MR1
inline constexpr std::size_t kProtectLow = 12;       // MR12: blocks 0-7
inline constexpr std::size_t kProtectHigh = 13;      // MR13: blocks 8-15
inline constexpr std::size_t kDeviceStatus = 48;     // MR48
inline constexpr std::uint8_t kOverrideAvailable = 0x04;  // MR48 bit 2: offline mode, protection can be cleared
inline constexpr std::uint16_t kDeviceType = 0x5118;
inline constexpr std::size_t kBlockSize = 64;        // bytes of the SPD area per protection block
inline constexpr std::size_t kBlockCount = 16;

// True when the registers carry the hub's device type.
bool is_spd5118(std::span<const std::uint8_t> registers);

// One bit per protected block, block 0 in bit 0; needs the registers of a hub.
std::uint16_t protected_blocks(std::span<const std::uint8_t> registers);

// The block numbers of a mask, ranges joined: "0-7, 12".
std::string block_list(std::uint16_t blocks);

}  // namespace dimmwand::hub
