#include "spd/classic.hpp"

#include <fmt/format.h>

#include <cmath>

#include "spd/detail_common.hpp"
#include "spd/profile_layout.hpp"
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

std::string module_speed(double tck_ns, unsigned bus_bits, int gen) {
  if (!(tck_ns > 0.01)) return "未知";  // no cycle time, or one no module runs at
  const double rate = 2 * (1000 / tck_ns);
  long pc = static_cast<long>(rate * bus_bits / 8);
  pc -= pc % 100;
  return fmt::format("{} MT/s (PC{}-{})", static_cast<long>(rate), gen, pc);
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

void xmp_profiles(Facts& f, Image s, DeviceType g) {
  const std::size_t header = g == DeviceType::DDR3 ? xmp::ddr3::kHeader : xmp::ddr4::kHeader;
  if (s[header] != xmp::kSignature0 || s[header + 1] != xmp::kSignature1) return;
  const std::uint8_t version = s[header + xmp::kVersion];
  f.xmp_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
  for (unsigned n = 1; n <= 2; ++n) {
    if ((s[header + xmp::kEnabled] >> (n - 1) & 1) == 0) continue;
    Profile p{"XMP", n, {}, 0, 0, 0, 0, 0, 0, {}};
    if (g == DeviceType::DDR3) {
      using namespace xmp::ddr3;
      const std::size_t b = kProfile + kProfileSize * (n - 1);
      const unsigned dividend = s[kTimebase + 2 * (n - 1)];
      const unsigned divisor = s[kTimebase + 1 + 2 * (n - 1)];
      if (divisor != 0) {
        const auto ps = [&](const Field& t) { return get(s, at(b, t)) * 1000.0 * dividend / divisor; };
        p = {"XMP", n, {}, ps(kTck), ps(kTaa), ps(kTrcd), ps(kTrp), xmp_volts(get(s, at(b, kVdd))), 0, {}};
      }
    } else {
      using namespace xmp::ddr4;
      const std::size_t b = kProfile + kProfileSize * (n - 1);
      const auto ps = [&](const Field& coarse, const Field& fine) {
        const int t = static_cast<int>(get(s, at(b, coarse)) * 125) + get_signed(s, at(b, fine));
        return t > 0 ? static_cast<double>(t) : 0.0;
      };
      const unsigned vdd = get(s, at(b, kVdd));
      p = {"XMP", n, {}, ps(kTck, kTckFine), ps(kTaa, kTaaFine), ps(kTrcd, kTrcdFine), ps(kTrp, kTrpFine),
           (vdd >> 7) + (vdd & 0x7F) / 100.0, 0, {}};
    }
    const auto tck = static_cast<unsigned>(std::lround(p.tck_ps));
    p.data_rate = data_rate(tck);
    const auto c = [&](double ps) { return clocks(static_cast<unsigned>(std::lround(ps)), tck, g); };
    p.clocks = {cas_latency(static_cast<unsigned>(std::lround(p.taa_ps)), tck, g), c(p.trcd_ps), c(p.trp_ps), 0};
    f.profiles.push_back(p);
  }
}

}  // namespace dimmwand::spd::classic
