// promote: a profile made the JEDEC base, after checking that the profile is intact and that a
// board without XMP or EXPO can give it the voltages it needs.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "spd/decode.hpp"
#include "spd/edit.hpp"
#include "spd/edit_support.hpp"
#include "spd/settable.hpp"
#include "text/nearest.hpp"

namespace dimmwand::spd {

using namespace edit_support;

namespace {

// The voltage a board gives a generation's modules without a profile, per rail: DDR3 VDD 1.5 V
// (JESD79-3), DDR4 VDD 1.2 V (JESD79-4), DDR5 VDD and VDDQ 1.1 V and VPP 1.8 V (JESD79-5, and
// the nominal levels of JESD400-5's bytes 16-18). 0 for a rail that is the board's own (the
// memory controller's).
double nominal_volts(DeviceType g, std::string_view rail) {
  if (rail == "vdd") return jedec_millivolts(g) / 1000.0;
  if (g == DeviceType::DDR5 && rail == "vddq") return 1.1;
  if (g == DeviceType::DDR5 && rail == "vpp") return 1.8;
  return 0;
}

// A rail above its nominal level: "VDDQ 需要 1.20 V，高于 DDR5 固定的 JEDEC 电压 1.1 V".
struct Rail {
  std::string text;
  double volts, nominal;
};
std::vector<Rail> rails_above(const Profile& p, DeviceType g) {
  std::vector<Rail> out;
  for (const auto& v : p.voltages) {
    const double nominal = nominal_volts(g, v.key);
    if (nominal <= 0 || v.volts <= nominal + 1e-6) continue;
    out.push_back({fmt::format("{} 需要 {:.2f} V，高于 DDR{} 固定的 JEDEC 电压 {:.1f} V", v.label, v.volts,
                               generation(g), nominal),
                   v.volts, nominal});
  }
  return out;
}

// A checksum over the profile's own bytes that does not hold: its timings may not be the ones
// its maker wrote, and promoting them would sign them with a valid base checksum.
std::optional<model::Checksum> broken_checksum(Image image, DeviceType g, const std::vector<Settable>& all,
                                               std::string_view prefix) {
  std::vector<std::size_t> bytes;
  for (const auto& f : all) {
    if (!f.key.starts_with(prefix)) continue;
    const auto at = offsets_of(f);
    bytes.insert(bytes.end(), at.begin(), at.end());
  }
  for (const auto& c : model::checksums(image, g)) {
    if (c.ok()) continue;
    if (std::any_of(bytes.begin(), bytes.end(), [&](std::size_t at) { return at >= c.from && at <= c.to; })) return c;
  }
  return std::nullopt;
}

// A time stored where the base has a coarser unit than the profile (DDR3 profiles with their own
// timebase): the next value the base can hold, never a shorter time.
std::string at_least(const Settable& f, double ps) {
  if (f.coding != Coding::Mtb) return ns_text(ps);
  const double unit = f.fine ? f.ftb_ps : f.mtb_ps;
  return ns_text(std::ceil(ps / unit - 1e-9) * unit);
}

}  // namespace

std::expected<Edited, std::string> edit_promote(Image image, DeviceType g, const std::string& typed,
                                                bool accept_voltage) {
  const Decode d = decode(image, g);
  const Profile* p = nullptr;
  std::vector<std::string> names;
  for (const auto& q : d.facts.profiles) {
    const std::string name = model::profile_id(q.kind, q.number);
    names.push_back(name);
    if (text::same_name(name, typed)) p = &q;
  }
  if (p == nullptr) {
    if (names.empty()) return std::unexpected(fmt::format("映像没有可用的 XMP 或 EXPO 配置，没有 {} 可提升", typed));
    return std::unexpected(
        fmt::format("映像没有可用的配置 {}{}可选: {}", typed, suggestion(typed, names), fmt::join(names, "、")));
  }
  const std::string profile = model::profile_id(p->kind, p->number);
  const auto all = settables(image, g);
  if (const auto c = broken_checksum(image, g, all, profile + ".")) {
    return std::unexpected(
        fmt::format("{} 不正确（存储 0x{:04X}，计算 0x{:04X}）：{} 的内容可能已损坏，提升它会把损坏的时序写进基本区；"
                    "先用 dimmwand-spd check 查明原因",
                    c->name, c->stored, c->computed, profile));
  }
  const auto above = rails_above(*p, g);
  if (!above.empty() && !accept_voltage) {
    std::vector<std::string> texts;
    for (const auto& r : above) texts.push_back(r.text);
    const bool one = above.size() == 1;
    return std::unexpected(
        fmt::format("{} 的 {}：没有 XMP/EXPO 的主板只给 {}，模块在提升后的速率下可能不稳定或无法启动。"
                    "确认主板会设定{}时加 --accept-voltage",
                    profile, fmt::join(texts, "；"), one ? fmt::format("{:.1f} V", above[0].nominal) : "JEDEC 电压",
                    one ? fmt::format(" {:.2f} V ", above[0].volts) : "这些电压"));
  }
  Bytes s(image.begin(), image.end());
  std::vector<std::string> notes;
  const auto put_time = [&](const std::string& key, double ps) -> std::expected<void, std::string> {
    const Settable* f = find_settable(all, key);
    if (f == nullptr || ps <= 0) return {};  // the base has no such time, or the profile leaves it to the base
    const std::string exact = ns_text(ps);
    if (write_value(s, *f, exact)) return {};
    // The cycle time to the nearest the base holds (as JEDEC stores 1.071 for 7.5/7 ns); every
    // other time up, never shorter than the profile's.
    const double unit = f->fine ? f->ftb_ps : f->mtb_ps > 0 ? f->mtb_ps : 1;
    const std::string stored = key == "tck" ? ns_text(std::round(ps / unit) * unit) : at_least(*f, ps);
    if (auto r = write_value(s, *f, stored); !r) return r;
    notes.push_back(fmt::format("{} {} ns 在基本区存为 {} ns（基本区的单位）", f->name, exact, stored));
    return {};
  };
  if (auto r = put_time("tck", p->tck_ps); !r) return std::unexpected(r.error());
  for (const auto& t : p->times) {
    if (auto r = put_time(std::string(t.key), t.ps); !r) return std::unexpected(r.error());
    if (t.min_nck != 0 && t.ps > 0) {
      if (auto r = assign(s, all, std::string(t.key) + "_nck", fmt::format("{}", t.min_nck), notes); !r)
        return std::unexpected(r.error());
    }
  }
  // The base's latencies stay for slower speeds; the profile's join them, with the one it runs at.
  std::set<unsigned> cls;
  for (const unsigned cl : cl_values(image, all, "cl_list")) cls.insert(cl);
  for (const unsigned cl : p->cas) cls.insert(cl);
  cls.insert(p->clocks.cl);
  if (auto r = assign(s, all, "cl_list", cl_text({cls.begin(), cls.end()}), notes); !r)
    return std::unexpected(r.error());
  if (!above.empty()) {
    std::vector<std::string> volts;
    for (const auto& v : p->voltages) {
      if (nominal_volts(g, v.key) > 0) volts.push_back(fmt::format("{:.2f} V", v.volts));
      if (nominal_volts(g, v.key) > 0 && p->voltages.size() > 1)
        volts.back() = fmt::format("{} {}", v.label, volts.back());
    }
    notes.push_back(fmt::format("{} 需要 {}（已用 --accept-voltage 确认）；基本区不存电压，主板须手动设定", profile,
                                fmt::join(volts, "、")));
  }
  return finish(image, g, std::move(s), std::move(notes));
}

}  // namespace dimmwand::spd
