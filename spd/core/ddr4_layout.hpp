// The DDR4 SPD layout: JEDEC Standard 21-C Annex L (DDR4 SPD), as Linux's decode-dimms
// (i2c-tools 4.3, the ee1004 layout) and the JEDEC annex's public summaries give it; the XMP 2.0
// block at 0x180 after Intel's XMP 2.0 field table as public decoders reproduce it.
#pragma once

#include <array>

#include "spd/layout.hpp"

namespace dimmwand::spd::ddr4 {

inline constexpr Field kBytes{0, 1, 0x0F, Unit::Code, "bytes_used", "SPD 已写入字节数"};
inline constexpr Field kTotal{0, 1, 0x70, Unit::Code, "bytes_total", "SPD 字节数"};
inline constexpr Field kRevision{1, 1, 0, Unit::Bcd, "spd_revision", "SPD 版本"};
inline constexpr Field kKey{2, 1, 0, Unit::Code, "memory_type", "内存类型"};
inline constexpr Field kModuleType{3, 1, 0x0F, Unit::Code, "module_type", "模块类型"};
inline constexpr Field kHybrid{3, 1, 0xF0, Unit::Code, "hybrid", "混合模块"};
inline constexpr Field kDensity{4, 1, 0x0F, Unit::Code, "density", "颗粒容量"};
inline constexpr Field kBanks{4, 1, 0x30, Unit::Code, "banks", "bank 数"};
inline constexpr Field kBankGroups{4, 1, 0xC0, Unit::Code, "bank_groups", "bank group 数"};
inline constexpr Field kColumns{5, 1, 0x07, Unit::Code, "columns", "列地址位"};
inline constexpr Field kRows{5, 1, 0x38, Unit::Code, "rows", "行地址位"};
inline constexpr Field kLoading{6, 1, 0x03, Unit::Code, "signal_loading", "信号负载"};
inline constexpr Field kDies{6, 1, 0x70, Unit::Code, "dies", "晶粒数"};
inline constexpr Field kPackage{6, 1, 0x80, Unit::Code, "package", "封装类型"};
inline constexpr Field kMac{7, 1, 0x0F, Unit::Code, "mac", "最大激活次数"};
inline constexpr Field kPpr{9, 1, 0xC0, Unit::Code, "ppr", "封装后修复"};
inline constexpr Field kSoftPpr{9, 1, 0x20, Unit::Flags, "soft_ppr", "软 PPR"};
inline constexpr Field kSecondaryPackage{10, 1, 0, Unit::Code, "secondary_package", "次封装"};
inline constexpr Field kVoltage{11, 1, 0x03, Unit::Flags, "voltage", "模块标称电压"};
inline constexpr Field kDeviceWidth{12, 1, 0x07, Unit::Code, "device_width", "颗粒位宽"};
inline constexpr Field kRanks{12, 1, 0x38, Unit::Code, "ranks", "rank 数"};
inline constexpr Field kRankMix{12, 1, 0x40, Unit::Flags, "rank_mix", "rank 组合"};
inline constexpr Field kBusWidth{13, 1, 0x07, Unit::Code, "bus_width", "主总线位宽"};
inline constexpr Field kBusExtension{13, 1, 0x18, Unit::Code, "ecc", "总线扩展位宽"};
inline constexpr Field kThermalSensor{14, 1, 0x80, Unit::Flags, "thermal_sensor", "温度传感器"};
inline constexpr Field kExtendedType{15, 1, 0, Unit::Code, "extended_module_type", "扩展模块类型"};
inline constexpr Field kTimebases{17, 1, 0, Unit::Code, "timebases", "时基"};
inline constexpr Field kTck{18, 1, 0, Unit::Mtb, "tck", "tCKAVGmin"};
inline constexpr Field kTckMax{19, 1, 0, Unit::Mtb, "tck_max", "tCKAVGmax"};
inline constexpr Field kCasLatencies{20, 4, 0, Unit::CasMap, "cl_list", "CAS 延迟"};
inline constexpr Field kTaa{24, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kTrcd{25, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
inline constexpr Field kTrp{26, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrasHigh{27, 1, 0x0F, Unit::Mtb, "tras_high", "tRASmin 高位"};
inline constexpr Field kTrcHigh{27, 1, 0xF0, Unit::Mtb, "trc_high", "tRCmin 高位"};
inline constexpr Field kTras{28, 1, 0, Unit::Mtb, "tras", "tRASmin"};
inline constexpr Field kTrc{29, 1, 0, Unit::Mtb, "trc", "tRCmin"};
inline constexpr Field kTrfc1{30, 2, 0, Unit::Mtb, "trfc1", "tRFC1min"};
inline constexpr Field kTrfc2{32, 2, 0, Unit::Mtb, "trfc2", "tRFC2min"};
inline constexpr Field kTrfc4{34, 2, 0, Unit::Mtb, "trfc4", "tRFC4min"};
inline constexpr Field kTfawHigh{36, 1, 0x0F, Unit::Mtb, "tfaw_high", "tFAWmin 高位"};
inline constexpr Field kTfaw{37, 1, 0, Unit::Mtb, "tfaw", "tFAWmin"};
inline constexpr Field kTrrdS{38, 1, 0, Unit::Mtb, "trrd_s", "tRRD_Smin"};
inline constexpr Field kTrrdL{39, 1, 0, Unit::Mtb, "trrd_l", "tRRD_Lmin"};
inline constexpr Field kTccdL{40, 1, 0, Unit::Mtb, "tccd_l", "tCCD_Lmin"};
inline constexpr Field kTwrHigh{41, 1, 0x0F, Unit::Mtb, "twr_high", "tWRmin 高位"};
inline constexpr Field kTwr{42, 1, 0, Unit::Mtb, "twr", "tWRmin"};
inline constexpr Field kTwtrSHigh{43, 1, 0x0F, Unit::Mtb, "twtr_s_high", "tWTR_Smin 高位"};
inline constexpr Field kTwtrLHigh{43, 1, 0xF0, Unit::Mtb, "twtr_l_high", "tWTR_Lmin 高位"};
inline constexpr Field kTwtrS{44, 1, 0, Unit::Mtb, "twtr_s", "tWTR_Smin"};
inline constexpr Field kTwtrL{45, 1, 0, Unit::Mtb, "twtr_l", "tWTR_Lmin"};
inline constexpr Field kPinMap{60, 18, 0, Unit::Bytes, "connector_map", "引脚映射"};
inline constexpr Field kTccdLFine{117, 1, 0, Unit::Fine, "tccd_l_fine", "tCCD_Lmin 微调"};
inline constexpr Field kTrrdLFine{118, 1, 0, Unit::Fine, "trrd_l_fine", "tRRD_Lmin 微调"};
inline constexpr Field kTrrdSFine{119, 1, 0, Unit::Fine, "trrd_s_fine", "tRRD_Smin 微调"};
inline constexpr Field kTrcFine{120, 1, 0, Unit::Fine, "trc_fine", "tRCmin 微调"};
inline constexpr Field kTrpFine{121, 1, 0, Unit::Fine, "trp_fine", "tRPmin 微调"};
inline constexpr Field kTrcdFine{122, 1, 0, Unit::Fine, "trcd_fine", "tRCDmin 微调"};
inline constexpr Field kTaaFine{123, 1, 0, Unit::Fine, "taa_fine", "tAAmin 微调"};
inline constexpr Field kTckMaxFine{124, 1, 0, Unit::Fine, "tck_max_fine", "tCKAVGmax 微调"};
inline constexpr Field kTckFine{125, 1, 0, Unit::Fine, "tck_fine", "tCKAVGmin 微调"};
inline constexpr Field kBaseCrc{126, 2, 0, Unit::Bytes, "base_crc", "基本区 CRC"};
inline constexpr Field kHeight{128, 1, 0x1F, Unit::Code, "height", "模块高度"};
inline constexpr Field kThickness{129, 1, 0, Unit::Code, "thickness", "模块厚度"};
inline constexpr Field kRawCard{130, 1, 0, Unit::Code, "raw_card", "参考原始卡"};
inline constexpr Field kModuleSpecific{131, 123, 0, Unit::Bytes, "module_specific", "模块专用区"};
inline constexpr Field kModuleCrc{254, 2, 0, Unit::Bytes, "module_crc", "模块区 CRC"};
inline constexpr Field kModuleMaker{320, 2, 0, Unit::Jep106, "module_maker", "模块制造商"};
inline constexpr Field kLocation{322, 1, 0, Unit::Code, "manufacturing_location", "生产地"};
inline constexpr Field kDate{323, 2, 0, Unit::Bcd, "manufacturing_date", "生产日期"};
inline constexpr Field kSerial{325, 4, 0, Unit::Bytes, "serial_number", "序列号"};
inline constexpr Field kPart{329, 20, 0, Unit::Text, "part_number", "型号"};
inline constexpr Field kModuleRevision{349, 1, 0, Unit::Code, "module_revision", "模块版本"};
inline constexpr Field kDramMaker{350, 2, 0, Unit::Jep106, "dram_maker", "颗粒制造商"};
inline constexpr Field kDramStepping{352, 1, 0, Unit::Code, "dram_stepping", "颗粒步进"};
inline constexpr Field kMakerSpecific{353, 29, 0, Unit::Bytes, "manufacturer_specific", "制造商专用区"};
inline constexpr Field kXmp{384, 128, 0, Unit::Bytes, "xmp", "XMP / 用户区"};

inline constexpr std::array kLayout{
    kBytes,
    kTotal,
    kRevision,
    kKey,
    kModuleType,
    kHybrid,
    kDensity,
    kBanks,
    kBankGroups,
    kColumns,
    kRows,
    kLoading,
    kDies,
    kPackage,
    kMac,
    kPpr,
    kSoftPpr,
    kSecondaryPackage,
    kVoltage,
    kDeviceWidth,
    kRanks,
    kRankMix,
    kBusWidth,
    kBusExtension,
    kThermalSensor,
    kExtendedType,
    kTimebases,
    kTck,
    kTckMax,
    kCasLatencies,
    kTaa,
    kTrcd,
    kTrp,
    kTrasHigh,
    kTrcHigh,
    kTras,
    kTrc,
    kTrfc1,
    kTrfc2,
    kTrfc4,
    kTfawHigh,
    kTfaw,
    kTrrdS,
    kTrrdL,
    kTccdL,
    kTwrHigh,
    kTwr,
    kTwtrSHigh,
    kTwtrLHigh,
    kTwtrS,
    kTwtrL,
    kPinMap,
    kTccdLFine,
    kTrrdLFine,
    kTrrdSFine,
    kTrcFine,
    kTrpFine,
    kTrcdFine,
    kTaaFine,
    kTckMaxFine,
    kTckFine,
    kBaseCrc,
    kHeight,
    kThickness,
    kRawCard,
    kModuleSpecific,
    kModuleCrc,
    kModuleMaker,
    kLocation,
    kDate,
    kSerial,
    kPart,
    kModuleRevision,
    kDramMaker,
    kDramStepping,
    kMakerSpecific,
    kXmp,
};

static_assert(sorted_without_overlaps(kLayout), "fields out of offset order, or sharing a bit");

}  // namespace dimmwand::spd::ddr4
