// The overclocking profiles of a DDR5 module: XMP 3.0 and AMD EXPO (profile_layout.hpp). A
// profile is listed where the image identifies it as model::checksums does: XMP profiles 1-3 by
// the header's enable bits, the user profiles 4 and 5 by a checksum that holds, EXPO's by its
// enable bits.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "spd/ddr5_parts.hpp"
#include "spd/detail_common.hpp"
#include "spd/profile_layout.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd::ddr5 {
namespace {

using namespace detail_format;

std::size_t xmp_profile_at(unsigned n) { return xmp::ddr5::kXmp3Profile + xmp::ddr5::kXmp3Size * (n - 1); }
std::size_t expo_profile_at(unsigned n) { return expo::kExpo + expo::kProfile + expo::kProfileSize * (n - 1); }

// The XMP profiles the image identifies: their checksums are among model::checksums'.
std::vector<unsigned> identified_xmp(Image s) {
  const auto sums = model::checksums(s, DeviceType::DDR5);
  std::vector<unsigned> out;
  for (unsigned n = 1; n <= 5; ++n) {
    const std::string name = fmt::format("XMP 配置 {} CRC", n);
    if (std::any_of(sums.begin(), sums.end(), [&](const model::Checksum& c) { return c.name == name; })) out.push_back(n);
  }
  return out;
}

bool expo_enabled(Image s, unsigned n) { return (unsigned{s[expo::kExpo + expo::kEnabled]} >> (4 * (n - 1)) & 1u) != 0; }

// tAA and the times after it, two bytes apart: tAA, tRCD, tRP, tRAS, tRC, tWR in ps, tRFC1,
// tRFC2, tRFCsb in ns.
unsigned time_at(Image s, std::size_t times, unsigned i) { return model::u16(s, times + 2 * i); }

Profile profile_of(Image s, std::string kind, unsigned n, std::size_t tck_at, std::size_t times, double volts) {
  Profile p{std::move(kind), n, {}, static_cast<double>(model::u16(s, tck_at)), static_cast<double>(time_at(s, times, 0)),
            static_cast<double>(time_at(s, times, 1)), static_cast<double>(time_at(s, times, 2)), volts, 0, {}};
  const unsigned tck = model::u16(s, tck_at);
  p.data_rate = data_rate(tck);
  if (tck != 0) {
    const auto c = [&](unsigned i) { return clocks(time_at(s, times, i), tck, DeviceType::DDR5); };
    p.clocks = {cas_latency(time_at(s, times, 0), tck, DeviceType::DDR5), c(1), c(2), c(3)};
  }
  return p;
}

// The lines of one profile after its voltages: the rate, the clocks and the times.
void profile_lines(InfoLines& lines, const std::string& prefix, Image s, const Profile& p, std::size_t times) {
  if (p.data_rate == 0) return;
  const auto t = [&](unsigned i) { return time_at(s, times, i); };
  lines.push_back({prefix + " 速率", fmt::format("DDR5-{} (tCK {})", p.data_rate, ps3(static_cast<unsigned>(p.tck_ps)))});
  lines.push_back({prefix + " 时序", fmt::format("CL{}-{}-{}-{}", p.clocks.cl, p.clocks.trcd, p.clocks.trp, p.clocks.tras)});
  lines.push_back({prefix + " 参数", fmt::format("tAA {}，tRCD {}，tRP {}，tRAS {}，tRC {}，tWR {}，tRFC1 {} ns，tRFC2 {} ns，tRFCsb {} ns",
                                                ps3(t(0)), ps3(t(1)), ps3(t(2)), ps3(t(3)), ps3(t(4)), ps3(t(5)), t(6), t(7), t(8))});
}

const Profile* find(const Facts& f, std::string_view kind, unsigned n) {
  for (const auto& p : f.profiles) {
    if (p.kind == kind && p.number == n) return &p;
  }
  return nullptr;
}

}  // namespace

void profiles(Facts& f, Image s) {
  using namespace xmp::ddr5;
  if (model::has_xmp3(s)) {
    const std::uint8_t version = s[kXmp3Header + kVersion];
    f.xmp_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
    for (const unsigned n : identified_xmp(s)) {
      const std::size_t at = xmp_profile_at(n);
      Profile p = profile_of(s, "XMP", n, at + kTck.offset, at + kTimes, xmp_volts(get(s, spd::at(at, kVdd))));
      if (n <= 3) p.name = part_text(s.subspan(kXmp3Header + kNames + kNameSize * (n - 1), kNameSize));
      f.profiles.push_back(std::move(p));
    }
  }
  if (model::has_expo(s)) {
    const std::uint8_t version = s[expo::kExpo + expo::kVersion];
    f.expo_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
    for (unsigned n = 1; n <= 2; ++n) {
      if (!expo_enabled(s, n)) continue;
      const std::size_t at = expo_profile_at(n);
      f.profiles.push_back(profile_of(s, "EXPO", n, at + expo::kTck.offset, at + expo::kTimes,
                                      xmp_volts(get(s, spd::at(at, expo::kVdd)))));
    }
  }
}

void profile_sections(std::vector<InfoSection>& out, Image s, const Facts& f) {
  if (f.xmp_version) {
    using namespace xmp::ddr5;
    InfoSection sec{"XMP 3.0", {}};
    sec.lines.push_back({"版本", *f.xmp_version});
    sec.lines.push_back({"PMIC 制造商", maker_field(s, kXmp3Header + kPmicMaker)});
    for (const unsigned n : identified_xmp(s)) {
      const Profile& p = *find(f, "XMP", n);
      const std::size_t at = xmp_profile_at(n);
      const std::string prefix = fmt::format("配置 {}", n);
      if (n <= 3) sec.lines.push_back({prefix + " 名称", p.name.empty() ? std::string("未定义") : p.name});
      const auto v = [&](const Field& field) { return xmp_volts(get(s, spd::at(at, field))); };
      sec.lines.push_back({prefix + " 电压", fmt::format("VDD {:.2f} V，VDDQ {:.2f} V，VPP {:.2f} V，VMEMCTRL {:.2f} V", v(kVdd),
                                                        v(kVddq), v(kVpp), v(kVmemctrl))});
      profile_lines(sec.lines, prefix, s, p, at + kTimes);
    }
    out.push_back(std::move(sec));
  }
  if (f.expo_version) {
    InfoSection sec{"EXPO", {}};
    sec.lines.push_back({"版本", *f.expo_version});
    for (unsigned n = 1; n <= 2; ++n) {
      if (!expo_enabled(s, n)) continue;
      const std::size_t at = expo_profile_at(n);
      const std::string prefix = fmt::format("配置 {}", n);
      const auto v = [&](const Field& field) { return xmp_volts(get(s, spd::at(at, field))); };
      sec.lines.push_back({prefix + " 电压", fmt::format("VDD {:.2f} V，VDDQ {:.2f} V，VPP {:.2f} V", v(expo::kVdd),
                                                        v(expo::kVddq), v(expo::kVpp))});
      profile_lines(sec.lines, prefix, s, *find(f, "EXPO", n), at + expo::kTimes);
    }
    out.push_back(std::move(sec));
  }
}

}  // namespace dimmwand::spd::ddr5
