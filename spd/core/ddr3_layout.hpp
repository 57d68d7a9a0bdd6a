// The DDR3 SPD layout: JEDEC Standard 21-C Annex K (DDR3 SPD), as Linux's decode-dimms
// (i2c-tools 4.3) and the annex's public summaries give it.
#pragma once

#include <array>

#include "spd/layout.hpp"

namespace dimmwand::spd::ddr3 {

inline constexpr Field kBytesUsed{0, 1, 0x0F, Unit::Code, "bytes_used", "SPD 已写入字节数"};
inline constexpr Field kBytesTotal{0, 1, 0x70, Unit::Code, "bytes_total", "SPD 字节数"};
inline constexpr Field kCrcRange{0, 1, 0x80, Unit::Flags, "crc_range", "CRC 范围"};
inline constexpr Field kRevision{1, 1, 0, Unit::Bcd, "spd_revision", "SPD 版本"};
inline constexpr Field kKey{2, 1, 0, Unit::Code, "memory_type", "内存类型"};
inline constexpr Field kModuleType{3, 1, 0x0F, Unit::Code, "module_type", "模块类型"};
inline constexpr Field kDensity{4, 1, 0x0F, Unit::Code, "density", "颗粒容量"};
inline constexpr Field kBanks{4, 1, 0x70, Unit::Code, "banks", "bank 数"};
inline constexpr Field kColumns{5, 1, 0x07, Unit::Code, "columns", "列地址位"};
inline constexpr Field kRows{5, 1, 0xF8, Unit::Code, "rows", "行地址位"};
inline constexpr Field kVoltage{6, 1, 0x07, Unit::Flags, "voltage", "电压"};
inline constexpr Field kDeviceWidth{7, 1, 0x07, Unit::Code, "device_width", "颗粒位宽"};
inline constexpr Field kRanks{7, 1, 0xF8, Unit::Code, "ranks", "rank 数"};
inline constexpr Field kBusWidth{8, 1, 0x07, Unit::Code, "bus_width", "主总线位宽"};
inline constexpr Field kBusExtension{8, 1, 0x18, Unit::Code, "ecc", "总线扩展位宽"};
inline constexpr Field kFtbDivisor{9, 1, 0x0F, Unit::Code, "ftb_divisor", "FTB 除数"};
inline constexpr Field kFtbDividend{9, 1, 0xF0, Unit::Code, "ftb_dividend", "FTB 被除数"};
inline constexpr Field kMtbDividend{10, 1, 0, Unit::Code, "mtb_dividend", "MTB 被除数"};
inline constexpr Field kMtbDivisor{11, 1, 0, Unit::Code, "mtb_divisor", "MTB 除数"};
inline constexpr Field kTck{12, 1, 0, Unit::Mtb, "tck", "tCKmin"};
inline constexpr Field kCasLatencies{14, 2, 0, Unit::CasMap, "cl_list", "CAS 延迟"};
inline constexpr Field kTaa{16, 1, 0, Unit::Mtb, "taa", "tAAmin"};
inline constexpr Field kTwr{17, 1, 0, Unit::Mtb, "twr", "tWRmin"};
inline constexpr Field kTrcd{18, 1, 0, Unit::Mtb, "trcd", "tRCDmin"};
inline constexpr Field kTrrd{19, 1, 0, Unit::Mtb, "trrd", "tRRDmin"};
inline constexpr Field kTrp{20, 1, 0, Unit::Mtb, "trp", "tRPmin"};
inline constexpr Field kTrasHigh{21, 1, 0x0F, Unit::Mtb, "tras_high", "tRASmin 高位"};
inline constexpr Field kTrcHigh{21, 1, 0xF0, Unit::Mtb, "trc_high", "tRCmin 高位"};
inline constexpr Field kTras{22, 1, 0, Unit::Mtb, "tras", "tRASmin"};
inline constexpr Field kTrc{23, 1, 0, Unit::Mtb, "trc", "tRCmin"};
inline constexpr Field kTrfc{24, 2, 0, Unit::Mtb, "trfc", "tRFCmin"};
inline constexpr Field kTwtr{26, 1, 0, Unit::Mtb, "twtr", "tWTRmin"};
inline constexpr Field kTrtp{27, 1, 0, Unit::Mtb, "trtp", "tRTPmin"};
inline constexpr Field kTfawHigh{28, 1, 0x0F, Unit::Mtb, "tfaw_high", "tFAWmin 高位"};
inline constexpr Field kTfaw{29, 1, 0, Unit::Mtb, "tfaw", "tFAWmin"};
inline constexpr Field kOptionalFeatures{30, 1, 0, Unit::Flags, "optional_features", "SDRAM 可选功能"};
inline constexpr Field kThermalRefresh{31, 1, 0, Unit::Flags, "thermal_refresh", "温度与刷新选项"};
inline constexpr Field kThermalSensor{32, 1, 0x80, Unit::Flags, "thermal_sensor", "模块温度传感器"};
inline constexpr Field kDeviceType{33, 1, 0, Unit::Code, "device_type", "颗粒类型"};
inline constexpr Field kTckFine{34, 1, 0, Unit::Fine, "tck_fine", "tCKmin 微调"};
inline constexpr Field kTaaFine{35, 1, 0, Unit::Fine, "taa_fine", "tAAmin 微调"};
inline constexpr Field kTrcdFine{36, 1, 0, Unit::Fine, "trcd_fine", "tRCDmin 微调"};
inline constexpr Field kTrpFine{37, 1, 0, Unit::Fine, "trp_fine", "tRPmin 微调"};
inline constexpr Field kTrcFine{38, 1, 0, Unit::Fine, "trc_fine", "tRCmin 微调"};
inline constexpr Field kMac{41, 1, 0x0F, Unit::Code, "mac", "最大激活次数"};
inline constexpr Field kHeight{60, 1, 0x1F, Unit::Code, "height", "模块高度"};
inline constexpr Field kRawCardExtension{60, 1, 0xE0, Unit::Code, "raw_card_extension", "参考原始卡扩展"};
inline constexpr Field kThickness{61, 1, 0, Unit::Code, "thickness", "模块厚度"};
inline constexpr Field kRawCard{62, 1, 0, Unit::Code, "raw_card", "参考原始卡"};
inline constexpr Field kAttributes{63, 1, 0, Unit::Flags, "module_attributes", "模块属性"};
inline constexpr Field kHeatSpreader{64, 1, 0, Unit::Flags, "heat_spreader", "散热片"};
inline constexpr Field kRegisterMaker{65, 2, 0, Unit::Jep106, "register_maker", "寄存器制造商"};
inline constexpr Field kRegisterRevision{67, 1, 0, Unit::Code, "register_revision", "寄存器修订"};
inline constexpr Field kRegisterType{68, 1, 0x07, Unit::Code, "register_type", "寄存器型号"};
inline constexpr Field kModuleSpecific{69, 48, 0, Unit::Bytes, "module_specific", "模块专用区"};
inline constexpr Field kModuleMaker{117, 2, 0, Unit::Jep106, "module_maker", "模块制造商"};
inline constexpr Field kLocation{119, 1, 0, Unit::Code, "manufacturing_location", "生产地"};
inline constexpr Field kDate{120, 2, 0, Unit::Bcd, "manufacturing_date", "生产日期"};
inline constexpr Field kSerial{122, 4, 0, Unit::Bytes, "serial_number", "序列号"};
inline constexpr Field kBaseCrc{126, 2, 0, Unit::Bytes, "base_crc", "基本区 CRC"};
inline constexpr Field kPart{128, 18, 0, Unit::Text, "part_number", "型号"};
inline constexpr Field kModuleRevision{146, 2, 0, Unit::Code, "module_revision", "模块版本"};
inline constexpr Field kDramMaker{148, 2, 0, Unit::Jep106, "dram_maker", "颗粒制造商"};
inline constexpr Field kMakerSpecific{150, 26, 0, Unit::Bytes, "manufacturer_specific", "制造商专用区"};
inline constexpr Field kXmp{176, 79, 0, Unit::Bytes, "xmp", "XMP / 用户区"};

inline constexpr std::array kLayout{
    kBytesUsed,
    kBytesTotal,
    kCrcRange,
    kRevision,
    kKey,
    kModuleType,
    kDensity,
    kBanks,
    kColumns,
    kRows,
    kVoltage,
    kDeviceWidth,
    kRanks,
    kBusWidth,
    kBusExtension,
    kFtbDivisor,
    kFtbDividend,
    kMtbDividend,
    kMtbDivisor,
    kTck,
    kCasLatencies,
    kTaa,
    kTwr,
    kTrcd,
    kTrrd,
    kTrp,
    kTrasHigh,
    kTrcHigh,
    kTras,
    kTrc,
    kTrfc,
    kTwtr,
    kTrtp,
    kTfawHigh,
    kTfaw,
    kOptionalFeatures,
    kThermalRefresh,
    kThermalSensor,
    kDeviceType,
    kTckFine,
    kTaaFine,
    kTrcdFine,
    kTrpFine,
    kTrcFine,
    kMac,
    kHeight,
    kRawCardExtension,
    kThickness,
    kRawCard,
    kAttributes,
    kHeatSpreader,
    kRegisterMaker,
    kRegisterRevision,
    kRegisterType,
    kModuleSpecific,
    kModuleMaker,
    kLocation,
    kDate,
    kSerial,
    kBaseCrc,
    kPart,
    kModuleRevision,
    kDramMaker,
    kMakerSpecific,
    kXmp,
};

static_assert(sorted_without_overlaps(kLayout), "fields out of offset order, or sharing a bit");

}  // namespace dimmwand::spd::ddr3
