// The layouts of the overclocking profiles: Intel XMP 1.x (DDR3, at byte 176), XMP 2.0 (DDR4,
// at 384), XMP 3.0 (DDR5, at 0x280) and AMD EXPO (DDR5, at 0x340). Offsets within a profile are
// relative to its start. Sources: Intel's XMP 1.1 structure and its XMP 2.0 field table as
// public decoders give them (memtest86+'s SPD parser, Intel's published memory-init headers);
// for XMP 3.0 and EXPO the layouts of the public DDR5 SPD editors (edlf/DDR5SPDEditor,
// 1a2m3/SPD-Reader-Writer), checked against real modules' dumps. Intel's and AMD's own
// documents are not public.
#pragma once

#include <cstddef>

#include "model/spd_image.hpp"
#include "spd/layout.hpp"

namespace dimmwand::spd::xmp {

// XMP 1.x and 2.0: signature 0C 4A, byte 2 the enable bits of profiles 1 and 2, byte 3 the version.
inline constexpr std::uint8_t kSignature0 = 0x0C;
inline constexpr std::uint8_t kSignature1 = 0x4A;
inline constexpr std::size_t kEnabled = 2;
inline constexpr std::size_t kVersion = 3;

namespace ddr3 {
inline constexpr std::size_t kHeader = 176;
// Per profile n: its medium timebase, dividend at 180 + 2(n-1), divisor at 181 + 2(n-1).
inline constexpr std::size_t kTimebase = 180;
inline constexpr std::size_t kProfile = 185;  // profile n at kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 35;
inline constexpr Field kVdd{0, 1, 0, Unit::Code, "vdd", "电压"};
inline constexpr Field kTck{1, 1, 0, Unit::Mtb, "tck", "tCKmin"};
inline constexpr Field kTaa{2, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kTrp{6, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrcd{7, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
}  // namespace ddr3

namespace ddr4 {
inline constexpr std::size_t kHeader = 384;
inline constexpr std::size_t kProfile = 393;  // profile n at kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 47;
inline constexpr Field kVdd{0, 1, 0, Unit::Code, "vdd", "电压"};  // bit 7 whole volts, bits 6-0 hundredths
inline constexpr Field kTck{3, 1, 0, Unit::Mtb, "tck", "tCKAVGmin"};
inline constexpr Field kTaa{8, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kTrcd{9, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
inline constexpr Field kTrp{10, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrpFine{35, 1, 0, Unit::Fine, "trp_fine", "tRPmin 微调"};
inline constexpr Field kTrcdFine{36, 1, 0, Unit::Fine, "trcd_fine", "tRCDmin 微调"};
inline constexpr Field kTaaFine{37, 1, 0, Unit::Fine, "taa_fine", "tAAmin 微调"};
inline constexpr Field kTckFine{38, 1, 0, Unit::Fine, "tck_fine", "tCKAVGmin 微调"};
}  // namespace ddr4

// XMP 3.0: a 64-byte header (signature, version 3.x, byte 3 the enable bits of profiles 1-3,
// the PMIC maker at 5, the names of profiles 1-3 at 0x0E + 16(n-1)), then five 64-byte profiles.
namespace ddr5 {
using model::kXmp3Header;
using model::kXmp3Profile;
using model::kXmp3Size;
inline constexpr std::size_t kVersion = 2;
inline constexpr std::size_t kEnabled = 3;
inline constexpr std::size_t kPmicMaker = 5;
inline constexpr std::size_t kNames = 0x0E;
inline constexpr std::size_t kNameSize = 16;
inline constexpr Field kVpp{0, 1, 0, Unit::Code, "vpp", "VPP"};
inline constexpr Field kVdd{1, 1, 0, Unit::Code, "vdd", "VDD"};
inline constexpr Field kVddq{2, 1, 0, Unit::Code, "vddq", "VDDQ"};
inline constexpr Field kVmemctrl{4, 1, 0, Unit::Code, "vmemctrl", "VMEMCTRL"};
inline constexpr Field kTck{5, 2, 0, Unit::Ps, "tck", "tCKAVGmin"};
inline constexpr std::size_t kTimes = 13;  // tAA, then tRCD, tRP, tRAS, tRC, tWR (ps), tRFC1, tRFC2, tRFCsb (ns)
}  // namespace ddr5

}  // namespace dimmwand::spd::xmp

namespace dimmwand::spd::expo {

// EXPO: "EXPO", the version at 4, the enable bits at 6 (bit 0 profile 1, bit 4 profile 2), then
// two 40-byte profiles from 0x0A.
using model::kExpo;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kEnabled = 6;
inline constexpr std::size_t kProfile = 0x0A;  // profile n at kExpo + kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 0x28;
inline constexpr Field kVdd{0, 1, 0, Unit::Code, "vdd", "VDD"};
inline constexpr Field kVddq{1, 1, 0, Unit::Code, "vddq", "VDDQ"};
inline constexpr Field kVpp{2, 1, 0, Unit::Code, "vpp", "VPP"};
inline constexpr Field kTck{4, 2, 0, Unit::Ps, "tck", "tCKAVGmin"};
inline constexpr std::size_t kTimes = 6;  // as in XMP 3.0: tAA, tRCD, tRP, tRAS, tRC, tWR, tRFC1, tRFC2, tRFCsb

}  // namespace dimmwand::spd::expo
