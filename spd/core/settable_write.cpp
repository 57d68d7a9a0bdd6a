// Writing a settable field: the text a user gave, checked and coded into the field's bits, or
// refused with the reason and the nearest value that can be stored.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "spd/jep106.hpp"
#include "spd/settable.hpp"
#include "spd/settable_bits.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {

namespace {

void store_mtb(settable_bits::Bytes& s, const Settable& f, const MtbCode& c) {
  settable_bits::put(s, f.field, c.coarse & ((1ull << settable_bits::bits_of(f.field)) - 1));
  if (f.high) settable_bits::put(s, *f.high, c.coarse >> settable_bits::bits_of(f.field));
  if (f.fine) settable_bits::put(s, *f.fine, static_cast<std::uint8_t>(static_cast<std::int8_t>(c.fine)));
}

// A cycle time as the cycle field of a rate codes it: whole ps (DDR5), or a count and a
// correction (DDR3, DDR4).
struct Cycle {
  double ps = 0;
  std::optional<MtbCode> mtb;
};

std::optional<Cycle> exact_cycle(const Settable& f, double ps) {
  if (f.mtb_ps > 0) {
    const auto c = mtb_nearest(settable_bits::mtb_field(f), ps);
    if (!c || std::abs(c->ps - ps) >= settable_bits::kSamePs) return std::nullopt;
    return Cycle{c->ps, c};
  }
  const double whole = std::round(ps);
  if (std::abs(whole - ps) >= settable_bits::kSamePs || whole < 1 || whole > 65535) return std::nullopt;
  return Cycle{whole, std::nullopt};
}

std::optional<Cycle> cycle_not_shorter(const Settable& f, double ps) {
  if (f.mtb_ps > 0) {
    const auto c = mtb_not_shorter(settable_bits::mtb_field(f), ps);
    if (!c) return std::nullopt;
    return Cycle{c->ps, c};
  }
  const double whole = std::ceil(ps - settable_bits::kSamePs);
  if (whole > 65535) return std::nullopt;
  return Cycle{whole, std::nullopt};
}

double current_cycle(Image s, const Settable& f) {
  return f.mtb_ps > 0 ? settable_bits::mtb_ps(s, f) : get(s, f.field);
}

bool same_time(double a, double b) { return std::abs(a - b) < settable_bits::kSamePs; }

// The cycle a rate is stored as, by one rule: the grade's JEDEC cycle where this field holds it
// exactly, else the shortest it holds that is not shorter than the cycle the rate names (so
// that the module is never asked to run faster than the rate named). A cycle that already is one
// of these (or the grade's exact 7.5/n ns, as a 1/14 ns timebase holds it) stays.
std::optional<Cycle> planned(Image s, const Settable& f, double rate) {
  const RateCycle want = rate_cycle(rate, f.generation);
  const auto exact = exact_cycle(f, want.ps);
  const auto longer = cycle_not_shorter(f, want.exact_ps);
  const double now = current_cycle(s, f);
  if ((exact && same_time(now, exact->ps)) || (longer && same_time(now, longer->ps)) ||
      (want.grade && same_time(now, want.exact_ps)))
    return Cycle{now, std::nullopt};
  return exact ? exact : longer;
}

std::string ps_value(const Settable& f, double ps) {
  return f.coding == Coding::Ns16 ? fmt::format("{}", ps / 1000) : ns_text(ps);
}

std::unexpected<std::string> refuse(const Settable& f, std::string_view value, std::string_view why) {
  return std::unexpected(fmt::format("{}（{}）不能设为“{}”：{}", f.key, f.name, value, why));
}

// The new value coded into `s`; the refusal when it is out of range or cannot be stored exactly.
std::expected<void, std::string> code_value(settable_bits::Bytes& s, const Settable& f, std::string_view value) {
  switch (f.coding) {
    case Coding::Ps16:
    case Coding::Ns16: {
      const bool ns = f.coding == Coding::Ns16;
      const auto v = settable_bits::number(value, "ns");
      if (!v || *v < 0) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double stored = ns ? std::round(*v) : std::round(*v * 1000);
      if (stored > 65535) return refuse(f, value, fmt::format("超出范围（{}）", range_of(f)));
      if (std::abs(stored - (ns ? *v : *v * 1000)) > (ns ? 1e-9 : 1e-6)) {
        return refuse(f, value,
                      fmt::format("无法精确存储（单位 {}）；最接近的可存值为 {}", ns ? "1 ns" : "1 ps",
                                  ps_value(f, ns ? stored * 1000 : stored)));
      }
      settable_bits::put(s, f.field, static_cast<std::uint64_t>(stored));
      return {};
    }
    case Coding::Count: {
      const auto v = settable_bits::number(value, "");
      if (!v || *v < 0 || *v > f.max || *v != std::floor(*v))
        return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      settable_bits::put(s, f.field, static_cast<std::uint64_t>(*v));
      return {};
    }
    case Coding::Mtb: {
      const auto v = settable_bits::number(value, "ns");
      if (!v || *v < 0) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double ps = *v * 1000;
      const auto c = mtb_nearest(settable_bits::mtb_field(f), ps);
      if (!c) return refuse(f, value, fmt::format("超出范围（{}）", range_of(f)));
      if (std::abs(c->ps - ps) >= settable_bits::kSamePs) {
        return refuse(f, value,
                      fmt::format("无法精确存储（单位 {} ns{}）；最接近的可存值为 {} ns", ns_text(f.mtb_ps),
                                  f.fine ? fmt::format("，微调 {} ps", f.ftb_ps) : std::string(), ns_text(c->ps)));
      }
      store_mtb(s, f, *c);
      return {};
    }
    case Coding::Rate: {
      const auto v = settable_bits::number(value, "");
      if (!v || *v < 1 || *v > 40000) return refuse(f, value, "应为以 MT/s 计的速率，如 2400");
      Settable t = f;
      t.coding = f.mtb_ps > 0 ? Coding::Mtb : Coding::Ps16;  // as its cycle time is coded
      const RateCycle want = rate_cycle(*v, f.generation);
      const auto cycle = planned(s, f, *v);
      // A grade's cycle that this image's units cannot come near enough to keep its name.
      if (!cycle || (want.grade && data_rate(cycle->ps, f.generation) != *v)) {
        return refuse(f, value,
                      fmt::format("其周期 {} ns 无法存储（{}）{}", ns_text(want.ps), range_of(t),
                                  cycle ? fmt::format("；最接近的可存值 {} ns 读作 {} MT/s", ns_text(cycle->ps),
                                                      data_rate(cycle->ps, f.generation))
                                        : std::string()));
      }
      if (cycle->mtb)
        store_mtb(s, t, *cycle->mtb);
      else if (f.mtb_ps <= 0)
        settable_bits::put(s, f.field, static_cast<std::uint64_t>(cycle->ps));
      return {};
    }
    case Coding::Volts20:
    case Coding::Volts100: {
      const auto v = settable_bits::number(value, "v");
      const bool twenty = f.coding == Coding::Volts20;
      if (!v || *v < 0 || *v > (twenty ? 3.55 : 1.99) + 1e-9)
        return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double step = twenty ? 0.05 : 0.01;
      const double units = std::round((*v - std::floor(*v + 1e-9)) / step);
      const double whole = std::floor(*v + 1e-9);
      const double stored = whole + units * step;
      if (std::abs(stored - *v) > 1e-6 || (!twenty && whole > 1)) {
        return refuse(f, value, fmt::format("无法精确存储（步长 {:.2f} V）；最接近的可存值为 {:.2f}", step, stored));
      }
      const auto code = twenty ? (static_cast<unsigned>(whole) << 5) | static_cast<unsigned>(units)
                               : (static_cast<unsigned>(whole) << 7) | static_cast<unsigned>(units);
      settable_bits::put(s, f.field, (get(s, f.field) & (twenty ? 0x80u : 0u)) | code);  // XMP 3.0 keeps bit 7 reserved
      return {};
    }
    case Coding::Text: {
      if (value.size() > f.max) return refuse(f, value, fmt::format("最多 {} 个字符", f.max));
      if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return refuse(f, value, "只能用可打印的 ASCII 字符");
      }
      for (std::size_t i = 0; i < f.field.length; ++i)
        s[f.field.offset + i] = i < value.size() ? static_cast<std::uint8_t>(value[i]) : 0x20;
      return {};
    }
    case Coding::Serial: {
      const auto digits = value.starts_with("0x") || value.starts_with("0X") ? value.substr(2) : value;
      const auto v = settable_bits::hex_number(digits);
      if (!v || digits.size() != 2 * f.field.length)
        return refuse(f, value, fmt::format("应为 {} 位十六进制数", 2 * f.field.length));
      for (std::size_t i = 0; i < f.field.length; ++i) {
        s[f.field.offset + i] =
            static_cast<std::uint8_t>(*v >> (8 * (f.field.length - 1 - i)));  // as written, first byte first
      }
      return {};
    }
    case Coding::Date: {
      unsigned year = 0, week = 0;
      const bool form = value.size() == 7 && value[4] == '-' &&
                        std::from_chars(value.data(), value.data() + 4, year).ptr == value.data() + 4 &&
                        std::from_chars(value.data() + 5, value.data() + 7, week).ptr == value.data() + 7;
      if (!form || year < 2000 || year > 2099 || week < 1 || week > 53)
        return refuse(f, value, "应为 YYYY-WW，年份 2000-2099，周 01-53");
      s[f.field.offset] = static_cast<std::uint8_t>(((year % 100) / 10) << 4 | (year % 10));
      s[f.field.offset + 1] = static_cast<std::uint8_t>((week / 10) << 4 | (week % 10));
      return {};
    }
    case Coding::Maker: {
      std::optional<std::pair<unsigned, std::uint8_t>> id = maker_by_name(value);
      if (const auto colon = value.find(':'); !id && colon != std::string_view::npos) {
        unsigned bank = 0;
        const auto b = value.substr(0, colon);
        const auto code = settable_bits::hex_number(value.substr(colon + 1));
        if (std::from_chars(b.data(), b.data() + b.size(), bank).ptr == b.data() + b.size() && !b.empty() && code &&
            bank >= 1 && bank <= 128 && *code <= 0xFF) {
          id = std::pair(bank, static_cast<std::uint8_t>(*code & 0x7F));  // with or without its parity bit
        }
      }
      if (!id) return refuse(f, value, "应为 JEP106 中的制造商名称（唯一的），或 bank:code，如 2:0x98");
      const auto [bank, code] = maker_bytes(id->first, id->second);
      s[f.field.offset] = bank;
      s[f.field.offset + 1] = code;
      return {};
    }
    case Coding::Hex: {
      const auto v = settable_bits::hex_number(value);
      if (!v || *v >= (1ull << (8 * f.field.length)))
        return refuse(f, value, fmt::format("应为 {} 字节的十六进制数", f.field.length));
      for (std::size_t i = 0; i < f.field.length; ++i) {
        s[f.field.offset + i] = static_cast<std::uint8_t>(*v >> (8 * (f.field.length - 1 - i)));
      }
      return {};
    }
    case Coding::ClList: {
      std::vector<unsigned> cls;
      for (std::size_t at = 0; at <= value.size();) {
        const auto end = std::min(value.find(',', at), value.size());
        unsigned cl = 0;
        const auto item = value.substr(at, end - at);
        if (item.empty() ||
            std::from_chars(item.data(), item.data() + item.size(), cl).ptr != item.data() + item.size()) {
          return refuse(f, value, "应为以逗号分隔的 CAS 延迟，如 6,7,8,9,10,11");
        }
        cls.push_back(cl);
        at = end + 1;
      }
      const auto all = cas_encode(get64(s, f.field), cls, f.cas);
      if (!all) return refuse(f, value, fmt::format("CL{} 不能存储（{}）", all.error(), range_of(f)));
      for (std::size_t i = 0; i < f.field.length; ++i)
        s[f.field.offset + i] = static_cast<std::uint8_t>(*all >> (8 * i));
      return {};
    }
    case Coding::Enable: {
      if (value != "0" && value != "1") return refuse(f, value, "应为 0 或 1");
      for (const auto& [at, bits] : f.enable_bits) {
        s[at] = static_cast<std::uint8_t>(value == "1" ? (s[at] | bits) : (s[at] & ~bits));
      }
      return {};
    }
  }
  return refuse(f, value, "无法设置");
}

}  // namespace

namespace settable_bits {

bool rate_keeps(Image s, const Settable& f, double rate) {
  const auto cycle = planned(s, f, rate);
  return cycle && same_time(cycle->ps, current_cycle(s, f));
}

std::string mts_text(double rate, int decimals) {
  std::string t = fmt::format("{:.{}f}", rate, decimals);
  if (t.find('.') == std::string::npos) return t;
  while (t.back() == '0') t.pop_back();
  if (t.back() == '.') t.pop_back();
  return t;
}

}  // namespace settable_bits

std::optional<std::string> rate_note(Image image, const Settable& f, std::string_view value) {
  if (f.coding != Coding::Rate) return std::nullopt;
  const auto v = settable_bits::number(value, "");
  if (!v) return std::nullopt;
  const RateCycle want = rate_cycle(*v, f.generation);
  const double stored = current_cycle(image, f);
  const std::string rate = settable_bits::mts_text(*v, 9);
  if (!want.grade) {
    return fmt::format("{} MT/s 不是 DDR{} 的 JEDEC 速率：{} 的周期存为 {} ns（不短于 2000/{} ns），读作 DDR{}-{}",
                       rate, generation(f.generation), f.key, ns_text(stored), rate, generation(f.generation),
                       data_rate(stored, f.generation));
  }
  if (same_time(stored, want.ps)) return std::nullopt;
  return fmt::format("DDR{}-{} 的周期 {} ns 在此映像中存为 {} ns（{}），不短于该速率档的 {} ns",
                     generation(f.generation), rate, ns_text(want.ps), ns_text(stored),
                     f.fine ? fmt::format("微调单位 {} ps", f.ftb_ps) : fmt::format("单位 {} ns", ns_text(f.mtb_ps)),
                     ns_text(want.exact_ps));
}

std::expected<void, std::string> write_value(std::vector<std::uint8_t>& image, const Settable& f,
                                             std::string_view value) {
  settable_bits::Bytes candidate = image;
  if (auto coded = code_value(candidate, f, value); !coded) return coded;
  // A value that reads back as the field already does changes nothing, however it is coded.
  if (read_value(candidate, f) == read_value(image, f)) return {};
  image = std::move(candidate);
  return {};
}

}  // namespace dimmwand::spd
