#include "spd/settable.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>

#include "spd/ddr3_layout.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/ddr5_layout.hpp"
#include "spd/jep106.hpp"
#include "spd/profile_layout.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- bits ---------------------------------------------------------------------------------

// Stores `value` in the bits of `f`, leaving every other bit of its bytes as it was.
void put(Bytes& s, const Field& f, std::uint64_t value) {
  std::uint64_t mask = f.mask == 0 ? (f.length >= 8 ? ~0ull : (1ull << (8 * f.length)) - 1) : f.mask;
  const int shift = f.mask == 0 ? 0 : std::countr_zero(f.mask);
  for (std::size_t i = 0; i < f.length; ++i) {
    const auto bits = static_cast<std::uint8_t>(mask >> (8 * i));
    if (bits == 0) continue;
    const auto v = static_cast<std::uint8_t>((value << shift) >> (8 * i));
    s[f.offset + i] = static_cast<std::uint8_t>((s[f.offset + i] & ~bits) | (v & bits));
  }
}

std::uint64_t get64(Image s, const Field& f) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < f.length && i < 8; ++i) {
    if (f.offset + i < s.size()) v |= std::uint64_t{s[f.offset + i]} << (8 * i);
  }
  return v;
}

unsigned bits_of(const Field& f) { return f.mask == 0 ? 8 * static_cast<unsigned>(f.length) : static_cast<unsigned>(std::popcount(f.mask)); }

// ---- building the table --------------------------------------------------------------------

struct Table {
  std::vector<Settable> out;
  DeviceType g;

  Settable& add(std::string key, std::string name, Coding c, Field f) {
    Settable s;
    s.key = std::move(key);
    s.name = std::move(name);
    s.coding = c;
    s.field = f;
    s.generation = g;
    out.push_back(std::move(s));
    return out.back();
  }
  // A DDR3 or DDR4 time: coarse units (with a high nibble) and a fine correction where given.
  void mtb(std::string key, std::string name, Field coarse, const Field* high, const Field* fine, double mtb_ps, double ftb_ps) {
    if (mtb_ps <= 0) return;  // no timebase: no time can be stored
    Settable& s = add(std::move(key), std::move(name), Coding::Mtb, coarse);
    if (high != nullptr) s.high = *high;
    if (fine != nullptr && ftb_ps > 0) s.fine = *fine;
    s.mtb_ps = mtb_ps;
    s.ftb_ps = ftb_ps;
  }
  void rate(std::string key, std::string name, const std::string& cycle_key) {
    const auto it = std::find_if(out.begin(), out.end(), [&](const Settable& s) { return s.key == cycle_key; });
    if (it == out.end()) return;
    Settable cycle = *it;  // a copy: adding to the table may move what `it` points at
    Settable& s = add(std::move(key), std::move(name), Coding::Rate, cycle.field);
    s.cycle = cycle.field;
    s.high = cycle.high;
    s.fine = cycle.fine;
    s.mtb_ps = cycle.mtb_ps;
    s.ftb_ps = cycle.ftb_ps;
  }
  void cl_list(std::string key, std::string name, Field f, unsigned first, unsigned step, unsigned bits) {
    Settable& s = add(std::move(key), std::move(name), Coding::ClList, f);
    s.cl_first = first;
    s.cl_step = step;
    s.cl_bits = bits;
  }
  void text(std::string key, std::string name, Field f) { add(std::move(key), std::move(name), Coding::Text, f).max = static_cast<unsigned>(f.length); }
  void count(std::string key, std::string name, Field f, unsigned max) { add(std::move(key), std::move(name), Coding::Count, f).max = max; }
  void enable(std::string key, std::string name, std::vector<std::pair<std::size_t, std::uint8_t>> bits) {
    add(std::move(key), std::move(name), Coding::Enable, Field{bits.front().first, 1, 0, Unit::Flags, {}, {}}).enable_bits = std::move(bits);
  }
  void maker_data(const Field& module_maker, const Field& date, const Field& serial, const Field& part, const Field& revision,
                  const Field& dram_maker) {
    add("part_number", "型号", Coding::Text, part).max = static_cast<unsigned>(part.length);
    add("serial_number", "序列号", Coding::Serial, serial);
    add("manufacturing_date", "生产日期", Coding::Date, date);
    add("module_maker", "模块制造商", Coding::Maker, module_maker);
    add("dram_maker", "颗粒制造商", Coding::Maker, dram_maker);
    add("module_revision", "模块修订代码", Coding::Hex, revision);
  }
};

void ddr3_table(Table& t, Image s) {
  using namespace ddr3;
  const double mtb = get(s, kMtbDivisor) != 0 ? 1000.0 * get(s, kMtbDividend) / get(s, kMtbDivisor) : 0;
  const double ftb = get(s, kFtbDivisor) != 0 ? static_cast<double>(get(s, kFtbDividend)) / get(s, kFtbDivisor) : 0;
  t.mtb("tck", "tCKmin", kTck, nullptr, &kTckFine, mtb, ftb);
  t.rate("rate", "速率 (MT/s)", "tck");
  t.cl_list("cl_list", "CAS 延迟", kCasLatencies, 4, 1, 15);
  t.mtb("taa", "tAAmin", kTaa, nullptr, &kTaaFine, mtb, ftb);
  t.mtb("trcd", "tRCDmin", kTrcd, nullptr, &kTrcdFine, mtb, ftb);
  t.mtb("trp", "tRPmin", kTrp, nullptr, &kTrpFine, mtb, ftb);
  t.mtb("tras", "tRASmin", kTras, &kTrasHigh, nullptr, mtb, ftb);
  t.mtb("trc", "tRCmin", kTrc, &kTrcHigh, &kTrcFine, mtb, ftb);
  t.mtb("twr", "tWRmin", kTwr, nullptr, nullptr, mtb, ftb);
  t.mtb("trrd", "tRRDmin", kTrrd, nullptr, nullptr, mtb, ftb);
  t.mtb("trfc", "tRFCmin", kTrfc, nullptr, nullptr, mtb, ftb);
  t.mtb("twtr", "tWTRmin", kTwtr, nullptr, nullptr, mtb, ftb);
  t.mtb("trtp", "tRTPmin", kTrtp, nullptr, nullptr, mtb, ftb);
  t.mtb("tfaw", "tFAWmin", kTfaw, &kTfawHigh, nullptr, mtb, ftb);
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevision, kDramMaker);
}

void ddr3_xmp(Table& t, Image s) {
  using namespace xmp::ddr3;
  if (s[kHeader] != xmp::kSignature0 || s[kHeader + 1] != xmp::kSignature1) return;
  const double xftb = get(s, kFtbDivisor) != 0 ? static_cast<double>(get(s, kFtbDividend)) / get(s, kFtbDivisor) : 0;
  for (unsigned n = 1; n <= 2; ++n) {
    const std::size_t b = kProfile + kProfileSize * (n - 1);
    const unsigned divisor = s[kTimebase + 1 + 2 * (n - 1)];
    const double xmtb = divisor != 0 ? 1000.0 * s[kTimebase + 2 * (n - 1)] / divisor : 0;
    const std::string p = fmt::format("xmp{}.", n);
    const std::string name = fmt::format("XMP 配置 {} ", n);
    t.enable(p + "enable", name + "启用", {{kHeader + xmp::kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
    t.add(p + "vdd", name + "VDD", Coding::Volts20, at(b, kVdd));
    const auto time = [&](const char* key, const char* label, const Field& f, const Field* high, const Field* fine) {
      const Field h = high != nullptr ? at(b, *high) : Field{};
      const Field fn = fine != nullptr ? at(b, *fine) : Field{};
      t.mtb(p + key, name + label, at(b, f), high != nullptr ? &h : nullptr, fine != nullptr ? &fn : nullptr, xmtb, xftb);
    };
    time("tck", "tCKmin", kTck, nullptr, &kTckFine);
    t.rate(p + "rate", name + "速率 (MT/s)", p + "tck");
    t.cl_list(p + "cl_list", name + "CAS 延迟", at(b, kCasLatencies), 4, 1, 15);
    time("taa", "tAAmin", kTaa, nullptr, &kTaaFine);
    time("trcd", "tRCDmin", kTrcd, nullptr, &kTrcdFine);
    time("trp", "tRPmin", kTrp, nullptr, &kTrpFine);
    time("tras", "tRASmin", kTras, &kTrasHigh, nullptr);
    time("trc", "tRCmin", kTrc, &kTrcHigh, &kTrcFine);
    time("twr", "tWRmin", kTwr, nullptr, nullptr);
    time("trfc", "tRFCmin", kTrfc, nullptr, nullptr);
    time("trtp", "tRTPmin", kTrtp, nullptr, nullptr);
    time("trrd", "tRRDmin", kTrrd, nullptr, nullptr);
    time("tfaw", "tFAWmin", kTfaw, &kTfawHigh, nullptr);
    time("twtr", "tWTRmin", kTwtr, nullptr, nullptr);
    time("tcwl", "tCWLmin", kTcwl, nullptr, nullptr);
  }
}

void ddr4_table(Table& t, Image s) {
  using namespace ddr4;
  // Timebases other than 125 ps and 1 ps are not defined; no time is settable then.
  const double mtb = get(s, kTimebases) == 0 ? 125 : 0;
  t.mtb("tck", "tCKAVGmin", kTck, nullptr, &kTckFine, mtb, 1);
  t.rate("rate", "速率 (MT/s)", "tck");
  t.mtb("tck_max", "tCKAVGmax", kTckMax, nullptr, &kTckMaxFine, mtb, 1);
  t.cl_list("cl_list", "CAS 延迟", kCasLatencies, 7, 1, 30);
  t.mtb("taa", "tAAmin", kTaa, nullptr, &kTaaFine, mtb, 1);
  t.mtb("trcd", "tRCDmin", kTrcd, nullptr, &kTrcdFine, mtb, 1);
  t.mtb("trp", "tRPmin", kTrp, nullptr, &kTrpFine, mtb, 1);
  t.mtb("tras", "tRASmin", kTras, &kTrasHigh, nullptr, mtb, 1);
  t.mtb("trc", "tRCmin", kTrc, &kTrcHigh, &kTrcFine, mtb, 1);
  t.mtb("trfc1", "tRFC1min", kTrfc1, nullptr, nullptr, mtb, 1);
  t.mtb("trfc2", "tRFC2min", kTrfc2, nullptr, nullptr, mtb, 1);
  t.mtb("trfc4", "tRFC4min", kTrfc4, nullptr, nullptr, mtb, 1);
  t.mtb("tfaw", "tFAWmin", kTfaw, &kTfawHigh, nullptr, mtb, 1);
  t.mtb("trrd_s", "tRRD_Smin", kTrrdS, nullptr, &kTrrdSFine, mtb, 1);
  t.mtb("trrd_l", "tRRD_Lmin", kTrrdL, nullptr, &kTrrdLFine, mtb, 1);
  t.mtb("tccd_l", "tCCD_Lmin", kTccdL, nullptr, &kTccdLFine, mtb, 1);
  t.mtb("twr", "tWRmin", kTwr, &kTwrHigh, nullptr, mtb, 1);
  t.mtb("twtr_s", "tWTR_Smin", kTwtrS, &kTwtrSHigh, nullptr, mtb, 1);
  t.mtb("twtr_l", "tWTR_Lmin", kTwtrL, &kTwtrLHigh, nullptr, mtb, 1);
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevision, kDramMaker);
}

void ddr4_xmp(Table& t, Image s) {
  using namespace xmp::ddr4;
  if (s[kHeader] != xmp::kSignature0 || s[kHeader + 1] != xmp::kSignature1) return;
  for (unsigned n = 1; n <= 2; ++n) {
    const std::size_t b = kProfile + kProfileSize * (n - 1);
    const double xmtb = s[kHeader + 4 + (n - 1)] == 0 ? 125 : 0;  // the profile's timebase byte, as JEDEC byte 17
    const std::string p = fmt::format("xmp{}.", n);
    const std::string name = fmt::format("XMP 配置 {} ", n);
    t.enable(p + "enable", name + "启用", {{kHeader + xmp::kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
    t.add(p + "vdd", name + "VDD", Coding::Volts100, at(b, kVdd));
    const auto time = [&](const char* key, const char* label, const Field& f, const Field* high, const Field* fine) {
      const Field h = high != nullptr ? at(b, *high) : Field{};
      const Field fn = fine != nullptr ? at(b, *fine) : Field{};
      t.mtb(p + key, name + label, at(b, f), high != nullptr ? &h : nullptr, fine != nullptr ? &fn : nullptr, xmtb, 1);
    };
    time("tck", "tCKAVGmin", kTck, nullptr, &kTckFine);
    t.rate(p + "rate", name + "速率 (MT/s)", p + "tck");
    t.cl_list(p + "cl_list", name + "CAS 延迟", at(b, kCasLatencies), 7, 1, 30);
    time("taa", "tAAmin", kTaa, nullptr, &kTaaFine);
    time("trcd", "tRCDmin", kTrcd, nullptr, &kTrcdFine);
    time("trp", "tRPmin", kTrp, nullptr, &kTrpFine);
    time("tras", "tRASmin", kTras, &kTrasHigh, nullptr);
    time("trc", "tRCmin", kTrc, &kTrcHigh, &kTrcFine);
    time("trfc1", "tRFC1min", kTrfc1, nullptr, nullptr);
    time("trfc2", "tRFC2min", kTrfc2, nullptr, nullptr);
    time("trfc4", "tRFC4min", kTrfc4, nullptr, nullptr);
    time("tfaw", "tFAWmin", kTfaw, &kTfawHigh, nullptr);
    time("trrd_s", "tRRD_Smin", kTrrdS, nullptr, &kTrrdSFine);
    time("trrd_l", "tRRD_Lmin", kTrrdL, nullptr, &kTrrdLFine);
  }
}

// A DDR5 time of the layout: ps (or ns) in two bytes, and a lower limit in clocks in a third.
void ddr5_time(Table& t, const std::string& prefix, const std::string& name, const Field& f) {
  const Field value{f.offset, 2, 0, f.unit, f.key, f.name};
  t.add(prefix + std::string(f.key), name + std::string(f.name), f.unit == Unit::Ns ? Coding::Ns16 : Coding::Ps16, value);
  if (f.length == 3) t.count(prefix + std::string(f.key) + "_nck", name + std::string(f.name) + " 下限 (nCK)", Field{f.offset + 2, 1, 0, Unit::Nck, {}, {}}, 255);
}

void ddr5_table(Table& t, Image s) {
  using namespace ddr5;
  t.add("tck", "tCKAVGmin", Coding::Ps16, kTck);
  t.rate("rate", "速率 (MT/s)", "tck");
  t.add("tck_max", "tCKAVGmax", Coding::Ps16, kTckMax);
  t.cl_list("cl_list", "CAS 延迟", kCasLatencies, 20, 2, 40);
  for (const Field& f : {kTaa, kTrcd, kTrp, kTras, kTrc, kTwr, kTrfc1, kTrfc2, kTrfcsb, kTrfc1Dlr, kTrfc2Dlr, kTrfcsbDlr, kTrrdL,
                         kTccdL, kTccdLWr, kTccdLWr2, kTfaw, kTccdLWtr, kTccdSWtr, kTrtp, kTccdM, kTccdMWr, kTccdMWtr}) {
    ddr5_time(t, "", "", f);
  }
  if (s.size() < spd_size(DeviceType::DDR5)) return;  // the first half alone: no maker data, no profiles
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevisionCode, kDramMaker);
  const bool expo = model::has_expo(s);
  if (model::has_xmp3(s)) {
    using namespace xmp::ddr5;
    const auto sums = model::checksums(s, DeviceType::DDR5);
    for (unsigned n = 1; n <= 5; ++n) {
      if (expo && (n == 3 || n == 4)) continue;  // EXPO's bytes
      const std::string crc = fmt::format("XMP 配置 {} CRC", n);
      const bool identified = std::any_of(sums.begin(), sums.end(), [&](const model::Checksum& c) { return c.name == crc; });
      if (n > 3 && !identified) continue;  // a user profile is one only where its checksum holds
      const std::size_t b = kXmp3Profile + kXmp3Size * (n - 1);
      const std::string p = fmt::format("xmp{}.", n);
      const std::string name = fmt::format("XMP 配置 {} ", n);
      if (n <= 3) {
        t.enable(p + "enable", name + "启用", {{kXmp3Header + kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
        t.text(p + "name", name + "名称", Field{kXmp3Header + kNames + kNameSize * (n - 1), kNameSize, 0, Unit::Text, {}, {}});
      }
      for (const Field& v : kVoltages) t.add(p + std::string(v.key), name + std::string(v.name), Coding::Volts20, at(b, v));
      t.add(p + "tck", name + "tCKAVGmin", Coding::Ps16, at(b, xmp::ddr5::kTck));
      t.rate(p + "rate", name + "速率 (MT/s)", p + "tck");
      t.cl_list(p + "cl_list", name + "CAS 延迟", at(b, xmp::ddr5::kCasLatencies), 20, 2, 40);
      for (const Field& f : xmp::ddr5::kTimes) ddr5_time(t, p, name, at(b, f));
      t.count(p + "command_rate", name + "命令速率 (1-3 = 1N-3N)", at(b, kCommandRate), 3);
    }
  }
  if (expo) {
    for (unsigned n = 1; n <= 2; ++n) {
      const std::size_t b = expo::kExpo + expo::kProfile + expo::kProfileSize * (n - 1);
      const std::string p = fmt::format("expo{}.", n);
      const std::string name = fmt::format("EXPO 配置 {} ", n);
      // Real modules set bits 0 and 1 (profile 1) or 4 and 5 (profile 2) of 0x345, and bit 0 or 4
      // of 0x346; a write sets or clears them all, a read looks at bit 0 or 4 of 0x345.
      const auto shift = static_cast<unsigned>(4 * (n - 1));
      t.enable(p + "enable", name + "启用",
               {{expo::kExpo + expo::kEnabled, static_cast<std::uint8_t>(0x03u << shift)},
                {expo::kExpo + expo::kEnabled + 1, static_cast<std::uint8_t>(0x01u << shift)}});
      for (const Field& v : expo::kVoltages) t.add(p + std::string(v.key), name + std::string(v.name), Coding::Volts20, at(b, v));
      t.add(p + "tck", name + "tCKAVGmin", Coding::Ps16, at(b, expo::kTck));
      t.rate(p + "rate", name + "速率 (MT/s)", p + "tck");
      for (const Field& f : expo::kTimes) ddr5_time(t, p, name, at(b, f));
    }
  }
}

// ---- values ---------------------------------------------------------------------------------

// Two times this close are the same: what a decimal text of a stored time reads back as.
constexpr double kSamePs = 1e-3;

bool bcd(std::uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; }

double mtb_ps(Image s, const Settable& f) {
  std::uint64_t coarse = get64(s, f.field);
  if (f.field.mask != 0) coarse = (coarse & f.field.mask) >> std::countr_zero(f.field.mask);
  if (f.high) coarse |= std::uint64_t{get(s, *f.high)} << 8;
  const int fine = f.fine ? get_signed(s, *f.fine) : 0;
  return static_cast<double>(coarse) * f.mtb_ps + fine * f.ftb_ps;
}

unsigned coarse_bits(const Settable& f) { return bits_of(f.field) + (f.high ? bits_of(*f.high) : 0); }

// The nearest value a time field can hold: the coarse count rounded up and a negative fine
// correction (JEDEC's convention), or the nearest coarse count where there is no fine byte.
struct Coded {
  std::uint64_t coarse = 0;
  int fine = 0;
  double ps = 0;
};
std::optional<Coded> code_mtb(const Settable& f, double ps) {
  Coded c;
  if (f.fine) {
    c.coarse = static_cast<std::uint64_t>(std::ceil(ps / f.mtb_ps - 1e-9));
    c.fine = static_cast<int>(std::lround((ps - static_cast<double>(c.coarse) * f.mtb_ps) / f.ftb_ps));
    if (c.fine < -128) c.fine = -128;
  } else {
    c.coarse = static_cast<std::uint64_t>(std::llround(ps / f.mtb_ps));
  }
  if (c.coarse >= (1ull << coarse_bits(f))) return std::nullopt;
  c.ps = static_cast<double>(c.coarse) * f.mtb_ps + c.fine * f.ftb_ps;
  return c;
}

void store_mtb(Bytes& s, const Settable& f, const Coded& c) {
  put(s, f.field, c.coarse & ((1ull << bits_of(f.field)) - 1));
  if (f.high) put(s, *f.high, c.coarse >> bits_of(f.field));
  if (f.fine) put(s, *f.fine, static_cast<std::uint8_t>(static_cast<std::int8_t>(c.fine)));
}

double largest_mtb(const Settable& f) {
  return static_cast<double>((1ull << coarse_bits(f)) - 1) * f.mtb_ps + (f.fine ? 127 * f.ftb_ps : 0);
}

std::vector<unsigned> cl_values(Image s, const Settable& f) {
  const std::uint64_t bits = get64(s, f.field);
  unsigned first = f.cl_first;
  if (f.generation == DeviceType::DDR4 && f.cl_first == 7 && (bits >> 31 & 1u) != 0) first = 23;  // the high range
  std::vector<unsigned> out;
  for (unsigned i = 0; i < f.cl_bits; ++i) {
    if ((bits >> i & 1u) != 0) out.push_back(first + f.cl_step * i);
  }
  return out;
}

double volts20(unsigned b) { return ((b >> 5) & 0x03) + (b & 0x1F) * 0.05; }
double volts100(unsigned b) { return (b >> 7) + (b & 0x7F) / 100.0; }

std::optional<double> number(std::string_view text, std::string_view unit) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!unit.empty() && text.size() > unit.size()) {
    const auto tail = text.substr(text.size() - unit.size());
    if (std::equal(tail.begin(), tail.end(), unit.begin(), unit.end(), [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
      text.remove_suffix(unit.size());
    }
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::uint64_t> hex_number(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string ps_value(const Settable& f, double ps) { return f.coding == Coding::Ns16 ? fmt::format("{}", ps / 1000) : ns_text(ps); }

std::unexpected<std::string> refuse(const Settable& f, std::string_view value, std::string_view why) {
  return std::unexpected(fmt::format("{}（{}）不能设为“{}”：{}", f.key, f.name, value, why));
}

// The new value coded into `s`; the refusal when it is out of range or cannot be stored exactly.
std::expected<void, std::string> code_value(Bytes& s, const Settable& f, std::string_view value) {
  switch (f.coding) {
    case Coding::Ps16:
    case Coding::Ns16: {
      const bool ns = f.coding == Coding::Ns16;
      const auto v = number(value, "ns");
      if (!v || *v < 0) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double stored = ns ? std::round(*v) : std::round(*v * 1000);
      if (stored > 65535) return refuse(f, value, fmt::format("超出范围（{}）", range_of(f)));
      if (std::abs(stored - (ns ? *v : *v * 1000)) > (ns ? 1e-9 : 1e-6)) {
        return refuse(f, value, fmt::format("无法精确存储（单位 {}）；最接近的可存值为 {}", ns ? "1 ns" : "1 ps",
                                             ps_value(f, ns ? stored * 1000 : stored)));
      }
      put(s, f.field, static_cast<std::uint64_t>(stored));
      return {};
    }
    case Coding::Count: {
      const auto v = number(value, "");
      if (!v || *v < 0 || *v > f.max || *v != std::floor(*v)) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      put(s, f.field, static_cast<std::uint64_t>(*v));
      return {};
    }
    case Coding::Mtb: {
      const auto v = number(value, "ns");
      if (!v || *v < 0) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double ps = *v * 1000;
      const auto c = code_mtb(f, ps);
      if (!c) return refuse(f, value, fmt::format("超出范围（{}）", range_of(f)));
      if (std::abs(c->ps - ps) >= kSamePs) {
        return refuse(f, value, fmt::format("无法精确存储（单位 {} ns{}）；最接近的可存值为 {} ns", ns_text(f.mtb_ps),
                                             f.fine ? fmt::format("，微调 {} ps", f.ftb_ps) : std::string(), ns_text(c->ps)));
      }
      store_mtb(s, f, *c);
      return {};
    }
    case Coding::Rate: {
      const auto v = number(value, "");
      if (!v || *v < 100 || *v > 20000 || *v != std::floor(*v)) return refuse(f, value, "应为以 MT/s 计的速率，如 2400");
      const unsigned cycle = cycle_of_rate(static_cast<unsigned>(*v), f.generation);
      Settable t = f;
      t.coding = f.mtb_ps > 0 ? Coding::Mtb : Coding::Ps16;  // as its cycle time is coded
      if (auto r = code_value(s, t, ns_text(cycle)); !r) return refuse(f, value, fmt::format("其周期 {} ns {}", ns_text(cycle), r.error()));
      return {};
    }
    case Coding::Volts20:
    case Coding::Volts100: {
      const auto v = number(value, "v");
      const bool twenty = f.coding == Coding::Volts20;
      if (!v || *v < 0 || *v > (twenty ? 3.55 : 1.99) + 1e-9) return refuse(f, value, fmt::format("应为 {}", range_of(f)));
      const double step = twenty ? 0.05 : 0.01;
      const double units = std::round((*v - std::floor(*v + 1e-9)) / step);
      const double whole = std::floor(*v + 1e-9);
      const double stored = whole + units * step;
      if (std::abs(stored - *v) > 1e-6 || (!twenty && whole > 1)) {
        return refuse(f, value, fmt::format("无法精确存储（步长 {:.2f} V）；最接近的可存值为 {:.2f}", step, stored));
      }
      const auto code = twenty ? (static_cast<unsigned>(whole) << 5) | static_cast<unsigned>(units)
                               : (static_cast<unsigned>(whole) << 7) | static_cast<unsigned>(units);
      put(s, f.field, (get(s, f.field) & (twenty ? 0x80u : 0u)) | code);  // XMP 3.0 keeps bit 7 reserved
      return {};
    }
    case Coding::Text: {
      if (value.size() > f.max) return refuse(f, value, fmt::format("最多 {} 个字符", f.max));
      if (!std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) {
        return refuse(f, value, "只能用可打印的 ASCII 字符");
      }
      for (std::size_t i = 0; i < f.field.length; ++i) s[f.field.offset + i] = i < value.size() ? static_cast<std::uint8_t>(value[i]) : 0x20;
      return {};
    }
    case Coding::Serial: {
      const auto digits = value.starts_with("0x") || value.starts_with("0X") ? value.substr(2) : value;
      const auto v = hex_number(digits);
      if (!v || digits.size() != 2 * f.field.length) return refuse(f, value, fmt::format("应为 {} 位十六进制数", 2 * f.field.length));
      for (std::size_t i = 0; i < f.field.length; ++i) {
        s[f.field.offset + i] = static_cast<std::uint8_t>(*v >> (8 * (f.field.length - 1 - i)));  // as written, first byte first
      }
      return {};
    }
    case Coding::Date: {
      unsigned year = 0, week = 0;
      const bool form = value.size() == 7 && value[4] == '-' &&
                        std::from_chars(value.data(), value.data() + 4, year).ptr == value.data() + 4 &&
                        std::from_chars(value.data() + 5, value.data() + 7, week).ptr == value.data() + 7;
      if (!form || year < 2000 || year > 2099 || week < 1 || week > 53) return refuse(f, value, "应为 YYYY-WW，年份 2000-2099，周 01-53");
      s[f.field.offset] = static_cast<std::uint8_t>(((year % 100) / 10) << 4 | (year % 10));
      s[f.field.offset + 1] = static_cast<std::uint8_t>((week / 10) << 4 | (week % 10));
      return {};
    }
    case Coding::Maker: {
      std::optional<std::pair<unsigned, std::uint8_t>> id = maker_by_name(value);
      if (const auto colon = value.find(':'); !id && colon != std::string_view::npos) {
        unsigned bank = 0;
        const auto b = value.substr(0, colon);
        const auto code = hex_number(value.substr(colon + 1));
        if (std::from_chars(b.data(), b.data() + b.size(), bank).ptr == b.data() + b.size() && !b.empty() && code && bank >= 1 &&
            bank <= 128 && *code <= 0xFF) {
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
      const auto v = hex_number(value);
      if (!v || *v >= (1ull << (8 * f.field.length))) return refuse(f, value, fmt::format("应为 {} 字节的十六进制数", f.field.length));
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
        if (item.empty() || std::from_chars(item.data(), item.data() + item.size(), cl).ptr != item.data() + item.size()) {
          return refuse(f, value, "应为以逗号分隔的 CAS 延迟，如 6,7,8,9,10,11");
        }
        cls.push_back(cl);
        at = end + 1;
      }
      // DDR4 lists either CL 7-36, or with bit 31 set CL 23-52.
      const bool high = f.generation == DeviceType::DDR4 && f.cl_first == 7 && std::any_of(cls.begin(), cls.end(), [](unsigned c) { return c > 36; });
      const unsigned first = high ? 23 : f.cl_first;
      std::uint64_t bits = 0;
      for (const unsigned cl : cls) {
        if (cl < first || (cl - first) % f.cl_step != 0 || (cl - first) / f.cl_step >= f.cl_bits) {
          return refuse(f, value, fmt::format("CL{} 不能存储（{}）", cl, range_of(f)));
        }
        bits |= 1ull << ((cl - first) / f.cl_step);
      }
      const std::uint64_t used = (1ull << f.cl_bits) - 1;
      std::uint64_t all = (get64(s, f.field) & ~used) | bits;
      if (f.generation == DeviceType::DDR4 && f.cl_first == 7) all = (all & ~(1ull << 31)) | (high ? 1ull << 31 : 0);
      for (std::size_t i = 0; i < f.field.length; ++i) s[f.field.offset + i] = static_cast<std::uint8_t>(all >> (8 * i));
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

std::string ns_text(double ps) {
  if (std::abs(ps - std::round(ps)) < kSamePs) return fmt::format("{:.3f}", ps / 1000);
  // A time base that is no whole picosecond (DDR3 lets the image choose one): every digit it has.
  std::string t = fmt::format("{:.6f}", ps / 1000);
  while (t.back() == '0') t.pop_back();
  return t;
}

unsigned cycle_of_rate(unsigned rate, DeviceType g) {
  if (g == DeviceType::DDR5) return 2'000'000 / rate;
  const double grade = std::round(rate * 3.0 / 100) * 100 / 3;  // 1866 is 1866.67
  return static_cast<unsigned>(std::lround(2e6 / grade));
}

std::vector<Settable> settables(Image image, DeviceType g) {
  Table t{{}, g};
  switch (g) {
    case DeviceType::DDR3:
      ddr3_table(t, image);
      ddr3_xmp(t, image);
      break;
    case DeviceType::DDR4:
      ddr4_table(t, image);
      ddr4_xmp(t, image);
      break;
    case DeviceType::DDR5: ddr5_table(t, image); break;
  }
  return t.out;
}

const Settable* find_settable(const std::vector<Settable>& all, std::string_view key) {
  const auto it = std::find_if(all.begin(), all.end(), [&](const Settable& s) { return s.key == key; });
  return it != all.end() ? &*it : nullptr;
}

std::string read_value(Image s, const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16: return ns_text(get(s, f.field));
    case Coding::Ns16: return fmt::format("{}", get(s, f.field));
    case Coding::Count: return fmt::format("{}", get(s, f.field));
    case Coding::Mtb: return ns_text(mtb_ps(s, f));
    case Coding::Rate: {
      const double ps = f.mtb_ps > 0 ? mtb_ps(s, f) : get(s, f.field);
      return fmt::format("{}", data_rate(ps, f.generation));
    }
    case Coding::Volts20: return fmt::format("{:.2f}", volts20(get(s, f.field)));
    case Coding::Volts100: return fmt::format("{:.2f}", volts100(get(s, f.field)));
    case Coding::Text: {
      std::string t;
      for (std::size_t i = 0; i < f.field.length; ++i) {
        const auto c = s[f.field.offset + i];
        if (c < 0x20 || c >= 0x7F) break;
        t += static_cast<char>(c);
      }
      while (!t.empty() && t.back() == ' ') t.pop_back();
      return t;
    }
    case Coding::Serial:
    case Coding::Hex: {
      std::string t = f.coding == Coding::Hex ? "0x" : "";
      for (std::size_t i = 0; i < f.field.length; ++i) t += fmt::format("{:02X}", s[f.field.offset + i]);
      return t;
    }
    case Coding::Date: {
      const std::uint8_t y = s[f.field.offset], w = s[f.field.offset + 1];
      if ((y == 0 && w == 0) || (y == 0xFF && w == 0xFF)) return "未记录";
      if (bcd(y) && bcd(w) && w != 0) return fmt::format("20{:02X}-{:02X}", y, w);
      return fmt::format("无效 (0x{:02X}{:02X})", y, w);
    }
    case Coding::Maker: {
      const std::uint8_t bank = s[f.field.offset], code = s[f.field.offset + 1];
      if (!valid_parity(bank, code)) return fmt::format("无效 (0x{:02X} 0x{:02X})", bank, code);
      const unsigned b = (bank & 0x7Fu) + 1;
      const auto c = static_cast<std::uint8_t>(code & 0x7F);
      if (const auto name = maker_name(b, c); name && maker_by_name(*name) == std::pair(b, c)) return std::string(*name);
      return fmt::format("{}:0x{:02X}", b, code);  // the code as stored, with its parity bit
    }
    case Coding::ClList: {
      const auto cls = cl_values(s, f);
      return cls.empty() ? std::string("无") : fmt::format("{}", fmt::join(cls, ","));
    }
    case Coding::Enable: {
      const auto& [at, bits] = f.enable_bits.front();
      return (unsigned{s[at]} >> std::countr_zero(bits) & 1u) != 0 ? "1" : "0";  // the lowest bit says
    }
  }
  return {};
}

std::string unit_of(const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16:
    case Coding::Ns16:
    case Coding::Mtb: return "ns";
    case Coding::Rate: return "MT/s";
    case Coding::Volts20:
    case Coding::Volts100: return "V";
    case Coding::Count: return f.key.ends_with("_nck") ? "nCK" : "";
    case Coding::Text: return "文本";
    case Coding::Serial:
    case Coding::Hex: return "十六进制";
    case Coding::Date: return "YYYY-WW";
    case Coding::Maker: return "JEP106";
    case Coding::ClList: return "CL 列表";
    case Coding::Enable: return "0 | 1";
  }
  return {};
}

std::string range_of(const Settable& f) {
  switch (f.coding) {
    case Coding::Ps16: return "0.000-65.535 ns，步长 0.001 ns";
    case Coding::Ns16: return "0-65535 ns，整数";
    case Coding::Count: return fmt::format("0-{}", f.max);
    case Coding::Mtb:
      return fmt::format("0.000-{} ns，单位 {} ns{}", ns_text(largest_mtb(f)), ns_text(f.mtb_ps),
                         f.fine ? fmt::format("，微调 {} ps", f.ftb_ps) : std::string());
    case Coding::Rate: return "以 MT/s 计的速率，按本代的周期存储";
    case Coding::Volts20: return "0.00-3.55 V，步长 0.05 V";
    case Coding::Volts100: return "0.00-1.99 V，步长 0.01 V";
    case Coding::Text: return fmt::format("最多 {} 个可打印 ASCII 字符", f.max);
    case Coding::Serial: return fmt::format("{} 位十六进制数", 2 * f.field.length);
    case Coding::Date: return "YYYY-WW，2000-2099 年第 01-53 周";
    case Coding::Maker: return "JEP106 名称或 bank:code";
    case Coding::Hex: return fmt::format("{} 字节十六进制数", f.field.length);
    case Coding::ClList: {
      const unsigned last = f.cl_first + f.cl_step * (f.cl_bits - 1);
      if (f.generation == DeviceType::DDR4 && f.cl_first == 7) return "CL 7-36，或全部在 23-52 之间";
      return fmt::format("CL {}-{}{}，至少一个", f.cl_first, last, f.cl_step == 2 ? "（偶数）" : "");
    }
    case Coding::Enable: return "0（关闭）或 1（启用）";
  }
  return {};
}

std::expected<void, std::string> write_value(std::vector<std::uint8_t>& image, const Settable& f, std::string_view value) {
  Bytes candidate = image;
  if (auto coded = code_value(candidate, f, value); !coded) return coded;
  // A value that reads back as the field already does changes nothing, however it is coded.
  if (read_value(candidate, f) == read_value(image, f)) return {};
  image = std::move(candidate);
  return {};
}

}  // namespace dimmwand::spd
