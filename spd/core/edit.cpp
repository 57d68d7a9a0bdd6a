#include "spd/edit.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "spd/decode.hpp"
#include "spd/edit_support.hpp"
#include "spd/settable.hpp"
#include "spd/settable_bits.hpp"
#include "spd/strict.hpp"
#include "spd/timing.hpp"
#include "text/nearest.hpp"

namespace dimmwand::spd {
namespace edit_support {

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

namespace {

bool covers(const model::Checksum& c, std::size_t at) { return at >= c.from && at <= c.to; }

}  // namespace

std::expected<Edited, std::string> finish(Image before, DeviceType g, Bytes after, std::vector<std::string> notes) {
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i] != before[i]) changed.push_back(i);
  }
  const auto old_sums = model::checksums(before, g);
  for (const auto& c : old_sums) {
    if (c.ok() || std::none_of(changed.begin(), changed.end(), [&](std::size_t at) { return covers(c, at); })) continue;
    return std::unexpected(
        fmt::format("修改前 {} 就不正确（存储 0x{:04X}，计算 0x{:04X}），重算会掩盖它；先用 dimmwand-spd check "
                    "查明原因，确认后用 dimmwand-spd fix 修正",
                    c.name, c.stored, c.computed));
  }
  Edited e;
  // Recompute the checksums over changed bytes, and those of blocks the edit brought in (a
  // profile it enabled); leave every other checksum as it is.
  for (const auto& c : model::checksums(after, g)) {
    const bool touched = std::any_of(changed.begin(), changed.end(), [&](std::size_t at) { return covers(c, at); });
    const bool new_block =
        std::none_of(old_sums.begin(), old_sums.end(), [&](const model::Checksum& o) { return o.id == c.id; });
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

std::string suggestion(std::string_view typed, const std::vector<std::string>& known) {
  const auto near = text::nearest(typed, known);
  return near ? fmt::format("；你是说 {} 吗？", *near) : std::string("；");
}

std::string unknown_key(const std::vector<Settable>& all, std::string_view key) {
  std::vector<std::string> keys;
  for (const auto& k : all) keys.push_back(k.key);
  return fmt::format("此映像没有可设置的字段“{}”{}dimmwand-spd fields 列出全部字段", key, suggestion(key, keys));
}

std::expected<void, std::string> assign(Bytes& s, const std::vector<Settable>& all, std::string_view key,
                                        std::string_view value, std::vector<std::string>& notes) {
  const Settable* f = find_settable(all, key);
  if (f == nullptr) return std::unexpected(unknown_key(all, key));
  const Bytes before = s;
  if (auto r = write_value(s, *f, value); !r) return r;
  // A rate that already reads as given keeps its cycle, and there is nothing to say of it.
  if (s == before) return {};
  if (auto note = rate_note(s, *f, value)) notes.push_back(std::move(*note));
  return {};
}

std::string cl_text(const std::vector<unsigned>& cls) { return fmt::format("{}", fmt::join(cls, ",")); }

std::vector<unsigned> cl_values(Image s, const std::vector<Settable>& all, std::string_view key) {
  const Settable* f = find_settable(all, key);
  return f != nullptr ? latencies(s, *f) : std::vector<unsigned>{};
}

}  // namespace edit_support

using namespace edit_support;

namespace {

unsigned rate_of(Image s, const std::vector<Settable>& all) {
  const Settable* f = find_settable(all, "rate");
  return f != nullptr ? spd::rate_of(s, *f) : 0;
}

// Each bit a settable's value occupies, as byte and mask (an enable field: its enable bits alone).
std::vector<std::pair<std::size_t, unsigned>> bits_of(const Settable& f) {
  std::vector<std::pair<std::size_t, unsigned>> out;
  for (const auto& part : {f.coding == Coding::Enable ? std::nullopt : std::optional(f.field), f.high, f.fine}) {
    if (!part) continue;
    for (std::size_t at = part->offset; at < part->offset + part->length; ++at)
      out.emplace_back(at, bits_at(*part, at));
  }
  for (const auto& [at, bits] : f.enable_bits) out.emplace_back(at, bits);
  return out;
}

bool share_bits(const Settable& a, const Settable& b) {
  const auto bits = bits_of(b);
  return std::ranges::any_of(bits_of(a), [&](const auto& x) {
    return std::ranges::any_of(bits, [&](const auto& y) { return x.first == y.first && (x.second & y.second) != 0; });
  });
}

// One value given twice in one set (taa=14 TAA=15, or rate=2133 tck=0.750): which one is meant
// cannot be known, so neither is taken.
std::expected<void, std::string> each_value_once(const std::vector<std::string>& assignments,
                                                 const std::vector<const Settable*>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (!share_bits(*fields[i], *fields[j])) continue;
      const std::string what = fields[i] == fields[j]
                                   ? fmt::format("都设定 {}（{}）", fields[i]->key, fields[i]->name)
                                   : fmt::format("设定同一个值：{}（{}）与 {}（{}）存在同样的位里", fields[j]->key,
                                                 fields[j]->name, fields[i]->key, fields[i]->name);
      return std::unexpected(
          fmt::format("“{}”与“{}”{}；一次 set 里每个值只能给一次", assignments[j], assignments[i], what));
    }
  }
  return {};
}

// No cycle time of 0 in the base section: the module could not run at all.
std::expected<void, std::string> base_has_a_cycle(Image before, Image after, const std::vector<Settable>& all) {
  const Settable* tck = find_settable(all, "tck");
  if (tck == nullptr || !zero_time(after, *tck) || zero_time(before, *tck)) return {};
  return std::unexpected(fmt::format("{}（{}）不能设为 0：没有时钟周期，模块无法运行", tck->key, tck->name));
}

// A profile switched on must be one a board can run: it holds every value missing_values asks
// for. Refused when the edit switches on a profile that lacks one, or takes one from a profile
// that is on; a gap the image already had stays as it was.
std::expected<void, std::string> enabled_profiles_whole(Image before, Image after, const std::vector<Settable>& all) {
  for (const auto& f : all) {
    if (f.coding != Coding::Enable || !enabled(after, f)) continue;
    const std::string profile = f.key.substr(0, f.key.find('.'));
    if (find_settable(all, profile + ".tck") == nullptr && !enabled(before, f)) {
      return std::unexpected(fmt::format("{} 没有可读的时间基准，读不出任何时序：不能启用它", profile));
    }
    auto gaps = missing_values(after, all, profile);
    if (enabled(before, f)) {
      const auto had = missing_values(before, all, profile);
      std::erase_if(gaps, [&](const Settable* g) { return std::ranges::find(had, g) != had.end(); });
    }
    if (gaps.empty()) continue;
    std::vector<std::string> keys;
    for (const Settable* g : gaps) keys.push_back(g->key);
    return std::unexpected(fmt::format(
        "{} 缺少 {}（为 0 或为空）：启用的配置要有时钟周期、tAA、tRCD、tRP、tRAS、tRC、tRFC、CL 列表与电压，"
        "否则主板会提供一个无法运行的配置；在同一次 set 里设定它们，或关闭它（{}.enable=0）",
        profile, fmt::join(keys, "、"), profile));
  }
  return {};
}

}  // namespace

std::expected<Edited, std::string> edit_set(Image image, DeviceType g, const std::vector<std::string>& assignments,
                                            bool faster) {
  Bytes s(image.begin(), image.end());
  const auto all = settables(image, g);
  std::vector<const Settable*> fields;
  for (const auto& a : assignments) {
    const auto eq = a.find('=');
    if (eq == std::string::npos || eq == 0) return std::unexpected(fmt::format("“{}”应写成 字段=值", a));
    const Settable* f = find_settable(all, std::string_view(a).substr(0, eq));
    if (f == nullptr) return std::unexpected(unknown_key(all, std::string_view(a).substr(0, eq)));
    fields.push_back(f);
  }
  if (auto r = each_value_once(assignments, fields); !r) return std::unexpected(r.error());
  std::vector<std::string> notes;
  for (const auto& a : assignments) {
    const auto eq = a.find('=');
    if (auto r = assign(s, all, std::string_view(a).substr(0, eq), std::string_view(a).substr(eq + 1), notes); !r) {
      return std::unexpected(r.error());
    }
  }
  // The base rate is what the chips were tested at; the profiles are free to be faster.
  if (const unsigned was = rate_of(image, all), now = rate_of(s, all); !faster && was != 0 && now > was) {
    return std::unexpected(fmt::format(
        "DDR{}-{} 高于模块的额定速率 DDR{}-{}：颗粒从未在该速率下测试过，不能升速；确认要这样做时加 --force",
        generation(g), now, generation(g), was));
  }
  if (auto r = base_has_a_cycle(image, s, all); !r) return std::unexpected(r.error());
  if (auto r = enabled_profiles_whole(image, s, all); !r) return std::unexpected(r.error());
  return finish(image, g, std::move(s), std::move(notes));
}

std::expected<Edited, std::string> edit_rebin(Image image, DeviceType g, unsigned speed) {
  const auto bins = speed_bins(g);
  const auto bin = std::find_if(bins.begin(), bins.end(), [&](const SpeedBin& b) { return b.rate == speed; });
  if (bin == bins.end()) {
    std::vector<unsigned> rates;
    for (const auto& b : bins) rates.push_back(b.rate);
    return std::unexpected(
        fmt::format("{} 不是 DDR{} 的 JEDEC 速率；可选: {}", speed, generation(g), fmt::join(rates, "、")));
  }
  const Decode d = decode(image, g);
  if (d.facts.data_rate == 0) return std::unexpected("映像没有时钟周期 (tCKmin)，无从降速");
  if (speed > d.facts.data_rate) {
    return std::unexpected(fmt::format("DDR{}-{} 高于模块的额定速率 DDR{}-{}：颗粒从未在该速率下测试过，不能升速",
                                       generation(g), speed, generation(g), d.facts.data_rate));
  }
  Bytes s(image.begin(), image.end());
  const auto all = settables(image, g);
  std::vector<std::string> notes;
  if (auto r = assign(s, all, "rate", fmt::format("{}", speed), notes); !r) return std::unexpected(r.error());
  // The latencies above the highest any bin runs at this speed go; the rest stay for the speeds
  // below it. The one tAA needs here must remain.
  const auto cas = cl_values(image, all, "cl_list");
  std::vector<unsigned> kept;
  std::copy_if(cas.begin(), cas.end(), std::back_inserter(kept), [&](unsigned cl) { return cl <= bin->max_cl; });
  const unsigned needed = cas_latency(static_cast<unsigned>(std::lround(d.facts.taa_ps)), bin->tck_ps, g);
  if (kept.empty() || kept.back() < needed || needed > bin->max_cl) {
    return std::unexpected(
        fmt::format("tAA {} ns 在 DDR{}-{} 需要 CL{}，高于该速率 JEDEC 分档的最高 CL{}，或模块不支持",
                    ns_text(d.facts.taa_ps), generation(g), speed, needed, bin->max_cl));
  }
  if (kept.size() != cas.size()) {
    std::vector<unsigned> gone;
    std::copy_if(cas.begin(), cas.end(), std::back_inserter(gone), [&](unsigned cl) { return cl > bin->max_cl; });
    notes.push_back(fmt::format("去掉了 DDR{}-{} 分档之外的 CAS 延迟 {}（最高 CL{}）", generation(g), speed,
                                cl_text(gone), bin->max_cl));
    if (auto r = assign(s, all, "cl_list", cl_text(kept), notes); !r) return std::unexpected(r.error());
  }
  return finish(image, g, std::move(s), std::move(notes));
}

}  // namespace dimmwand::spd
