#include "spd/info.hpp"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "spd/jep106.hpp"

namespace dimmwand::spd {
namespace {

std::string_view pick(std::span<const std::string_view> names, unsigned index) {
  return index < names.size() && !names[index].empty() ? names[index] : std::string_view("未知");
}

std::string ns(double ps) { return fmt::format("{:.3f} ns", ps / 1000.0); }

unsigned whole(double ps) { return static_cast<unsigned>(std::lround(ps)); }

std::string text_field(Image image, std::size_t at, std::size_t length) {
  std::string s;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t c = image[at + i];
    s += c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : ' ';
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s.empty() ? "未记录" : s;
}

unsigned bcd(std::uint8_t b) { return (b >> 4) * 10u + (b & 0x0Fu); }

std::string capacity(unsigned long long megabytes) {
  if (megabytes == 0) return "未知";
  return megabytes % 1024 == 0 ? fmt::format("{} GB", megabytes / 1024) : fmt::format("{} MB", megabytes);
}

int fine(std::uint8_t b) { return static_cast<std::int8_t>(b); }  // fine-timebase corrections are signed

unsigned with_fine(unsigned coarse_ps, std::uint8_t correction) {
  const int t = static_cast<int>(coarse_ps) + fine(correction);
  return t > 0 ? static_cast<unsigned>(t) : 0;
}

// Where a generation keeps its manufacturing data.
struct MakerFields {
  std::size_t module_maker;
  std::size_t dram_maker;
  std::size_t part;
  std::size_t part_length;
  std::size_t serial;
  std::size_t date;
};

void maker_facts(Facts& f, Image s, const MakerFields& m) {
  f.module_maker = {s[m.module_maker], s[m.module_maker + 1]};
  f.dram_maker = {s[m.dram_maker], s[m.dram_maker + 1]};
  f.part_number = text_field(s, m.part, m.part_length);
  f.serial_number = fmt::format("{:02X}", fmt::join(s.subspan(m.serial, 4), ""));
  if (s[m.date] != 0 || s[m.date + 1] != 0) f.date = std::pair(2000 + bcd(s[m.date]), bcd(s[m.date + 1]));
  f.spd_revision = fmt::format("{}.{}", s[1] >> 4, s[1] & 0x0F);
}

// The XMP block of DDR3 (XMP 1.x, at 176) and DDR4 (XMP 2.0, at 384), which carries no checksum:
// signature 0C 4A, the enable bits of profiles 1 and 2 (bits 0 and 1), the version, then per
// profile its times. Layouts: Intel's XMP 1.1 structure as public decoders give it (DDR3: a
// medium timebase per profile from bytes 180-183, profiles of 35 bytes from 185); the DDR4 XMP
// 2.0 field table of public SPD notes (profiles at 393 and 440, 125 ps units with signed ps
// corrections).
void classic_xmp(Facts& f, Image s, DeviceType g) {
  const std::size_t at = g == DeviceType::DDR3 ? 176 : 384;
  if (s[at] != 0x0C || s[at + 1] != 0x4A) return;
  f.xmp_version = fmt::format("{}.{}", s[at + 3] >> 4, s[at + 3] & 0x0F);
  for (unsigned n = 1; n <= 2; ++n) {
    if ((s[at + 2] >> (n - 1) & 1) == 0) continue;
    Profile p{"XMP", n, {}, 0, 0, 0, 0, 0};
    if (g == DeviceType::DDR3) {
      const std::size_t b = 185 + 35 * (n - 1);
      const unsigned dividend = s[180 + 2 * (n - 1)];
      const unsigned divisor = s[181 + 2 * (n - 1)];
      if (divisor != 0) {
        const auto ps = [&](std::uint8_t units) { return units * 1000.0 * dividend / divisor; };
        p = {"XMP", n, {}, ps(s[b + 1]), ps(s[b + 2]), ps(s[b + 7]), ps(s[b + 6]), xmp_volts(s[b])};
      }
    } else {
      const std::size_t b = 393 + 47 * (n - 1);
      const auto ps = [&](std::size_t coarse, std::size_t correction) {
        return static_cast<double>(with_fine(s[b + coarse] * 125u, s[b + correction]));
      };
      p = {"XMP", n, {}, ps(3, 38), ps(8, 37), ps(9, 36), ps(10, 35), (s[b] >> 7) + (s[b] & 0x7F) / 100.0};
    }
    f.profiles.push_back(p);
  }
}

void ddr3(Facts& f, Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "Micro-DIMM", "Mini-RDIMM",
                                                  "Mini-UDIMM", "Mini-CDIMM", "72b-SO-UDIMM", "72b-SO-RDIMM",
                                                  "72b-SO-CDIMM", "LRDIMM", "16b-SO-DIMM", "32b-SO-DIMM"};
  const unsigned density_mb = (s[4] & 0x0F) <= 6 ? 256u << (s[4] & 0x0F) : 0;
  f.device_width = 4u << (s[7] & 0x07);
  f.ranks = ((s[7] >> 3) & 0x07) + 1u;
  f.bus_width = 8u << (s[8] & 0x07);
  f.ecc = ((s[8] >> 3) & 0x03) == 1;
  const unsigned mtb_ps = s[11] != 0 ? 1000u * s[10] / s[11] : 125;  // medium timebase, ps
  const auto t = [&](unsigned mtb, std::uint8_t fine_byte) { return static_cast<double>(with_fine(mtb * mtb_ps, fine_byte)); };
  f.tck_ps = t(s[12], s[34]);
  f.taa_ps = t(s[16], s[35]);
  f.trcd_ps = t(s[18], s[36]);
  f.trp_ps = t(s[20], s[37]);
  f.tras_ps = (((s[21] & 0x0Fu) << 8) | s[22]) * mtb_ps;
  f.module_type = std::string(pick(kModules, s[3] & 0x0Fu));
  f.capacity_mb = f.device_width <= 32 && f.bus_width <= 64 ? 1ull * density_mb / 8 * (f.bus_width / f.device_width) * f.ranks : 0;
  f.organisation = fmt::format("{} rank，x{} 颗粒 {} Mb，{} 位{}", f.ranks, f.device_width, density_mb, f.bus_width,
                               f.ecc ? " + 8 位 ECC" : "");
  maker_facts(f, s, {117, 148, 128, 18, 122, 120});
  classic_xmp(f, s, DeviceType::DDR3);
}

void ddr4(Facts& f, Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM", "Mini-RDIMM", "Mini-UDIMM", "",
                                                  "72b-SO-RDIMM", "72b-SO-UDIMM", "", "", "16b-SO-DIMM", "32b-SO-DIMM"};
  static constexpr std::array<unsigned, 10> kDensityMb{256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 12288, 24576};
  const unsigned density_mb = (s[4] & 0x0Fu) < kDensityMb.size() ? kDensityMb[s[4] & 0x0Fu] : 0;
  const unsigned dies = ((s[6] >> 4) & 0x07) + 1u;
  const bool stacked = (s[6] & 0x03) == 2;  // 3DS: each die is a logical rank
  f.device_width = 4u << (s[12] & 0x07);
  f.ranks = (((s[12] >> 3) & 0x07) + 1u) * (stacked ? dies : 1);
  f.bus_width = 8u << (s[13] & 0x07);
  f.ecc = ((s[13] >> 3) & 0x03) == 1;
  f.tck_ps = with_fine(s[18] * 125u, s[125]);
  f.taa_ps = with_fine(s[24] * 125u, s[123]);
  f.trcd_ps = with_fine(s[25] * 125u, s[122]);
  f.trp_ps = with_fine(s[26] * 125u, s[121]);
  f.tras_ps = (((s[27] & 0x0Fu) << 8) | s[28]) * 125u;
  f.module_type = std::string(pick(kModules, s[3] & 0x0Fu));
  f.capacity_mb = f.device_width <= 32 && f.bus_width <= 64 ? 1ull * density_mb / 8 * (f.bus_width / f.device_width) * f.ranks : 0;
  f.organisation = fmt::format("{} rank，x{} 颗粒 {} Gb{}，{} 位{}", f.ranks, f.device_width, density_mb / 1024.0,
                               stacked ? fmt::format("，3DS {} 层", dies) : "", f.bus_width, f.ecc ? " + 8 位 ECC" : "");
  maker_facts(f, s, {320, 350, 329, 20, 325, 323});
  classic_xmp(f, s, DeviceType::DDR4);
}

void ddr5(Facts& f, Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM", "CUDIMM", "CSODIMM",
                                                  "MRDIMM", "CAMM2", "", "DDIMM", "焊接颗粒"};
  static constexpr std::array<unsigned, 9> kDensityGb{0, 4, 8, 12, 16, 24, 32, 48, 64};
  static constexpr std::array<unsigned, 6> kDies{1, 0, 2, 4, 8, 16};
  const unsigned density_gb = (s[4] & 0x1Fu) < kDensityGb.size() ? kDensityGb[s[4] & 0x1Fu] : 0;
  const unsigned dies = (s[4] >> 5) < kDies.size() ? kDies[s[4] >> 5] : 0;
  f.device_width = 4u << (s[6] >> 5 & 0x03);
  f.ranks = ((s[234] >> 3) & 0x07) + 1u;
  f.sub_channels = ((s[235] >> 5) & 0x03) + 1u;
  f.bus_width = (s[235] & 0x07u) < 4 ? 8u << (s[235] & 0x07) : 0;
  f.ecc = ((s[235] >> 3) & 0x03) != 0;
  f.capacity_mb = 1ull * f.sub_channels * (f.bus_width / f.device_width) * dies * density_gb * 1024 / 8 * f.ranks;
  f.tck_ps = u16(s, 20);
  f.taa_ps = u16(s, 30);
  f.trcd_ps = u16(s, 32);
  f.trp_ps = u16(s, 34);
  f.tras_ps = u16(s, 36);
  f.module_type = std::string(pick(kModules, s[3] & 0x0Fu));
  f.organisation = fmt::format("{} rank，x{} 颗粒 {} Gb{}，{} × {} 位{}", f.ranks, f.device_width, density_gb,
                               dies > 1 ? fmt::format("，{} 层堆叠", dies) : "", f.sub_channels, f.bus_width,
                               f.ecc ? " + ECC" : "");
  maker_facts(f, s, {512, 552, 521, 30, 517, 515});
  if (has_xmp3(s)) {
    f.xmp_version = fmt::format("{}.{}", s[kXmp3Header + 2] >> 4, s[kXmp3Header + 2] & 0x0F);
    for (unsigned n = 1; n <= 3; ++n) {
      if ((s[kXmp3Header + 3] >> (n - 1) & 1) == 0) continue;
      const std::size_t at = kXmp3Profile + 0x40 * (n - 1);
      f.profiles.push_back({"XMP", n, text_field(s, kXmp3Header + 0x0E + 0x10 * (n - 1), 16), u16(s, at + 5) * 1.0,
                            u16(s, at + 13) * 1.0, u16(s, at + 15) * 1.0, u16(s, at + 17) * 1.0, xmp_volts(s[at + 1])});
    }
  }
  if (has_expo(s)) {
    f.expo_version = fmt::format("{}.{}", s[kExpo + 4] >> 4, s[kExpo + 4] & 0x0F);
    for (unsigned n = 1; n <= 2; ++n) {
      if ((s[kExpo + 6] >> (4 * (n - 1)) & 1) == 0) continue;
      const std::size_t at = kExpo + 0x0A + 0x28 * (n - 1);
      f.profiles.push_back({"EXPO", n, {}, u16(s, at + 4) * 1.0, u16(s, at + 6) * 1.0, u16(s, at + 8) * 1.0,
                            u16(s, at + 10) * 1.0, xmp_volts(s[at])});
    }
  }
}

// "DDR4-3600 CL18-22-22 1.35 V".
std::string profile_line(DeviceType g, const Profile& p) {
  const unsigned tck = whole(p.tck_ps);
  if (tck == 0) return "时钟周期为 0，无法解读";
  return fmt::format("DDR{}-{} CL{}-{}-{} {:.2f} V", generation(g), data_rate(tck), cas_latency(whole(p.taa_ps), tck, g),
                     clocks(whole(p.trcd_ps), tck, g), clocks(whole(p.trp_ps), tck, g), p.volts);
}

// "XMP 3.0；配置 1 "name": DDR5-5600 CL36-36-36 1.40 V", or "无".
std::string profiles_line(const Facts& f, const std::optional<std::string>& version, std::string_view kind) {
  if (!version) return "无";
  std::string out = fmt::format("{} {}", kind, *version);
  for (const auto& p : f.profiles) {
    if (p.kind != kind) continue;
    out += fmt::format("；配置 {}{}: {}", p.number, p.name.empty() ? "" : fmt::format(" \"{}\"", p.name),
                       profile_line(f.generation, p));
  }
  return out;
}

}  // namespace

double xmp_volts(std::uint8_t b) { return ((b >> 5) & 0x03) + (b & 0x1F) * 0.05; }

unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  if (cycle_ps == 0) return 0;
  const unsigned long long t = time_ps;
  if (g == DeviceType::DDR5) return static_cast<unsigned>((t * 997 / cycle_ps + 1000) / 1000);  // 0.3 % guard band
  return static_cast<unsigned>((t * 1000 / cycle_ps + 974) / 1000);                              // 2.5 % guard band
}

unsigned cas_latency(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  const unsigned cl = clocks(time_ps, cycle_ps, g);
  return g == DeviceType::DDR5 ? cl + cl % 2 : cl;
}

unsigned data_rate(unsigned cycle_ps) {
  // JEDEC's grades and the usual grades of XMP and EXPO profiles.
  static constexpr std::array<unsigned, 32> kGrades{800,  1066, 1333, 1600, 1866, 2133, 2400, 2666, 2933, 3000, 3200,
                                                    3333, 3466, 3600, 3733, 3866, 4000, 4133, 4266, 4400, 4600, 4800,
                                                    5200, 5600, 6000, 6400, 6800, 7200, 7600, 8000, 8400, 8800};
  const double rate = 2e6 / cycle_ps;
  for (const unsigned g : kGrades) {
    if (std::abs(rate - g) <= g * 0.01) return g;
  }
  return static_cast<unsigned>(rate + 0.5);
}

Facts facts(Image image, DeviceType g) {
  Facts f;
  f.generation = g;
  f.size = image.size();
  if (g == DeviceType::DDR3) ddr3(f, image);
  else if (g == DeviceType::DDR4) ddr4(f, image);
  else ddr5(f, image);
  return f;
}

InfoLines describe(Image image, DeviceType g) {
  const Facts f = facts(image, g);
  InfoLines lines{{"类型", fmt::format("DDR{} SDRAM，SPD {} 字节", generation(g), image.size())}};
  if (image[2] != key_byte(g)) {
    lines.push_back({"注意", fmt::format("内存类型字节为 0x{:02X}，不是 DDR{} 的 0x{:02X}；按 DDR{} 解读", image[2], generation(g),
                                          key_byte(g), generation(g))});
  }
  const unsigned tck = whole(f.tck_ps);
  std::string speed = "未知";
  std::string timings = "未知";
  if (tck != 0) {
    speed = fmt::format("DDR{}-{} (tCK {})", generation(g), data_rate(tck), ns(f.tck_ps));
    timings = fmt::format("CL{}-{}-{}-{} (tAA {}, tRCD {}, tRP {}, tRAS {})", cas_latency(whole(f.taa_ps), tck, g),
                          clocks(whole(f.trcd_ps), tck, g), clocks(whole(f.trp_ps), tck, g),
                          clocks(whole(f.tras_ps), tck, g), ns(f.taa_ps), ns(f.trcd_ps), ns(f.trp_ps), ns(f.tras_ps));
  }
  const std::string date = f.date ? fmt::format("{} 年第 {:02} 周", f.date->first, f.date->second) : "未记录";
  lines.insert(lines.end(), {
                                {"模块类型", f.module_type},
                                {"容量", fmt::format("{} ({})", capacity(f.capacity_mb), f.organisation)},
                                {"速率", speed},
                                {"时序", timings},
                                {"模块制造商", manufacturer(f.module_maker.bank_byte, f.module_maker.code_byte)},
                                {"颗粒制造商", manufacturer(f.dram_maker.bank_byte, f.dram_maker.code_byte)},
                                {"型号", f.part_number},
                                {"序列号", f.serial_number},
                                {"生产日期", date},
                                {"SPD 版本", f.spd_revision},
                                {"XMP", profiles_line(f, f.xmp_version, "XMP")},
                            });
  if (g == DeviceType::DDR5) lines.push_back({"EXPO", profiles_line(f, f.expo_version, "EXPO")});
  return lines;
}

}  // namespace dimmwand::spd
