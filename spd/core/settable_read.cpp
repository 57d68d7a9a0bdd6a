// Reading a settable field: its value as a user writes it, its unit and its range.
#include <fmt/format.h>

#include <cmath>

#include "spd/detail_common.hpp"
#include "spd/jep106.hpp"
#include "spd/settable.hpp"
#include "spd/settable_bits.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

// The cycle time a rate field stands for, in ps.
double current_ps(Image s, const Settable& f) { return f.mtb_ps > 0 ? settable_bits::mtb_ps(s, f) : get(s, f.field); }

}  // namespace

std::string ns_text(double ps) {
  if (std::abs(ps - std::round(ps)) < settable_bits::kSamePs) return fmt::format("{:.3f}", ps / 1000);
  // A time base that is no whole picosecond (DDR3 lets the image choose one): every digit it has.
  std::string t = fmt::format("{:.6f}", ps / 1000);
  while (t.back() == '0') t.pop_back();
  return t;
}

std::string read_value(Image s, const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16:
      return ns_text(get(s, f.field));
    case Coding::Ns16:
      return fmt::format("{}", get(s, f.field));
    case Coding::Count:
      return fmt::format("{}", get(s, f.field));
    case Coding::Mtb:
      return ns_text(settable_bits::mtb_ps(s, f));
    case Coding::Rate: {
      // The rate the cycle is named by, where setting it keeps the cycle; else the cycle's own
      // rate, rounded up at as few places as it takes to ask for no longer a cycle (0.555 ns is
      // 3604, not 3600: 3600 stores 0.556 ns).
      const unsigned named = rate_of(s, f);
      if (named == 0 || settable_bits::rate_keeps(s, f, named)) return named == 0 ? "无" : fmt::format("{}", named);
      for (int places = 0; places <= 9; ++places) {
        const double scale = std::pow(10.0, places);
        const double own = std::ceil(2e6 / current_ps(s, f) * scale) / scale;
        if (settable_bits::rate_keeps(s, f, own)) return settable_bits::mts_text(own, places);
      }
      return fmt::format("{}", named);
    }
    case Coding::Volts20:
    case Coding::Volts100:
      return fmt::format("{:.2f}", volts(s, f.field));
    case Coding::Text:
      return detail_format::part_text(bytes_of(s, f.field));
    case Coding::Serial:
    case Coding::Hex: {
      std::string t = f.coding == Coding::Hex ? "0x" : "";
      for (std::size_t i = 0; i < f.field.length; ++i) t += fmt::format("{:02X}", s[f.field.offset + i]);
      return t;
    }
    case Coding::Date: {
      const std::uint8_t y = s[f.field.offset], w = s[f.field.offset + 1];
      if ((y == 0 && w == 0) || (y == 0xFF && w == 0xFF)) return "未记录";
      // As the decode reads it: BCD, or binary where only that makes sense (0D 20 is 2013-32).
      const auto date = detail_format::manufacturing_week(s.subspan(f.field.offset, 2));
      if (date && date->second >= 1 && date->second <= 53) return fmt::format("{}-{:02}", date->first, date->second);
      return fmt::format("无效 (0x{:02X}{:02X})", y, w);
    }
    case Coding::Maker: {
      const std::uint8_t bank = s[f.field.offset], code = s[f.field.offset + 1];
      if (!valid_parity(bank, code)) return fmt::format("无效 (0x{:02X} 0x{:02X})", bank, code);
      const unsigned b = (bank & 0x7Fu) + 1;
      const auto c = static_cast<std::uint8_t>(code & 0x7F);
      if (const auto name = maker_name(b, c); name && maker_by_name(*name) == std::pair(b, c))
        return std::string(*name);
      return fmt::format("{}:0x{:02X}", b, code);  // the code as stored, with its parity bit
    }
    case Coding::ClList: {
      const auto cls = latencies(s, f);
      return cls.empty() ? std::string("无") : fmt::format("{}", fmt::join(cls, ","));
    }
    case Coding::Enable:
      return enabled(s, f) ? "1" : "0";
  }
  return {};
}

std::optional<double> time_ps(Image s, const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16:
      return get(s, f.field);
    case Coding::Ns16:
      return get(s, f.field) * 1000.0;
    case Coding::Mtb:
      return settable_bits::mtb_ps(s, f);
    default:
      return std::nullopt;
  }
}

std::vector<unsigned> latencies(Image s, const Settable& f) {
  return f.coding == Coding::ClList ? cas_latencies(s, f.field, f.cas) : std::vector<unsigned>{};
}

unsigned rate_of(Image s, const Settable& f) {
  if (f.coding != Coding::Rate) return 0;
  return data_rate(current_ps(s, f), f.generation);
}

bool has_value(Image s, const Settable& f) {
  switch (f.coding) {
    case Coding::Date: {
      // A week of a year set writes (1983-05, from a year byte of 0x83, is a date but none of them).
      const auto date = detail_format::manufacturing_week(s.subspan(f.field.offset, 2));
      return !read_value(s, f).starts_with("未记录") && !read_value(s, f).starts_with("无效") && date &&
             date->first >= 2000 && date->first <= 2099;
    }
    case Coding::Maker:
      return !read_value(s, f).starts_with("无效");
    case Coding::ClList:
      return !latencies(s, f).empty();
    case Coding::Rate:
      return rate_of(s, f) != 0;
    case Coding::Mtb:
      return settable_bits::mtb_ps(s, f) > -settable_bits::kSamePs;
    case Coding::Volts100:
      return (get(s, f.field) & 0x7F) <= 99;  // hundredths past 99 are no voltage
    case Coding::Volts20:
      return volts(s, f.field) < 3.55 + 1e-9;  // the scale's top (bits 6-5 at 3, 11 twentieths)
    case Coding::Count:
      return get(s, f.field) <= f.max;  // a command rate past 3N
    default:
      return true;
  }
}

bool zero_time(Image s, const Settable& f) {
  const auto t = time_ps(s, f);
  return t && std::abs(*t) < settable_bits::kSamePs;
}

bool enabled(Image s, const Settable& f) {
  if (f.coding != Coding::Enable || f.enable_bits.empty()) return false;
  const auto& [at, bits] = f.enable_bits.front();
  return (unsigned{s[at]} >> std::countr_zero(bits) & 1u) != 0;  // the lowest bit says
}

std::string unit_of(const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16:
    case Coding::Ns16:
    case Coding::Mtb:
      return "ns";
    case Coding::Rate:
      return "MT/s";
    case Coding::Volts20:
    case Coding::Volts100:
      return "V";
    case Coding::Count:
      return f.key.ends_with("_nck") ? "nCK" : "";
    case Coding::Text:
      return "文本";
    case Coding::Serial:
    case Coding::Hex:
      return "十六进制";
    case Coding::Date:
      return "YYYY-WW";
    case Coding::Maker:
      return "JEP106";
    case Coding::ClList:
      return "CL 列表";
    case Coding::Enable:
      return "0 | 1";
  }
  return {};
}

std::string range_of(const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16:
      return "0.000-65.535 ns，步长 0.001 ns";
    case Coding::Ns16:
      return "0-65535 ns，整数";
    case Coding::Count:
      return fmt::format("0-{}", f.max);
    case Coding::Mtb:
      return fmt::format("0.000-{} ns，单位 {} ns{}", ns_text(settable_bits::mtb_field(f).largest()), ns_text(f.mtb_ps),
                         f.fine ? fmt::format("，微调 {} ps", f.ftb_ps) : std::string());
    case Coding::Rate:
      return "以 MT/s 计的速率，按本代的周期存储";
    case Coding::Volts20:
      return "0.00-3.55 V，步长 0.05 V";
    case Coding::Volts100:
      return "0.00-1.99 V，步长 0.01 V";
    case Coding::Text:
      return fmt::format("最多 {} 个可打印 ASCII 字符", f.max);
    case Coding::Serial:
      return fmt::format("{} 位十六进制数", 2 * f.field.length);
    case Coding::Date:
      return "YYYY-WW，2000-2099 年第 01-53 周";
    case Coding::Maker:
      return "JEP106 名称或 bank:code";
    case Coding::Hex:
      return fmt::format("{} 字节十六进制数", f.field.length);
    case Coding::ClList: {
      const CasMap& m = f.cas;
      if (m.high_first != 0)
        return fmt::format("CL {}-{}，或全部在 {}-{} 之间", m.first, m.last(), m.high_first,
                           m.high_first + m.step * (m.bits - 1));
      return fmt::format("CL {}-{}{}，至少一个", m.first, m.last(), m.step == 2 ? "（偶数）" : "");
    }
    case Coding::Enable:
      return "0（关闭）或 1（启用）";
  }
  return {};
}

}  // namespace dimmwand::spd
