// The summary, the full listing and the JSON document are three views of one decode: on every
// sample and real dump, and on images varied from them (package codes, ranks, widths, 3DS
// stacks, densities), the values they share agree.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <bit>

#include "model/crc16.hpp"
#include "files.hpp"
#include "spd/decode.hpp"
#include "spd/documents.hpp"
#include "spd/settable.hpp"
#include "spd/strict.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

void fix(Bytes& s, DeviceType g) { model::fix_checksums(s, g); }

// The samples, the dumps, and variants of one dump of each generation.
std::vector<std::pair<std::string, Bytes>> images() {
  std::vector<std::pair<std::string, Bytes>> out;
  for (const auto* dir : {DIMMWAND_SAMPLES, DIMMWAND_DUMPS}) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      if (e.path().extension() != ".bin" || e.path().filename() == "reg5.bin") continue;
      const std::string bytes = testing::read_file(e.path().string());
      out.emplace_back(e.path().filename().string(), Bytes(bytes.begin(), bytes.end()));
    }
  }
  const auto variants = [&](const char* name, DeviceType g, std::size_t at, std::uint8_t mask,
                            std::initializer_list<unsigned> values) {
    const std::string bytes = testing::read_file(testing::dump_path(name));
    for (const unsigned v : values) {
      Bytes s(bytes.begin(), bytes.end());
      s[at] = static_cast<std::uint8_t>((s[at] & ~mask) | (v << std::countr_zero(mask)));
      fix(s, g);
      out.emplace_back(fmt::format("{} byte {} = {:02X}", name, at, s[at]), s);
    }
  };
  const char* ddr5 = "ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin";
  variants(ddr5, DeviceType::DDR5, 4, 0xE0, {0, 1, 2, 3, 4, 5, 6});  // package: mono, DDP, 3DS 2H-16H, reserved
  variants(ddr5, DeviceType::DDR5, 4, 0x1F, {1, 2, 5, 7, 8, 9});     // density, one reserved
  variants(ddr5, DeviceType::DDR5, 234, 0x38, {0, 1, 3, 7});         // ranks
  variants(ddr5, DeviceType::DDR5, 6, 0xE0, {0, 1, 2, 3});           // widths
  variants(ddr5, DeviceType::DDR5, 234, 0x40, {1});                  // asymmetric ranks
  variants(ddr5, DeviceType::DDR5, 3, 0x0F, {5, 6, 7, 8, 10, 11});   // CUDIMM to solder-down
  variants("ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin", DeviceType::DDR5, 0x345, 0xFF, {0x01, 0x10});
  const char* ddr4 = "ddr4-hynix-hma42gr7mfr4n-tf-rdimm-cisco-2133.bin";
  variants(ddr4, DeviceType::DDR4, 6, 0xFF, {0x00, 0x91, 0x92, 0xB2, 0xF2});  // mono, DDP, 3DS 2H, 4H, 8H
  variants(ddr4, DeviceType::DDR4, 12, 0x38, {0, 1, 3});
  variants(ddr4, DeviceType::DDR4, 4, 0x0F, {4, 5, 6, 8});
  const char* ddr3 = "ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin";
  variants(ddr3, DeviceType::DDR3, 7, 0xFF, {0x00, 0x01, 0x02, 0x09, 0x0A, 0x11});
  return out;
}

std::string line_of(const InfoLines& lines, std::string_view label) {
  for (const auto& [l, v] : lines) {
    if (l == label) return v;
  }
  return "<none>";
}

std::string line_of(const std::vector<InfoSection>& sections, std::initializer_list<std::string_view> labels) {
  for (const auto& s : sections) {
    for (const auto label : labels) {
      if (const auto v = line_of(s.lines, label); v != "<none>") return v;
    }
  }
  return "<none>";
}

TEST(Views, TheSummaryTheFullListingAndTheJsonAgree) {
  const auto all = images();
  ASSERT_GE(all.size(), 50u);
  for (const auto& [name, s] : all) {
    const auto g = model::identify(s, std::nullopt);
    ASSERT_TRUE(g) << name;
    const Decode d = decode(s, *g);
    const Facts& f = d.facts;
    const InfoLines brief = summary(d);
    const std::string json = info_document("f", d, d.sections);
    SCOPED_TRACE(name);

    // Capacity: "16 GB (…)" in the summary, "16384 MB" or "16 GB" in the full listing.
    const std::string full_capacity = line_of(d.sections, {"容量"});
    if (f.capacity_mb == 0) {
      EXPECT_TRUE(line_of(brief, "容量").starts_with("未知")) << line_of(brief, "容量");
      EXPECT_EQ(full_capacity, "未知");
    } else {
      const std::string gb = fmt::format("{} GB", f.capacity_mb / 1024);
      EXPECT_TRUE(
          line_of(brief, "容量").starts_with(f.capacity_mb % 1024 == 0 ? gb : fmt::format("{} MB", f.capacity_mb)));
      EXPECT_TRUE(full_capacity == gb || full_capacity == fmt::format("{} MB", f.capacity_mb)) << full_capacity;
    }
    EXPECT_NE(json.find(fmt::format("\"capacity_mb\":{},", f.capacity_mb)), std::string::npos);

    // The rate and the clocks at tCKmin.
    if (f.data_rate != 0) {
      EXPECT_TRUE(line_of(brief, "速率").starts_with(fmt::format("DDR{}-{} ", generation(*g), f.data_rate)));
      const std::string top = line_of(d.sections, {"最高速率"});
      EXPECT_TRUE(top == fmt::format("DDR5-{}", f.data_rate) || top.starts_with(fmt::format("{} MT/s", f.data_rate)))
          << top;
      const std::string clocks = fmt::format("{}-{}-{}-{}", f.clocks.cl, f.clocks.trcd, f.clocks.trp, f.clocks.tras);
      EXPECT_TRUE(line_of(brief, "时序").starts_with("CL" + clocks)) << line_of(brief, "时序");
      EXPECT_EQ(line_of(d.sections, {"AA-RCD-RP-RAS（周期）", "tCL-tRCD-tRP-tRAS", "CL-tRCD-tRP-tRAS"}), clocks);
      EXPECT_NE(json.find(fmt::format("\"clocks\":{{\"cl\":{},\"trcd\":{},\"trp\":{},\"tras\":{}}}", f.clocks.cl,
                                      f.clocks.trcd, f.clocks.trp, f.clocks.tras)),
                std::string::npos);
      EXPECT_NE(json.find(fmt::format("\"data_rate\":{},", f.data_rate)), std::string::npos);
    }

    // What the module's maker wrote.
    if (!f.part_number.empty()) {
      EXPECT_EQ(line_of(brief, "型号"), f.part_number);
      EXPECT_EQ(line_of(d.sections, {"型号"}), f.part_number);
      EXPECT_NE(json.find(fmt::format("\"part_number\":\"{}\"", f.part_number)), std::string::npos);
    }
    EXPECT_EQ(line_of(brief, "序列号"), f.serial_number);
    const std::string serial = line_of(d.sections, {"序列号"});
    EXPECT_TRUE(serial == "0x" + f.serial_number || serial == "<none>") << serial;
    if (f.date) {
      const std::string date = fmt::format("{} 年第 {:02} 周", f.date->first, f.date->second);
      EXPECT_EQ(line_of(brief, "生产日期"), date);
      EXPECT_EQ(line_of(d.sections, {"生产日期"}), date);
    }

    // The profiles: each in the summary's line, in its section and in the document.
    for (const auto& p : f.profiles) {
      EXPECT_NE(p.data_rate, 0u);  // a profile without a cycle time is none
      const std::string rate =
          fmt::format("DDR{}-{} CL{}-{}-{}", generation(*g), p.data_rate, p.clocks.cl, p.clocks.trcd, p.clocks.trp);
      EXPECT_NE(line_of(brief, model::label_of(p.kind)).find(rate), std::string::npos)
          << line_of(brief, model::label_of(p.kind));
      const auto speed = line_of(d.sections, {fmt::format("配置 {} 速率", p.number)});
      EXPECT_TRUE(speed.starts_with(fmt::format("DDR{}-{} ", generation(*g), p.data_rate))) << speed;
      EXPECT_NE(json.find(fmt::format("\"number\":{},\"name\":", p.number)), std::string::npos);
      EXPECT_NE(json.find(fmt::format("\"data_rate\":{},", p.data_rate)), std::string::npos);
    }
  }
}

// DDR4's timebases are one rule (byte 17, and XMP 2.0's byte per profile): a reserved code is
// said once by each view (summary, full listing, check --strict, fields) and no view reads a time
// in it; reserved bits 7-4 are not read. The summary no longer takes 125 ps regardless.
TEST(Views, AReservedDdr4TimebaseIsSaidOnceAndNoTimeIsRead) {
  const std::string fury =
      testing::read_file(testing::dump_path("ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin"));
  struct Case {
    std::size_t at;
    std::uint8_t byte;
    std::string note;  // "" where the image reads as with 00
    std::vector<std::string> keys_gone;
  };
  const auto count = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  for (const auto& c : std::vector<Case>{
           {17, 0x01, "字节 17 = 0x01：时间基准为保留值", {"tck", "taa", "rate", "trfc1"}},
           {17, 0x04, "字节 17 = 0x04：时间基准为保留值", {"tck", "tck_max", "trc"}},
           {17, 0x50, "", {}},
           {389, 0x04, "XMP 配置 2: 字节 389 = 0x04：时间基准为保留值", {"xmp2.tck", "xmp2.taa", "xmp2.rate"}},
       }) {
    Bytes s(fury.begin(), fury.end());
    const Bytes original = s;
    s[c.at] = c.byte;
    fix(s, DeviceType::DDR4);
    SCOPED_TRACE(fmt::format("byte {} = {:02X}", c.at, c.byte));
    const Decode d = decode(s, DeviceType::DDR4);
    std::string brief, full, strict;
    for (const auto& [label, value] : summary(d)) brief += label + ": " + value + "\n";
    for (const auto& sec : d.sections) {
      for (const auto& [label, value] : sec.lines) full += label + ": " + value + "\n";
    }
    for (const auto& w : strict_warnings(s, DeviceType::DDR4)) strict += w + "\n";
    if (c.note.empty()) {
      std::string before;
      for (const auto& [label, value] : summary(decode(original, DeviceType::DDR4)))
        before += label + ": " + value + "\n";
      EXPECT_EQ(brief, before);
      EXPECT_EQ(settables(s, DeviceType::DDR4).size(), settables(original, DeviceType::DDR4).size());
      continue;
    }
    EXPECT_EQ(count(brief, c.note), 1u) << brief;
    EXPECT_EQ(count(full, c.note), 1u) << full;
    EXPECT_EQ(count(strict, c.note), 1u) << strict;
    const auto all = settables(s, DeviceType::DDR4);
    for (const auto& key : c.keys_gone) EXPECT_EQ(find_settable(all, key), nullptr) << key;
    if (c.at == 17) {
      EXPECT_NE(brief.find("速率: 未知\n时序: 未知\n"), std::string::npos) << brief;
      EXPECT_EQ(full.find("tCKmin"), std::string::npos) << full;
      EXPECT_EQ(full.find("最高速率"), std::string::npos) << full;
    } else {
      EXPECT_EQ(d.facts.profiles.size(), 1u);  // profile 1 still, in its own timebase
      EXPECT_NE(find_settable(all, "xmp1.tck"), nullptr);
    }
  }
}

}  // namespace
}  // namespace dimmwand::spd
