// The decode of an image by its generation, and its summary: the lines info shows.
#include <fmt/format.h>

#include "spd/decode.hpp"
#include "spd/jep106.hpp"
#include "spd/module_text.hpp"

namespace dimmwand::spd {

Decode decode_ddr3(Image s);  // ddr3.cpp
Decode decode_ddr4(Image s);  // ddr4.cpp
Decode decode_ddr5(Image s);  // ddr5.cpp

namespace {

std::string capacity(unsigned long long megabytes) { return megabytes == 0 ? "未知" : capacity_text(megabytes); }

// "DDR4-3600 CL18-22-22 1.35 V".
std::string profile_line(DeviceType g, const Profile& p) {
  return fmt::format("DDR{}-{} CL{}-{}-{} {:.2f} V", generation(g), p.data_rate, p.clocks.cl, p.clocks.trcd,
                     p.clocks.trp, p.volts);
}

// "XMP 3.0；配置 1 "name": DDR5-5600 CL36-36-36 1.40 V", or "无".
std::string profiles_line(const Facts& f, const std::optional<std::string>& version, model::ProfileKind kind) {
  if (!version) return "无";
  std::string out = fmt::format("{} {}", model::label_of(kind), *version);
  for (const auto& p : f.profiles) {
    if (p.kind != kind) continue;
    out += fmt::format("；配置 {}{}: {}", p.number, p.name.empty() ? "" : fmt::format(" \"{}\"", p.name),
                       profile_line(f.generation, p));
  }
  return out;
}

}  // namespace

Decode decode(Image image, DeviceType g) {
  Decode d = g == DeviceType::DDR3   ? decode_ddr3(image)
             : g == DeviceType::DDR4 ? decode_ddr4(image)
                                     : decode_ddr5(image);
  d.facts.generation = g;
  d.facts.size = image.size();
  d.facts.key_byte = image[kKeyByte];
  return d;
}

InfoLines summary(const Decode& d) {
  const Facts& f = d.facts;
  const DeviceType g = f.generation;
  InfoLines lines{{"类型", fmt::format("DDR{} SDRAM，SPD {} 字节", generation(g), f.size)}};
  if (f.key_byte != key_byte(g)) {
    lines.push_back({"注意", fmt::format("内存类型字节为 0x{:02X}，不是 DDR{} 的 0x{:02X}；按 DDR{} 解读", f.key_byte,
                                         generation(g), key_byte(g), generation(g))});
  }
  std::string speed = "未知";
  std::string timings = "未知";
  if (f.data_rate != 0) {
    speed = fmt::format("DDR{}-{} (tCK {})", generation(g), f.data_rate, time_text(f.tck_ps));
    timings = fmt::format("CL{}-{}-{}-{} (tAA {}, tRCD {}, tRP {}, tRAS {})", f.clocks.cl, f.clocks.trcd, f.clocks.trp,
                          f.clocks.tras, time_text(f.taa_ps), time_text(f.trcd_ps), time_text(f.trp_ps),
                          time_text(f.tras_ps));
  }
  const std::string date = f.date ? fmt::format("{} 年第 {:02} 周", f.date->first, f.date->second) : "未记录";
  const bool absent = !f.absent.empty();  // a short image: no manufacturing data, no profiles
  const auto unless_absent = [&](std::string value) { return absent ? std::string("映像中没有") : value; };
  lines.insert(lines.end(),
               {
                   {"模块类型", f.module_type},
                   {"容量", fmt::format("{} ({})", capacity(f.capacity_mb), f.organisation)},
                   {"速率", speed},
                   {"时序", timings},
                   {"模块制造商", unless_absent(manufacturer(f.module_maker.bank_byte, f.module_maker.code_byte))},
                   {"颗粒制造商", unless_absent(manufacturer(f.dram_maker.bank_byte, f.dram_maker.code_byte))},
                   {"型号", unless_absent(f.part_number.empty() ? std::string("未记录") : f.part_number)},
                   {"序列号", unless_absent(f.serial_number)},
                   {"生产日期", unless_absent(date)},
                   {"SPD 版本", f.spd_revision},
                   {"XMP", unless_absent(profiles_line(f, f.xmp_version, model::ProfileKind::Xmp))},
               });
  if (g == DeviceType::DDR5)
    lines.push_back({"EXPO", unless_absent(profiles_line(f, f.expo_version, model::ProfileKind::Expo))});
  if (absent) lines.push_back({"注意", f.absent});
  if (!f.unreadable.empty()) lines.push_back({"注意", f.unreadable});
  for (const auto& why : f.unreadable_profiles) lines.push_back({"注意", why});
  return lines;
}

}  // namespace dimmwand::spd
