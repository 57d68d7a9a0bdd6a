#include "spd/classic.hpp"

#include <fmt/format.h>

#include <array>
#include <cmath>

#include "spd/codec.hpp"
#include "spd/detail_common.hpp"
#include "spd/profile_layout.hpp"
#include "spd/profiles.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd::classic {
namespace {

using namespace detail_format;

}  // namespace

void maker_facts(Facts& f, Image s, const MakerBlock& m) {
  f.module_maker = {s[m.module_maker.offset], s[m.module_maker.offset + 1]};
  f.dram_maker = {s[m.dram_maker.offset], s[m.dram_maker.offset + 1]};
  f.part_number = part_text(bytes_of(s, m.part));
  f.serial_number = fmt::format("{:02X}", fmt::join(bytes_of(s, m.serial), ""));
  f.date = manufacturing_week(bytes_of(s, m.date));
  f.spd_revision = fmt::format("{}.{}", s[1] >> 4, s[1] & 0x0F);
}

InfoSection maker_section(Image s, const MakerBlock& m, const Facts& f) {
  InfoSection sec{"制造信息", {}};
  sec.lines.push_back({"模块制造商", maker_field(s, m.module_maker.offset)});
  if (written(bytes_of(s, m.dram_maker))) sec.lines.push_back({"颗粒制造商", maker_field(s, m.dram_maker.offset)});
  if (written(bytes_of(s, m.location))) sec.lines.push_back({"制造地点代码", location_code(s[m.location.offset])});
  if (written(bytes_of(s, m.date))) sec.lines.push_back({"生产日期", date_text(f.date, bytes_of(s, m.date))});
  if (written(bytes_of(s, m.serial))) sec.lines.push_back({"序列号", "0x" + f.serial_number});
  sec.lines.push_back({"型号", f.part_number.empty() ? std::string("未定义") : f.part_number});
  if (written(bytes_of(s, m.revision))) {
    sec.lines.push_back({"修订代码", fmt::format("0x{:02X}", fmt::join(bytes_of(s, m.revision), ""))});
  }
  return sec;
}

InfoSection spd_section(Image s, DeviceType g, unsigned used, unsigned total) {
  InfoSection sec{"SPD 信息", {}};
  const auto base = model::checksums(s, g).front();
  sec.lines.push_back({fmt::format("EEPROM CRC（字节 {}-{}）", base.from, base.to), crc_value(base)});
  sec.lines.push_back({"已写入字节数", fmt::format("{}", used)});
  sec.lines.push_back({"EEPROM 总字节数", fmt::format("{}", total)});
  sec.lines.push_back({"内存类型", fmt::format("DDR{} SDRAM", generation(g))});
  if (s[1] != 0xFF) sec.lines.push_back({"SPD 版本", fmt::format("{}.{}", s[1] >> 4, s[1] & 0x0F)});
  return sec;
}

std::string module_speed(double tck_ns, unsigned bus_bits, DeviceType g) {
  const unsigned rate = data_rate(tck_ns * 1000, g);
  if (rate == 0 || !(tck_ns > 0.01)) return "未知";  // no cycle time, or one no module runs at
  unsigned long pc = 1ul * rate * bus_bits / 8;
  pc -= pc % 100;
  return fmt::format("{} MT/s (PC{}-{})", rate, generation(g), pc);
}

std::string crc_value(const model::Checksum& c) {
  return c.ok() ? fmt::format("正确 (0x{:04X})", c.computed)
                : fmt::format("错误（存储 0x{:04X}，计算 0x{:04X}）", c.stored, c.computed);
}

std::string clocks_text(const Clocks& c) { return fmt::format("{}-{}-{}-{}", c.cl, c.trcd, c.trp, c.tras); }

Clocks core_clocks(double tck, double taa, double trcd, double trp, double tras, double guard) {
  const auto up = [&](double v) { return static_cast<unsigned>(clocks_up(v, tck, guard)); };
  return {up(taa), up(trcd), up(trp), up(tras)};
}

InfoSection standard_speeds(const Facts& f, const std::vector<unsigned>& cas, std::initializer_list<double> cycles,
                            double tck, double tck_max, double guard, std::string_view label) {
  InfoSection speeds{"标准速率下的时序", {}};
  for (const double at : cycles) {
    unsigned best = 0;
    for (auto it = cas.rbegin(); it != cas.rend(); ++it) {
      if (std::ceil(f.taa_ps / 1000 / at - guard) <= *it) best = *it;
    }
    if (best == 0 || at < tck || (tck_max >= 0 && at > tck_max)) continue;
    auto c = core_clocks(at, f.taa_ps / 1000, f.trcd_ps / 1000, f.trp_ps / 1000, f.tras_ps / 1000, guard);
    c.cl = best;
    speeds.lines.push_back({fmt::format(fmt::runtime(label), static_cast<int>(2000 / at)), clocks_text(c)});
  }
  return speeds;
}

namespace {

Profile ddr3_profile(Image s, unsigned n) {
  using namespace xmp::ddr3;
  const std::size_t b = kProfile + kProfileSize * (n - 1);
  const unsigned dividend = s[kTimebase + 2 * (n - 1)];
  const unsigned divisor = s[kTimebase + 1 + 2 * (n - 1)];
  Profile p{model::ProfileKind::Xmp, n, {}, 0, 0, 0, 0, 0, 0, 0, {}, {}, {}, {}, 0};
  if (divisor == 0) return p;  // no timebase: no times
  const double mtb_ps = 1000.0 * dividend / divisor;
  const double ftb_ps = get(s, kFtbDivisor) != 0 ? static_cast<double>(get(s, kFtbDividend)) / get(s, kFtbDivisor) : 0;
  // A time: coarse units of the profile's medium timebase (with a high nibble where the time has
  // 12 bits) and, from XMP 1.3, a signed correction in the fine timebase of byte 184 (dropped
  // where that timebase has no divisor).
  const auto ps = [&](const MtbTime& t) {
    const double v = mtb_time_ps(s, t, mtb_ps, ftb_ps, b);
    return v > 0 ? v : 0.0;
  };
  p.tck_ps = ps({&kTck, nullptr, &kTckFine});
  const std::array<std::pair<const Field*, MtbTime>, 12> times{{
      {&kTaa, {&kTaa, nullptr, &kTaaFine}},
      {&kTrcd, {&kTrcd, nullptr, &kTrcdFine}},
      {&kTrp, {&kTrp, nullptr, &kTrpFine}},
      {&kTras, {&kTras, &kTrasHigh}},
      {&kTrc, {&kTrc, &kTrcHigh, &kTrcFine}},
      {&kTwr, {&kTwr}},
      {&kTrfc, {&kTrfc}},
      {&kTrrd, {&kTrrd}},
      {&kTrtp, {&kTrtp}},
      {&kTwtr, {&kTwtr}},
      {&kTfaw, {&kTfaw, &kTfawHigh}},
      {&kTcwl, {&kTcwl}},
  }};
  for (const auto& [field, t] : times) p.times.push_back({field->key, field->name, ps(t), 0, 0});
  p.voltages.push_back({kVdd.key, "VDD", volts(s, at(b, kVdd))});
  p.cas = cas_latencies(s, at(b, kCasLatencies), kCasDdr3);
  return p;
}

// A time of a DDR4 XMP 2.0 profile: units of the profile's medium timebase, a high nibble where it
// has 12 bits, a signed correction in its fine timebase where the profile keeps one. A reserved
// timebase: no times (the profile is not listed).
Profile ddr4_profile(Image s, unsigned n) {
  using namespace xmp::ddr4;
  const std::size_t b = kProfile + kProfileSize * (n - 1);
  Profile p{model::ProfileKind::Xmp, n, {}, 0, 0, 0, 0, 0, 0, 0, {}, {}, {}, {}, 0};
  const Timebases tb = ddr4_timebases(s[kTimebase + (n - 1)]).value_or(Timebases{});
  const auto ps = [&](const Field& coarse, const Field* high, const Field* fine) {
    const double v = mtb_time_ps(s, {&coarse, high, fine}, tb.mtb_ps, tb.ftb_ps, b);
    return v > 0 ? v : 0.0;
  };
  p.tck_ps = ps(kTck, nullptr, &kTckFine);
  const auto add = [&](const Field& coarse, const Field* high, const Field* fine) {
    p.times.push_back({coarse.key, coarse.name, ps(coarse, high, fine), 0, 0});
  };
  add(kTaa, nullptr, &kTaaFine);
  add(kTrcd, nullptr, &kTrcdFine);
  add(kTrp, nullptr, &kTrpFine);
  add(kTras, &kTrasHigh, nullptr);
  add(kTrc, &kTrcHigh, &kTrcFine);
  add(kTrfc1, nullptr, nullptr);
  add(kTrfc2, nullptr, nullptr);
  add(kTrfc4, nullptr, nullptr);
  add(kTrrdS, nullptr, &kTrrdSFine);
  add(kTrrdL, nullptr, &kTrrdLFine);
  add(kTfaw, &kTfawHigh, nullptr);
  p.voltages.push_back({kVdd.key, "VDD", volts(s, at(b, kVdd))});
  p.cas = cas_latencies(s, at(b, kCasLatencies), kCasDdr4);
  return p;
}

// Why profile n's times cannot be read: a DDR3 timebase divisor of 0, a reserved DDR4 timebase.
std::optional<std::string> profile_unreadable(Image s, DeviceType g, unsigned n) {
  if (g == DeviceType::DDR3) {
    const std::size_t divisor = xmp::ddr3::kTimebase + 1 + 2 * (n - 1);
    if (s[divisor] != 0) return std::nullopt;
    return fmt::format("时间基准的除数为 0（字节 {}），无法解读时序", divisor);
  }
  const std::size_t at = xmp::ddr4::kTimebase + (n - 1);
  if (ddr4_timebases(s[at])) return std::nullopt;
  return reserved_timebase(at, s[at]);
}

}  // namespace

void xmp_profiles(Facts& f, Image s, DeviceType g) {
  const std::size_t header = g == DeviceType::DDR3 ? xmp::ddr3::kHeader : xmp::ddr4::kHeader;
  if (s[header] != xmp::kSignature0 || s[header + 1] != xmp::kSignature1) return;
  const std::uint8_t version = s[header + xmp::kVersion];
  f.xmp_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
  for (unsigned n = 1; n <= 2; ++n) {
    if ((s[header + xmp::kEnabled] >> (n - 1) & 1) == 0) continue;
    if (auto why = profile_unreadable(s, g, n)) {
      f.unreadable_profiles.push_back(fmt::format("XMP 配置 {}: {}", n, *why));
      continue;
    }
    Profile p = g == DeviceType::DDR3 ? ddr3_profile(s, n) : ddr4_profile(s, n);
    if (p.tck_ps == 0) continue;  // enabled but empty: no profile to run
    p.taa_ps = p.times[0].ps;
    p.trcd_ps = p.times[1].ps;
    p.trp_ps = p.times[2].ps;
    p.tras_ps = p.times[3].ps;
    p.volts = p.voltages[0].volts;
    p.data_rate = data_rate(p.tck_ps, g);
    count_clocks(p, g);
    f.profiles.push_back(std::move(p));
  }
}

std::optional<InfoSection> xmp_section(const Facts& f) {
  if (!f.xmp_version) return std::nullopt;
  InfoSection sec{fmt::format("XMP {}", *f.xmp_version), {}};
  sec.lines.push_back({"版本", *f.xmp_version});
  bool any = false;
  for (const auto& p : f.profiles) {
    if (p.kind != model::ProfileKind::Xmp) continue;
    profile_lines(sec.lines, p, f.generation);
    any = true;
  }
  for (const auto& why : f.unreadable_profiles) sec.lines.push_back({"注意", why});
  if (!any && f.unreadable_profiles.empty()) sec.lines.push_back({"配置", "无（均未启用或没有时钟周期）"});
  return sec;
}

}  // namespace dimmwand::spd::classic
