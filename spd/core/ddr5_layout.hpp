// The DDR5 SPD layout: JESD400-5 as illumos libjedec's DDR5 definitions (written against
// JESD400-5A.01), decode-dimms' DDR5 patches and the public DDR5 SPD editors describe it. Times
// are in ps, two bytes low first, the refresh times in ns; the manufacturing data at 512-554;
// the XMP 3.0 and EXPO blocks in profile_layout.hpp.
#pragma once

#include <array>

#include "spd/layout.hpp"

namespace dimmwand::spd::ddr5 {

inline constexpr Field kBytesTotal{0, 1, 0x70, Unit::Code, "bytes_total", "SPD 字节数"};
inline constexpr Field kRevision{1, 1, 0, Unit::Bcd, "spd_revision", "SPD 版本"};
inline constexpr Field kKey{2, 1, 0, Unit::Code, "memory_type", "内存类型"};
inline constexpr Field kModuleType{3, 1, 0x0F, Unit::Code, "module_type", "模块类型"};
inline constexpr Field kHybrid{3, 1, 0x80, Unit::Flags, "hybrid", "混合模块"};
inline constexpr Field kHybridMedia{3, 1, 0x70, Unit::Code, "hybrid_media", "混合介质"};
// The first SDRAM type (bytes 4-7) and the second (8-11, odd ranks of an asymmetric module).
inline constexpr Field kDensity{4, 1, 0x1F, Unit::Code, "density", "颗粒容量"};
inline constexpr Field kPackage{4, 1, 0xE0, Unit::Code, "package", "每封装晶粒数"};
inline constexpr Field kColumns{5, 1, 0xE0, Unit::Code, "columns", "列地址位"};
inline constexpr Field kRows{5, 1, 0x1F, Unit::Code, "rows", "行地址位"};
inline constexpr Field kDeviceWidth{6, 1, 0xE0, Unit::Code, "device_width", "颗粒位宽"};
inline constexpr Field kBankGroups{7, 1, 0xE0, Unit::Code, "bank_groups", "bank group 数"};
inline constexpr Field kBanks{7, 1, 0x07, Unit::Code, "banks_per_group", "每组 bank 数"};
inline constexpr Field kSecondDensity{8, 1, 0x1F, Unit::Code, "second_density", "第二种颗粒容量"};
inline constexpr Field kSecondPackage{8, 1, 0xE0, Unit::Code, "second_package", "第二种颗粒每封装晶粒数"};
inline constexpr Field kSecondAddressing{9, 1, 0, Unit::Code, "second_addressing", "第二种颗粒行列地址"};
inline constexpr Field kSecondWidth{10, 1, 0xE0, Unit::Code, "second_device_width", "第二种颗粒位宽"};
inline constexpr Field kSecondBanks{11, 1, 0, Unit::Code, "second_banks", "第二种颗粒 bank"};
inline constexpr Field kPpr{12, 1, 0, Unit::Flags, "ppr", "BL32 与封装后修复"};
inline constexpr Field kDca{13, 1, 0, Unit::Flags, "dca_pasr", "占空比调节与 PASR"};
inline constexpr Field kFaultHandling{14, 1, 0, Unit::Flags, "fault_handling", "故障处理与温度感应"};
inline constexpr Field kVdd{16, 1, 0, Unit::Code, "vdd", "VDD"};
inline constexpr Field kVddq{17, 1, 0, Unit::Code, "vddq", "VDDQ"};
inline constexpr Field kVpp{18, 1, 0, Unit::Code, "vpp", "VPP"};
inline constexpr Field kNonStandard{19, 1, 0x01, Unit::Flags, "non_standard_timings", "非标准时序"};
inline constexpr Field kTck{20, 2, 0, Unit::Ps, "tck", "tCKAVGmin"};
inline constexpr Field kTckMax{22, 2, 0, Unit::Ps, "tck_max", "tCKAVGmax"};
inline constexpr Field kCasLatencies{24, 5, 0, Unit::CasMap, "cl_list", "CAS 延迟"};  // bit n: CL 20 + 2n
inline constexpr Field kTaa{30, 2, 0, Unit::Ps, "taa", "tAAmin"};
inline constexpr Field kTrcd{32, 2, 0, Unit::Ps, "trcd", "tRCDmin"};
inline constexpr Field kTrp{34, 2, 0, Unit::Ps, "trp", "tRPmin"};
inline constexpr Field kTras{36, 2, 0, Unit::Ps, "tras", "tRASmin"};
inline constexpr Field kTrc{38, 2, 0, Unit::Ps, "trc", "tRCmin"};
inline constexpr Field kTwr{40, 2, 0, Unit::Ps, "twr", "tWRmin"};
inline constexpr Field kTrfc1{42, 2, 0, Unit::Ns, "trfc1", "tRFC1min"};
inline constexpr Field kTrfc2{44, 2, 0, Unit::Ns, "trfc2", "tRFC2min"};
inline constexpr Field kTrfcsb{46, 2, 0, Unit::Ns, "trfcsb", "tRFCsbmin"};
inline constexpr Field kTrfc1Dlr{48, 2, 0, Unit::Ns, "trfc1_dlr", "tRFC1_dlr"};
inline constexpr Field kTrfc2Dlr{50, 2, 0, Unit::Ns, "trfc2_dlr", "tRFC2_dlr"};
inline constexpr Field kTrfcsbDlr{52, 2, 0, Unit::Ns, "trfcsb_dlr", "tRFCsb_dlr"};
inline constexpr Field kRfm{54, 1, 0, Unit::Flags, "rfm", "刷新管理"};
inline constexpr Field kSecondRfm{56, 2, 0, Unit::Flags, "second_rfm", "第二种颗粒刷新管理"};
inline constexpr Field kArfmA{58, 1, 0x01, Unit::Flags, "arfm_a", "自适应刷新管理 A 级"};
inline constexpr Field kArfmB{62, 1, 0x01, Unit::Flags, "arfm_b", "自适应刷新管理 B 级"};
inline constexpr Field kArfmC{66, 1, 0x01, Unit::Flags, "arfm_c", "自适应刷新管理 C 级"};
// Times with a lower limit in clocks: two bytes of ps, then one of nCK.
inline constexpr Field kTrrdL{70, 3, 0, Unit::Ps, "trrd_l", "tRRD_L"};
inline constexpr Field kTccdL{73, 3, 0, Unit::Ps, "tccd_l", "tCCD_L"};
inline constexpr Field kTccdLWr{76, 3, 0, Unit::Ps, "tccd_l_wr", "tCCD_L_WR"};
inline constexpr Field kTccdLWr2{79, 3, 0, Unit::Ps, "tccd_l_wr2", "tCCD_L_WR2"};
inline constexpr Field kTfaw{82, 3, 0, Unit::Ps, "tfaw", "tFAW"};
inline constexpr Field kTccdLWtr{85, 3, 0, Unit::Ps, "tccd_l_wtr", "tCCD_L_WTR"};
inline constexpr Field kTccdSWtr{88, 3, 0, Unit::Ps, "tccd_s_wtr", "tCCD_S_WTR"};
inline constexpr Field kTrtp{91, 3, 0, Unit::Ps, "trtp", "tRTP"};
inline constexpr Field kTccdM{94, 3, 0, Unit::Ps, "tccd_m", "tCCD_M"};
inline constexpr Field kTccdMWr{97, 3, 0, Unit::Ps, "tccd_m_wr", "tCCD_M_WR"};
inline constexpr Field kTccdMWtr{100, 3, 0, Unit::Ps, "tccd_m_wtr", "tCCD_M_WTR"};
inline constexpr Field kModuleRevision{192, 1, 0, Unit::Bcd, "module_spd_revision", "模块区 SPD 版本"};
// The devices of the module, four bytes each: maker (2), type (bit 7: present), revision.
inline constexpr Field kHub{194, 4, 0, Unit::Bytes, "spd_hub", "SPD 集线器"};
inline constexpr Field kPmic0{198, 4, 0, Unit::Bytes, "pmic0", "PMIC 0"};
inline constexpr Field kPmic1{202, 4, 0, Unit::Bytes, "pmic1", "PMIC 1"};
inline constexpr Field kPmic2{206, 4, 0, Unit::Bytes, "pmic2", "PMIC 2"};
inline constexpr Field kThermalSensor{210, 4, 0, Unit::Bytes, "thermal_sensor", "温度传感器"};
inline constexpr Field kHeight{230, 1, 0x1F, Unit::Code, "height", "模块高度"};
inline constexpr Field kThickness{231, 1, 0, Unit::Code, "thickness", "模块厚度"};
inline constexpr Field kRawCard{232, 1, 0, Unit::Code, "raw_card", "参考原始卡"};
inline constexpr Field kAttributes{233, 1, 0, Unit::Code, "module_attributes", "模块属性"};
inline constexpr Field kRanks{234, 1, 0x38, Unit::Code, "ranks", "rank 数"};
inline constexpr Field kAsymmetric{234, 1, 0x40, Unit::Flags, "rank_mix", "rank 组合"};
inline constexpr Field kBusWidth{235, 1, 0x07, Unit::Code, "bus_width", "子通道位宽"};
inline constexpr Field kBusExtension{235, 1, 0x18, Unit::Code, "ecc", "总线扩展位宽"};
inline constexpr Field kSubChannels{235, 1, 0x60, Unit::Code, "sub_channels", "子通道数"};
// The module-specific section: the devices by module type, then their settings.
inline constexpr Field kModuleDevice{240, 4, 0, Unit::Bytes, "module_device", "模块器件（RCD、时钟驱动器等）"};
inline constexpr Field kSecondDevice{244, 4, 0, Unit::Bytes, "second_device", "第二器件（数据缓冲器等）"};
inline constexpr Field kModuleSettings{248, 200, 0, Unit::Bytes, "module_settings", "模块专用区"};
inline constexpr Field kBaseCrc{510, 2, 0, Unit::Bytes, "base_crc", "基本区 CRC"};
inline constexpr Field kModuleMaker{512, 2, 0, Unit::Jep106, "module_maker", "模块制造商"};
inline constexpr Field kLocation{514, 1, 0, Unit::Code, "manufacturing_location", "生产地"};
inline constexpr Field kDate{515, 2, 0, Unit::Bcd, "manufacturing_date", "生产日期"};
inline constexpr Field kSerial{517, 4, 0, Unit::Bytes, "serial_number", "序列号"};
inline constexpr Field kPart{521, 30, 0, Unit::Text, "part_number", "型号"};
inline constexpr Field kModuleRevisionCode{551, 1, 0, Unit::Code, "module_revision", "模块版本"};
inline constexpr Field kDramMaker{552, 2, 0, Unit::Jep106, "dram_maker", "颗粒制造商"};
inline constexpr Field kDramStepping{554, 1, 0, Unit::Code, "dram_stepping", "颗粒步进"};
inline constexpr Field kMakerSpecific{555, 85, 0, Unit::Bytes, "manufacturer_specific", "制造商专用区"};

inline constexpr std::array kLayout{
    kBytesTotal,
    kRevision,
    kKey,
    kModuleType,
    kHybridMedia,
    kHybrid,
    kDensity,
    kPackage,
    kColumns,
    kRows,
    kDeviceWidth,
    kBankGroups,
    kBanks,
    kSecondDensity,
    kSecondPackage,
    kSecondAddressing,
    kSecondWidth,
    kSecondBanks,
    kPpr,
    kDca,
    kFaultHandling,
    kVdd,
    kVddq,
    kVpp,
    kNonStandard,
    kTck,
    kTckMax,
    kCasLatencies,
    kTaa,
    kTrcd,
    kTrp,
    kTras,
    kTrc,
    kTwr,
    kTrfc1,
    kTrfc2,
    kTrfcsb,
    kTrfc1Dlr,
    kTrfc2Dlr,
    kTrfcsbDlr,
    kRfm,
    kSecondRfm,
    kArfmA,
    kArfmB,
    kArfmC,
    kTrrdL,
    kTccdL,
    kTccdLWr,
    kTccdLWr2,
    kTfaw,
    kTccdLWtr,
    kTccdSWtr,
    kTrtp,
    kTccdM,
    kTccdMWr,
    kTccdMWtr,
    kModuleRevision,
    kHub,
    kPmic0,
    kPmic1,
    kPmic2,
    kThermalSensor,
    kHeight,
    kThickness,
    kRawCard,
    kAttributes,
    kRanks,
    kAsymmetric,
    kBusWidth,
    kBusExtension,
    kSubChannels,
    kModuleDevice,
    kSecondDevice,
    kModuleSettings,
    kBaseCrc,
    kModuleMaker,
    kLocation,
    kDate,
    kSerial,
    kPart,
    kModuleRevisionCode,
    kDramMaker,
    kDramStepping,
    kMakerSpecific,
};

static_assert(sorted_without_overlaps(kLayout), "fields out of offset order, or sharing a bit");

}  // namespace dimmwand::spd::ddr5
