#include "spd/strict.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>

#include "spd/ddr3_layout.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/ddr5_layout.hpp"
#include "spd/decode.hpp"
#include "spd/detail_common.hpp"
#include "spd/jep106.hpp"
#include "spd/settable.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

// The value of a settable time in ps, when the image has it.
std::optional<double> time_ps(Image s, const std::vector<Settable>& all, const std::string& key) {
  const Settable* f = find_settable(all, key);
  return f != nullptr ? spd::time_ps(s, *f) : std::nullopt;
}

std::vector<unsigned> cl_list(Image s, const std::vector<Settable>& all, const std::string& key) {
  const Settable* f = find_settable(all, key);
  return f != nullptr ? latencies(s, *f) : std::vector<unsigned>{};
}

// tRC ≥ tRAS + tRP, in the base ("") or a profile ("xmp1.").
void row_cycle(std::vector<std::string>& out, Image s, const std::vector<Settable>& all, const std::string& prefix,
               const std::string& where) {
  const auto trc = time_ps(s, all, prefix + "trc");
  const auto tras = time_ps(s, all, prefix + "tras");
  const auto trp = time_ps(s, all, prefix + "trp");
  if (!trc || !tras || !trp || *trc == 0) return;
  if (*trc + 0.5 < *tras + *trp) {
    out.push_back(fmt::format("{}tRC {} ns 小于 tRAS + tRP（{} + {} = {} ns）", where, ns_text(*trc), ns_text(*tras),
                              ns_text(*trp), ns_text(*tras + *trp)));
  }
}

void headline_cl(std::vector<std::string>& out, DeviceType g, const Clocks& c, double tck, double taa,
                 const std::vector<unsigned>& cas, const std::string& where) {
  if (auto finding = cl_finding(g, c.cl, tck, taa, cas)) out.push_back(where + *finding);
}

// A settable's name without its profile's ("XMP 配置 2 tAA" is "tAA").
std::string short_name(const Settable& f) {
  const auto at = f.name.find("配置 ");
  const auto space =
      at == std::string::npos ? std::string::npos : f.name.find(' ', at + std::string_view("配置 ").size());
  return space == std::string::npos ? f.name : f.name.substr(space + 1);
}

std::string names(const std::vector<const Settable*>& fields) {
  std::vector<std::string> out;
  for (const Settable* f : fields) out.push_back(short_name(*f));
  return fmt::format("{}", fmt::join(out, "、"));
}

// The base section's values and those of every profile switched on (the decode lists a profile
// with no cycle time as none, but a board may still offer it).
void missing(std::vector<std::string>& out, Image s, const std::vector<Settable>& all) {
  if (const auto base = missing_values(s, all, ""); !base.empty())
    out.push_back(fmt::format("{} 为 0 或为空：缺了这些值，模块无法运行", names(base)));
  for (const auto& f : all) {
    if (!enabled(s, f)) continue;
    const auto gaps = missing_values(s, all, f.key.substr(0, f.key.find('.')));
    if (gaps.empty()) continue;
    const std::string label = f.name.substr(0, f.name.rfind(' '));  // "XMP 配置 2"
    out.push_back(
        fmt::format("{}: 已启用，但 {} 为 0 或为空，是不完整的配置：主板提供它时模块可能无法启动", label, names(gaps)));
  }
}

// The longest cycle time below the shortest: no clock the module runs at.
void cycle_range(std::vector<std::string>& out, Image s, const std::vector<Settable>& all) {
  const auto tck = time_ps(s, all, "tck");
  const auto tck_max = time_ps(s, all, "tck_max");
  if (!tck || !tck_max || *tck <= 0 || *tck_max >= *tck - 0.5) return;
  const Settable* min = find_settable(all, "tck");
  const Settable* max = find_settable(all, "tck_max");
  out.push_back(fmt::format("{} {} ns 小于 {} {} ns：没有模块能运行的时钟周期", max->name, ns_text(*tck_max), min->name,
                            ns_text(*tck)));
}

// Capacity from the geometry: rows, columns, banks and width give the die's bits, which must be
// its density (or 4/3 of it, for the 12, 24 and 48 Gb dies that use three quarters of a row range).
void geometry(std::vector<std::string>& out, Image s, DeviceType g) {
  double density_gbit = 0, bits = 0;
  if (g == DeviceType::DDR3) {
    using namespace ddr3;
    if (get(s, kDensity) > 6) return;
    density_gbit = 0.25 * (1u << get(s, kDensity));
    bits = std::ldexp(1.0, static_cast<int>(get(s, kRows) + 12 + get(s, kColumns) + 9)) * (8u << get(s, kBanks)) *
           (4u << get(s, kDeviceWidth));
  } else if (g == DeviceType::DDR4) {
    using namespace ddr4;
    static constexpr double kGbit[] = {0.25, 0.5, 1, 2, 4, 8, 16, 32, 12, 24};
    if (get(s, kDensity) > 9 || get(s, kBankGroups) > 2 || get(s, kBanks) > 1) return;
    density_gbit = kGbit[get(s, kDensity)];
    const unsigned groups = get(s, kBankGroups) == 0 ? 1 : 1u << get(s, kBankGroups);
    bits = std::ldexp(1.0, static_cast<int>(get(s, kRows) + 12 + get(s, kColumns) + 9)) * groups *
           (4u << get(s, kBanks)) * (4u << get(s, kDeviceWidth));
  } else {
    using namespace ddr5;
    static constexpr double kGbit[] = {0, 4, 8, 12, 16, 24, 32, 48, 64};
    if (get(s, kDensity) == 0 || get(s, kDensity) > 8) return;
    density_gbit = kGbit[get(s, kDensity)];
    bits = std::ldexp(1.0, static_cast<int>(get(s, kRows) + 16 + get(s, kColumns) + 10)) * (1u << get(s, kBankGroups)) *
           (1u << get(s, kBanks)) * (4u << (get(s, kDeviceWidth) & 3u));
  }
  const double geometry_gbit = bits / std::ldexp(1.0, 30);
  if (std::abs(geometry_gbit - density_gbit) > 1e-9 && std::abs(geometry_gbit * 3 / 4 - density_gbit) > 1e-9) {
    out.push_back(fmt::format("颗粒容量 {} Gb 与寻址不符：行、列、bank 与位宽给出 {} Gb", density_gbit, geometry_gbit));
  }
}

// The year a generation's first modules were made: DDR3 2007, DDR4 2014, DDR5 2020.
unsigned first_year(DeviceType g) { return g == DeviceType::DDR3 ? 2007 : g == DeviceType::DDR4 ? 2014 : 2020; }

// The date as the decode reads it (BCD, or binary where only that reading makes sense, as
// decode-dimms reads them): doubtful when neither reading gives a week of a year the generation
// was made in.
void date(std::vector<std::string>& out, Image s, const Field& f, DeviceType g) {
  const std::uint8_t y = s[f.offset], w = s[f.offset + 1];
  if ((y == 0 && w == 0) || (y == 0xFF && w == 0xFF)) return;  // not recorded: nothing to doubt
  const auto now = std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
  const auto read = detail_format::manufacturing_week(s.subspan(f.offset, 2));
  if (!read || read->second < 1 || read->second > 53 || read->first < first_year(g) ||
      read->first > static_cast<unsigned>(static_cast<int>(now.year())) + 1) {
    out.push_back(fmt::format(
        "生产日期不可信（字节 {}-{} = {:02X} {:02X}）：DDR{} 模块应在 {} 年之后、BCD（或二进制）编码、第 01-53 周",
        f.offset, f.offset + 1, y, w, generation(g), first_year(g)));
  }
}

void parity(std::vector<std::string>& out, Image s, const Field& f, const char* what) {
  const std::uint8_t bank = s[f.offset], code = s[f.offset + 1];
  if ((bank == 0 && code == 0) || (bank == 0xFF && code == 0xFF)) return;
  if (!valid_parity(bank, code)) {
    out.push_back(fmt::format("{}的 JEP106 校验位不成立（字节 {}-{} = {:02X} {:02X}）", what, f.offset, f.offset + 1,
                              bank, code));
  }
}

}  // namespace

std::optional<std::string> cl_finding(DeviceType g, unsigned cl, double tck, double taa,
                                      const std::vector<unsigned>& cas) {
  if (tck <= 0 || cas.empty()) return std::nullopt;
  if (std::find(cas.begin(), cas.end(), cl) == cas.end()) {
    return fmt::format("CL{} 不在支持的 CAS 延迟列表中（{}）", cl, fmt::join(cas, ","));
  }
  if (cl < clocks(static_cast<unsigned>(std::lround(taa)), static_cast<unsigned>(std::lround(tck)), g)) {
    return fmt::format("CL{} 在 tCK {} ns 下不满足 tAA {} ns", cl, ns_text(tck), ns_text(taa));
  }
  return std::nullopt;
}

std::vector<const Settable*> missing_values(Image s, const std::vector<Settable>& all, std::string_view profile) {
  static constexpr std::string_view kNeeded[] = {"tck",  "taa",   "trcd",    "trp", "tras", "trc",
                                                 "trfc", "trfc1", "cl_list", "vdd", "vddq", "vpp"};
  std::vector<const Settable*> out;
  for (const auto key : kNeeded) {
    const Settable* f = find_settable(all, profile.empty() ? std::string(key) : fmt::format("{}.{}", profile, key));
    if (f == nullptr) continue;
    const auto t = spd::time_ps(s, *f);
    const bool none = t                                                               ? *t < 0.5
                      : f->coding == Coding::Volts20 || f->coding == Coding::Volts100 ? volts(s, f->field) < 0.005
                                                                                      : latencies(s, *f).empty();
    if (none) out.push_back(f);
  }
  return out;
}

std::vector<std::string> strict_warnings(Image s, DeviceType g) {
  std::vector<std::string> out;
  const auto all = settables(s, g);
  const Decode d = decode(s, g);
  const Facts& f = d.facts;
  if (!f.unreadable.empty()) out.push_back(f.unreadable);
  for (const auto& why : f.unreadable_profiles) out.push_back(why);
  missing(out, s, all);
  cycle_range(out, s, all);
  row_cycle(out, s, all, "", "");
  headline_cl(out, g, f.clocks, f.tck_ps, f.taa_ps, cl_list(s, all, "cl_list"), "");
  for (const auto& p : f.profiles) {
    const std::string prefix = model::profile_id(p.kind, p.number) + ".";
    const std::string where = fmt::format("{} 配置 {}: ", model::label_of(p.kind), p.number);
    row_cycle(out, s, all, prefix, where);
    if (!p.cas.empty()) headline_cl(out, g, p.clocks, p.tck_ps, p.taa_ps, p.cas, where);
    if (f.data_rate != 0 && p.data_rate < f.data_rate) {
      out.push_back(fmt::format("{}速率 DDR{}-{} 低于基本区的 DDR{}-{}", where, generation(g), p.data_rate,
                                generation(g), f.data_rate));
    }
  }
  geometry(out, s, g);
  if (f.absent.empty()) {
    const Field* date_field = g == DeviceType::DDR3   ? &ddr3::kDate
                              : g == DeviceType::DDR4 ? &ddr4::kDate
                                                      : &ddr5::kDate;
    date(out, s, *date_field, g);
    parity(out, s,
           g == DeviceType::DDR3   ? ddr3::kModuleMaker
           : g == DeviceType::DDR4 ? ddr4::kModuleMaker
                                   : ddr5::kModuleMaker,
           "模块制造商");
    parity(out, s,
           g == DeviceType::DDR3   ? ddr3::kDramMaker
           : g == DeviceType::DDR4 ? ddr4::kDramMaker
                                   : ddr5::kDramMaker,
           "颗粒制造商");
  }
  return out;
}

}  // namespace dimmwand::spd
