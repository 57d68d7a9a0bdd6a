// DDR3 decoded field by field (JEDEC Standard 21-C Annex K), with the conventions of Linux's
// decode-dimms (i2c-tools 4.3) so that both tell the same values: cycle times snapped to the
// standard grades, clocks rounded up, bus widths in PC3- module names rounded down to 100.
#include <fmt/format.h>

#include <array>
#include <cmath>

#include "spd/codec.hpp"
#include "spd/classic.hpp"
#include "spd/ddr3_layout.hpp"
#include "spd/detail_common.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using namespace detail_format;
using namespace ddr3;

enum Family { None, Unbuffered, Registered, Clocked, LoadReduced };
struct ModuleKind {
  const char* name;
  const char* summary;  // as the summary names it
  const char* width;
  Family family;
};
constexpr std::array<ModuleKind, 14> kModules{{
    {"未定义", "未知", "未知", None},
    {"RDIMM", "RDIMM", "133.35 mm", Registered},
    {"UDIMM", "UDIMM", "133.35 mm", Unbuffered},
    {"SO-DIMM", "SO-DIMM", "67.6 mm", Unbuffered},
    {"Micro-DIMM", "Micro-DIMM", "待定", Unbuffered},
    {"Mini-RDIMM", "Mini-RDIMM", "82.0 mm", Registered},
    {"Mini-UDIMM", "Mini-UDIMM", "82.0 mm", Unbuffered},
    {"Mini-CDIMM", "Mini-CDIMM", "67.6 mm", Clocked},
    {"72b-SO-UDIMM", "72b-SO-UDIMM", "67.6 mm", Unbuffered},
    {"72b-SO-RDIMM", "72b-SO-RDIMM", "67.6 mm", Registered},
    {"72b-SO-CDIMM", "72b-SO-CDIMM", "67.6 mm", Clocked},
    {"LRDIMM", "LRDIMM", "133.35 mm", LoadReduced},
    {"16b-SO-DIMM", "16b-SO-DIMM", "67.6 mm", Unbuffered},
    {"32b-SO-DIMM", "32b-SO-DIMM", "67.6 mm", Unbuffered},
}};

const classic::MakerBlock kMaker{kModuleMaker, kLocation, kDate, kSerial, kPart, kModuleRevision, kDramMaker};

// A time in the image's timebases (bytes 9-11), in ns.
double ns(Image s, const Timebases& tb, const Field& coarse, const Field& fine) {
  return mtb_time_ps(s, {&coarse, nullptr, &fine}, tb.mtb_ps, tb.ftb_ps) / 1000;
}

std::vector<unsigned> cas_latencies(Image s) { return spd::cas_latencies(s, kCasLatencies, kCasDdr3); }

Facts facts_of(Image s, const std::optional<Timebases>& tb) {
  Facts f;
  f.generation = DeviceType::DDR3;
  const unsigned density_mb = get(s, kDensity) <= 6 ? 256u << get(s, kDensity) : 0;
  f.device_width = 4u << get(s, kDeviceWidth);
  f.ranks = get(s, kRanks) + 1;
  f.bus_width = 8u << get(s, kBusWidth);
  f.ecc = get(s, kBusExtension) == 1;
  if (tb) {
    f.tck_ps = std::max(ns(s, *tb, kTck, kTckFine) * 1000, 0.0);
    f.taa_ps = std::max(ns(s, *tb, kTaa, kTaaFine) * 1000, 0.0);
    f.trcd_ps = std::max(ns(s, *tb, kTrcd, kTrcdFine) * 1000, 0.0);
    f.trp_ps = std::max(ns(s, *tb, kTrp, kTrpFine) * 1000, 0.0);
    f.tras_ps = get12(s, kTrasHigh, kTras) * tb->mtb_ps;
    // The clocks as the full decode counts them: at the snapped cycle time, rounded up.
    const double tck = snap_cycle(f.tck_ps / 1000, tb->ftb_ps);
    f.clocks = classic::core_clocks(tck, f.taa_ps / 1000, f.trcd_ps / 1000, f.trp_ps / 1000, f.tras_ps / 1000, 0);
    f.data_rate = data_rate(f.tck_ps, DeviceType::DDR3);
  } else {
    f.unreadable = "时间基准的除数为 0（字节 9-11），无法解读时序";
  }
  const unsigned type = get(s, kModuleType);
  f.module_type = type < kModules.size() ? kModules[type].summary : "未知";
  f.capacity_mb =
      f.device_width <= 32 && f.bus_width <= 64 ? 1ull * density_mb / 8 * (f.bus_width / f.device_width) * f.ranks : 0;
  f.organisation = fmt::format("{} rank，x{} 颗粒 {} Mb，{} 位{}", f.ranks, f.device_width, density_mb, f.bus_width,
                               f.ecc ? " + 8 位 ECC" : "");
  classic::maker_facts(f, s, kMaker);
  classic::xmp_profiles(f, s, DeviceType::DDR3);
  return f;
}

InfoSection features_section(Image s) {
  const unsigned volts = get(s, kVoltage);
  const unsigned options = get(s, kOptionalFeatures);
  const unsigned thermal = get(s, kThermalRefresh);
  const unsigned type = get(s, kDeviceType);
  InfoSection features{"可选功能", {}};
  std::string v = "1.5 V";
  if ((volts & 1) != 0) v += " 耐受";
  if ((volts & 2) != 0) v += "，1.35 V";
  if ((volts & 4) != 0) v += "，1.2X V";
  std::string device = (type & 0x80) != 0 ? "非标准" : "标准单晶";
  static constexpr std::array<const char*, 5> kDies{"", "，单晶粒", "，2 晶粒", "，4 晶粒", "，8 晶粒"};
  if (const unsigned dies = (type >> 4) & 7u; dies >= 1 && dies <= 4) device += kDies[dies];
  if (const unsigned loading = (type >> 2) & 3u; loading == 1)
    device += "，多负载堆叠";
  else if (loading == 2)
    device += "，单负载堆叠";
  features.lines = {
      {"可用电压", v},
      {"支持 RZQ/6", yes_no((options & 1) != 0)},
      {"支持 RZQ/7", yes_no((options & 2) != 0)},
      {"支持 DLL-Off 模式", yes_no((options & 128) != 0)},
      {"工作温度范围", fmt::format("0-{} °C", (thermal & 1) != 0 ? 95 : 85)},
  };
  if ((thermal & 1) != 0) features.lines.push_back({"扩展温度范围刷新率", (thermal & 2) != 0 ? "1X" : "2X"});
  features.lines.insert(features.lines.end(), {
                                                  {"自动自刷新", yes_no((thermal & 4) != 0)},
                                                  {"片上温度传感器读出", yes_no((thermal & 8) != 0)},
                                                  {"部分阵列自刷新", yes_no((thermal & 128) != 0)},
                                                  {"模块温度传感器", yes_no(get(s, kThermalSensor) != 0)},
                                                  {"颗粒类型", device},
                                              });
  if (const char* mac = max_activate_count(get(s, kMac))) features.lines.push_back({"最大激活次数 (MAC)", mac});
  return features;
}

// The physical section and, by the module's family, its register or buffer.
void module_sections(std::vector<InfoSection>& out, Image s, const ModuleKind& kind) {
  const std::uint8_t attributes = s[kAttributes.offset];
  InfoSection physical{"物理特性", {}};
  const unsigned thickness = get(s, kThickness);
  physical.lines = {
      {"模块高度", fmt::format("{} mm", get(s, kHeight) + 15)},
      {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (thickness & 15) + 1, ((thickness >> 4) & 15) + 1)},
      {"模块宽度", kind.width},
      {"参考原始卡", reference_card(s[kRawCard.offset], s[kHeight.offset])},
  };
  if (kind.family == Unbuffered) physical.lines.push_back({"Rank 1 映射", (attributes & 0x01) != 0 ? "镜像" : "标准"});
  out.push_back(physical);
  if (kind.family == Registered) {
    static constexpr std::array<const char*, 4> kRows{"未定义", "1", "2", "4"};
    InfoSection reg{"寄存器 (RDIMM)", {}};
    reg.lines = {
        {"DRAM 行数", kRows[(attributes >> 2) & 3]},
        {"寄存器数", kRows[attributes & 3]},
        {"寄存器制造商", maker_field(s, kRegisterMaker.offset)},
        {"寄存器型号", get(s, kRegisterType) == 0 ? "SSTE32882" : "未定义"},
    };
    if (s[kRegisterRevision.offset] != 0xFF)
      reg.lines.push_back({"寄存器修订", revision_number(s[kRegisterRevision.offset])});
    reg.lines.push_back({"散热片", yes_no((s[kHeatSpreader.offset] & 0x80) != 0)});
    out.push_back(reg);
  }
  if (kind.family == LoadReduced) {
    static constexpr std::array<const char*, 4> kRows{"未定义", "1", "2", "保留"};
    static constexpr std::array<const char*, 4> kMirroring{"无", "奇数 rank", "保留", "保留"};
    InfoSection lr{"缓冲器 (LRDIMM)", {}};
    lr.lines = {
        {"DRAM 行数", kRows[(attributes >> 2) & 3]},
        {"镜像", kMirroring[attributes & 3]},
        {"Rank 编号", (attributes & 0x20) != 0 ? "仅偶数" : "连续"},
        {"缓冲器方向", (attributes & 0x10) != 0 ? "水平" : "垂直"},
        {"寄存器制造商", maker_field(s, kRegisterMaker.offset)},
    };
    // On an LRDIMM byte 64 holds the buffer's revision.
    if (s[kHeatSpreader.offset] != 0xFF) lr.lines.push_back({"缓冲器修订", revision_number(s[kHeatSpreader.offset])});
    lr.lines.push_back({"散热片", yes_no((attributes & 0x80) != 0)});
    out.push_back(lr);
  }
}

}  // namespace

Decode decode_ddr3(Image s) {
  const auto tb = ddr3_timebases(s);
  Decode d{facts_of(s, tb), {}};
  const Facts& f = d.facts;
  const unsigned kind_bits = get(s, kBytesTotal);
  const unsigned total = kind_bits > 2 ? 64 : 64u << get(s, kBytesUsed);
  const unsigned used = kind_bits == 0 ? 128 : kind_bits == 1 ? 176 : kind_bits == 2 ? 256 : 64;
  InfoSection info = classic::spd_section(s, DeviceType::DDR3, used, total);
  const std::uint8_t type = s[kModuleType.offset];
  const bool known = type < kModules.size();
  info.lines.push_back({"模块类型", known ? kModules[type].name : fmt::format("保留 (0x{:02X})", type)});
  if (!tb) {
    info.lines.push_back({"注意", f.unreadable});
    d.sections.push_back(std::move(info));
    d.sections.push_back(classic::maker_section(s, kMaker, f));
    if (auto xmp = classic::xmp_section(f)) d.sections.push_back(std::move(*xmp));
    return d;
  }
  const double tck = snap_cycle(f.tck_ps / 1000, tb->ftb_ps);
  const auto mtb = [&](const Field& field) { return ns3(get(s, field) * tb->mtb_ps / 1000); };

  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", classic::module_speed(tck, f.bus_width, DeviceType::DDR3)});
  mem.lines.push_back({"容量", f.capacity_mb != 0 ? fmt::format("{} MB", f.capacity_mb) : std::string("未知")});
  mem.lines.push_back({"Bank x 行 x 列 x 位", fmt::format("{} x {} x {} x {}", 1u << (get(s, kBanks) + 3),
                                                          get(s, kRows) + 12, get(s, kColumns) + 9, f.bus_width)});
  mem.lines.push_back({"Rank 数", fmt::format("{}", f.ranks)});
  mem.lines.push_back({"颗粒位宽", fmt::format("{} 位", f.device_width)});
  mem.lines.push_back({"主总线位宽", fmt::format("{} 位", f.bus_width)});
  if (get(s, kBusExtension) != 0)
    mem.lines.push_back({"总线扩展位宽", fmt::format("{} 位", get(s, kBusExtension) << 3)});
  mem.lines.push_back({"tCL-tRCD-tRP-tRAS", classic::clocks_text(f.clocks)});
  const auto cas = cas_latencies(s);
  mem.lines.push_back({"支持的 CAS 延迟 (tCL)", cas_list(cas)});

  const InfoSection speeds = classic::standard_speeds(f, cas, {7.5 / 8, 7.5 / 7, 1.25, 1.5, 1.875, 2.5}, tck, -1, 0,
                                                      "DDR3-{} 时 tCL-tRCD-tRP-tRAS");

  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCK)", ns3(tck)},
      {"最小 CAS 延迟时间 (tAA)", ns3(f.taa_ps / 1000)},
      {"最小写恢复时间 (tWR)", mtb(kTwr)},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ns3(f.trcd_ps / 1000)},
      {"最小行激活到行激活延迟 (tRRD)", mtb(kTrrd)},
      {"最小行预充电延迟 (tRP)", ns3(f.trp_ps / 1000)},
      {"最小激活到预充电延迟 (tRAS)", ns3(f.tras_ps / 1000)},
      {"最小激活到自动刷新延迟 (tRC)",
       ns3(mtb_time_ps(s, {&kTrc, &kTrcHigh, &kTrcFine}, tb->mtb_ps, tb->ftb_ps) / 1000)},
      {"最小刷新恢复延迟 (tRFC)", mtb(kTrfc)},
      {"最小写到读命令延迟 (tWTR)", mtb(kTwtr)},
      {"最小读到预充电命令延迟 (tRTP)", mtb(kTrtp)},
      {"最小四激活窗口 (tFAW)", ns3(get12(s, kTfawHigh, kTfaw) * tb->mtb_ps / 1000)},
  };
  d.sections.insert(d.sections.end(), {info, mem, speeds, timing, features_section(s)});
  if (known && type != 0) module_sections(d.sections, s, kModules[type]);
  d.sections.push_back(classic::maker_section(s, kMaker, f));
  if (auto xmp = classic::xmp_section(f)) d.sections.push_back(std::move(*xmp));
  return d;
}

}  // namespace dimmwand::spd
