// dimmwand-spd kit: whether modules can run together, and at what common setting. They must
// agree in generation, module type, ECC and voltage; then the slowest module's cycle time is the
// common rate, and each timing is the worst of them, counted in clocks at that rate.
#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "spd/kit.hpp"

#include "spd/codec.hpp"
#include "spd/ddr3_layout.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/ddr5_layout.hpp"
#include "spd/decode.hpp"
#include "spd/image.hpp"
#include "spd/module_text.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

struct Member {
  Decode decoded;
  std::vector<unsigned> cas;         // the CAS latencies it supports, ascending
  std::vector<unsigned> millivolts;  // the supply voltages it runs at, highest first
};

// The CAS latencies of the image's base section.
std::vector<unsigned> cas_latencies(Image s, DeviceType g) {
  switch (g) {
    case DeviceType::DDR3:
      return spd::cas_latencies(s, ddr3::kCasLatencies, kCasDdr3);
    case DeviceType::DDR4:
      return spd::cas_latencies(s, ddr4::kCasLatencies, kCasDdr4);
    case DeviceType::DDR5:
      return spd::cas_latencies(s, ddr5::kCasLatencies, kCasDdr5);
  }
  return {};
}

// The supply voltages a module runs at. DDR3 byte 6: bit 0 set means not 1.5 V, bit 1 1.35 V,
// bit 2 1.25 V; DDR4 runs at 1.2 V; DDR5 at 1.1 V where byte 16 names the nominal level.
std::vector<unsigned> supply_millivolts(Image s, DeviceType g) {
  switch (g) {
    case DeviceType::DDR3: {
      const auto flags = get(s, ddr3::kVoltage);
      std::vector<unsigned> mv;
      if ((flags & 1u) == 0) mv.push_back(jedec_millivolts(g));
      if ((flags & 2u) != 0) mv.push_back(1350);
      if ((flags & 4u) != 0) mv.push_back(1250);
      return mv;
    }
    case DeviceType::DDR4:
      return {jedec_millivolts(g)};
    case DeviceType::DDR5:
      return get(s, ddr5::kVdd) >> 4 == 0 ? std::vector<unsigned>{jedec_millivolts(g)} : std::vector<unsigned>{};
  }
  return {};
}

std::string volts_text(const std::vector<unsigned>& mv) {
  if (mv.empty()) return "电压未知";
  std::vector<std::string> shown;
  for (const unsigned v : mv)
    shown.push_back(v % 100 == 0 ? fmt::format("{:.1f} V", v / 1000.0) : fmt::format("{:.2f} V", v / 1000.0));
  return fmt::format("{}", fmt::join(shown, " 或 "));
}

// "模块 1、3": the members of a group.
std::string members(const std::vector<std::size_t>& numbers) {
  std::vector<std::string> shown;
  for (const auto n : numbers) shown.push_back(std::to_string(n + 1));
  return fmt::format("模块 {}", fmt::join(shown, "、"));
}

// "CL 9,10,11（模块 1、3），CL 11（模块 2）": each value with the members that have it.
std::string groups_text(const std::vector<std::string>& values) {
  std::vector<std::pair<std::string, std::vector<std::size_t>>> groups;
  for (std::size_t i = 0; i < values.size(); ++i) {
    auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == values[i]; });
    if (it == groups.end())
      groups.push_back({values[i], {i}});
    else
      it->second.push_back(i);
  }
  std::vector<std::string> parts;
  for (const auto& [value, numbers] : groups) parts.push_back(fmt::format("{}（{}）", value, members(numbers)));
  return fmt::format("{}", fmt::join(parts, "，"));
}

// "代数不同: DDR4（模块 1、2），DDR5（模块 3）", or nothing when all agree.
std::optional<std::string> difference(std::string_view what, const std::vector<std::string>& values) {
  if (std::all_of(values.begin(), values.end(), [&](const std::string& v) { return v == values.front(); }))
    return std::nullopt;
  return fmt::format("{}{}不同: {}", what, static_cast<unsigned char>(what.back()) < 0x80 ? " " : "",
                     groups_text(values));
}

// The members whose value is the largest, and that value.
template <typename Value>
std::pair<double, std::vector<std::size_t>> worst(const std::vector<Member>& kit, Value value) {
  double most = 0;
  for (const auto& m : kit) most = std::max(most, value(m.decoded.facts));
  std::vector<std::size_t> who;
  for (std::size_t i = 0; i < kit.size(); ++i) {
    if (value(kit[i].decoded.facts) == most) who.push_back(i);
  }
  return {most, who};
}

// The lowest CAS latency every module supports that is not below `needed`, if there is one.
std::optional<unsigned> common_cl(const std::vector<Member>& kit, unsigned needed) {
  std::vector<unsigned> common = kit.front().cas;
  for (const auto& m : kit) {
    std::erase_if(common, [&](unsigned cl) { return std::find(m.cas.begin(), m.cas.end(), cl) == m.cas.end(); });
  }
  const auto it = std::lower_bound(common.begin(), common.end(), needed);
  return it != common.end() ? std::optional(*it) : std::nullopt;
}

}  // namespace

Result<DeviceType> kit_generation(const std::string& file, const std::vector<std::uint8_t>& image) {
  auto g = identify(image, std::nullopt);
  if (!g) return std::unexpected(DeviceError::other(fmt::format("{}: {}", file, g.error().display())));
  return *g;
}

Result<> kit_report(const std::vector<std::string>& files, const std::vector<std::vector<std::uint8_t>>& images,
                    std::string& text) {
  std::vector<Member> kit;
  for (std::size_t i = 0; i < files.size() && i < images.size(); ++i) {
    const auto g = kit_generation(files[i], images[i]);
    if (!g) return std::unexpected(g.error());
    const Image image = images[i];
    kit.push_back({decode(image, *g), cas_latencies(image, *g), supply_millivolts(image, *g)});
  }

  std::vector<std::string> generations, types, eccs, volts;
  for (std::size_t i = 0; i < kit.size(); ++i) {
    const Facts& f = kit[i].decoded.facts;
    generations.push_back(fmt::format("DDR{}", generation(f.generation)));
    types.push_back(f.module_type);
    eccs.push_back(f.ecc ? "ECC" : "无 ECC");
    volts.push_back(volts_text(kit[i].millivolts));
    text += fmt::format("模块 {}: {}: {} {}，{}，{}，{}，{}", i + 1, files[i], generations.back(), f.module_type,
                        capacity_text(f.capacity_mb), eccs.back(), volts.back(), rate_text(f));
    text += fmt::format("{}\n", f.data_rate == 0 ? "" : fmt::format(" (tCK {})", time_text(f.tck_ps)));
  }

  // Voltages agree when one level suits every module (DDR3L modules also run at 1.5 V).
  std::vector<unsigned> common_mv = kit.front().millivolts;
  for (const auto& m : kit) {
    std::erase_if(common_mv, [&](unsigned v) {
      return std::find(m.millivolts.begin(), m.millivolts.end(), v) == m.millivolts.end();
    });
  }
  // Another generation differs in its voltage too: said once, as the generation.
  const auto other_generation = difference("代数", generations);
  std::vector<std::string> differing;
  for (const auto& d : {other_generation, difference("模块类型", types), difference("ECC", eccs),
                        common_mv.empty() && !other_generation
                            ? std::optional(difference("电压", volts).value_or("电压不同: 没有共同的电压"))
                            : std::nullopt}) {
    if (!d) continue;
    text += fmt::format("{}\n", *d);
    differing.push_back(d->substr(0, d->find(':')));
  }
  if (!differing.empty()) {
    return std::unexpected(DeviceError::other(fmt::format("这些模块不能一起使用（{}）", fmt::join(differing, "、"))));
  }

  const Facts& first = kit.front().decoded.facts;
  const DeviceType g = first.generation;
  const auto refused_cl = [&]() -> std::optional<std::string> {
    for (const auto& m : kit) {
      if (m.decoded.facts.data_rate == 0) return std::nullopt;  // said below, after what agrees
    }
    const auto [tck, slowest] = worst(kit, [](const Facts& f) { return f.tck_ps; });
    const auto [taa, taa_from] = worst(kit, [](const Facts& f) { return f.taa_ps; });
    const unsigned needed =
        cas_latency(static_cast<unsigned>(std::lround(taa)), static_cast<unsigned>(std::lround(tck)), g);
    if (common_cl(kit, needed)) return std::nullopt;
    std::vector<std::string> lists;
    for (const auto& m : kit)
      lists.push_back(m.cas.empty() ? std::string("无") : fmt::format("CL {}", fmt::join(m.cas, ",")));
    return fmt::format("CAS 延迟不同: {}；共同速率 {} 下 tAA {} 需要 CL{} 或更高，没有所有模块都支持的",
                       groups_text(lists), rate_text(kit[slowest.front()].decoded.facts), time_text(taa), needed);
  }();
  if (refused_cl) {
    text += fmt::format("{}\n", *refused_cl);
    return std::unexpected(DeviceError::other("这些模块不能一起使用（CAS 延迟不同）"));
  }
  text += fmt::format("可以一起使用: DDR{} {}，{}，{}\n", generation(g), first.module_type, eccs.front(),
                      volts_text(common_mv));
  for (std::size_t i = 0; i < kit.size(); ++i) {
    if (kit[i].decoded.facts.data_rate == 0) {
      return std::unexpected(DeviceError::other(fmt::format("{} 没有时钟周期，算不出共同速率", files[i])));
    }
  }
  // The slowest module sets the clock; its rate is named as its own decode names it.
  const auto [tck, slowest] = worst(kit, [](const Facts& f) { return f.tck_ps; });
  const auto cycle = static_cast<unsigned>(std::lround(tck));
  text += fmt::format("共同速率: {} (tCK {}，取自{})\n", rate_text(kit[slowest.front()].decoded.facts), time_text(tck),
                      members(slowest));

  // CL: the lowest latency every module supports that covers the slowest tAA.
  const auto [taa, taa_from] = worst(kit, [](const Facts& f) { return f.taa_ps; });
  const unsigned cl = *common_cl(kit, cas_latency(static_cast<unsigned>(std::lround(taa)), cycle, g));
  text += fmt::format("CL: {} (tAA {}，取自{})\n", cl, time_text(taa), members(taa_from));

  struct Kind {
    const char* name;
    double Facts::* time;
  };
  std::vector<unsigned> counts{cl};
  for (const auto& k : {Kind{"tRCD", &Facts::trcd_ps}, Kind{"tRP", &Facts::trp_ps}, Kind{"tRAS", &Facts::tras_ps}}) {
    const auto [longest, from] = worst(kit, [&](const Facts& f) { return f.*k.time; });
    counts.push_back(clocks(static_cast<unsigned>(std::lround(longest)), cycle, g));
    text += fmt::format("{}: {} ({}，取自{})\n", k.name, counts.back(), time_text(longest), members(from));
  }
  text += fmt::format("时序: CL{}\n", fmt::join(counts, "-"));
  return {};
}

}  // namespace dimmwand::spd
