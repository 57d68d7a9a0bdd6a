#include "spd/info.hpp"

#include <fmt/format.h>

#include <array>
#include <cstdlib>
#include <string_view>

#include "spd/jep106.hpp"

namespace dimmwand::spd {
namespace {

std::string_view pick(std::span<const std::string_view> names, unsigned index) {
  return index < names.size() && !names[index].empty() ? names[index] : std::string_view("未知");
}

std::string ns(unsigned ps) { return fmt::format("{:.3f} ns", ps / 1000.0); }

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

std::string date_field(Image image, std::size_t at) {
  if (image[at] == 0 && image[at + 1] == 0) return "未记录";
  return fmt::format("20{:02} 年第 {:02} 周", bcd(image[at]), bcd(image[at + 1]));
}

std::string serial_field(Image image, std::size_t at) {
  return fmt::format("{:02X}", fmt::join(image.subspan(at, 4), ""));
}

std::string capacity(unsigned long long megabytes) {
  if (megabytes == 0) return "未知";
  return megabytes % 1024 == 0 ? fmt::format("{} GB", megabytes / 1024) : fmt::format("{} MB", megabytes);
}

std::string speed(unsigned cycle_ps, DeviceType g) {
  if (cycle_ps == 0) return "未知";
  return fmt::format("DDR{}-{} (tCK {})", generation(g), data_rate(cycle_ps), ns(cycle_ps));
}

// "CL22-22-22-52 (tAA 13.750 ns, ...)"; CAS latencies of DDR5 are even.
std::string timings(unsigned tck, unsigned taa, unsigned trcd, unsigned trp, unsigned tras, DeviceType g) {
  if (tck == 0) return "未知";
  unsigned cl = clocks(taa, tck, g);
  if (g == DeviceType::DDR5) cl += cl % 2;
  return fmt::format("CL{}-{}-{}-{} (tAA {}, tRCD {}, tRP {}, tRAS {})", cl, clocks(trcd, tck, g), clocks(trp, tck, g),
                     clocks(tras, tck, g), ns(taa), ns(trcd), ns(trp), ns(tras));
}

std::string revision(std::uint8_t b) { return fmt::format("{}.{}", b >> 4, b & 0x0F); }

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

void add_maker_lines(InfoLines& lines, Image s, const MakerFields& f) {
  lines.insert(lines.end(), {
                                {"模块制造商", manufacturer(s[f.module_maker], s[f.module_maker + 1])},
                                {"颗粒制造商", manufacturer(s[f.dram_maker], s[f.dram_maker + 1])},
                                {"型号", text_field(s, f.part, f.part_length)},
                                {"序列号", serial_field(s, f.serial)},
                                {"生产日期", date_field(s, f.date)},
                                {"SPD 版本", revision(s[1])},
                            });
}

// The volts of an XMP 1.x (DDR3), XMP 3.0 or EXPO (DDR5) voltage byte: bits 6-5 whole volts,
// bits 4-0 twentieths.
double xmp_volts(std::uint8_t b) { return ((b >> 5) & 0x03) + (b & 0x1F) * 0.05; }

// "DDR4-3600 CL18-22-22 1.35 V" from a profile's times in ps.
std::string profile_line(DeviceType g, unsigned tck, unsigned taa, unsigned trcd, unsigned trp, double volts) {
  if (tck == 0) return "时钟周期为 0，无法解读";
  unsigned cl = clocks(taa, tck, g);
  if (g == DeviceType::DDR5) cl += cl % 2;
  return fmt::format("DDR{}-{} CL{}-{}-{} {:.2f} V", generation(g), data_rate(tck), cl, clocks(trcd, tck, g),
                     clocks(trp, tck, g), volts);
}

// The XMP block of DDR3 (XMP 1.x, at 176) and DDR4 (XMP 2.0, at 384), which carries no checksum:
// signature 0C 4A, the enable bits of profiles 1 and 2 (bits 0 and 1), the version, then per
// profile its times. Layouts: Intel's XMP 1.1 structure as public decoders give it (DDR3: a
// medium timebase per profile from bytes 180-183, profiles of 35 bytes from 185); the DDR4 XMP
// 2.0 field table of public SPD notes (profiles at 393 and 440, 125 ps units with signed ps
// corrections).
std::string classic_xmp(Image s, DeviceType g) {
  const std::size_t at = g == DeviceType::DDR3 ? 176 : 384;
  if (s[at] != 0x0C || s[at + 1] != 0x4A) return "无";
  const std::uint8_t enabled = s[at + 2];
  std::string out = fmt::format("XMP {}.{}", s[at + 3] >> 4, s[at + 3] & 0x0F);
  for (unsigned n = 1; n <= 2; ++n) {
    if ((enabled >> (n - 1) & 1) == 0) continue;
    std::string line;
    if (g == DeviceType::DDR3) {
      const std::size_t p = 185 + 35 * (n - 1);
      const unsigned dividend = s[180 + 2 * (n - 1)];
      const unsigned divisor = s[181 + 2 * (n - 1)];
      if (divisor == 0) {
        line = "时间基准为 0，无法解读";
      } else {
        const auto ps = [&](std::uint8_t units) { return units * 1000u * dividend / divisor; };
        line = profile_line(g, ps(s[p + 1]), ps(s[p + 2]), ps(s[p + 7]), ps(s[p + 6]), xmp_volts(s[p]));
      }
    } else {
      const std::size_t p = 393 + 47 * (n - 1);
      const auto ps = [&](std::size_t coarse, std::size_t correction) { return with_fine(s[p + coarse] * 125u, s[p + correction]); };
      const double volts = (s[p] >> 7) + (s[p] & 0x7F) / 100.0;
      line = profile_line(g, ps(3, 38), ps(8, 37), ps(9, 36), ps(10, 35), volts);
    }
    out += fmt::format("；配置 {}: {}", n, line);
  }
  return out;
}

InfoLines ddr3(Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "Micro-DIMM", "Mini-RDIMM",
                                                  "Mini-UDIMM", "Mini-CDIMM", "72b-SO-UDIMM", "72b-SO-RDIMM",
                                                  "72b-SO-CDIMM", "LRDIMM", "16b-SO-DIMM", "32b-SO-DIMM"};
  const unsigned density_mb = (s[4] & 0x0F) <= 6 ? 256u << (s[4] & 0x0F) : 0;
  const unsigned width = 4u << (s[7] & 0x07);
  const unsigned ranks = ((s[7] >> 3) & 0x07) + 1u;
  const unsigned bus = 8u << (s[8] & 0x07);
  const bool ecc = ((s[8] >> 3) & 0x03) == 1;
  const unsigned mtb_ps = s[11] != 0 ? 1000u * s[10] / s[11] : 125;  // medium timebase, ps
  const auto t = [&](unsigned mtb, std::uint8_t fine_byte) { return with_fine(mtb * mtb_ps, fine_byte); };
  const unsigned tck = t(s[12], s[34]);
  const unsigned taa = t(s[16], s[35]);
  const unsigned trcd = t(s[18], s[36]);
  const unsigned trp = t(s[20], s[37]);
  const unsigned tras = (((s[21] & 0x0Fu) << 8) | s[22]) * mtb_ps;
  const unsigned long long mb = width <= 32 && bus <= 64 ? 1ull * density_mb / 8 * (bus / width) * ranks : 0;
  InfoLines lines{
      {"模块类型", std::string(pick(kModules, s[3] & 0x0Fu))},
      {"容量", fmt::format("{} ({} rank，x{} 颗粒 {} Mb，{} 位{})", capacity(mb), ranks, width, density_mb, bus,
                         ecc ? " + 8 位 ECC" : "")},
      {"速率", speed(tck, DeviceType::DDR3)},
      {"时序", timings(tck, taa, trcd, trp, tras, DeviceType::DDR3)},
  };
  add_maker_lines(lines, s, {117, 148, 128, 18, 122, 120});
  lines.push_back({"XMP", classic_xmp(s, DeviceType::DDR3)});
  return lines;
}

InfoLines ddr4(Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM", "Mini-RDIMM", "Mini-UDIMM", "",
                                                  "72b-SO-RDIMM", "72b-SO-UDIMM", "", "", "16b-SO-DIMM", "32b-SO-DIMM"};
  static constexpr std::array<unsigned, 10> kDensityMb{256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 12288, 24576};
  const unsigned density_mb = (s[4] & 0x0Fu) < kDensityMb.size() ? kDensityMb[s[4] & 0x0Fu] : 0;
  const unsigned dies = ((s[6] >> 4) & 0x07) + 1u;
  const bool stacked = (s[6] & 0x03) == 2;  // 3DS: each die is a logical rank
  const unsigned width = 4u << (s[12] & 0x07);
  const unsigned package_ranks = ((s[12] >> 3) & 0x07) + 1u;
  const unsigned ranks = package_ranks * (stacked ? dies : 1);
  const unsigned bus = 8u << (s[13] & 0x07);
  const bool ecc = ((s[13] >> 3) & 0x03) == 1;
  const unsigned tck = with_fine(s[18] * 125u, s[125]);
  const unsigned taa = with_fine(s[24] * 125u, s[123]);
  const unsigned trcd = with_fine(s[25] * 125u, s[122]);
  const unsigned trp = with_fine(s[26] * 125u, s[121]);
  const unsigned tras = (((s[27] & 0x0Fu) << 8) | s[28]) * 125u;
  const unsigned long long mb = width <= 32 && bus <= 64 ? 1ull * density_mb / 8 * (bus / width) * ranks : 0;
  InfoLines lines{
      {"模块类型", std::string(pick(kModules, s[3] & 0x0Fu))},
      {"容量", fmt::format("{} ({} rank，x{} 颗粒 {} Gb{}，{} 位{})", capacity(mb), ranks, width, density_mb / 1024.0,
                         stacked ? fmt::format("，3DS {} 层", dies) : "", bus, ecc ? " + 8 位 ECC" : "")},
      {"速率", speed(tck, DeviceType::DDR4)},
      {"时序", timings(tck, taa, trcd, trp, tras, DeviceType::DDR4)},
  };
  add_maker_lines(lines, s, {320, 350, 329, 20, 325, 323});
  lines.push_back({"XMP", classic_xmp(s, DeviceType::DDR4)});
  return lines;
}

// An XMP 3.0 or EXPO profile: where its VDD, tCK and tAA (followed by tRCD and tRP) stand.
std::string ddr5_profile(Image s, std::size_t vdd_at, std::size_t tck_at, std::size_t taa_at) {
  return profile_line(DeviceType::DDR5, u16(s, tck_at), u16(s, taa_at), u16(s, taa_at + 2), u16(s, taa_at + 4),
                      xmp_volts(s[vdd_at]));
}

InfoLines ddr5(Image s) {
  static constexpr std::string_view kModules[] = {"", "RDIMM", "UDIMM", "SO-DIMM", "LRDIMM", "CUDIMM", "CSODIMM",
                                                  "MRDIMM", "CAMM2", "", "DDIMM", "焊接颗粒"};
  static constexpr std::array<unsigned, 9> kDensityGb{0, 4, 8, 12, 16, 24, 32, 48, 64};
  static constexpr std::array<unsigned, 6> kDies{1, 0, 2, 4, 8, 16};
  const unsigned density_gb = (s[4] & 0x1Fu) < kDensityGb.size() ? kDensityGb[s[4] & 0x1Fu] : 0;
  const unsigned dies = (s[4] >> 5) < kDies.size() ? kDies[s[4] >> 5] : 0;
  const unsigned width = 4u << (s[6] >> 5 & 0x03);
  const unsigned ranks = ((s[234] >> 3) & 0x07) + 1u;
  const unsigned sub_channels = ((s[235] >> 5) & 0x03) + 1u;
  const unsigned bus = (s[235] & 0x07u) < 4 ? 8u << (s[235] & 0x07) : 0;
  const bool ecc = ((s[235] >> 3) & 0x03) != 0;
  const unsigned long long mb = 1ull * sub_channels * (bus / width) * dies * density_gb * 1024 / 8 * ranks;  // 0: unknown
  const unsigned tck = u16(s, 20);
  InfoLines lines{
      {"模块类型", std::string(pick(kModules, s[3] & 0x0Fu))},
      {"容量", fmt::format("{} ({} rank，x{} 颗粒 {} Gb{}，{} × {} 位{})", capacity(mb), ranks, width, density_gb,
                         dies > 1 ? fmt::format("，{} 层堆叠", dies) : "", sub_channels, bus, ecc ? " + ECC" : "")},
      {"速率", speed(tck, DeviceType::DDR5)},
      {"时序", timings(tck, u16(s, 30), u16(s, 32), u16(s, 34), u16(s, 36), DeviceType::DDR5)},
  };
  add_maker_lines(lines, s, {512, 552, 521, 30, 517, 515});
  std::string xmp = "无";
  if (has_xmp3(s)) {
    xmp = fmt::format("XMP {}.{}", s[kXmp3Header + 2] >> 4, s[kXmp3Header + 2] & 0x0F);
    for (std::size_t n = 1; n <= 3; ++n) {
      if ((s[kXmp3Header + 3] >> (n - 1) & 1) == 0) continue;
      const std::size_t at = kXmp3Profile + 0x40 * (n - 1);
      xmp += fmt::format("；配置 {} \"{}\": {}", n, text_field(s, kXmp3Header + 0x0E + 0x10 * (n - 1), 16),
                         ddr5_profile(s, at + 1, at + 5, at + 13));
    }
  }
  lines.push_back({"XMP", xmp});
  std::string expo = "无";
  if (has_expo(s)) {
    expo = fmt::format("EXPO {}.{}", s[kExpo + 4] >> 4, s[kExpo + 4] & 0x0F);
    for (std::size_t n = 1; n <= 2; ++n) {
      if ((s[kExpo + 6] >> (4 * (n - 1)) & 1) == 0) continue;
      const std::size_t at = kExpo + 0x0A + 0x28 * (n - 1);
      expo += fmt::format("；配置 {}: {}", n, ddr5_profile(s, at, at + 4, at + 6));
    }
  }
  lines.push_back({"EXPO", expo});
  return lines;
}

}  // namespace

unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  if (cycle_ps == 0) return 0;
  const unsigned long long t = time_ps;
  if (g == DeviceType::DDR5) return static_cast<unsigned>((t * 997 / cycle_ps + 1000) / 1000);  // 0.3 % guard band
  return static_cast<unsigned>((t * 1000 / cycle_ps + 974) / 1000);                              // 2.5 % guard band
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

InfoLines describe(Image image, DeviceType g) {
  InfoLines lines{{"类型", fmt::format("DDR{} SDRAM，SPD {} 字节", generation(g), image.size())}};
  if (image[2] != memory_type(g)) {
    lines.push_back({"注意", fmt::format("内存类型字节为 0x{:02X}，不是 DDR{} 的 0x{:02X}；按 DDR{} 解读", image[2], generation(g),
                                          memory_type(g), generation(g))});
  }
  const InfoLines body = g == DeviceType::DDR3 ? ddr3(image) : g == DeviceType::DDR4 ? ddr4(image) : ddr5(image);
  lines.insert(lines.end(), body.begin(), body.end());
  return lines;
}

}  // namespace dimmwand::spd
