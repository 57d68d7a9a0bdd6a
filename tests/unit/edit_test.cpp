// The editor on every real dump: setting a field to its value changes nothing; an edit changes
// its field's bytes and the checksums over them and nothing else; refusals leave the image as it
// was; rebin and promote give the module the decode they promise.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <functional>

#include "files.hpp"
#include "spd/decode.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/settable.hpp"
#include "spd/strict.hpp"
#include "spd/timing.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Dump {
  std::string name;
  Bytes bytes;
  DeviceType g;
};

std::vector<Dump> dumps() {
  std::vector<Dump> out;
  for (const auto& path : testing::dump_paths()) {
    const std::string bytes = testing::read_file(path);
    Bytes b(bytes.begin(), bytes.end());
    out.push_back({std::filesystem::path(path).filename().string(), b, *identify(b, std::nullopt)});
  }
  return out;
}

// The real dumps and the shipped samples.
std::vector<Dump> every_image() {
  auto out = dumps();
  for (const char* name : {"spd3", "spd4", "spd5"}) {
    const std::string bytes = testing::read_file(testing::sample_path(name));
    Bytes b(bytes.begin(), bytes.end());
    out.push_back({name, b, *identify(b, std::nullopt)});
  }
  return out;
}

Dump dump(const std::string& name) {
  for (auto& d : dumps()) {
    if (d.name == name) return d;
  }
  ADD_FAILURE() << name;
  return {};
}

// The bytes an edit may touch: its fields' and the stored checksums'.
void only_meant_bytes(const Bytes& before, const Edited& e, const std::string& what) {
  std::vector<bool> allowed(before.size(), false);
  for (const auto& f : e.fields) {
    for (const std::size_t at : f.bytes) allowed[at] = true;
  }
  for (const auto& c : e.checksums) allowed[c.at] = allowed[c.at + 1] = true;
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_TRUE(before[i] == e.image[i] || allowed[i]) << what << ": byte " << i << " changed unreported";
  }
  for (const auto& c : model::checksums(e.image, *identify(e.image, std::nullopt))) {
    EXPECT_TRUE(c.ok() ||
                std::none_of(e.checksums.begin(), e.checksums.end(), [&](const auto& r) { return r.name == c.name; }))
        << what << ": " << c.name;
  }
}

// Every value fields shows is taken back by set without changing a byte (a 1/14 ns unit's
// 1.071429 ns, a rate of 3604 for 0.555 ns); one that is none ("未记录", "无效 (0x00 0x00)", "无") is
// marked so and refused.
TEST(Edit, EveryValueFieldsShowsIsTakenBackUnchanged) {
  std::size_t fields = 0, none = 0;
  for (const auto& d : every_image()) {
    for (const auto& s : settables(d.bytes, d.g)) {
      const std::string shown = read_value(d.bytes, s);
      const auto e = edit_set(d.bytes, d.g, {s.key + "=" + shown}, true);
      if (!has_value(d.bytes, s)) {
        EXPECT_FALSE(e) << d.name << " " << s.key << "=" << shown << " is shown as no value";
        ++none;
        continue;
      }
      ASSERT_TRUE(e) << d.name << " " << s.key << "=" << shown << ": " << e.error();
      EXPECT_EQ(e->image, d.bytes) << d.name << " " << s.key << "=" << shown;
      EXPECT_TRUE(e->fields.empty() && e->checksums.empty()) << d.name << " " << s.key;
      ++fields;
    }
  }
  EXPECT_GE(fields, 840u);
  EXPECT_GE(none, 9u);
}

// A rate set to a JEDEC grade reads back as that grade wherever it is taken (refused only where
// the image's units cannot come near enough); any other rate is stored as the shortest cycle
// the field holds that is not shorter than 2000 / rate ns.
TEST(Edit, RatesReadBackAsSetAndAreNeverFasterThanAsked) {
  std::size_t grades = 0;
  for (const auto& d : every_image()) {
    for (const auto& s : settables(d.bytes, d.g)) {
      if (s.coding != Coding::Rate) continue;
      for (const auto& bin : speed_bins(d.g)) {
        const auto e = edit_set(d.bytes, d.g, {fmt::format("{}={}", s.key, bin.rate)}, true);
        if (!e) {
          EXPECT_NE(e.error().find("无法存储"), std::string::npos) << e.error();
          continue;
        }
        EXPECT_EQ(rate_of(e->image, s), bin.rate) << d.name << " " << s.key << "=" << bin.rate;
        ++grades;
      }
      for (const unsigned rate : {1700u, 2000u, 2400u, 3000u, 3600u, 4266u, 5000u, 6200u, 7000u}) {
        if (rate_cycle(rate, d.g).grade) continue;
        const auto e = edit_set(d.bytes, d.g, {fmt::format("{}={}", s.key, rate)}, true);
        ASSERT_TRUE(e) << d.name << " " << s.key << "=" << rate << ": " << e.error();
        const auto all = settables(e->image, d.g);
        const Settable* tck = find_settable(all, s.key.substr(0, s.key.size() - 4) + "tck");
        ASSERT_NE(tck, nullptr);
        const double stored = *time_ps(e->image, *tck);
        EXPECT_GE(stored, 2e6 / rate - 1e-3) << d.name << " " << s.key << "=" << rate;
        // The shortest such: a cycle one fine (or medium) unit shorter would be faster than asked.
        const double unit = tck->fine ? tck->ftb_ps : tck->mtb_ps > 0 ? tck->mtb_ps : 1;
        EXPECT_LT(stored - unit, 2e6 / rate + 1e-3) << d.name << " " << s.key << "=" << rate;
      }
    }
  }
  EXPECT_GE(grades, 328u);  // of 330: XMP 1.2's 0.125 ns unit holds nothing near 1.071 or 0.938 ns
}

TEST(Edit, EditsTouchTheirFieldAndItsChecksumsOnly) {
  struct Case {
    DeviceType g;
    std::vector<std::string> set;
    std::vector<std::string> changed;  // keys of the fields that must change on every dump
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR3, {"tck=1.875", "cl_list=5,6,7,8"}, {"tck", "cl_list"}},
           {DeviceType::DDR3,
            {"serial_number=01020304", "manufacturing_date=2015-07"},
            {"serial_number", "manufacturing_date"}},
           {DeviceType::DDR3, {"part_number=REPAIRED-1", "module_maker=Kingston"}, {"part_number"}},
           {DeviceType::DDR3, {"trc=49.375", "tras=36.125"}, {}},
           {DeviceType::DDR4, {"taa=14.000", "trcd=14.125", "rate=2133"}, {"taa", "trcd"}},
           {DeviceType::DDR4, {"serial_number=A1B2C3D4", "dram_maker=2:0x98"}, {"serial_number"}},
           {DeviceType::DDR5, {"taa=16.500", "trrd_l_nck=9", "cl_list=22,26,28,30,32,36,40"}, {"taa"}},
           {DeviceType::DDR5, {"serial_number=00000001", "part_number=X"}, {"serial_number", "part_number"}},
       }) {
    for (const auto& d : dumps()) {
      if (d.g != c.g) continue;
      const auto e = edit_set(d.bytes, d.g, c.set);
      ASSERT_TRUE(e) << d.name << ": " << e.error();
      only_meant_bytes(d.bytes, *e, d.name + " " + c.set.front());
      for (const auto& key : c.changed) {
        EXPECT_TRUE(std::any_of(e->fields.begin(), e->fields.end(), [&](const auto& f) { return f.key == key; }))
            << d.name << " " << key;
      }
    }
  }
  // Profiles: voltages, times, names, enable bits, with the XMP 3.0 and EXPO checksums.
  for (const auto& [file, set] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin",
            {"xmp1.vdd=1.30", "xmp1.name=TG-6000-SAFE", "expo2.enable=0"}},
           {"ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin",
            {"expo1.taa=13.000", "xmp2.command_rate=1"}},
           {"ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin",
            {"xmp1.vdd=1.25", "xmp2.enable=0", "xmp1.rate=3200"}},
           {"ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp.bin", {"xmp1.vdd=1.50", "xmp1.cl_list=7,8,9"}},
       }) {
    const Dump d = dump(file);
    const auto e = edit_set(d.bytes, d.g, set);
    ASSERT_TRUE(e) << file << ": " << e.error();
    EXPECT_EQ(e->fields.size(), set.size()) << file;
    only_meant_bytes(d.bytes, *e, file);
  }
}

// DDR3's base checksum covers bytes 0-116 or 0-125 by byte 0 bit 7: the serial number (122-125)
// is inside the second only.
TEST(Edit, Ddr3SerialRecomputesTheChecksumExactlyWhenItCoversIt) {
  Dump d = dump("ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin");
  ASSERT_NE(d.bytes[0] & 0x80, 0);
  auto e = edit_set(d.bytes, d.g, {"serial_number=11223344"});
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->checksums.empty());
  d.bytes[0] &= 0x7F;
  model::fix_checksums(d.bytes, d.g);
  e = edit_set(d.bytes, d.g, {"serial_number=11223344"});
  ASSERT_TRUE(e);
  ASSERT_EQ(e->checksums.size(), 1u);
  EXPECT_EQ(e->checksums[0].to, 125u);
}

TEST(Edit, RefusalsSayWhyAndChangeNothing) {
  const Dump ddr3 = dump("ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin");
  const Dump ddr5 = dump("ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin");
  Dump broken = ddr3;
  broken.bytes[126] ^= 1;  // the base checksum no longer holds
  struct Case {
    const Dump& d;
    std::vector<std::string> set;
    std::string why;
  };
  for (const auto& c : std::vector<Case>{
           {ddr3, {"twr=15.1"}, "最接近的可存值为 15.125 ns"},
           {ddr3, {"tck=40"}, "超出范围"},
           {ddr3, {"cl_list="}, "应为以逗号分隔的 CAS 延迟"},
           {ddr3, {"cl_list=3,4"}, "CL3 不能存储"},
           {ddr3, {"manufacturing_date=2015-60"}, "应为 YYYY-WW"},
           {ddr3, {"serial_number=123"}, "应为 8 位十六进制数"},
           {ddr3, {"part_number=ÄBC"}, "只能用可打印的 ASCII 字符"},
           {ddr3, {"module_maker=Nobody Inc"}, "JEP106"},
           {ddr3, {"tck"}, "应写成 字段=值"},
           {ddr3, {"trfc2=100"}, "没有可设置的字段“trfc2”"},
           {ddr3, {"taa=13.75", "twr=abc"}, "twr（tWRmin）不能设为“abc”"},  // all or nothing
           {ddr5, {"cl_list=21,22"}, "CL21 不能存储"},
           {ddr5, {"tck=0.4165"}, "最接近的可存值为 0.417"},
           {ddr5, {"xmp1.vdd=1.35"}, "没有可设置的字段"},
           {broken, {"taa=13.75"}, "基本区 CRC 就不正确"},
       }) {
    const auto e = edit_set(c.d.bytes, c.d.g, c.set);
    ASSERT_FALSE(e) << c.set.front();
    EXPECT_NE(e.error().find(c.why), std::string::npos) << e.error();
  }
  // A field outside the broken checksum's range is still settable, and that checksum stays wrong.
  const auto other = edit_set(broken.bytes, broken.g, {"part_number=FIXED"});
  ASSERT_TRUE(other) << other.error();
  EXPECT_FALSE(model::checksums(other->image, broken.g)[0].ok());
}

TEST(Edit, RebinAndPromoteGiveTheDecodeTheyPromise) {
  struct Case {
    std::string file;
    std::function<std::expected<Edited, std::string>(const Dump&)> edit;
    std::vector<std::string> summary;  // in the decoded result's summary
  };
  const auto rebin = [](unsigned speed) { return [speed](const Dump& d) { return edit_rebin(d.bytes, d.g, speed); }; };
  const auto promote = [](std::string p, bool accept) {
    return [p, accept](const Dump& d) { return edit_promote(d.bytes, d.g, p, accept); };
  };
  for (const auto& c : std::vector<Case>{
           {"ddr3-kingston-kvr13ls9s6-2-sodimm-1333.bin", rebin(1066), {"DDR3-1066 (tCK 1.875 ns)", "CL7-7-7-20"}},
           {"ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin", rebin(1866), {"DDR4-1866 (tCK 1.071 ns)", "CL13-"}},
           {"ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin", rebin(4000), {"DDR5-4000 (tCK 0.500 ns)", "CL32-"}},
           {"ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin",
            promote("xmp1", true),
            {"DDR4-3600 (tCK 0.555 ns)", "CL18-22-22-39"}},
           {"ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin",
            promote("expo1", true),
            {"DDR5-6000 (tCK 0.333 ns)", "CL38-38-38-78"}},
           {"ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp.bin",
            promote("xmp1", true),
            {"DDR3-1600 (tCK 1.250 ns)", "CL9-9-9-27"}},
       }) {
    const Dump d = dump(c.file);
    const auto e = c.edit(d);
    ASSERT_TRUE(e) << c.file << ": " << e.error();
    only_meant_bytes(d.bytes, *e, c.file);
    std::string text;
    for (const auto& [label, value] : summary(decode(e->image, d.g))) text += label + ": " + value + "\n";
    for (const auto& s : c.summary) EXPECT_NE(text.find(s), std::string::npos) << c.file << ": " << s << "\n" << text;
  }
  // What they refuse.
  const Dump fury = dump("ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin");
  for (const auto& [e, why] : std::vector<std::pair<std::expected<Edited, std::string>, std::string>>{
           {edit_rebin(fury.bytes, fury.g, 2666), "高于模块的额定速率 DDR4-2400"},
           {edit_rebin(fury.bytes, fury.g, 2000), "不是 DDR4 的 JEDEC 速率"},
           {edit_promote(fury.bytes, fury.g, "xmp1", false), "需要 1.35 V，高于 DDR4 固定的 JEDEC 电压 1.2 V"},
           {edit_promote(fury.bytes, fury.g, "expo1", true), "可选: xmp1、xmp2"},
       }) {
    ASSERT_FALSE(e);
    EXPECT_NE(e.error().find(why), std::string::npos) << e.error();
  }
}

}  // namespace
}  // namespace dimmwand::spd
