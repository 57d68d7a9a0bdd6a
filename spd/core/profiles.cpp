#include "spd/profiles.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "spd/detail_common.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using namespace detail_format;

std::string time_text(const ProfileTime& t) {
  return fmt::format("{} {}{}", t.label, ns3(t.ps / 1000),
                     t.min_nck != 0 ? fmt::format("（至少 {} nCK）", t.min_nck) : "");
}

const ProfileTime* find(const Profile& p, std::string_view key) {
  const auto it = std::find_if(p.times.begin(), p.times.end(), [&](const ProfileTime& t) { return t.key == key; });
  return it != p.times.end() ? &*it : nullptr;
}

}  // namespace

void count_clocks(Profile& p, DeviceType g) {
  const auto tck = static_cast<unsigned>(std::lround(p.tck_ps));
  for (auto& t : p.times) {
    // DDR3 and DDR4 count as decode-dimms does (classic); DDR5 with its 0.3 % rule.
    t.clocks = std::max(clocks(static_cast<unsigned>(std::lround(t.ps)), tck, g), t.min_nck);
  }
  const auto at = [&](std::string_view key) {
    const ProfileTime* t = find(p, key);
    return t != nullptr ? t->clocks : 0u;
  };
  unsigned cl = cas_latency(static_cast<unsigned>(std::lround(p.taa_ps)), tck, g);
  if (g == DeviceType::DDR5) cl = supported_cl(cl, p.cas);
  p.clocks = {cl, at("trcd"), at("trp"), at("tras")};
}

void profile_lines(InfoLines& lines, const Profile& p, DeviceType g) {
  const std::string prefix = fmt::format("配置 {}", p.number);
  if (g == DeviceType::DDR5 && p.kind == model::ProfileKind::Xmp && p.number <= 3) {
    lines.push_back({prefix + " 名称", p.name.empty() ? std::string("未定义") : p.name});
  }
  std::vector<std::string> volts;
  for (const auto& v : p.voltages) volts.push_back(fmt::format("{} {:.2f} V", v.label, v.volts));
  lines.push_back({prefix + " 电压", fmt::format("{}", fmt::join(volts, "，"))});
  lines.push_back(
      {prefix + " 速率", fmt::format("DDR{}-{} (tCK {})", generation(g), p.data_rate, ns3(p.tck_ps / 1000))});
  lines.push_back(
      {prefix + " 时序", fmt::format("CL{}-{}-{}-{}", p.clocks.cl, p.clocks.trcd, p.clocks.trp, p.clocks.tras)});
  if (!p.cas.empty()) lines.push_back({prefix + " 支持的 CAS 延迟", cas_list(p.cas)});
  // The core times, then the rest: two lines a reader can take in.
  std::vector<std::string> core, rest;
  for (const auto& t : p.times) {
    const bool is_core = t.key == "taa" || t.key == "trcd" || t.key == "trp" || t.key == "tras" || t.key == "trc" ||
                         t.key == "twr" || t.key.starts_with("trfc");
    // A secondary time of 0 is one the profile leaves to the JEDEC base (real kits do so).
    if (is_core)
      core.push_back(time_text(t));
    else if (t.ps != 0)
      rest.push_back(time_text(t));
  }
  lines.push_back({prefix + " 参数", fmt::format("{}", fmt::join(core, "，"))});
  if (!rest.empty()) lines.push_back({prefix + " 其他时序", fmt::format("{}", fmt::join(rest, "，"))});
  if (p.command_rate != 0) lines.push_back({prefix + " 命令速率", fmt::format("{}N", p.command_rate)});
}

}  // namespace dimmwand::spd
