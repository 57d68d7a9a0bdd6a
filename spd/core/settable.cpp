// The table of settable fields of each generation, built from its layout tables and from the
// profiles this image has.
#include "spd/settable.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "spd/ddr3_layout.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/ddr5_layout.hpp"
#include "spd/profile_layout.hpp"
#include "text/nearest.hpp"

namespace dimmwand::spd {
namespace {

// The settable fields as they are added: each named as its layout field is, with the prefixes of
// the profile being added ("xmp1.", "XMP 配置 1 "), at the offset of the profile's start.
struct Table {
  std::vector<Settable> out;
  DeviceType g = DeviceType::DDR4;
  std::string prefix, label;      // the profile's key and name prefixes; empty for the base section
  std::size_t base = 0;           // where the offsets of the fields count from
  double mtb_ps = 0, ftb_ps = 0;  // the time bases of the times added next (DDR3, DDR4)

  // The timebases of the times added next; none (a reserved code, a divisor of 0): no time.
  void timebases(std::optional<Timebases> tb) {
    mtb_ps = tb ? tb->mtb_ps : 0;
    ftb_ps = tb ? tb->ftb_ps : 0;
  }

  void profile(model::ProfileKind kind, unsigned n, std::size_t start) {
    prefix = model::profile_id(kind, n) + ".";
    label = fmt::format("{} 配置 {} ", model::label_of(kind), n);
    base = start;
  }

  Settable& add(Coding c, const Field& f, std::string_view key = {}, std::string_view name = {}) {
    Settable s;
    s.key = prefix + std::string(key.empty() ? f.key : key);
    s.name = label + std::string(name.empty() ? f.name : name);
    s.coding = c;
    s.field = at(base, f);
    s.generation = g;
    out.push_back(std::move(s));
    return out.back();
  }
  // A DDR3 or DDR4 time: coarse units (with a high nibble) and a fine correction where given.
  void time(const Field& coarse, const Field* high = nullptr, const Field* fine = nullptr) {
    if (mtb_ps <= 0) return;  // no timebase: no time can be stored
    Settable& s = add(Coding::Mtb, coarse);
    if (high != nullptr) s.high = at(base, *high);
    if (fine != nullptr && ftb_ps > 0) s.fine = at(base, *fine);
    s.mtb_ps = mtb_ps;
    s.ftb_ps = ftb_ps;
  }
  // A profile's voltage, coded as its row says.
  void voltage(const Field& f) { add(f.unit == Unit::Volts100 ? Coding::Volts100 : Coding::Volts20, f); }
  // A DDR5 time: ps (or ns) in two bytes, and a lower limit in clocks in a third.
  void ps_time(const Field& f) {
    add(f.unit == Unit::Ns ? Coding::Ns16 : Coding::Ps16, time_part(f));
    if (f.length == 3)
      add(Coding::Count, nck_part(f), std::string(f.key) + "_nck", std::string(f.name) + " 下限 (nCK)").max = 255;
  }
  // The data rate, stored as the cycle time just added.
  void rate() {
    const auto it = std::find_if(out.begin(), out.end(), [&](const Settable& s) { return s.key == prefix + "tck"; });
    if (it == out.end()) return;
    Settable s = *it;
    s.key = prefix + "rate";
    s.name = label + "速率 (MT/s)";
    s.coding = Coding::Rate;
    s.cycle = s.field;
    out.push_back(std::move(s));
  }
  void cl_list(const Field& f, const CasMap& map) { add(Coding::ClList, f).cas = map; }
  // The times DDR3 and DDR4 store alike, in the base section and in each XMP profile, in the
  // order `fields` lists them: the cycle time and the rate it gives, DDR4's longest cycle time
  // (base section only), the CAS latencies, then tAA, tRCD, tRP, tRAS and tRC.
  struct ClassicTimes {
    const Field &tck, &tck_fine;
    const Field *tck_max, *tck_max_fine;
    const Field& cas;
    const CasMap& cas_map;
    const Field &taa, &taa_fine, &trcd, &trcd_fine, &trp, &trp_fine, &tras, &tras_high, &trc, &trc_high, &trc_fine;
  };
  void classic_times(const ClassicTimes& c) {
    time(c.tck, nullptr, &c.tck_fine);
    rate();
    if (c.tck_max != nullptr) time(*c.tck_max, nullptr, c.tck_max_fine);
    cl_list(c.cas, c.cas_map);
    time(c.taa, nullptr, &c.taa_fine);
    time(c.trcd, nullptr, &c.trcd_fine);
    time(c.trp, nullptr, &c.trp_fine);
    time(c.tras, &c.tras_high);
    time(c.trc, &c.trc_high, &c.trc_fine);
  }
  void enable(std::vector<std::pair<std::size_t, std::uint8_t>> bits) {
    add(Coding::Enable, Field{bits.front().first - base, 1, 0, Unit::Flags, {}, {}}, "enable", "启用").enable_bits =
        std::move(bits);
  }
  void maker_data(const Field& module_maker, const Field& date, const Field& serial, const Field& part,
                  const Field& revision, const Field& dram_maker) {
    add(Coding::Text, part).max = static_cast<unsigned>(part.length);
    add(Coding::Serial, serial);
    add(Coding::Date, date);
    add(Coding::Maker, module_maker);
    add(Coding::Maker, dram_maker);
    add(Coding::Hex, revision);
  }
};

void ddr3_table(Table& t, Image s) {
  using namespace ddr3;
  t.timebases(ddr3_timebases(s));
  t.classic_times({kTck, kTckFine, nullptr, nullptr, kCasLatencies, kCasDdr3, kTaa, kTaaFine, kTrcd, kTrcdFine, kTrp,
                   kTrpFine, kTras, kTrasHigh, kTrc, kTrcHigh, kTrcFine});
  for (const Field& f : {kTwr, kTrrd, kTrfc, kTwtr, kTrtp}) t.time(f);
  t.time(kTfaw, &kTfawHigh);
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevision, kDramMaker);
}

void ddr3_xmp(Table& t, Image s) {
  using namespace xmp::ddr3;
  if (s[kHeader] != xmp::kSignature0 || s[kHeader + 1] != xmp::kSignature1) return;
  t.ftb_ps = get(s, kFtbDivisor) != 0 ? static_cast<double>(get(s, kFtbDividend)) / get(s, kFtbDivisor) : 0;
  for (unsigned n = 1; n <= 2; ++n) {
    t.profile(model::ProfileKind::Xmp, n, kProfile + kProfileSize * (n - 1));
    const unsigned divisor = s[kTimebase + 1 + 2 * (n - 1)];
    t.mtb_ps = divisor != 0 ? 1000.0 * s[kTimebase + 2 * (n - 1)] / divisor : 0;
    t.enable({{kHeader + xmp::kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
    t.voltage(kVdd);
    t.classic_times({kTck, kTckFine, nullptr, nullptr, kCasLatencies, kCasDdr3, kTaa, kTaaFine, kTrcd, kTrcdFine, kTrp,
                     kTrpFine, kTras, kTrasHigh, kTrc, kTrcHigh, kTrcFine});
    for (const Field& f : {kTwr, kTrfc, kTrtp, kTrrd}) t.time(f);
    t.time(kTfaw, &kTfawHigh);
    t.time(kTwtr);
    t.time(kTcwl);
  }
}

void ddr4_table(Table& t, Image s) {
  using namespace ddr4;
  t.timebases(ddr4_timebases(s[kTimebases.offset]));
  t.classic_times({kTck, kTckFine, &kTckMax, &kTckMaxFine, kCasLatencies, kCasDdr4, kTaa, kTaaFine, kTrcd, kTrcdFine,
                   kTrp, kTrpFine, kTras, kTrasHigh, kTrc, kTrcHigh, kTrcFine});
  for (const Field& f : {kTrfc1, kTrfc2, kTrfc4}) t.time(f);
  t.time(kTfaw, &kTfawHigh);
  t.time(kTrrdS, nullptr, &kTrrdSFine);
  t.time(kTrrdL, nullptr, &kTrrdLFine);
  t.time(kTccdL, nullptr, &kTccdLFine);
  t.time(kTwr, &kTwrHigh);
  t.time(kTwtrS, &kTwtrSHigh);
  t.time(kTwtrL, &kTwtrLHigh);
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevision, kDramMaker);
}

void ddr4_xmp(Table& t, Image s) {
  using namespace xmp::ddr4;
  if (s[kHeader] != xmp::kSignature0 || s[kHeader + 1] != xmp::kSignature1) return;
  for (unsigned n = 1; n <= 2; ++n) {
    t.profile(model::ProfileKind::Xmp, n, kProfile + kProfileSize * (n - 1));
    t.timebases(ddr4_timebases(s[kTimebase + (n - 1)]));
    t.enable({{kHeader + xmp::kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
    t.voltage(kVdd);
    t.classic_times({kTck, kTckFine, nullptr, nullptr, kCasLatencies, kCasDdr4, kTaa, kTaaFine, kTrcd, kTrcdFine, kTrp,
                     kTrpFine, kTras, kTrasHigh, kTrc, kTrcHigh, kTrcFine});
    for (const Field& f : {kTrfc1, kTrfc2, kTrfc4}) t.time(f);
    t.time(kTfaw, &kTfawHigh);
    t.time(kTrrdS, nullptr, &kTrrdSFine);
    t.time(kTrrdL, nullptr, &kTrrdLFine);
  }
}

void ddr5_table(Table& t, Image s) {
  using namespace ddr5;
  t.add(Coding::Ps16, kTck);
  t.rate();
  t.add(Coding::Ps16, kTckMax);
  t.cl_list(kCasLatencies, kCasDdr5);
  for (const Field& f : {kTaa,    kTrcd,     kTrp,      kTras,      kTrc,   kTwr,     kTrfc1,   kTrfc2,
                         kTrfcsb, kTrfc1Dlr, kTrfc2Dlr, kTrfcsbDlr, kTrrdL, kTccdL,   kTccdLWr, kTccdLWr2,
                         kTfaw,   kTccdLWtr, kTccdSWtr, kTrtp,      kTccdM, kTccdMWr, kTccdMWtr}) {
    t.ps_time(f);
  }
  if (s.size() < spd_size(DeviceType::DDR5)) return;  // the first half alone: no maker data, no profiles
  t.maker_data(kModuleMaker, kDate, kSerial, kPart, kModuleRevisionCode, kDramMaker);
  const bool expo = model::has_expo(s);
  if (model::has_xmp3(s)) {
    using namespace xmp::ddr5;
    const auto sums = model::checksums(s, DeviceType::DDR5);
    for (unsigned n = 1; n <= model::kXmp3Profiles; ++n) {
      if (expo && model::under_expo(n)) continue;  // EXPO's bytes
      const model::Block& block = model::xmp3_profile(n);
      // a user profile is one only where its checksum holds
      if (n > 3 && model::find_checksum(sums, block.id) == nullptr) continue;
      t.profile(model::ProfileKind::Xmp, n, block.from);
      if (n <= 3) {
        t.enable({{kXmp3Header + kEnabled, static_cast<std::uint8_t>(1u << (n - 1))}});
        const std::size_t name = kXmp3Header + kNames + kNameSize * (n - 1);
        t.add(Coding::Text, Field{name - t.base, kNameSize, 0, Unit::Text, {}, {}}, "name", "名称").max = kNameSize;
      }
      for (const Field& v : kVoltages) t.voltage(v);
      t.add(Coding::Ps16, xmp::ddr5::kTck);
      t.rate();
      t.cl_list(xmp::ddr5::kCasLatencies, kCasDdr5);
      for (const Field& f : xmp::ddr5::kTimes) t.ps_time(f);
      t.add(Coding::Count, kCommandRate, {}, "命令速率 (1-3 = 1N-3N)").max = 3;
    }
  }
  if (expo) {
    for (unsigned n = 1; n <= 2; ++n) {
      t.profile(model::ProfileKind::Expo, n, expo::kExpo + expo::kProfile + expo::kProfileSize * (n - 1));
      // Real modules set bits 0 and 1 (profile 1) or 4 and 5 (profile 2) of 0x345, and bit 0 or 4
      // of 0x346; a write sets or clears them all, a read looks at bit 0 or 4 of 0x345.
      const auto shift = static_cast<unsigned>(4 * (n - 1));
      t.enable({{expo::kExpo + expo::kEnabled, static_cast<std::uint8_t>(0x03u << shift)},
                {expo::kExpo + expo::kEnabled + 1, static_cast<std::uint8_t>(0x01u << shift)}});
      for (const Field& v : expo::kVoltages) t.voltage(v);
      t.add(Coding::Ps16, expo::kTck);
      t.rate();
      for (const Field& f : expo::kTimes) t.ps_time(f);
    }
  }
}

}  // namespace

std::vector<Settable> settables(Image image, DeviceType g) {
  Table t;
  t.g = g;
  switch (g) {
    case DeviceType::DDR3:
      ddr3_table(t, image);
      ddr3_xmp(t, image);
      break;
    case DeviceType::DDR4:
      ddr4_table(t, image);
      ddr4_xmp(t, image);
      break;
    case DeviceType::DDR5:
      ddr5_table(t, image);
      break;
  }
  return t.out;
}

const Settable* find_settable(const std::vector<Settable>& all, std::string_view key) {
  const auto it = std::find_if(all.begin(), all.end(), [&](const Settable& s) { return text::same_name(s.key, key); });
  return it != all.end() ? &*it : nullptr;
}

}  // namespace dimmwand::spd
