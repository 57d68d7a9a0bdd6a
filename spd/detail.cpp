// DDR3 and DDR4 decoded field by field, from JEDEC Standard 21-C Annex K (DDR3) and Annex L
// (DDR4), with the conventions of Linux's decode-dimms (i2c-tools 4.3) so that both tell the same
// values: cycle times snapped to the standard grades, clocks rounded up (DDR4 with a 2.5 % guard
// band), bus widths in PC3-/PC4- module names rounded down to 100.
#include "spd/detail.hpp"

#include <array>
#include <cmath>

#include "spd/detail_common.hpp"

namespace dimmwand::spd {

std::vector<InfoSection> detail_ddr5(Image s);  // detail_ddr5.cpp

namespace {

using namespace detail_format;

// A cycle time a vendor approximated (DDR3-1866 and up, DDR4) taken as the grade it meant:
// 7.5 / n ns within the fine timebase.
double snap_cycle(double ns, double ftb_ps) {
  for (int n = 7; n < 15; ++n) {
    const double grade = 7.5 / n;
    if (ns > grade - ftb_ps / 1000 && ns < grade + ftb_ps / 1000) return grade;
  }
  return ns;
}

std::string module_speed(double tck_ns, unsigned bus_bits, int gen) {
  if (!(tck_ns > 0.01)) return "未知";  // no cycle time, or one no module runs at
  const double rate = 2 * (1000 / tck_ns);
  long pc = static_cast<long>(rate * bus_bits / 8);
  pc -= pc % 100;
  return fmt::format("{} MT/s (PC{}-{})", static_cast<long>(rate), gen, pc);
}

std::string crc_value(const Checksum& c) {
  return c.ok() ? fmt::format("正确 (0x{:04X})", c.computed)
                : fmt::format("错误（存储 0x{:04X}，计算 0x{:04X}）", c.stored, c.computed);
}

InfoSection spd_section(Image s, DeviceType g) {
  InfoSection sec{"SPD 信息", {}};
  const auto crcs = checksums(s, g);
  const auto& base = crcs.front();
  sec.lines.push_back({fmt::format("EEPROM CRC（字节 {}-{}）", base.from, base.to), crc_value(base)});
  unsigned used = 0;
  unsigned total = 0;
  if (g == DeviceType::DDR4) {
    total = 256u * ((s[0] >> 4) & 0x07u);
    used = 128u * (s[0] & 0x0Fu);
  } else {
    const unsigned kind = (s[0] >> 4) & 0x07u;
    total = 64u << (s[0] & 0x0Fu);
    used = kind == 0 ? 128 : kind == 1 ? 176 : kind == 2 ? 256 : 64;
    if (kind > 2) total = 64;
  }
  sec.lines.push_back({"已写入字节数", fmt::format("{}", used)});
  sec.lines.push_back({"EEPROM 总字节数", fmt::format("{}", total)});
  sec.lines.push_back({"内存类型", fmt::format("DDR{} SDRAM", generation(g))});
  if (s[1] != 0xFF) sec.lines.push_back({"SPD 版本", fmt::format("{}.{}", s[1] >> 4, s[1] & 0x0F)});
  return sec;
}

struct Core {
  double tck, taa, trcd, trp, tras;
};

std::string core_timings(unsigned cas, double tck, const Core& t, double guard) {
  const auto up = [&](double v) { return clocks_up(v, tck, guard); };
  return fmt::format("{}-{}-{}-{}", cas, up(t.trcd), up(t.trp), up(t.tras));
}

// ---- DDR3 -------------------------------------------------------------------------------------

std::vector<InfoSection> detail_ddr3(Image s) {
  enum Family { None, Unbuffered, Registered, Clocked, LoadReduced };
  struct ModuleKind {
    const char* name;
    const char* width;
    Family family;
  };
  static constexpr std::array<ModuleKind, 14> kModules{{
      {"未定义", "未知", None},              {"RDIMM", "133.35 mm", Registered},      {"UDIMM", "133.35 mm", Unbuffered},
      {"SO-DIMM", "67.6 mm", Unbuffered},    {"Micro-DIMM", "待定", Unbuffered},     {"Mini-RDIMM", "82.0 mm", Registered},
      {"Mini-UDIMM", "82.0 mm", Unbuffered}, {"Mini-CDIMM", "67.6 mm", Clocked},     {"72b-SO-UDIMM", "67.6 mm", Unbuffered},
      {"72b-SO-RDIMM", "67.6 mm", Registered}, {"72b-SO-CDIMM", "67.6 mm", Clocked}, {"LRDIMM", "133.35 mm", LoadReduced},
      {"16b-SO-DIMM", "67.6 mm", Unbuffered}, {"32b-SO-DIMM", "67.6 mm", Unbuffered},
  }};
  std::vector<InfoSection> out{spd_section(s, DeviceType::DDR3)};
  const bool known = s[3] < kModules.size();
  out[0].lines.push_back({"模块类型", known ? kModules[s[3]].name : fmt::format("保留 (0x{:02X})", s[3])});
  if ((s[9] & 0x0F) == 0 || s[11] == 0) {
    out[0].lines.push_back({"注意", "时间基准的除数为 0，无法解读时序"});
    return out;
  }
  const double ftb = (s[9] >> 4) / static_cast<double>(s[9] & 0x0F);  // ps
  const double mtb = s[10] / static_cast<double>(s[11]);              // ns
  const auto t = [&](std::uint8_t coarse, std::uint8_t fine) { return coarse * mtb + signed_byte(fine) * ftb / 1000; };
  Core c{snap_cycle(t(s[12], s[34]), ftb), t(s[16], s[35]), t(s[18], s[36]), t(s[20], s[37]),
         (((s[21] & 0x0F) << 8) + s[22]) * mtb};
  const unsigned bus = 8u << (s[8] & 0x07);

  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", module_speed(c.tck, bus, 3)});
  const int cap_log = (s[4] & 15) + 28 + (s[8] & 7) + 3 - ((s[7] & 7) + 2) - 23;
  const unsigned ranks = ((s[7] >> 3) & 31u) + 1;
  mem.lines.push_back({"容量", fmt::format("{} MB", cap_log >= 0 ? (1ull << cap_log) * ranks : 0)});
  mem.lines.push_back({"Bank x 行 x 列 x 位", fmt::format("{} x {} x {} x {}", 1u << (((s[4] >> 4) & 7u) + 3),
                                                         ((s[5] >> 3) & 31u) + 12, (s[5] & 7u) + 9, bus)});
  mem.lines.push_back({"Rank 数", fmt::format("{}", ranks)});
  mem.lines.push_back({"颗粒位宽", fmt::format("{} 位", 1u << ((s[7] & 7u) + 2))});
  mem.lines.push_back({"主总线位宽", fmt::format("{} 位", bus)});
  if ((s[8] & 24) != 0) mem.lines.push_back({"总线扩展位宽", fmt::format("{} 位", s[8] & 24)});
  mem.lines.push_back({"tCL-tRCD-tRP-tRAS", core_timings(static_cast<unsigned>(clocks_up(c.taa, c.tck)), c.tck, c, 0)});
  const unsigned supported = unsigned{s[15]} << 8 | s[14];
  std::vector<unsigned> cas;
  for (unsigned i = 0; i < 15; ++i) {
    if ((supported >> i & 1u) != 0) cas.push_back(i + 4);
  }
  mem.lines.push_back({"支持的 CAS 延迟 (tCL)", cas_list(cas)});

  InfoSection speeds{"标准速率下的时序", {}};
  for (const double at : {7.5 / 8, 7.5 / 7, 1.25, 1.5, 1.875, 2.5}) {
    unsigned best = 0;
    for (int i = 14; i >= 0; --i) {
      if ((supported >> i & 1u) != 0 && std::ceil(c.taa / at) <= i + 4) best = static_cast<unsigned>(i + 4);
    }
    if (best != 0 && at >= c.tck) {
      speeds.lines.push_back({fmt::format("DDR3-{} 时 tCL-tRCD-tRP-tRAS", static_cast<int>(2000 / at)), core_timings(best, at, c, 0)});
    }
  }

  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCK)", ns3(c.tck)},
      {"最小 CAS 延迟时间 (tAA)", ns3(c.taa)},
      {"最小写恢复时间 (tWR)", ns3(s[17] * mtb)},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ns3(c.trcd)},
      {"最小行激活到行激活延迟 (tRRD)", ns3(s[19] * mtb)},
      {"最小行预充电延迟 (tRP)", ns3(c.trp)},
      {"最小激活到预充电延迟 (tRAS)", ns3(c.tras)},
      {"最小激活到自动刷新延迟 (tRC)", ns3(t(static_cast<std::uint8_t>(0), s[38]) + (((s[21] & 0xF0) << 4) + s[23]) * mtb)},
      {"最小刷新恢复延迟 (tRFC)", ns3(((s[25] << 8) + s[24]) * mtb)},
      {"最小写到读命令延迟 (tWTR)", ns3(s[26] * mtb)},
      {"最小读到预充电命令延迟 (tRTP)", ns3(s[27] * mtb)},
      {"最小四激活窗口 (tFAW)", ns3((((s[28] & 15) << 8) + s[29]) * mtb)},
  };

  InfoSection features{"可选功能", {}};
  std::string volts = "1.5 V";
  if ((s[6] & 1) != 0) volts += " 耐受";
  if ((s[6] & 2) != 0) volts += "，1.35 V";
  if ((s[6] & 4) != 0) volts += "，1.2X V";
  std::string device = (s[33] & 0x80) != 0 ? "非标准" : "标准单晶";
  static constexpr std::array<const char*, 5> kDies{"", "，单晶粒", "，2 晶粒", "，4 晶粒", "，8 晶粒"};
  if (const unsigned dies = (s[33] >> 4) & 7u; dies >= 1 && dies <= 4) device += kDies[dies];
  if (const unsigned loading = (s[33] >> 2) & 3u; loading == 1) device += "，多负载堆叠";
  else if (loading == 2) device += "，单负载堆叠";
  features.lines = {
      {"可用电压", volts},
      {"支持 RZQ/6", yes_no((s[30] & 1) != 0)},
      {"支持 RZQ/7", yes_no((s[30] & 2) != 0)},
      {"支持 DLL-Off 模式", yes_no((s[30] & 128) != 0)},
      {"工作温度范围", fmt::format("0-{} °C", (s[31] & 1) != 0 ? 95 : 85)},
  };
  if ((s[31] & 1) != 0) features.lines.push_back({"扩展温度范围刷新率", (s[31] & 2) != 0 ? "1X" : "2X"});
  features.lines.insert(features.lines.end(), {
      {"自动自刷新", yes_no((s[31] & 4) != 0)},
      {"片上温度传感器读出", yes_no((s[31] & 8) != 0)},
      {"部分阵列自刷新", yes_no((s[31] & 128) != 0)},
      {"模块温度传感器", yes_no((s[32] & 128) != 0)},
      {"颗粒类型", device},
  });
  static constexpr std::array<const char*, 9> kMac{"未测试", "700 K", "600 K", "500 K", "400 K", "300 K", "200 K", "", "无限制"};
  if (const unsigned mac = s[41] & 0x0Fu; mac < kMac.size() && *kMac[mac] != '\0') {
    features.lines.push_back({"最大激活次数 (MAC)", kMac[mac]});
  }
  out.insert(out.end(), {mem, speeds, timing, features});
  if (!known || s[3] == 0) return out;

  const Family family = kModules[s[3]].family;
  InfoSection physical{"物理特性", {}};
  physical.lines = {
      {"模块高度", fmt::format("{} mm", (s[60] & 31) + 15)},
      {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (s[61] & 15) + 1, ((s[61] >> 4) & 15) + 1)},
      {"模块宽度", kModules[s[3]].width},
      {"参考原始卡", reference_card(s[62], s[60])},
  };
  if (family == Unbuffered) physical.lines.push_back({"Rank 1 映射", (s[63] & 0x01) != 0 ? "镜像" : "标准"});
  out.push_back(physical);
  if (family == Registered) {
    static constexpr std::array<const char*, 4> kRows{"未定义", "1", "2", "4"};
    InfoSection reg{"寄存器 (RDIMM)", {}};
    reg.lines = {
        {"DRAM 行数", kRows[(s[63] >> 2) & 3]},
        {"寄存器数", kRows[s[63] & 3]},
        {"寄存器制造商", maker_field(s, 65)},
        {"寄存器型号", (s[68] & 7) == 0 ? "SSTE32882" : "未定义"},
    };
    if (s[67] != 0xFF) reg.lines.push_back({"寄存器修订", revision_number(s[67])});
    reg.lines.push_back({"散热片", yes_no((s[64] & 0x80) != 0)});
    out.push_back(reg);
  }
  if (family == LoadReduced) {
    static constexpr std::array<const char*, 4> kRows{"未定义", "1", "2", "保留"};
    static constexpr std::array<const char*, 4> kMirroring{"无", "奇数 rank", "保留", "保留"};
    InfoSection lr{"缓冲器 (LRDIMM)", {}};
    lr.lines = {
        {"DRAM 行数", kRows[(s[63] >> 2) & 3]},
        {"镜像", kMirroring[s[63] & 3]},
        {"Rank 编号", (s[63] & 0x20) != 0 ? "仅偶数" : "连续"},
        {"缓冲器方向", (s[63] & 0x10) != 0 ? "水平" : "垂直"},
        {"寄存器制造商", maker_field(s, 65)},
    };
    if (s[64] != 0xFF) lr.lines.push_back({"缓冲器修订", revision_number(s[64])});
    lr.lines.push_back({"散热片", yes_no((s[63] & 0x80) != 0)});
    out.push_back(lr);
  }
  return out;
}

// ---- DDR4 -------------------------------------------------------------------------------------

std::vector<InfoSection> detail_ddr4(Image s) {
  enum Family { None, Unbuffered, Registered, LoadReduced };
  struct ModuleKind {
    const char* name;
    Family family;
  };
  static constexpr std::array<ModuleKind, 16> kModules{{
      {"扩展类型", None},     {"RDIMM", Registered},       {"UDIMM", Unbuffered},        {"SO-DIMM", Unbuffered},
      {"LRDIMM", LoadReduced}, {"Mini-RDIMM", Registered}, {"Mini-UDIMM", Unbuffered},   {"保留 (0x07)", None},
      {"72b-SO-RDIMM", Registered}, {"72b-SO-UDIMM", Unbuffered}, {"保留 (0x0A)", None}, {"保留 (0x0B)", None},
      {"16b-SO-DIMM", Unbuffered}, {"32b-SO-DIMM", Unbuffered}, {"保留 (0x0E)", None},  {"无基本内存", None},
  }};
  std::vector<InfoSection> out{spd_section(s, DeviceType::DDR4)};
  const auto& kind = kModules[s[3] & 0x0F];
  out[0].lines.push_back({"模块类型", kind.name});
  const auto crcs = checksums(s, DeviceType::DDR4);
  out[0].lines.push_back({"EEPROM CRC（字节 128-253）", crc_value(crcs[1])});
  if ((s[17] & 0x03) != 0 || (s[17] & 0xC0) != 0) {
    out[0].lines.push_back({"注意", "未知的时间基准，无法解读时序"});
    return out;
  }
  // Medium timebase 125 ps, fine timebase 1 ps; times in ns.
  const auto t = [](unsigned coarse, std::uint8_t fine) { return (coarse * 125.0 + signed_byte(fine)) / 1000; };
  const double tck_max = snap_cycle(t(s[19], s[124]), 1);
  Core c{snap_cycle(t(s[18], s[125]), 1), t(s[24], s[123]), t(s[25], s[122]), t(s[26], s[121]),
         (((s[27] & 0x0F) << 8) + s[28]) * 125.0 / 1000};
  const unsigned bus = 8u << (s[13] & 0x07);
  const unsigned width = 4u << (s[12] & 0x07);
  const unsigned ranks = ((s[12] >> 3) & 0x07u) + 1;
  const unsigned loading = s[6] & 0x03u;
  const unsigned dies = ((s[6] >> 4) & 0x07u) + 1;

  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", module_speed(c.tck, bus, 4)});
  unsigned long long cap = (256ull << (s[4] & 0x0F)) / 8 * bus / width * ranks;
  if (loading == 2) cap *= dies;
  mem.lines.push_back({"容量", fmt::format("{} MB", cap)});
  mem.lines.push_back({"Bank x 行 x 列 x 位", fmt::format("{} x {} x {} x {}", (1u << (s[4] >> 6)) * (4u << ((s[4] >> 4) & 3u)),
                                                         ((s[5] >> 3) & 7u) + 12, (s[5] & 7u) + 9, bus)});
  mem.lines.push_back({"颗粒位宽", fmt::format("{} 位", width)});
  mem.lines.push_back({"Rank 数", fmt::format("{}", ranks)});
  if (ranks > 1) mem.lines.push_back({"Rank 组合", (s[12] & 0x40) != 0 ? "非对称" : "对称"});
  mem.lines.push_back({"主总线位宽", fmt::format("{} 位", bus)});
  if ((s[13] & 0x18) != 0) mem.lines.push_back({"总线扩展位宽", fmt::format("{} 位", s[13] & 0x18)});
  constexpr double kGuard = 0.025;  // DDR4 rounds clocks up past a 2.5 % guard band
  mem.lines.push_back(
      {"AA-RCD-RP-RAS（周期）", core_timings(static_cast<unsigned>(clocks_up(c.taa, c.tck, kGuard)), c.tck, c, kGuard)});
  const unsigned long supported = static_cast<unsigned long>(s[23]) << 24 | unsigned{s[22]} << 16 | unsigned{s[21]} << 8 | s[20];
  const unsigned base_cas = (s[23] & 0x80) != 0 ? 23 : 7;
  std::vector<unsigned> cas;
  for (unsigned i = 0; i < 30; ++i) {
    if ((supported >> i & 1u) != 0) cas.push_back(base_cas + i);
  }
  mem.lines.push_back({"支持的 CAS 延迟", cas_list(cas)});

  InfoSection speeds{"标准速率下的时序", {}};
  for (const double at : {15.0 / 24, 15.0 / 22, 15.0 / 20, 15.0 / 18, 15.0 / 16, 15.0 / 14, 15.0 / 12}) {
    unsigned best = 0;
    for (int i = 29; i >= 0; --i) {
      if ((supported >> i & 1u) != 0 && std::ceil(c.taa / at - kGuard) <= base_cas + static_cast<unsigned>(i)) {
        best = base_cas + static_cast<unsigned>(i);
      }
    }
    if (best != 0 && at >= c.tck && at <= tck_max) {
      speeds.lines.push_back(
          {fmt::format("DDR4-{} 时 AA-RCD-RP-RAS（周期）", static_cast<int>(2000 / at)), core_timings(best, at, c, kGuard)});
    }
  }

  const auto mtb_ns = [](double units) { return units * 125.0 / 1000; };
  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCKmin)", ns3(c.tck)},
      {"最大时钟周期 (tCKmax)", ns3(tck_max)},
      {"最小 CAS 延迟时间 (tAA)", ns3(c.taa)},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ns3(c.trcd)},
      {"最小行预充电延迟 (tRP)", ns3(c.trp)},
      {"最小激活到预充电延迟 (tRAS)", ns3(c.tras)},
      {"最小激活到自动刷新延迟 (tRC)", ns3(t(((s[27] & 0xF0u) << 4) + s[29], s[120]))},
      {"最小刷新恢复延迟 (tRFC1)", ns3(mtb_ns((s[31] << 8) + s[30]))},
      {"最小刷新恢复延迟 (tRFC2)", ns3(mtb_ns((s[33] << 8) + s[32]))},
      {"最小刷新恢复延迟 (tRFC4)", ns3(mtb_ns((s[35] << 8) + s[34]))},
      {"最小四激活窗口 (tFAW)", ns3(mtb_ns(((s[36] & 0x0Fu) << 8) + s[37]))},
      {"最小行激活到行激活延迟 (tRRD_S)", ns3(t(s[38], s[119]))},
      {"最小行激活到行激活延迟 (tRRD_L)", ns3(t(s[39], s[118]))},
      {"最小 CAS 到 CAS 延迟 (tCCD_L)", ns3(t(s[40], s[117]))},
  };
  if (const unsigned twr = ((s[41] & 0x0Fu) << 8) + s[42]; twr != 0) timing.lines.push_back({"最小写恢复时间 (tWR)", ns3(mtb_ns(twr))});
  if (const unsigned v = ((s[43] & 0x0Fu) << 8) + s[44]; v != 0) timing.lines.push_back({"最小写到读时间 (tWTR_S)", ns3(mtb_ns(v))});
  if (const unsigned v = ((s[43] & 0xF0u) << 4) + s[45]; v != 0) timing.lines.push_back({"最小写到读时间 (tWTR_L)", ns3(mtb_ns(v))});

  InfoSection other{"其他信息", {}};
  std::string package = (s[6] & 0x80) == 0 ? "单晶" : loading == 1 ? "多负载堆叠" : loading == 2 ? "3DS" : "未知";
  if (dies >= 2) package += fmt::format(" ({} 晶粒)", dies);
  other.lines.push_back({"封装类型", package});
  static constexpr std::array<const char*, 9> kMac{"未测试", "700 K", "600 K", "500 K", "400 K", "300 K", "200 K", "", "无限制"};
  if (const unsigned mac = s[7] & 0x0Fu; mac < kMac.size() && *kMac[mac] != '\0') {
    other.lines.push_back({"最大激活次数 (MAC)", kMac[mac]});
  }
  const unsigned ppr = s[9] >> 6;
  other.lines.push_back({"封装后修复 (PPR)", ppr == 0 ? "不支持" : ppr == 1 ? "每个 bank group 一行" : "未知"});
  if (ppr != 0) other.lines.push_back({"软 PPR", (s[9] & 0x20) != 0 ? "支持" : "不支持"});
  other.lines.push_back({"模块标称电压", (s[11] & 0x01) != 0 ? "1.2 V" : (s[11] & 0x02) != 0 ? "未知（1.2 V 耐久）" : "未知"});
  other.lines.push_back({"温度传感器", (s[14] & 0x80) != 0 ? "符合 TSE2004" : "否"});
  out.insert(out.end(), {mem, speeds, timing, other});

  if (kind.family != None && crcs[1].ok()) {
    const unsigned height = s[128] & 0x1Fu;
    InfoSection physical{"物理特性", {}};
    physical.lines = {
        {"模块高度", height == 0 ? std::string("15 mm 或以下") : height == 0x1F ? std::string("大于 45 mm")
                                                                              : fmt::format("{} mm", height + 15)},
        {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (s[129] & 0x0F) + 1, ((s[129] >> 4) & 15) + 1)},
        {"参考原始卡", reference_card(s[130], s[128])},
    };
    out.push_back(physical);
  }
  return out;
}

// The manufacturing data of DDR3 (bytes 117-149) and DDR4 (320-351).
InfoSection maker_section(Image s, DeviceType g) {
  const bool d3 = g == DeviceType::DDR3;
  const std::size_t module = d3 ? 117 : 320, dram = d3 ? 148 : 350, location = d3 ? 119 : 322, date = d3 ? 120 : 323,
                    serial = d3 ? 122 : 325, part = d3 ? 128 : 329, part_length = d3 ? 18 : 20, revision = d3 ? 146 : 349;
  InfoSection sec{"制造信息", {}};
  sec.lines.push_back({"模块制造商", maker_field(s, module)});
  if (written(s.subspan(dram, 2))) sec.lines.push_back({"颗粒制造商", maker_field(s, dram)});
  if (written(s.subspan(location, 1))) sec.lines.push_back({"制造地点代码", location_code(s[location])});
  if (written(s.subspan(date, 2))) sec.lines.push_back({"生产日期", manufacturing_date(s[date], s[date + 1])});
  if (written(s.subspan(serial, 4))) sec.lines.push_back({"序列号", fmt::format("0x{:02X}", fmt::join(s.subspan(serial, 4), ""))});
  sec.lines.push_back({"型号", part_number(s.subspan(part, part_length))});
  if (written(s.subspan(revision, d3 ? 2 : 1))) {
    sec.lines.push_back({"修订代码", fmt::format("0x{:02X}", fmt::join(s.subspan(revision, d3 ? 2 : 1), ""))});
  }
  return sec;
}

}  // namespace

std::vector<InfoSection> detail(Image image, DeviceType g) {
  if (g == DeviceType::DDR5) return detail_ddr5(image);
  auto sections = g == DeviceType::DDR3 ? detail_ddr3(image) : detail_ddr4(image);
  sections.push_back(maker_section(image, g));
  return sections;
}

}  // namespace dimmwand::spd
