// DDR5 decoded field by field, from JEDEC JESD400-5 (DDR5 SPD contents) as the public decoders
// lay it out (illumos libjedec's spd_ddr5.h, after JESD400-5A.01): times in ps (the refresh times
// in ns), the common module section at 192-239, the module-specific section from 240, the
// manufacturing data at 512-554; and the XMP 3.0 and EXPO blocks of spd/image.cpp.
#include <algorithm>
#include <array>
#include <cmath>

#include "spd/detail.hpp"
#include "spd/detail_common.hpp"

namespace dimmwand::spd {
namespace {

using namespace detail_format;

std::string ps3(unsigned ps) { return ns3(ps / 1000.0); }

// A time in ps with its lower limit in clocks (three bytes: LSB, MSB, nCK).
std::string ps_nck(Image s, std::size_t at) { return fmt::format("{}，至少 {} nCK", ps3(u16(s, at)), s[at + 2]); }

const char* pick(std::span<const char* const> names, unsigned i) { return i < names.size() ? names[i] : "保留"; }

std::string sdram(Image s, std::size_t at) {
  static constexpr std::array<const char*, 9> kDensity{"无", "4 Gb", "8 Gb", "12 Gb", "16 Gb", "24 Gb", "32 Gb", "48 Gb", "64 Gb"};
  static constexpr std::array<const char*, 6> kPackage{"单晶", "双晶 (DDP)", "2 层 3DS", "4 层 3DS", "8 层 3DS", "16 层 3DS"};
  return fmt::format("{}，{}，{} 行地址位，{} 列地址位，x{}，{} 个 bank group × 每组 {} 个 bank", pick(kDensity, s[at] & 0x1Fu),
                     pick(kPackage, s[at] >> 5), (s[at + 1] & 0x1F) + 16, (s[at + 1] >> 5) + 10, 4u << (s[at + 2] >> 5 & 3u),
                     1u << (s[at + 3] >> 5), 1u << (s[at + 3] & 7u));
}

// One device of the module (hub, PMIC, sensor, RCD, data buffer, clock driver): four bytes of
// maker, type and revision; bit 7 of the type byte says it is there.
void add_device(InfoLines& lines, Image s, std::size_t at, const std::string& name, std::span<const char* const> types) {
  if ((s[at + 2] & 0x80) == 0) {
    lines.push_back({name, "无"});
    return;
  }
  lines.push_back({name, fmt::format("{}，制造商 {}，修订 {}", pick(types, s[at + 2] & 0x0Fu), maker_field(s, at),
                                     revision_number(s[at + 3]))});
}

std::string voltage(std::uint8_t b, const char* nominal) {
  return fmt::format("{}{} (可工作 {:X}，耐受 {:X})", (b >> 4) == 0 ? nominal : "保留 ", (b >> 4) == 0 ? "" : fmt::format("{:X}", b >> 4),
                     b >> 2 & 3, b & 3);
}


// The lines of one XMP 3.0 or EXPO profile after its voltages: the rate from tCK, then the times
// that follow tAA two bytes apart: tAA, tRCD, tRP, tRAS, tRC, tWR in ps, tRFC1, tRFC2, tRFCsb in ns.
void profile_lines(InfoLines& lines, const std::string& prefix, Image s, std::size_t tck_at, std::size_t taa_at) {
  const unsigned tck = u16(s, tck_at);
  if (tck == 0) return;
  const auto t = [&](unsigned i) { return u16(s, taa_at + 2 * i); };
  lines.push_back({prefix + " 速率", fmt::format("DDR5-{} (tCK {})", data_rate(tck), ps3(tck))});
  lines.push_back({prefix + " 时序", fmt::format("CL{}-{}-{}-{}", cas_latency(t(0), tck, DeviceType::DDR5), clocks(t(1), tck, DeviceType::DDR5),
                                                clocks(t(2), tck, DeviceType::DDR5), clocks(t(3), tck, DeviceType::DDR5))});
  lines.push_back({prefix + " 参数", fmt::format("tAA {}，tRCD {}，tRP {}，tRAS {}，tRC {}，tWR {}，tRFC1 {} ns，tRFC2 {} ns，tRFCsb {} ns",
                                                ps3(t(0)), ps3(t(1)), ps3(t(2)), ps3(t(3)), ps3(t(4)), ps3(t(5)), t(6), t(7), t(8))});
}

InfoSection xmp_section(Image s) {
  InfoSection sec{"XMP 3.0", {}};
  sec.lines.push_back({"版本", fmt::format("{}.{}", s[kXmp3Header + 2] >> 4, s[kXmp3Header + 2] & 0x0F)});
  sec.lines.push_back({"PMIC 制造商", maker_field(s, kXmp3Header + 5)});
  const auto identified = checksums(s, DeviceType::DDR5);
  for (unsigned n = 1; n <= 5; ++n) {
    // Only the profiles that check identifies: enabled ones, and user profiles whose checksum holds.
    const std::string crc = fmt::format("XMP 配置 {} CRC", n);
    if (std::none_of(identified.begin(), identified.end(), [&](const Checksum& c) { return c.name == crc; })) continue;
    const std::size_t p = kXmp3Profile + 0x40 * (n - 1);
    const std::string prefix = fmt::format("配置 {}", n);
    if (n <= 3) sec.lines.push_back({prefix + " 名称", part_number(s.subspan(kXmp3Header + 0x0E + 0x10 * (n - 1), 16))});
    sec.lines.push_back({prefix + " 电压", fmt::format("VDD {:.2f} V，VDDQ {:.2f} V，VPP {:.2f} V，VMEMCTRL {:.2f} V",
                                                      xmp_volts(s[p + 1]), xmp_volts(s[p + 2]), xmp_volts(s[p]), xmp_volts(s[p + 4]))});
    profile_lines(sec.lines, prefix, s, p + 5, p + 13);
  }
  return sec;
}

InfoSection expo_section(Image s) {
  InfoSection sec{"EXPO", {}};
  sec.lines.push_back({"版本", fmt::format("{}.{}", s[kExpo + 4] >> 4, s[kExpo + 4] & 0x0F)});
  for (unsigned n = 1; n <= 2; ++n) {
    if ((unsigned{s[kExpo + 6]} >> (4 * (n - 1)) & 1u) == 0) continue;
    const std::size_t p = kExpo + 0x0A + 0x28 * (n - 1);
    const std::string prefix = fmt::format("配置 {}", n);
    sec.lines.push_back({prefix + " 电压", fmt::format("VDD {:.2f} V，VDDQ {:.2f} V，VPP {:.2f} V", xmp_volts(s[p]),
                                                      xmp_volts(s[p + 1]), xmp_volts(s[p + 2]))});
    profile_lines(sec.lines, prefix, s, p + 4, p + 6);
  }
  return sec;
}

}  // namespace

std::vector<InfoSection> detail_ddr5(Image s) {
  static constexpr std::array<const char*, 12> kModules{"未定义", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM", "CUDIMM",
                                                        "CSODIMM", "MRDIMM", "CAMM2", "保留", "DDIMM", "焊接颗粒"};
  static constexpr std::array<const char*, 5> kTotal{"未定义", "256", "512", "1024", "2048"};
  const unsigned type = s[3] & 0x0Fu;
  const auto crc = checksums(s, DeviceType::DDR5).front();

  InfoSection info{"SPD 信息", {}};
  info.lines = {
      {"EEPROM CRC（字节 0-509）", crc.ok() ? fmt::format("正确 (0x{:04X})", crc.computed)
                                          : fmt::format("错误（存储 0x{:04X}，计算 0x{:04X}）", crc.stored, crc.computed)},
      {"EEPROM 总字节数", pick(kTotal, s[0] >> 4 & 7u)},
      {"内存类型", "DDR5 SDRAM"},
      {"SPD 版本", fmt::format("{}.{}（基本区），{}.{}（模块区）", s[1] >> 4, s[1] & 0x0F, s[192] >> 4, s[192] & 0x0F)},
      {"模块类型", fmt::format("{}{}", pick(kModules, type), (s[3] & 0x80) != 0 ? "（混合模块）" : "")},
  };

  const unsigned tck = u16(s, 20);
  const unsigned tck_max = u16(s, 22);
  const unsigned width = 4u << (s[6] >> 5 & 0x03u);
  const unsigned ranks = ((s[234] >> 3) & 0x07u) + 1;
  const unsigned sub_channels = ((s[235] >> 5) & 0x03u) + 1;
  const unsigned bus = (s[235] & 0x07u) < 4 ? 8u << (s[235] & 0x07) : 0;
  static constexpr std::array<unsigned, 9> kDensityGb{0, 4, 8, 12, 16, 24, 32, 48, 64};
  static constexpr std::array<unsigned, 6> kDies{1, 2, 2, 4, 8, 16};
  const unsigned density = (s[4] & 0x1Fu) < kDensityGb.size() ? kDensityGb[s[4] & 0x1Fu] : 0;
  const unsigned dies = (s[4] >> 5) < kDies.size() ? kDies[s[4] >> 5] : 0;
  const unsigned long long gb_total = width != 0 ? 1ull * sub_channels * (bus / width) * dies * density / 8 * ranks : 0;

  InfoSection mem{"内存特性", {}};
  mem.lines.push_back({"最高速率", tck != 0 ? fmt::format("DDR5-{}", data_rate(tck)) : std::string("未知")});
  mem.lines.push_back({"容量", fmt::format("{} GB", gb_total)});
  mem.lines.push_back({"第一种颗粒", sdram(s, 4)});
  if ((s[234] & 0x40) != 0) mem.lines.push_back({"第二种颗粒", sdram(s, 8)});
  mem.lines.push_back({"Rank 数", fmt::format("{}（{}）", ranks, (s[234] & 0x40) != 0 ? "非对称" : "对称")});
  mem.lines.push_back({"总线", fmt::format("{} 个子通道 × {} 位{}", sub_channels, bus,
                                         (s[235] >> 3 & 3) == 1 ? " + 4 位 ECC" : (s[235] >> 3 & 3) == 2 ? " + 8 位 ECC" : "")});
  std::vector<unsigned> cas;
  for (unsigned i = 0; i < 40; ++i) {
    if ((unsigned{s[24 + i / 8]} >> (i % 8) & 1u) != 0) cas.push_back(20 + 2 * i);
  }
  mem.lines.push_back({"支持的 CAS 延迟", cas_list(cas)});
  if (tck != 0) {
    mem.lines.push_back({"CL-tRCD-tRP-tRAS", fmt::format("{}-{}-{}-{}", cas_latency(u16(s, 30), tck, DeviceType::DDR5),
                                                        clocks(u16(s, 32), tck, DeviceType::DDR5),
                                                        clocks(u16(s, 34), tck, DeviceType::DDR5),
                                                        clocks(u16(s, 36), tck, DeviceType::DDR5))});
  }

  InfoSection speeds{"标准速率下的时序", {}};
  for (const unsigned rate : {3200u, 3600u, 4000u, 4400u, 4800u, 5200u, 5600u, 6000u, 6400u, 6800u, 7200u, 7600u, 8000u, 8400u, 8800u}) {
    const unsigned at = static_cast<unsigned>(2e6 / rate);  // ps, truncated as JEDEC lists them
    if (tck == 0 || at < tck || (tck_max != 0 && at > tck_max)) continue;
    // The lowest supported latency that covers tAA at this clock.
    unsigned cl = cas_latency(u16(s, 30), at, DeviceType::DDR5);
    if (const auto it = std::lower_bound(cas.begin(), cas.end(), cl); it != cas.end()) cl = *it;
    speeds.lines.push_back({fmt::format("DDR5-{} 时 CL-tRCD-tRP-tRAS", rate),
                            fmt::format("{}-{}-{}-{}", cl, clocks(u16(s, 32), at, DeviceType::DDR5),
                                        clocks(u16(s, 34), at, DeviceType::DDR5), clocks(u16(s, 36), at, DeviceType::DDR5))});
  }

  InfoSection timing{"时序参数", {}};
  timing.lines = {
      {"最小时钟周期 (tCKAVGmin)", ps3(tck)},
      {"最大时钟周期 (tCKAVGmax)", ps3(tck_max)},
      {"最小 CAS 延迟时间 (tAA)", ps3(u16(s, 30))},
      {"最小 RAS 到 CAS 延迟 (tRCD)", ps3(u16(s, 32))},
      {"最小行预充电延迟 (tRP)", ps3(u16(s, 34))},
      {"最小激活到预充电延迟 (tRAS)", ps3(u16(s, 36))},
      {"最小激活到激活/刷新延迟 (tRC)", ps3(u16(s, 38))},
      {"最小写恢复时间 (tWR)", ps3(u16(s, 40))},
      {"常规刷新恢复时间 (tRFC1)", fmt::format("{} ns", u16(s, 42))},
      {"细粒度刷新恢复时间 (tRFC2)", fmt::format("{} ns", u16(s, 44))},
      {"同 bank 刷新恢复时间 (tRFCsb)", fmt::format("{} ns", u16(s, 46))},
  };
  if (u16(s, 48) != 0 || u16(s, 50) != 0 || u16(s, 52) != 0) {
    timing.lines.insert(timing.lines.end(), {
        {"3DS 不同逻辑 rank 常规刷新 (tRFC1_dlr)", fmt::format("{} ns", u16(s, 48))},
        {"3DS 不同逻辑 rank 细粒度刷新 (tRFC2_dlr)", fmt::format("{} ns", u16(s, 50))},
        {"3DS 不同逻辑 rank 同 bank 刷新 (tRFCsb_dlr)", fmt::format("{} ns", u16(s, 52))},
    });
  }
  timing.lines.insert(timing.lines.end(), {
      {"同 bank group 激活到激活 (tRRD_L)", ps_nck(s, 70)},
      {"同 bank group 读到读 (tCCD_L)", ps_nck(s, 73)},
      {"同 bank group 写到写 (tCCD_L_WR)", ps_nck(s, 76)},
      {"同 bank group 第二次写到写 (tCCD_L_WR2)", ps_nck(s, 79)},
      {"四激活窗口 (tFAW)", ps_nck(s, 82)},
      {"同 bank group 写到读 (tCCD_L_WTR)", ps_nck(s, 85)},
      {"不同 bank group 写到读 (tCCD_S_WTR)", ps_nck(s, 88)},
      {"读到预充电 (tRTP)", ps_nck(s, 91)},
  });
  if (written(s.subspan(94, 9))) {
    timing.lines.insert(timing.lines.end(), {
        {"同 bank 不同 bank group 读到读 (tCCD_M)", ps_nck(s, 94)},
        {"同 bank 不同 bank group 写到写 (tCCD_M_WR)", ps_nck(s, 97)},
        {"同 bank 不同 bank group 写到读 (tCCD_M_WTR)", ps_nck(s, 100)},
    });
  }

  InfoSection features{"可选功能", {}};
  static constexpr std::array<const char*, 4> kDca{"不支持", "单/双相位", "四相位", "保留"};
  features.lines = {
      {"标称电压", fmt::format("VDD {}，VDDQ {}，VPP {}", voltage(s[16], "1.1 V"), voltage(s[17], "1.1 V"), voltage(s[18], "1.8 V"))},
      {"时序", (s[19] & 1) != 0 ? "非标准" : "标准"},
      {"封装后修复 (PPR)", fmt::format("粒度: 每个{}一行，{}锁定，mPPR/hPPR {}", (s[12] & 0x80) != 0 ? " bank " : " bank group ",
                                       (s[12] & 0x20) != 0 ? "支持" : "不支持", (s[12] & 0x02) != 0 ? "支持" : "不支持")},
      {"BL32", (s[12] & 0x10) != 0 ? "支持" : "不支持"},
      {"占空比调节 (DCA)", pick(kDca, s[13] & 3u)},
      {"部分阵列自刷新 (PASR)", (s[13] & 0x10) != 0 ? "支持" : "不支持"},
      {"宽温度感应", (s[14] & 0x08) != 0 ? "支持" : "不支持"},
      {"有界故障 (BFLT)", (s[14] & 0x01) != 0 ? "支持" : "不支持"},
      {"刷新管理 (RFM)", fmt::format("{}，RAAIMT {}，RAAMMT {}", (s[54] & 1) != 0 ? "需要" : "不需要",
                                     ((s[54] >> 1) & 0x0F) * 8, ((s[54] >> 5) & 7) * ((s[54] >> 1) & 0x0F) * 8)},
      {"自适应刷新管理 (ARFM)", fmt::format("A 级{}，B 级{}，C 级{}", (s[58] & 1) != 0 ? "支持" : "不支持",
                                            (s[62] & 1) != 0 ? "支持" : "不支持", (s[66] & 1) != 0 ? "支持" : "不支持")},
  };

  InfoSection module{"模块", {}};
  static constexpr std::array<const char*, 2> kHub{"SPD5118", "ESPD5216"};
  static constexpr std::array<const char*, 3> kPmic{"PMIC5000", "PMIC5010", "PMIC5100"};
  static constexpr std::array<const char*, 2> kSensor{"TS5111", "TS5110"};
  static constexpr std::array<const char*, 9> kTemperature{"A1T", "A2T", "A3T", "IT", "ST", "ET", "RT", "NT", "XT"};
  static constexpr std::array<const char*, 4> kRows{"未定义", "1", "2", "保留"};
  add_device(module.lines, s, 194, "SPD 集线器", kHub);
  add_device(module.lines, s, 198, "PMIC 0", kPmic);
  add_device(module.lines, s, 202, "PMIC 1", kPmic);
  add_device(module.lines, s, 206, "PMIC 2", kPmic);
  add_device(module.lines, s, 210, "温度传感器", kSensor);
  module.lines.insert(module.lines.end(), {
      {"模块高度", fmt::format("{} mm", (s[230] & 0x1F) + 15)},
      {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (s[231] & 0x0F) + 1, (s[231] >> 4) + 1)},
      {"参考原始卡", reference_card(static_cast<std::uint8_t>(s[232] & 0x1F), s[232])},
      {"工作温度范围", pick(kTemperature, s[233] >> 4)},
      {"散热片", yes_no((s[233] & 0x04) != 0)},
      {"DRAM 行数", pick(kRows, s[233] & 3u)},
  });
  if (type == 1 || type == 4) {
    static constexpr std::array<const char*, 3> kRcd{"RCD01", "RCD02", "RCD03"};
    static constexpr std::array<const char*, 2> kDb{"DB01", "DB02"};
    add_device(module.lines, s, 240, "寄存时钟驱动器 (RCD)", kRcd);
    if (type == 4) add_device(module.lines, s, 244, "数据缓冲器 (DB)", kDb);
    module.lines.push_back({"RCD 时钟输出", fmt::format("QACK {}，QBCK {}，QCCK {}，QDCK {}，BCK {}", (s[248] & 1) != 0 ? "关" : "开",
                                                      (s[248] & 2) != 0 ? "关" : "开", (s[248] & 4) != 0 ? "关" : "开",
                                                      (s[248] & 8) != 0 ? "关" : "开", (s[248] & 0x20) != 0 ? "关" : "开")});
    module.lines.push_back({"RCD 输出配置", fmt::format("RW09 = 0x{:02X}，驱动 RW0A = 0x{:02X}，RW0C = 0x{:02X}，压摆率 RW0E = 0x{:02X}",
                                                       s[249], s[250], s[252], s[254])});
  } else if (type == 2 || type == 3 || type == 5 || type == 6) {
    static constexpr std::array<const char*, 1> kClock{"DDR5CK01"};
    add_device(module.lines, s, 240, "时钟驱动器", kClock);
  }

  InfoSection maker{"制造信息", {}};
  maker.lines = {
      {"模块制造商", maker_field(s, 512)},
      {"颗粒制造商", maker_field(s, 552)},
      {"制造地点代码", location_code(s[514])},
      {"生产日期", written(s.subspan(515, 2)) ? manufacturing_date(s[515], s[516]) : std::string("未定义")},
      {"序列号", fmt::format("0x{:02X}", fmt::join(s.subspan(517, 4), ""))},
      {"型号", part_number(s.subspan(521, 30))},
      {"模块修订代码", fmt::format("0x{:02X}", s[551])},
      {"颗粒步进", fmt::format("0x{:02X}", s[554])},
  };

  std::vector<InfoSection> out{info, mem, speeds, timing, features, module, maker};
  if (has_xmp3(s)) out.push_back(xmp_section(s));
  if (has_expo(s)) out.push_back(expo_section(s));
  return out;
}

}  // namespace dimmwand::spd
