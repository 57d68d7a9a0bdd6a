// DDR5 decoded field by field, from JESD400-5 (DDR5 SPD contents) as the public decoders lay it
// out (ddr5_layout.hpp): the base section's SDRAM types, timings and features here; the module
// and the profiles in their own files.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "spd/codec.hpp"
#include "spd/ddr5_layout.hpp"
#include "spd/ddr5_parts.hpp"
#include "spd/detail_common.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using namespace detail_format;
using namespace ddr5;

constexpr std::array<const char*, 12> kModules{"未定义",  "RDIMM",  "UDIMM", "SO-DIMM", "LRDIMM", "CUDIMM",
                                               "CSODIMM", "MRDIMM", "CAMM2", "保留",    "DDIMM",  "焊接颗粒"};
// Die densities by code (byte 4 bits 4-0): 4 Gb to 64 Gb, 0 none.
constexpr std::array<unsigned, 9> kDensityGb{0, 4, 8, 12, 16, 24, 32, 48, 64};

// A time in ps with its lower limit in clocks (three bytes: LSB, MSB, nCK).
std::string ps_nck(Image s, const Field& f) {
  const TimeNck t = time_nck(s, f);
  return fmt::format("{}，至少 {} nCK", ps3(static_cast<unsigned>(t.ps)), t.min_nck);
}

std::string sdram(Image s, std::size_t base) {
  static constexpr std::array<const char*, 9> kDensities{"无",    "4 Gb",  "8 Gb",  "12 Gb", "16 Gb",
                                                         "24 Gb", "32 Gb", "48 Gb", "64 Gb"};
  static constexpr std::array<const char*, 6> kPackages{"单晶",     "双晶 (DDP)", "2 层 3DS",
                                                        "4 层 3DS", "8 层 3DS",   "16 层 3DS"};
  const auto field = [&](const Field& f) { return get(s, at(base - ddr5::kDensity.offset, f)); };
  return fmt::format("{}，{}，{} 行地址位，{} 列地址位，x{}，{} 个 bank group × 每组 {} 个 bank",
                     pick(kDensities, field(ddr5::kDensity)), pick(kPackages, field(kPackage)), field(kRows) + 16,
                     field(kColumns) + 10, 4u << (field(kDeviceWidth) & 3u), 1u << field(kBankGroups),
                     1u << field(kBanks));
}

std::string voltage(unsigned b, const char* nominal) {
  return fmt::format("{}{} (可工作 {:X}，耐受 {:X})", (b >> 4) == 0 ? nominal : "保留 ",
                     (b >> 4) == 0 ? "" : fmt::format("{:X}", b >> 4), b >> 2 & 3, b & 3);
}

std::vector<unsigned> cas_latencies(Image s) { return spd::cas_latencies(s, kCasLatencies, kCasDdr5); }

// One SDRAM type of the module (bytes 4-7, or 8-11 for the odd ranks of an asymmetric module).
struct Sdram {
  unsigned density_gb = 0, dies = 0, width = 0;
  bool ddp = false;  // package code 001: two dies, not stacked
};

Sdram sdram_of(Image s, std::size_t base) {
  const auto field = [&](const Field& f) { return get(s, at(base - ddr5::kDensity.offset, f)); };
  const unsigned density = field(ddr5::kDensity);
  return {density < kDensityGb.size() ? kDensityGb[density] : 0, dies_per_package(field(kPackage)),
          4u << (field(kDeviceWidth) & 0x03), field(kPackage) == 1};
}

std::string sdram_words(const Sdram& t) {
  return fmt::format("x{} 颗粒 {} Gb{}", t.width, t.density_gb,
                     t.ddp        ? "，双晶封装"
                     : t.dies > 1 ? fmt::format("，{} 层堆叠", t.dies)
                                  : "");
}

Facts facts_of(Image s) {
  Facts f;
  f.generation = DeviceType::DDR5;
  const Sdram even = sdram_of(s, ddr5::kDensity.offset);
  const bool asymmetric = get(s, kAsymmetric) != 0;
  // The odd ranks of an asymmetric module are of the second type (byte 234 bit 6).
  const Sdram odd = asymmetric ? sdram_of(s, kSecondDensity.offset) : even;
  f.device_width = even.width;
  f.ranks = get(s, kRanks) + 1;
  f.sub_channels = (get(s, kSubChannels) & 0x03) + 1;
  f.bus_width = get(s, kBusWidth) < 4 ? 8u << get(s, kBusWidth) : 0;
  f.ecc = get(s, kBusExtension) != 0;
  // The sum over the ranks of sub-channels × devices per sub-channel × dies × die capacity.
  const auto rank_mb = [&](const Sdram& t) {
    return 1ull * f.sub_channels * (f.bus_width / t.width) * t.dies * t.density_gb * 1024 / 8;
  };
  f.capacity_mb = rank_mb(even) * ((f.ranks + 1) / 2) + rank_mb(odd) * (f.ranks / 2);
  if (rank_mb(even) == 0 || (f.ranks > 1 && rank_mb(odd) == 0)) f.capacity_mb = 0;  // a reserved code: unknown
  f.tck_ps = get(s, kTck);
  f.taa_ps = get(s, kTaa);
  f.trcd_ps = get(s, kTrcd);
  f.trp_ps = get(s, kTrp);
  f.tras_ps = get(s, kTras);
  const auto tck = get(s, kTck);
  f.data_rate = data_rate(tck, DeviceType::DDR5);
  if (tck != 0) {
    const auto c = [&](double ps) { return clocks(static_cast<unsigned>(ps), tck, DeviceType::DDR5); };
    // The headline CL is one the module supports: the lowest listed that covers tAA.
    f.clocks = {supported_cl(cas_latency(get(s, kTaa), tck, DeviceType::DDR5), cas_latencies(s)), c(f.trcd_ps),
                c(f.trp_ps), c(f.tras_ps)};
  }
  const unsigned type = get(s, kModuleType);
  f.module_type = type < kModules.size() && type != 0 && type != 9 ? kModules[type] : "未知";
  const std::string chips =
      asymmetric ? fmt::format("偶数 rank {}，奇数 rank {}", sdram_words(even), sdram_words(odd)) : sdram_words(even);
  f.organisation =
      fmt::format("{} rank，{}，{} × {} 位{}", f.ranks, chips, f.sub_channels, f.bus_width, f.ecc ? " + ECC" : "");
  f.module_maker = {s[kModuleMaker.offset], s[kModuleMaker.offset + 1]};
  f.dram_maker = {s[kDramMaker.offset], s[kDramMaker.offset + 1]};
  f.part_number = part_text(bytes_of(s, kPart));
  f.serial_number = fmt::format("{:02X}", fmt::join(bytes_of(s, kSerial), ""));
  f.date = manufacturing_week(bytes_of(s, kDate));
  f.spd_revision = fmt::format("{}.{}", s[1] >> 4, s[1] & 0x0F);
  profiles(f, s);
  return f;
}

}  // namespace

namespace ddr5 {

const char* pick(std::span<const char* const> names, unsigned i) { return i < names.size() ? names[i] : "保留"; }

std::string ps3(unsigned ps) { return ns3(ps / 1000.0); }

// JESD400-5A.01 (release 1.1) as illumos libjedec reads it: 000 one die, 001 a dual-die package
// (DDP, not 3DS), 010-101 2H, 4H, 8H and 16H 3DS stacks; 110 and 111 reserved. (The 0.985 draft
// left 001 reserved.)
unsigned dies_per_package(unsigned code) {
  static constexpr std::array<unsigned, 6> kDies{1, 2, 2, 4, 8, 16};
  return code < kDies.size() ? kDies[code] : 0;
}

}  // namespace ddr5

static Decode decode_sections(Image s, Facts facts);

Decode decode_ddr5(Image s) {
  if (s.size() < spd_size(DeviceType::DDR5)) {
    // The first 512 bytes (base and module sections, as some firmware trees keep them): decoded
    // as they stand; the manufacturing data and the profiles are not in the image, and say so.
    std::vector<std::uint8_t> whole(s.begin(), s.end());
    whole.resize(spd_size(DeviceType::DDR5), 0);
    Facts absent = facts_of(whole);
    absent.absent = fmt::format("{} 字节映像只含基本区与模块区，没有制造信息与 XMP/EXPO 区（字节 512-1023）", s.size());
    absent.module_maker = absent.dram_maker = {};
    absent.part_number.clear();
    absent.serial_number.clear();
    absent.date.reset();
    return decode_sections(whole, std::move(absent));
  }
  return decode_sections(s, facts_of(s));
}

static Decode decode_sections(Image s, Facts facts) {
  Decode d{std::move(facts), {}};
  const Facts& f = d.facts;
  const unsigned type = get(s, kModuleType);
  const auto crc = model::checksums(s, DeviceType::DDR5).front();
  static constexpr std::array<const char*, 5> kTotal{"未定义", "256", "512", "1024", "2048"};

  InfoSection info{"SPD 信息", {}};
  info.lines = {
      {"EEPROM CRC（字节 0-509）", crc.ok()
                                       ? fmt::format("正确 (0x{:04X})", crc.computed)
                                       : fmt::format("错误（存储 0x{:04X}，计算 0x{:04X}）", crc.stored, crc.computed)},
      {"EEPROM 总字节数", pick(kTotal, get(s, kBytesTotal) & 7u)},
      {"内存类型", "DDR5 SDRAM"},
      {"SPD 版本", fmt::format("{}.{}（基本区），{}.{}（模块区）", s[1] >> 4, s[1] & 0x0F,
                               s[kModuleRevision.offset] >> 4, s[kModuleRevision.offset] & 0x0F)},
      {"模块类型", fmt::format("{}{}", pick(kModules, type), get(s, kHybrid) != 0 ? "（混合模块）" : "")},
  };

  const unsigned tck = get(s, kTck);
  const unsigned tck_max = get(s, kTckMax);
  const bool asymmetric = get(s, kAsymmetric) != 0;
  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", tck != 0 ? fmt::format("DDR5-{}", f.data_rate) : std::string("未知")});
  mem.lines.push_back({"容量", f.capacity_mb != 0 ? fmt::format("{} GB", f.capacity_mb / 1024) : std::string("未知")});
  mem.lines.push_back({"第一种颗粒", sdram(s, ddr5::kDensity.offset)});
  if (asymmetric) mem.lines.push_back({"第二种颗粒", sdram(s, kSecondDensity.offset)});
  mem.lines.push_back({"Rank 数", fmt::format("{}（{}）", f.ranks, asymmetric ? "非对称" : "对称")});
  const unsigned ecc = get(s, kBusExtension);
  mem.lines.push_back({"总线", fmt::format("{} 个子通道 × {} 位{}", f.sub_channels, f.bus_width,
                                           ecc == 1   ? " + 4 位 ECC"
                                           : ecc == 2 ? " + 8 位 ECC"
                                                      : "")});
  const auto cas = cas_latencies(s);
  mem.lines.push_back({"支持的 CAS 延迟", cas_list(cas)});
  if (tck != 0)
    mem.lines.push_back(
        {"CL-tRCD-tRP-tRAS", fmt::format("{}-{}-{}-{}", f.clocks.cl, f.clocks.trcd, f.clocks.trp, f.clocks.tras)});

  InfoSection speeds{"标准速率下的时序", {}};
  for (const auto& [rate, at, max_cl] : speed_bins(DeviceType::DDR5)) {
    if (tck == 0 || at < tck || (tck_max != 0 && at > tck_max)) continue;
    // The lowest supported latency that covers tAA at this clock.
    const unsigned cl = supported_cl(cas_latency(get(s, kTaa), at, DeviceType::DDR5), cas);
    const auto c = [&](const Field& t) { return clocks(get(s, t), at, DeviceType::DDR5); };
    speeds.lines.push_back({fmt::format("DDR5-{} 时 CL-tRCD-tRP-tRAS", rate),
                            fmt::format("{}-{}-{}-{}", cl, c(kTrcd), c(kTrp), c(kTras))});
  }

  const auto ns = [&](const Field& t) { return fmt::format("{} ns", get(s, t)); };
  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCKAVGmin)", ps3(tck)},
      {"最大时钟周期 (tCKAVGmax)", ps3(tck_max)},
      {"最小 CAS 延迟时间 (tAA)", ps3(get(s, kTaa))},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ps3(get(s, kTrcd))},
      {"最小行预充电延迟 (tRP)", ps3(get(s, kTrp))},
      {"最小激活到预充电延迟 (tRAS)", ps3(get(s, kTras))},
      {"最小激活到激活/刷新延迟 (tRC)", ps3(get(s, kTrc))},
      {"最小写恢复时间 (tWR)", ps3(get(s, kTwr))},
      {"常规刷新恢复时间 (tRFC1)", ns(kTrfc1)},
      {"细粒度刷新恢复时间 (tRFC2)", ns(kTrfc2)},
      {"同 bank 刷新恢复时间 (tRFCsb)", ns(kTrfcsb)},
  };
  if (get(s, kTrfc1Dlr) != 0 || get(s, kTrfc2Dlr) != 0 || get(s, kTrfcsbDlr) != 0) {
    timing.lines.insert(timing.lines.end(), {
                                                {"3DS 不同逻辑 rank 常规刷新 (tRFC1_dlr)", ns(kTrfc1Dlr)},
                                                {"3DS 不同逻辑 rank 细粒度刷新 (tRFC2_dlr)", ns(kTrfc2Dlr)},
                                                {"3DS 不同逻辑 rank 同 bank 刷新 (tRFCsb_dlr)", ns(kTrfcsbDlr)},
                                            });
  }
  timing.lines.insert(timing.lines.end(), {
                                              {"同 bank group 激活到激活 (tRRD_L)", ps_nck(s, kTrrdL)},
                                              {"同 bank group 读到读 (tCCD_L)", ps_nck(s, kTccdL)},
                                              {"同 bank group 写到写 (tCCD_L_WR)", ps_nck(s, kTccdLWr)},
                                              {"同 bank group 第二次写到写 (tCCD_L_WR2)", ps_nck(s, kTccdLWr2)},
                                              {"四激活窗口 (tFAW)", ps_nck(s, kTfaw)},
                                              {"同 bank group 写到读 (tCCD_L_WTR)", ps_nck(s, kTccdLWtr)},
                                              {"不同 bank group 写到读 (tCCD_S_WTR)", ps_nck(s, kTccdSWtr)},
                                              {"读到预充电 (tRTP)", ps_nck(s, kTrtp)},
                                          });
  if (written(s.subspan(kTccdM.offset, 9))) {
    timing.lines.insert(timing.lines.end(), {
                                                {"同 bank group 不同 bank 读到读 (tCCD_M)", ps_nck(s, kTccdM)},
                                                {"同 bank group 不同 bank 写到写 (tCCD_M_WR)", ps_nck(s, kTccdMWr)},
                                                {"同 bank group 不同 bank 写到读 (tCCD_M_WTR)", ps_nck(s, kTccdMWtr)},
                                            });
  }

  const unsigned ppr = get(s, kPpr);
  const unsigned dca = get(s, kDca);
  const unsigned fault = get(s, kFaultHandling);
  const unsigned rfm = get(s, kRfm);
  static constexpr std::array<const char*, 4> kDcaNames{"不支持", "单/双相位", "四相位", "保留"};
  InfoSection features{"可选功能", {}};
  features.lines = {
      {"标称电压", fmt::format("VDD {}，VDDQ {}，VPP {}", voltage(get(s, kVdd), "1.1 V"),
                               voltage(get(s, kVddq), "1.1 V"), voltage(get(s, kVpp), "1.8 V"))},
      {"时序", get(s, kNonStandard) != 0 ? "非标准" : "标准"},
      // hPPR and sPPR are mandatory on DDR5; byte 12 says how and what else.
      {"封装后修复 (PPR)",
       fmt::format("hPPR 与 sPPR 支持；粒度: 每个{}一行；sPPR 撤销/锁定{}；MBIST/mPPR {}；mPPR/hPPR 中止 {}",
                   (ppr & 0x80) != 0 ? " bank " : " bank group ", (ppr & 0x20) != 0 ? "支持" : "不支持",
                   (ppr & 0x02) != 0 ? "支持" : "不支持", (ppr & 0x01) != 0 ? "支持" : "不支持")},
      {"BL32", (ppr & 0x10) != 0 ? "支持" : "不支持"},
      {"占空比调节 (DCA)", pick(kDcaNames, dca & 3u)},
      {"部分阵列自刷新 (PASR)", (dca & 0x10) != 0 ? "支持" : "不支持"},
      {"宽温度感应", (fault & 0x08) != 0 ? "支持" : "不支持"},
      {"有界故障 (BFLT)", (fault & 0x01) != 0 ? "支持" : "不支持"},
      // Bit 2: x4 RMW/ECS write-back suppression; bit 1 the mode register that controls it.
      {"x4 RMW/ECS 写回抑制", (fault & 0x04) == 0   ? "不支持"
                              : (fault & 0x02) != 0 ? "支持，由 MR15 控制"
                                                    : "支持，由 MR9 控制"},
      {"刷新管理 (RFM)", fmt::format("{}，RAAIMT {}，RAAMMT {}", (rfm & 1) != 0 ? "需要" : "不需要",
                                     ((rfm >> 1) & 0x0F) * 8, ((rfm >> 5) & 7) * ((rfm >> 1) & 0x0F) * 8)},
      {"自适应刷新管理 (ARFM)",
       fmt::format("A 级{}，B 级{}，C 级{}", get(s, kArfmA) != 0 ? "支持" : "不支持",
                   get(s, kArfmB) != 0 ? "支持" : "不支持", get(s, kArfmC) != 0 ? "支持" : "不支持")},
  };
  d.sections.insert(d.sections.end(), {info, mem, speeds, timing, features});
  module_sections(d.sections, s, f);
  profile_sections(d.sections, s, f);
  return d;
}

}  // namespace dimmwand::spd
