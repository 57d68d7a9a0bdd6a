// DDR4 decoded field by field (JEDEC Standard 21-C Annex L), with the conventions of Linux's
// decode-dimms (i2c-tools 4.3) so that both tell the same values: cycle times snapped to the
// standard grades, clocks rounded up past a 2.5 % guard band, bus widths in PC4- module names
// rounded down to 100.
#include <fmt/format.h>

#include <array>
#include <cmath>

#include "spd/codec.hpp"
#include "spd/classic.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/detail_common.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using namespace detail_format;
using namespace ddr4;

enum Family { None, Unbuffered, Registered, LoadReduced };
struct ModuleKind {
  const char* name;     // as the full decode names it
  const char* summary;  // as the summary does
  Family family;
};
constexpr std::array<ModuleKind, 16> kModules{{
    {"扩展类型", "未知", None},
    {"RDIMM", "RDIMM", Registered},
    {"UDIMM", "UDIMM", Unbuffered},
    {"SO-DIMM", "SO-DIMM", Unbuffered},
    {"LRDIMM", "LRDIMM", LoadReduced},
    {"Mini-RDIMM", "Mini-RDIMM", Registered},
    {"Mini-UDIMM", "Mini-UDIMM", Unbuffered},
    {"保留 (0x07)", "未知", None},
    {"72b-SO-RDIMM", "72b-SO-RDIMM", Registered},
    {"72b-SO-UDIMM", "72b-SO-UDIMM", Unbuffered},
    {"保留 (0x0A)", "未知", None},
    {"保留 (0x0B)", "未知", None},
    {"16b-SO-DIMM", "16b-SO-DIMM", Unbuffered},
    {"32b-SO-DIMM", "32b-SO-DIMM", Unbuffered},
    {"保留 (0x0E)", "未知", None},
    {"无基本内存", "未知", None},
}};

// Density codes 0-7 are 256 Mb to 32 Gb; 8 and 9 are 12 and 24 Gb (Annex L, byte 4).
constexpr std::array<unsigned, 10> kDensityMb{256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 12288, 24576};
constexpr double kGuard = 0.025;  // DDR4 rounds clocks up past a 2.5 % guard band

const classic::MakerBlock kMaker{kModuleMaker, kLocation, kDate, kSerial, kPart, kModuleRevision, kDramMaker};

// A time in the image's timebases (byte 17: 125 ps and 1 ps, the only ones defined), in ps, never
// below 0.
double ps(Image s, const Timebases& tb, const Field& coarse, const Field& fine) {
  const double t = mtb_time_ps(s, {&coarse, nullptr, &fine}, tb.mtb_ps, tb.ftb_ps);
  return t > 0 ? t : 0;
}

Facts facts_of(Image s) {
  Facts f;
  f.generation = DeviceType::DDR4;
  const unsigned density_mb = get(s, kDensity) < kDensityMb.size() ? kDensityMb[get(s, kDensity)] : 0;
  const unsigned dies = get(s, kDies) + 1;
  const bool stacked = get(s, kLoading) == 2;  // 3DS: each die is a logical rank
  f.device_width = 4u << get(s, kDeviceWidth);
  f.ranks = (get(s, kRanks) + 1) * (stacked ? dies : 1);
  f.bus_width = 8u << get(s, kBusWidth);
  f.ecc = get(s, kBusExtension) == 1;
  if (const auto tb = ddr4_timebases(s[kTimebases.offset])) {
    f.tck_ps = ps(s, *tb, kTck, kTckFine);
    f.taa_ps = ps(s, *tb, kTaa, kTaaFine);
    f.trcd_ps = ps(s, *tb, kTrcd, kTrcdFine);
    f.trp_ps = ps(s, *tb, kTrp, kTrpFine);
    f.tras_ps = get12(s, kTrasHigh, kTras) * tb->mtb_ps;
  } else {
    f.unreadable = reserved_timebase(kTimebases.offset, s[kTimebases.offset]);
  }
  f.module_type = kModules[get(s, kModuleType)].summary;
  f.capacity_mb =
      f.device_width <= 32 && f.bus_width <= 64 ? 1ull * density_mb / 8 * (f.bus_width / f.device_width) * f.ranks : 0;
  f.organisation =
      fmt::format("{} rank，x{} 颗粒 {} Gb{}，{} 位{}", f.ranks, f.device_width, density_mb / 1024.0,
                  stacked ? fmt::format("，3DS {} 层", dies) : "", f.bus_width, f.ecc ? " + 8 位 ECC" : "");
  // The clocks as the full decode counts them: at the snapped cycle time, past the guard band.
  const double tck = snap_cycle(f.tck_ps / 1000, 1);
  f.clocks = classic::core_clocks(tck, f.taa_ps / 1000, f.trcd_ps / 1000, f.trp_ps / 1000, f.tras_ps / 1000, kGuard);
  f.data_rate = data_rate(f.tck_ps, DeviceType::DDR4);
  classic::maker_facts(f, s, kMaker);
  classic::xmp_profiles(f, s, DeviceType::DDR4);
  return f;
}

std::vector<unsigned> cas_latencies(Image s) { return spd::cas_latencies(s, kCasLatencies, kCasDdr4); }

}  // namespace

Decode decode_ddr4(Image s) {
  Decode d{facts_of(s), {}};
  const Facts& f = d.facts;
  const auto& kind = kModules[get(s, kModuleType)];
  InfoSection info = classic::spd_section(s, DeviceType::DDR4, 128u * get(s, kBytes), 256u * get(s, kTotal));
  info.lines.push_back({"模块类型", kind.name});
  const auto crcs = model::checksums(s, DeviceType::DDR4);
  info.lines.push_back({"EEPROM CRC（字节 128-253）", classic::crc_value(crcs[1])});
  const auto tb = ddr4_timebases(s[kTimebases.offset]);
  if (!tb) {
    info.lines.push_back({"注意", f.unreadable});
    d.sections.push_back(std::move(info));
    d.sections.push_back(classic::maker_section(s, kMaker, f));
    if (auto xmp = classic::xmp_section(f)) d.sections.push_back(std::move(*xmp));
    return d;
  }
  const double tck = snap_cycle(f.tck_ps / 1000, tb->ftb_ps);
  const double tck_max = snap_cycle(ps(s, *tb, kTckMax, kTckMaxFine) / 1000, tb->ftb_ps);
  const unsigned loading = get(s, kLoading);
  const unsigned dies = get(s, kDies) + 1;
  const unsigned ranks = get(s, kRanks) + 1;

  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", classic::module_speed(tck, f.bus_width, DeviceType::DDR4)});
  mem.lines.push_back({"容量", f.capacity_mb != 0 ? fmt::format("{} MB", f.capacity_mb) : std::string("未知")});
  mem.lines.push_back(
      {"Bank x 行 x 列 x 位", fmt::format("{} x {} x {} x {}", (1u << get(s, kBankGroups)) * (4u << get(s, kBanks)),
                                          get(s, kRows) + 12, get(s, kColumns) + 9, f.bus_width)});
  mem.lines.push_back({"颗粒位宽", fmt::format("{} 位", f.device_width)});
  mem.lines.push_back({"Rank 数", fmt::format("{}", ranks)});
  if (ranks > 1) mem.lines.push_back({"Rank 组合", get(s, kRankMix) != 0 ? "非对称" : "对称"});
  mem.lines.push_back({"主总线位宽", fmt::format("{} 位", f.bus_width)});
  if (get(s, kBusExtension) != 0)
    mem.lines.push_back({"总线扩展位宽", fmt::format("{} 位", get(s, kBusExtension) << 3)});
  mem.lines.push_back({"AA-RCD-RP-RAS（周期）", classic::clocks_text(f.clocks)});
  const auto cas = cas_latencies(s);
  mem.lines.push_back({"支持的 CAS 延迟", cas_list(cas)});

  const InfoSection speeds =
      classic::standard_speeds(f, cas, {15.0 / 24, 15.0 / 22, 15.0 / 20, 15.0 / 18, 15.0 / 16, 15.0 / 14, 15.0 / 12},
                               tck, tck_max, kGuard, "DDR4-{} 时 AA-RCD-RP-RAS（周期）");

  // As decode-dimms shows them: a correction larger than the coarse value shows negative.
  const auto ns = [&](const Field& coarse, const Field& fine) {
    return ns3(mtb_time_ps(s, {&coarse, nullptr, &fine}, tb->mtb_ps, tb->ftb_ps) / 1000.0);
  };
  const auto mtb_ns = [&](unsigned units) { return units * tb->mtb_ps / 1000; };
  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCKmin)", ns3(tck)},
      {"最大时钟周期 (tCKmax)", ns3(tck_max)},
      {"最小 CAS 延迟时间 (tAA)", ns3(f.taa_ps / 1000)},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ns3(f.trcd_ps / 1000)},
      {"最小行预充电延迟 (tRP)", ns3(f.trp_ps / 1000)},
      {"最小激活到预充电延迟 (tRAS)", ns3(f.tras_ps / 1000)},
      {"最小激活到自动刷新延迟 (tRC)",
       ns3(mtb_time_ps(s, {&kTrc, &kTrcHigh, &kTrcFine}, tb->mtb_ps, tb->ftb_ps) / 1000)},
      {"最小刷新恢复延迟 (tRFC1)", ns3(mtb_ns(get(s, kTrfc1)))},
      {"最小刷新恢复延迟 (tRFC2)", ns3(mtb_ns(get(s, kTrfc2)))},
      {"最小刷新恢复延迟 (tRFC4)", ns3(mtb_ns(get(s, kTrfc4)))},
      {"最小四激活窗口 (tFAW)", ns3(mtb_ns(get12(s, kTfawHigh, kTfaw)))},
      {"最小行激活到行激活延迟 (tRRD_S)", ns(kTrrdS, kTrrdSFine)},
      {"最小行激活到行激活延迟 (tRRD_L)", ns(kTrrdL, kTrrdLFine)},
      {"最小 CAS 到 CAS 延迟 (tCCD_L)", ns(kTccdL, kTccdLFine)},
  };
  if (const unsigned v = get12(s, kTwrHigh, kTwr); v != 0)
    timing.lines.push_back({"最小写恢复时间 (tWR)", ns3(mtb_ns(v))});
  if (const unsigned v = get12(s, kTwtrSHigh, kTwtrS); v != 0)
    timing.lines.push_back({"最小写到读时间 (tWTR_S)", ns3(mtb_ns(v))});
  if (const unsigned v = get12(s, kTwtrLHigh, kTwtrL); v != 0)
    timing.lines.push_back({"最小写到读时间 (tWTR_L)", ns3(mtb_ns(v))});

  InfoSection other{"其他信息", {}};
  std::string package = get(s, kPackage) == 0 ? "单晶" : loading == 1 ? "多负载堆叠" : loading == 2 ? "3DS" : "未知";
  if (dies >= 2) package += fmt::format(" ({} 晶粒)", dies);
  other.lines.push_back({"封装类型", package});
  if (const char* mac = max_activate_count(get(s, kMac))) other.lines.push_back({"最大激活次数 (MAC)", mac});
  const unsigned ppr = get(s, kPpr);
  other.lines.push_back({"封装后修复 (PPR)", ppr == 0 ? "不支持" : ppr == 1 ? "每个 bank group 一行" : "未知"});
  if (ppr != 0) other.lines.push_back({"软 PPR", get(s, kSoftPpr) != 0 ? "支持" : "不支持"});
  const unsigned volts = get(s, kVoltage);
  other.lines.push_back({"模块标称电压", (volts & 1) != 0   ? "1.2 V"
                                         : (volts & 2) != 0 ? "未知（1.2 V 耐久）"
                                                            : "未知"});
  other.lines.push_back({"温度传感器", get(s, kThermalSensor) != 0 ? "符合 TSE2004" : "否"});
  d.sections.insert(d.sections.end(), {info, mem, speeds, timing, other});

  if (kind.family != None && crcs[1].ok()) {
    const unsigned height = get(s, kHeight);
    const unsigned thickness = get(s, kThickness);
    InfoSection physical{"物理特性", {}};
    physical.lines = {
        {"模块高度", height == 0      ? std::string("15 mm 或以下")
                     : height == 0x1F ? std::string("大于 45 mm")
                                      : fmt::format("{} mm", height + 15)},
        {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (thickness & 0x0F) + 1, ((thickness >> 4) & 15) + 1)},
        {"参考原始卡", reference_card(static_cast<std::uint8_t>(get(s, kRawCard)), s[kHeight.offset])},
    };
    d.sections.push_back(physical);
  }
  d.sections.push_back(classic::maker_section(s, kMaker, f));
  if (auto xmp = classic::xmp_section(f)) d.sections.push_back(std::move(*xmp));
  return d;
}

}  // namespace dimmwand::spd
