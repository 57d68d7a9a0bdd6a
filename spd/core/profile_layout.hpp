// The layouts of the overclocking profiles: Intel XMP 1.x (DDR3, at byte 176), XMP 2.0 (DDR4,
// at 384), XMP 3.0 (DDR5, at 0x280) and AMD EXPO (DDR5, at 0x340). Offsets within a profile are
// relative to its start. Sources: Intel's XMP 1.1 structure and its XMP 2.0 field table as
// public decoders give them (memtest86+'s SPD parser, Intel's published memory-init headers);
// for XMP 3.0 and EXPO the layouts of the public DDR5 SPD editors (edlf/DDR5SPDEditor,
// 1a2m3/SPD-Reader-Writer), checked against real modules' dumps. Intel's and AMD's own
// documents are not public.
#pragma once

#include <array>
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
// Per profile n: its medium timebase, dividend at 180 + 2(n-1), divisor at 181 + 2(n-1); from
// XMP 1.3 the fine timebase of both at 184, coded as JEDEC byte 9 (Intel's memory-init header
// MrcSpdData.h, published under BSD in the Kaby Lake silicon package, names every byte).
inline constexpr std::size_t kTimebase = 180;
inline constexpr Field kFtbDividend{184, 1, 0xF0, Unit::Code, "xmp_ftb_dividend", "XMP FTB 被除数"};
inline constexpr Field kFtbDivisor{184, 1, 0x0F, Unit::Code, "xmp_ftb_divisor", "XMP FTB 除数"};
inline constexpr std::size_t kProfile = 185;  // profile n at kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 35;
inline constexpr Field kVdd{0, 1, 0, Unit::Volts20, "vdd", "电压"};
inline constexpr Field kTck{1, 1, 0, Unit::Mtb, "tck", "tCKmin"};
inline constexpr Field kTaa{2, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kCasLatencies{3, 2, 0x7FFF, Unit::CasMap, "cl_list", "CAS 延迟"};  // bit n: CL n + 4
inline constexpr Field kTcwl{5, 1, 0, Unit::Mtb, "tcwl", "tCWLmin"};
inline constexpr Field kTrp{6, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrcd{7, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
inline constexpr Field kTwr{8, 1, 0, Unit::Mtb, "twr", "tWRmin"};
inline constexpr Field kTrasHigh{9, 1, 0x0F, Unit::Mtb, "tras_high", "tRASmin 高 4 位"};
inline constexpr Field kTrcHigh{9, 1, 0xF0, Unit::Mtb, "trc_high", "tRCmin 高 4 位"};
inline constexpr Field kTras{10, 1, 0, Unit::Mtb, "tras", "tRASmin"};
inline constexpr Field kTrc{11, 1, 0, Unit::Mtb, "trc", "tRCmin"};
inline constexpr Field kTrfc{14, 2, 0, Unit::Mtb, "trfc", "tRFCmin"};
inline constexpr Field kTrtp{16, 1, 0, Unit::Mtb, "trtp", "tRTPmin"};
inline constexpr Field kTrrd{17, 1, 0, Unit::Mtb, "trrd", "tRRDmin"};
inline constexpr Field kTfawHigh{18, 1, 0x0F, Unit::Mtb, "tfaw_high", "tFAWmin 高 4 位"};
inline constexpr Field kTfaw{19, 1, 0, Unit::Mtb, "tfaw", "tFAWmin"};
inline constexpr Field kTwtr{20, 1, 0, Unit::Mtb, "twtr", "tWTRmin"};
// XMP 1.3: signed corrections in the fine timebase of byte 184 (note tRP before tRCD).
inline constexpr Field kTckFine{26, 1, 0, Unit::Fine, "tck_fine", "tCKmin 微调"};
inline constexpr Field kTaaFine{27, 1, 0, Unit::Fine, "taa_fine", "tAAmin 微调"};
inline constexpr Field kTrpFine{28, 1, 0, Unit::Fine, "trp_fine", "tRPmin 微调"};
inline constexpr Field kTrcdFine{29, 1, 0, Unit::Fine, "trcd_fine", "tRCDmin 微调"};
inline constexpr Field kTrcFine{30, 1, 0, Unit::Fine, "trc_fine", "tRCmin 微调"};
}  // namespace ddr3

namespace ddr4 {
inline constexpr std::size_t kHeader = 384;
// Profile n's timebases at kTimebase + n - 1, coded as JEDEC byte 17 (codec.hpp's ddr4_timebases).
inline constexpr std::size_t kTimebase = kHeader + 4;
inline constexpr std::size_t kProfile = 393;  // profile n at kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 47;
inline constexpr Field kVdd{0, 1, 0, Unit::Volts100, "vdd", "电压"};  // bit 7 whole volts, bits 6-0 hundredths
inline constexpr Field kTck{3, 1, 0, Unit::Mtb, "tck", "tCKAVGmin"};
inline constexpr Field kCasLatencies{4, 4, 0, Unit::CasMap, "cl_list", "CAS 延迟"};  // as JEDEC bytes 20-23
inline constexpr Field kTaa{8, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kTrcd{9, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
inline constexpr Field kTrp{10, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrasHigh{11, 1, 0x0F, Unit::Mtb, "tras_high", "tRASmin 高 4 位"};
inline constexpr Field kTrcHigh{11, 1, 0xF0, Unit::Mtb, "trc_high", "tRCmin 高 4 位"};
inline constexpr Field kTras{12, 1, 0, Unit::Mtb, "tras", "tRASmin"};
inline constexpr Field kTrc{13, 1, 0, Unit::Mtb, "trc", "tRCmin"};
inline constexpr Field kTrfc1{14, 2, 0, Unit::Mtb, "trfc1", "tRFC1min"};
inline constexpr Field kTrfc2{16, 2, 0, Unit::Mtb, "trfc2", "tRFC2min"};
inline constexpr Field kTrfc4{18, 2, 0, Unit::Mtb, "trfc4", "tRFC4min"};
inline constexpr Field kTfawHigh{20, 1, 0x0F, Unit::Mtb, "tfaw_high", "tFAWmin 高 4 位"};
inline constexpr Field kTfaw{21, 1, 0, Unit::Mtb, "tfaw", "tFAWmin"};
inline constexpr Field kTrrdS{22, 1, 0, Unit::Mtb, "trrd_s", "tRRD_Smin"};
inline constexpr Field kTrrdL{23, 1, 0, Unit::Mtb, "trrd_l", "tRRD_Lmin"};
inline constexpr Field kTrrdLFine{32, 1, 0, Unit::Fine, "trrd_l_fine", "tRRD_Lmin 微调"};
inline constexpr Field kTrrdSFine{33, 1, 0, Unit::Fine, "trrd_s_fine", "tRRD_Smin 微调"};
inline constexpr Field kTrcFine{34, 1, 0, Unit::Fine, "trc_fine", "tRCmin 微调"};
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
inline constexpr Field kVpp{0, 1, 0, Unit::Volts20, "vpp", "VPP"};
inline constexpr Field kVdd{1, 1, 0, Unit::Volts20, "vdd", "VDD"};
inline constexpr Field kVddq{2, 1, 0, Unit::Volts20, "vddq", "VDDQ"};
inline constexpr Field kVmemctrl{4, 1, 0, Unit::Volts20, "vmemctrl", "VMEMCTRL"};
inline constexpr std::array kVoltages{kVdd, kVddq, kVpp, kVmemctrl};  // in the order shown
inline constexpr Field kTck{5, 2, 0, Unit::Ps, "tck", "tCKAVGmin"};
inline constexpr Field kCasLatencies{7, 5, 0, Unit::CasMap, "cl_list", "CAS 延迟"};  // bit n: CL 20 + 2n
// The times, tAA first: ps, the refresh times in ns, then the eight that have a lower limit in
// clocks (two bytes of ps, one of nCK) in the order of Intel's memory-init header (MRC's
// SPD_EXTREME_MEMORY_PROFILE_DATA_3_0; edlf/DDR5SPDEditor swaps tCCD_L and tRRD_L).
inline constexpr std::array kTimes{
    Field{13, 2, 0, Unit::Ps, "taa", "tAA"},
    Field{15, 2, 0, Unit::Ps, "trcd", "tRCD"},
    Field{17, 2, 0, Unit::Ps, "trp", "tRP"},
    Field{19, 2, 0, Unit::Ps, "tras", "tRAS"},
    Field{21, 2, 0, Unit::Ps, "trc", "tRC"},
    Field{23, 2, 0, Unit::Ps, "twr", "tWR"},
    Field{25, 2, 0, Unit::Ns, "trfc1", "tRFC1"},
    Field{27, 2, 0, Unit::Ns, "trfc2", "tRFC2"},
    Field{29, 2, 0, Unit::Ns, "trfcsb", "tRFCsb"},
    Field{31, 3, 0, Unit::Ps, "tccd_l", "tCCD_L"},
    Field{34, 3, 0, Unit::Ps, "tccd_l_wr", "tCCD_L_WR"},
    Field{37, 3, 0, Unit::Ps, "tccd_l_wr2", "tCCD_L_WR2"},
    Field{40, 3, 0, Unit::Ps, "tccd_l_wtr", "tCCD_L_WTR"},
    Field{43, 3, 0, Unit::Ps, "tccd_s_wtr", "tCCD_S_WTR"},
    Field{46, 3, 0, Unit::Ps, "trrd_l", "tRRD_L"},
    Field{49, 3, 0, Unit::Ps, "trtp", "tRTP"},
    Field{52, 3, 0, Unit::Ps, "tfaw", "tFAW"},
};
inline constexpr Field kCommandRate{60, 1, 0x0F, Unit::Code, "command_rate", "命令速率"};  // 1-3: 1N-3N, 0 not set
}  // namespace ddr5

}  // namespace dimmwand::spd::xmp

namespace dimmwand::spd::expo {

// EXPO: "EXPO", the version at 4, the enable bits at 5 (bit 0 profile 1, bit 4 profile 2), then
// two 40-byte profiles from 0x0A, and the CRC at the block's end. The enable byte is 0x345 as the
// public editor edlf/DDR5SPDEditor reads it, and a real kit with profile 1 alone (byte 0x345 =
// 0x03, 0x346 = 0x01) bears it out; 0x346 repeats the bits on real modules and is not read. No
// CAS latency list and no clock limits: EXPO keeps only times.
using model::kExpo;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kEnabled = 5;
inline constexpr std::size_t kProfile = 0x0A;  // profile n at kExpo + kProfile + kProfileSize * (n - 1)
inline constexpr std::size_t kProfileSize = 0x28;
inline constexpr Field kVdd{0, 1, 0, Unit::Volts20, "vdd", "VDD"};
inline constexpr Field kVddq{1, 1, 0, Unit::Volts20, "vddq", "VDDQ"};
inline constexpr Field kVpp{2, 1, 0, Unit::Volts20, "vpp", "VPP"};
inline constexpr std::array kVoltages{kVdd, kVddq, kVpp};
inline constexpr Field kTck{4, 2, 0, Unit::Ps, "tck", "tCKAVGmin"};
// The times in the order of the JEDEC base section; the refresh times in ns.
inline constexpr std::array kTimes{
    Field{6, 2, 0, Unit::Ps, "taa", "tAA"},
    Field{8, 2, 0, Unit::Ps, "trcd", "tRCD"},
    Field{10, 2, 0, Unit::Ps, "trp", "tRP"},
    Field{12, 2, 0, Unit::Ps, "tras", "tRAS"},
    Field{14, 2, 0, Unit::Ps, "trc", "tRC"},
    Field{16, 2, 0, Unit::Ps, "twr", "tWR"},
    Field{18, 2, 0, Unit::Ns, "trfc1", "tRFC1"},
    Field{20, 2, 0, Unit::Ns, "trfc2", "tRFC2"},
    Field{22, 2, 0, Unit::Ns, "trfcsb", "tRFCsb"},
    Field{24, 2, 0, Unit::Ps, "trrd_l", "tRRD_L"},
    Field{26, 2, 0, Unit::Ps, "tccd_l", "tCCD_L"},
    Field{28, 2, 0, Unit::Ps, "tccd_l_wr", "tCCD_L_WR"},
    Field{30, 2, 0, Unit::Ps, "tccd_l_wr2", "tCCD_L_WR2"},
    Field{32, 2, 0, Unit::Ps, "tfaw", "tFAW"},
    Field{34, 2, 0, Unit::Ps, "tccd_l_wtr", "tCCD_L_WTR"},
    Field{36, 2, 0, Unit::Ps, "tccd_s_wtr", "tCCD_S_WTR"},
    Field{38, 2, 0, Unit::Ps, "trtp", "tRTP"},
};

}  // namespace dimmwand::spd::expo
