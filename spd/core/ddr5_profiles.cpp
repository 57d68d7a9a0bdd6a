// The overclocking profiles of a DDR5 module: XMP 3.0 and AMD EXPO (profile_layout.hpp). A
// profile is listed where the image identifies it as model::checksums does (XMP profiles 1-3 by
// the header's enable bits, the user profiles 4 and 5 by a checksum that holds, EXPO's by its
// enable bits) and it has a cycle time: an emptied profile is no profile.
#include <fmt/format.h>

#include <algorithm>

#include "spd/codec.hpp"
#include "spd/ddr5_parts.hpp"
#include "spd/detail_common.hpp"
#include "spd/profile_layout.hpp"
#include "spd/profiles.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd::ddr5 {
namespace {

using namespace detail_format;

std::size_t xmp_profile_at(unsigned n) { return model::xmp3_profile(n).from; }
std::size_t expo_profile_at(unsigned n) { return expo::kExpo + expo::kProfile + expo::kProfileSize * (n - 1); }

// The XMP profiles the image identifies: their checksums are among model::checksums'.
std::vector<unsigned> identified_xmp(Image s) {
  const auto sums = model::checksums(s, DeviceType::DDR5);
  std::vector<unsigned> out;
  for (unsigned n = 1; n <= model::kXmp3Profiles; ++n) {
    if (model::find_checksum(sums, model::xmp3_profile(n).id) != nullptr) out.push_back(n);
  }
  return out;
}

bool expo_enabled(Image s, unsigned n) {
  return (unsigned{s[expo::kExpo + expo::kEnabled]} >> (4 * (n - 1)) & 1u) != 0;
}

// A profile at `base` read through its layout: cycle time, times, voltages and, where it keeps
// one, its list of CAS latencies (bit n: CL 20 + 2n, as in the base section).
template <std::size_t T, std::size_t V>
Profile read_profile(Image s, model::ProfileKind kind, unsigned n, std::size_t base, const Field& tck,
                     const std::array<Field, T>& times, const std::array<Field, V>& voltages, const Field* cas) {
  Profile p;
  p.kind = kind;
  p.number = n;
  p.tck_ps = get(s, at(base, tck));
  for (const auto& f : times) {
    const TimeNck v = time_nck(s, at(base, f));
    p.times.push_back({f.key, f.name, v.ps, v.min_nck, 0});
  }
  for (const auto& f : voltages) p.voltages.push_back({f.key, f.name, volts(s, at(base, f))});
  if (cas != nullptr) p.cas = cas_latencies(s, at(base, *cas), kCasDdr5);
  p.taa_ps = p.times[0].ps;
  p.trcd_ps = p.times[1].ps;
  p.trp_ps = p.times[2].ps;
  p.tras_ps = p.times[3].ps;
  p.volts = p.voltages[0].volts;
  p.data_rate = data_rate(p.tck_ps, DeviceType::DDR5);
  count_clocks(p, DeviceType::DDR5);
  return p;
}

}  // namespace

void profiles(Facts& f, Image s) {
  // Qualified: the DDR5 base layout names its fields alike (kTck, kTimes, ...), and lookup must
  // not depend on which layouts the file happens to see.
  namespace xmp3 = xmp::ddr5;
  if (model::has_xmp3(s)) {
    const std::uint8_t version = s[xmp3::kXmp3Header + xmp3::kVersion];
    f.xmp_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
    for (const unsigned n : identified_xmp(s)) {
      Profile p = read_profile(s, model::ProfileKind::Xmp, n, xmp_profile_at(n), xmp3::kTck, xmp3::kTimes,
                               xmp3::kVoltages, &xmp3::kCasLatencies);
      if (p.tck_ps == 0) continue;
      if (n <= 3) {
        p.name = part_text(s.subspan(xmp3::kXmp3Header + xmp3::kNames + xmp3::kNameSize * (n - 1), xmp3::kNameSize));
      }
      p.command_rate = get(s, at(xmp_profile_at(n), xmp3::kCommandRate));
      f.profiles.push_back(std::move(p));
    }
  }
  if (model::has_expo(s)) {
    const std::uint8_t version = s[expo::kExpo + expo::kVersion];
    f.expo_version = fmt::format("{}.{}", version >> 4, version & 0x0F);
    for (unsigned n = 1; n <= 2; ++n) {
      if (!expo_enabled(s, n)) continue;
      Profile p = read_profile(s, model::ProfileKind::Expo, n, expo_profile_at(n), expo::kTck, expo::kTimes,
                               expo::kVoltages, nullptr);
      if (p.tck_ps != 0) f.profiles.push_back(std::move(p));
    }
  }
}

void profile_sections(std::vector<InfoSection>& out, Image s, const Facts& f) {
  if (f.xmp_version) {
    InfoSection sec{"XMP 3.0", {}};
    sec.lines.push_back({"版本", *f.xmp_version});
    sec.lines.push_back({"PMIC 制造商", maker_field(s, xmp::ddr5::kXmp3Header + xmp::ddr5::kPmicMaker)});
    for (const auto& p : f.profiles) {
      if (p.kind == model::ProfileKind::Xmp) profile_lines(sec.lines, p, DeviceType::DDR5);
    }
    out.push_back(std::move(sec));
  }
  if (f.expo_version) {
    InfoSection sec{"EXPO", {}};
    sec.lines.push_back({"版本", *f.expo_version});
    for (const auto& p : f.profiles) {
      if (p.kind == model::ProfileKind::Expo) profile_lines(sec.lines, p, DeviceType::DDR5);
    }
    out.push_back(std::move(sec));
  }
}

}  // namespace dimmwand::spd::ddr5
