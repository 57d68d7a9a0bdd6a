#include "spd/edit.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "spd/decode.hpp"
#include "spd/settable.hpp"
#include "spd/settable_bits.hpp"
#include "spd/strict.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::size_t> offsets_of(const Settable& s) {
  std::vector<std::size_t> out;
  const auto add = [&](const Field& f) {
    for (std::size_t i = 0; i < f.length; ++i) out.push_back(f.offset + i);
  };
  add(s.field);
  if (s.high) add(*s.high);
  if (s.fine) add(*s.fine);
  for (const auto& [at, bits] : s.enable_bits) out.push_back(at);
  return out;
}

bool covers(const model::Checksum& c, std::size_t at) { return at >= c.from && at <= c.to; }

// What the edit changed, its checksums recomputed, its result judged; or the refusal when a
// checksum over the changed bytes was wrong before the edit (the edit would hide it).
std::expected<Edited, std::string> finish(Image before, DeviceType g, Bytes after, std::vector<std::string> notes) {
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i] != before[i]) changed.push_back(i);
  }
  const auto old_sums = model::checksums(before, g);
  for (const auto& c : old_sums) {
    if (c.ok() || std::none_of(changed.begin(), changed.end(), [&](std::size_t at) { return covers(c, at); })) continue;
    return std::unexpected(fmt::format("修改前 {} 就不正确（存储 0x{:04X}，计算 0x{:04X}），重算会掩盖它；先用 dimmwand-spd check "
                                       "查明原因，确认后用 dimmwand-spd fix 修正",
                                       c.name, c.stored, c.computed));
  }
  Edited e;
  // Recompute the checksums over changed bytes, and those of blocks the edit brought in (a
  // profile it enabled); leave every other checksum as it is.
  for (const auto& c : model::checksums(after, g)) {
    const bool touched = std::any_of(changed.begin(), changed.end(), [&](std::size_t at) { return covers(c, at); });
    const bool new_block = std::none_of(old_sums.begin(), old_sums.end(), [&](const model::Checksum& o) { return o.name == c.name; });
    if (c.ok() || (!touched && !new_block)) continue;
    after[c.at] = static_cast<std::uint8_t>(c.computed & 0xFF);
    after[c.at + 1] = static_cast<std::uint8_t>(c.computed >> 8);
    e.checksums.push_back(c);
  }
  for (const auto& s : settables(before, g)) {
    if (s.coding == Coding::Rate) continue;  // its cycle time says it
    std::vector<std::size_t> bytes;
    for (const std::size_t at : offsets_of(s)) {
      if (after[at] != before[at] && std::find(bytes.begin(), bytes.end(), at) == bytes.end()) bytes.push_back(at);
    }
    // A field that shares a byte with the one set (an enable bit beside another) but kept its
    // value is not a change.
    if (bytes.empty() || read_value(before, s) == read_value(after, s)) continue;
    std::sort(bytes.begin(), bytes.end());
    e.fields.push_back({s.key, s.name, read_value(before, s), read_value(after, s), bytes});
  }
  e.warnings = strict_warnings(after, g);
  e.notes = std::move(notes);
  e.image = std::move(after);
  return e;
}

std::expected<void, std::string> assign(Bytes& s, const std::vector<Settable>& all, std::string_view key, std::string_view value) {
  const Settable* f = find_settable(all, key);
  if (f == nullptr) {
    return std::unexpected(fmt::format("此映像没有可设置的字段“{}”；dimmwand-spd fields 列出全部字段", key));
  }
  return write_value(s, *f, value);
}

std::string cl_text(const std::vector<unsigned>& cls) { return fmt::format("{}", fmt::join(cls, ",")); }

std::vector<unsigned> cl_values(Image s, const std::vector<Settable>& all, std::string_view key) {
  const Settable* f = find_settable(all, key);
  return f != nullptr ? settable_bits::cl_values(s, *f) : std::vector<unsigned>{};
}

// The JEDEC voltage every board gives the generation's modules.
double fixed_volts(DeviceType g) { return jedec_millivolts(g) / 1000.0; }

// A time stored where the base has a coarser unit than the profile (DDR3 profiles with their own
// timebase): the next value the base can hold, never a shorter time.
std::string at_least(const Settable& f, double ps) {
  if (f.coding != Coding::Mtb) return ns_text(ps);
  const double unit = f.fine ? f.ftb_ps : f.mtb_ps;
  return ns_text(std::ceil(ps / unit - 1e-9) * unit);
}

}  // namespace

std::expected<Edited, std::string> edit_set(Image image, DeviceType g, const std::vector<std::string>& assignments) {
  Bytes s(image.begin(), image.end());
  const auto all = settables(image, g);
  for (const auto& a : assignments) {
    const auto eq = a.find('=');
    if (eq == std::string::npos || eq == 0) return std::unexpected(fmt::format("“{}”应写成 字段=值", a));
    if (auto r = assign(s, all, std::string_view(a).substr(0, eq), std::string_view(a).substr(eq + 1)); !r) {
      return std::unexpected(r.error());
    }
  }
  return finish(image, g, std::move(s), {});
}

std::expected<Edited, std::string> edit_rebin(Image image, DeviceType g, unsigned speed) {
  const auto bins = speed_bins(g);
  const auto bin = std::find_if(bins.begin(), bins.end(), [&](const SpeedBin& b) { return b.rate == speed; });
  if (bin == bins.end()) {
    std::vector<unsigned> rates;
    for (const auto& b : bins) rates.push_back(b.rate);
    return std::unexpected(fmt::format("{} 不是 DDR{} 的 JEDEC 速率；可选: {}", speed, generation(g), fmt::join(rates, "、")));
  }
  const Decode d = decode(image, g);
  if (d.facts.data_rate == 0) return std::unexpected("映像没有时钟周期 (tCKmin)，无从降速");
  if (speed > d.facts.data_rate) {
    return std::unexpected(fmt::format("DDR{}-{} 高于模块的额定速率 DDR{}-{}：颗粒从未在该速率下测试过，不能升速", generation(g), speed,
                                       generation(g), d.facts.data_rate));
  }
  Bytes s(image.begin(), image.end());
  const auto all = settables(image, g);
  if (auto r = assign(s, all, "tck", ns_text(bin->tck_ps)); !r) return std::unexpected(r.error());
  // The latencies above the highest any bin runs at this speed go; the rest stay for the speeds
  // below it. The one tAA needs here must remain.
  const auto cas = cl_values(image, all, "cl_list");
  std::vector<unsigned> kept;
  std::copy_if(cas.begin(), cas.end(), std::back_inserter(kept), [&](unsigned cl) { return cl <= bin->max_cl; });
  const unsigned needed = cas_latency(static_cast<unsigned>(std::lround(d.facts.taa_ps)), bin->tck_ps, g);
  if (kept.empty() || kept.back() < needed || needed > bin->max_cl) {
    return std::unexpected(fmt::format("tAA {} ns 在 DDR{}-{} 需要 CL{}，高于该速率 JEDEC 分档的最高 CL{}，或模块不支持", ns_text(d.facts.taa_ps),
                                       generation(g), speed, needed, bin->max_cl));
  }
  std::vector<std::string> notes;
  if (kept.size() != cas.size()) {
    std::vector<unsigned> gone;
    std::copy_if(cas.begin(), cas.end(), std::back_inserter(gone), [&](unsigned cl) { return cl > bin->max_cl; });
    notes.push_back(fmt::format("去掉了 DDR{}-{} 分档之外的 CAS 延迟 {}（最高 CL{}）", generation(g), speed, cl_text(gone), bin->max_cl));
    if (auto r = assign(s, all, "cl_list", cl_text(kept)); !r) return std::unexpected(r.error());
  }
  return finish(image, g, std::move(s), std::move(notes));
}

std::expected<Edited, std::string> edit_promote(Image image, DeviceType g, const std::string& profile, bool accept_voltage) {
  const Decode d = decode(image, g);
  const Profile* p = nullptr;
  std::vector<std::string> names;
  for (const auto& q : d.facts.profiles) {
    const std::string name = fmt::format("{}{}", q.kind == "XMP" ? "xmp" : "expo", q.number);
    names.push_back(name);
    if (name == profile) p = &q;
  }
  if (p == nullptr) {
    return std::unexpected(names.empty() ? fmt::format("映像没有可用的 XMP 或 EXPO 配置，没有 {} 可提升", profile)
                                         : fmt::format("映像没有可用的配置 {}；可选: {}", profile, fmt::join(names, "、")));
  }
  if (p->volts > fixed_volts(g) + 1e-6 && !accept_voltage) {
    return std::unexpected(fmt::format("{} 需要 {:.2f} V，高于 DDR{} 固定的 JEDEC 电压 {:.1f} V：没有 XMP/EXPO 的主板只给 {:.1f} V，"
                                       "模块在提升后的速率下可能不稳定或无法启动。确认主板会设定 {:.2f} V 时加 --accept-voltage",
                                       profile, p->volts, generation(g), fixed_volts(g), fixed_volts(g), p->volts));
  }
  Bytes s(image.begin(), image.end());
  const auto all = settables(image, g);
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
      if (auto r = assign(s, all, std::string(t.key) + "_nck", fmt::format("{}", t.min_nck)); !r) return std::unexpected(r.error());
    }
  }
  // The base's latencies stay for slower speeds; the profile's join them, with the one it runs at.
  std::set<unsigned> cls;
  for (const unsigned cl : cl_values(image, all, "cl_list")) cls.insert(cl);
  for (const unsigned cl : p->cas) cls.insert(cl);
  cls.insert(p->clocks.cl);
  if (auto r = assign(s, all, "cl_list", cl_text({cls.begin(), cls.end()})); !r) return std::unexpected(r.error());
  if (p->volts > fixed_volts(g) + 1e-6) {
    notes.push_back(fmt::format("{} 需要 {:.2f} V（已用 --accept-voltage 确认）；基本区不存电压，主板须手动设定", profile, p->volts));
  }
  return finish(image, g, std::move(s), std::move(notes));
}

}  // namespace dimmwand::spd
