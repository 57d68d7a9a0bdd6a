// The rules an edit must keep so that it cannot mislead, each on a real dump or an image varied
// from one: the cycle time a rate is stored as, the base rate raised only on request, profiles
// promoted only when intact and at voltages a board gives, no empty profile switched on, dates
// read as the decode reads them, and every checksum over a changed byte recomputed.
#include <gtest/gtest.h>

#include <algorithm>

#include "files.hpp"
#include "spd/decode.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/settable.hpp"
#include "spd/strict.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Module {
  Bytes bytes;
  DeviceType g;
};

Module module(const std::string& name) {
  const std::string bytes = testing::read_file(testing::dump_path(name));
  Bytes b(bytes.begin(), bytes.end());
  return {b, *identify(b, std::nullopt)};
}

const std::string kDdr3 = "ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin";
const std::string kDdr3Ftb25 = "ddr3-crucial-blt8g3d1869dt1tx0-udimm-1866-xmp.bin";  // fine timebase 2.5 ps
const std::string kDdr4 = "ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin";
const std::string kFury = "ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin";
const std::string kDdr5 = "ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin";
const std::string kTeam = "ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin";

std::string value(const Bytes& image, DeviceType g, const std::string& key) {
  const auto all = settables(image, g);
  const Settable* f = find_settable(all, key);
  return f != nullptr ? read_value(image, *f) : "(none)";
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

// A rate by name stores its grade's JEDEC cycle, whatever the timebase; any other rate the
// shortest cycle not shorter than 2000/rate ns, and says so.
TEST(EditRules, ARateIsStoredAsItsGradesCycle) {
  struct Case {
    std::string file;
    std::vector<std::string> set;
    std::string key, stored;                                  // the cycle time as it reads back
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // where given, the bytes stored
    std::string note;                                         // a part of the notes ("" for none)
  };
  for (const auto& c : std::vector<Case>{
           {kFury, {"rate=2133"}, "tck", "0.938", {{18, 0x08}, {125, 0xC2}}, ""},
           {kDdr4, {"rate=1866"}, "tck", "1.071", {{18, 0x09}, {125, 0xCA}}, ""},
           {kDdr3, {"rate=2133"}, "tck", "0.938", {{12, 0x08}, {34, 0xC2}}, ""},
           {kDdr3Ftb25,
            {"rate=2133"},
            "tck",
            "0.9375",
            {},
            "DDR3-2133 的周期 0.938 ns 在此映像中存为 0.9375 ns（微调单位 2.5 ps）"},
           {kFury, {"xmp1.rate=2133"}, "xmp1.tck", "0.938", {}, ""},
           {kFury,
            {"xmp1.rate=3466"},
            "xmp1.tck",
            "0.578",
            {},
            "3466 MT/s 不是 DDR4 的 JEDEC 速率：xmp1.rate 的周期存为 0.578 ns"},
           {kDdr5, {"rate=4400"}, "tck", "0.454", {}, ""},
           {kTeam, {"expo2.rate=6400"}, "expo2.tck", "0.312", {}, ""},
           {kTeam, {"xmp2.rate=6100"}, "xmp2.tck", "0.328", {}, "6100 MT/s 不是 DDR5 的 JEDEC 速率"},
           // 0.555 ns reads as 3600 but is shorter than 2000/3600 ns: never faster than asked.
           {kFury, {"xmp1.rate=3600"}, "xmp1.tck", "0.556", {}, "xmp1.rate 的周期存为 0.556 ns（不短于 2000/3600 ns）"},
           // A fine unit of 2.5 ps cannot hold 1.071 ns: not 1.070, which is faster than 7.5/7 ns.
           {kDdr3Ftb25,
            {"rate=1866"},
            "tck",
            "1.0725",
            {},
            "存为 1.0725 ns（微调单位 2.5 ps），不短于该速率档的 1.071429 ns"},
           // A 1/14 ns unit holds DDR3-1866's 7.5/7 ns exactly, as the profile has it: kept.
           {kDdr3Ftb25, {"xmp1.rate=1866"}, "xmp1.tck", "1.071429", {}, ""},
           {kDdr3Ftb25, {"xmp1.rate=2400"}, "xmp1.tck", "0.833571", {}, "不是 DDR3 的 JEDEC 速率"},
           // The rate a cycle time reads as: DDR5 to the nearest 100 MT/s (0.417 ns is 4796).
           {kDdr5, {"tck=0.417"}, "rate", "4800", {}, ""},
       }) {
    const Module m = module(c.file);
    const auto e = edit_set(m.bytes, m.g, c.set, true);
    ASSERT_TRUE(e) << c.set.front() << ": " << e.error();
    EXPECT_EQ(value(e->image, m.g, c.key), c.stored) << c.set.front();
    for (const auto& [at, byte] : c.bytes) EXPECT_EQ(e->image[at], byte) << c.set.front() << " byte " << at;
    if (c.note.empty()) {
      EXPECT_TRUE(e->notes.empty()) << c.set.front() << ": " << joined(e->notes);
    } else {
      EXPECT_NE(joined(e->notes).find(c.note), std::string::npos) << joined(e->notes);
    }
  }
  // rebin stores the same cycle as set.
  const Module fury = module(kFury);
  const auto rebinned = edit_rebin(fury.bytes, fury.g, 2133);
  ASSERT_TRUE(rebinned) << rebinned.error();
  EXPECT_EQ(rebinned->image[18], 0x08);
  EXPECT_EQ(rebinned->image[125], 0xC2);
}

// The base rate is what the chips were tested at: raised only with --force; profiles are free.
TEST(EditRules, TheBaseRateIsRaisedOnlyOnRequest) {
  const Module m = module(kDdr4);
  for (const auto& set : std::vector<std::vector<std::string>>{{"rate=2400"}, {"tck=0.833"}}) {
    const auto refused = edit_set(m.bytes, m.g, set);
    ASSERT_FALSE(refused) << set.front();
    EXPECT_NE(refused.error().find("DDR4-2400 高于模块的额定速率 DDR4-2133"), std::string::npos) << refused.error();
    EXPECT_NE(refused.error().find("--force"), std::string::npos) << refused.error();
    EXPECT_TRUE(edit_set(m.bytes, m.g, set, true)) << set.front();
  }
  const Module fury = module(kFury);
  EXPECT_TRUE(edit_set(fury.bytes, fury.g, {"xmp1.rate=4000"}));
}

// A profile whose own checksum fails is neither promoted nor edited: one flipped bit in its tAA
// would become the base's timings under a valid base checksum.
TEST(EditRules, AProfileWhoseChecksumFailsIsRefused) {
  for (const auto& [at, profile, checksum] : std::vector<std::tuple<std::size_t, std::string, std::string>>{
           {0x351, "expo1", "EXPO CRC"}, {0x2CE, "xmp1", "XMP 配置 1 CRC"}}) {
    Module m = module(kTeam);
    m.bytes[at] ^= 0x10;
    const auto promoted = edit_promote(m.bytes, m.g, profile, true);
    ASSERT_FALSE(promoted) << profile;
    EXPECT_NE(promoted.error().find(checksum + " 不正确"), std::string::npos) << promoted.error();
    EXPECT_NE(promoted.error().find("dimmwand-spd check"), std::string::npos) << promoted.error();
    const auto set = edit_set(m.bytes, m.g, {profile + ".taa=16.000"});
    ASSERT_FALSE(set) << profile;
    EXPECT_NE(set.error().find("修改前 " + checksum + " 就不正确"), std::string::npos) << set.error();
  }
}

// Without XMP or EXPO a board gives DDR5 1.1 V on VDD and VDDQ and 1.8 V on VPP: a profile
// above any of them is promoted only with accept_voltage, and the refusal names the rail.
TEST(EditRules, PromoteGuardsEveryRail) {
  struct Case {
    std::vector<std::string> set;
    std::string refusal;  // "" when promoted without accept_voltage
  };
  for (const auto& c : std::vector<Case>{
           {{"expo1.vdd=1.10", "expo1.vddq=1.20", "expo1.vpp=1.80"},
            "expo1 的 VDDQ 需要 1.20 V，高于 DDR5 固定的 JEDEC 电压 1.1 V"},
           {{"expo1.vdd=1.10", "expo1.vddq=1.10", "expo1.vpp=1.90"},
            "expo1 的 VPP 需要 1.90 V，高于 DDR5 固定的 JEDEC 电压 1.8 V"},
           {{"expo1.vdd=1.15", "expo1.vddq=1.10", "expo1.vpp=1.80"}, "expo1 的 VDD 需要 1.15 V"},
           {{"expo1.vdd=1.10", "expo1.vddq=1.10", "expo1.vpp=1.80"}, ""},
       }) {
    const Module m = module(kTeam);
    const auto varied = edit_set(m.bytes, m.g, c.set);
    ASSERT_TRUE(varied) << varied.error();
    const auto promoted = edit_promote(varied->image, m.g, "expo1", false);
    EXPECT_EQ(promoted.has_value(), c.refusal.empty()) << c.set[1] << c.set[2];
    if (!promoted) {
      EXPECT_NE(promoted.error().find(c.refusal), std::string::npos) << promoted.error();
    }
    EXPECT_TRUE(edit_promote(varied->image, m.g, "expo1", true));
  }
}

// A profile switched on with no cycle time is refused by set, and check --strict names one.
TEST(EditRules, NoEmptyProfileIsSwitchedOn) {
  const Module team = module(kTeam);
  const auto emptied = edit_set(team.bytes, team.g, {"expo2.enable=0", "expo2.tck=0"});
  ASSERT_TRUE(emptied) << emptied.error();
  const Module hyperx = module("ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp.bin");
  for (const auto& [image, g, set, why] :
       std::vector<std::tuple<Bytes, DeviceType, std::vector<std::string>, std::string>>{
           {emptied->image, team.g, {"expo2.enable=1"}, "expo2 缺少 expo2.tck（为 0 或为空）"},
           {team.bytes, team.g, {"xmp2.tck=0"}, "xmp2 缺少 xmp2.tck（为 0 或为空）"},
           {hyperx.bytes, hyperx.g, {"xmp2.enable=1"}, "xmp2 没有可读的时间基准"},
       }) {
    const auto e = edit_set(image, g, set);
    ASSERT_FALSE(e) << set.front();
    EXPECT_NE(e.error().find(why), std::string::npos) << e.error();
  }
  EXPECT_TRUE(edit_set(emptied->image, team.g, {"expo2.enable=1", "expo2.rate=5600"}));
  // One made by hand: the cycle time cleared and the checksum fixed.
  Bytes by_hand = team.bytes;
  const auto all = settables(by_hand, team.g);
  const Settable* tck = find_settable(all, "xmp2.tck");
  ASSERT_NE(tck, nullptr);
  by_hand[tck->field.offset] = by_hand[tck->field.offset + 1] = 0;
  model::fix_checksums(by_hand, team.g);
  const std::string w = joined(strict_warnings(by_hand, team.g));
  EXPECT_NE(w.find("XMP 配置 2: 已启用，但 tCKAVGmin 为 0 或为空"), std::string::npos) << w;
}

Module sample(const std::string& name) {
  const std::string bytes = testing::read_file(testing::sample_path(name));
  Bytes b(bytes.begin(), bytes.end());
  return {b, *identify(b, std::nullopt)};
}

// What set refuses because the module could not run, or because it cannot know what is meant:
// a base cycle time of 0, a profile switched on without what a board needs of it, one value
// given twice. The refusal names what is missing, or both assignments.
TEST(EditRules, SetRefusesAModuleThatCannotRunAndAValueGivenTwice) {
  struct Case {
    Module m;
    std::vector<std::string> set;
    std::string why;  // "" where set takes it
  };
  const std::string xmp2_missing =
      "xmp2 缺少 xmp2.taa、xmp2.trcd、xmp2.trp、xmp2.tras、xmp2.trc、xmp2.trfc1、xmp2.cl_list、xmp2.vdd、xmp2.vddq、"
      "xmp2.vpp（为 0 或为空）";
  for (const auto& c : std::vector<Case>{
           {module(kDdr3), {"tck=0"}, "tck（tCKmin）不能设为 0"},
           {module(kDdr4), {"tck=0.000"}, "tck（tCKAVGmin）不能设为 0"},
           {module(kDdr5), {"tck=0"}, "tck（tCKAVGmin）不能设为 0"},
           {sample("spd5"), {"xmp2.enable=1", "xmp2.rate=4800"}, xmp2_missing},
           {sample("spd5"),
            {"xmp2.enable=1", "xmp2.rate=4800", "xmp2.taa=16", "xmp2.trcd=16", "xmp2.trp=16", "xmp2.tras=32",
             "xmp2.trc=48", "xmp2.trfc1=295", "xmp2.cl_list=40", "xmp2.vdd=1.1", "xmp2.vddq=1.1"},
            "xmp2 缺少 xmp2.vpp（为 0 或为空）"},
           {sample("spd5"),
            {"xmp2.enable=1", "xmp2.rate=4800", "xmp2.taa=16", "xmp2.trcd=16", "xmp2.trp=16", "xmp2.tras=32",
             "xmp2.trc=48", "xmp2.trfc1=295", "xmp2.cl_list=40", "xmp2.vdd=1.1", "xmp2.vddq=1.1", "xmp2.vpp=1.8"},
            ""},
           {module(kTeam), {"expo1.vddq=0"}, "expo1 缺少 expo1.vddq"},
           {module(kTeam), {"expo1.enable=0", "expo1.vddq=0"}, ""},  // a profile switched off may be emptied
           {module(kFury), {"xmp1.cl_list=", "xmp1.enable=1"}, "应为以逗号分隔的 CAS 延迟"},
           {module(kDdr5), {"taa=14", "TAA=15"}, "“taa=14”与“TAA=15”都设定 taa（tAAmin）"},
           {module(kDdr4), {"rate=2133", "tck=0.750"}, "“rate=2133”与“tck=0.750”设定同一个值"},
           {module(kTeam), {"xmp1.enable=1", "xmp2.enable=0", "xmp1.name=A"}, ""},  // bits of one byte, apart
       }) {
    const auto e = edit_set(c.m.bytes, c.m.g, c.set, true);
    if (c.why.empty()) {
      EXPECT_TRUE(e) << c.set.front() << ": " << e.error();
      continue;
    }
    ASSERT_FALSE(e) << c.set.front();
    EXPECT_NE(e.error().find(c.why), std::string::npos) << e.error();
  }
}

// Dates as decode-dimms reads them: BCD, or binary where the BCD reading is impossible (two
// Corsair DDR3 modules store 0D 20 and 0A 0F: 2013-W32 and 2010-W15); doubtful only when neither
// reading is a week of a year the generation was made in.
TEST(EditRules, DatesAreReadAsTheDecodeReadsThem) {
  struct Case {
    std::uint8_t year, week;
    std::string field;  // as fields and set read it
    bool doubtful;
  };
  for (const auto& c : std::vector<Case>{
           {0x0D, 0x20, "2013-32", false},
           {0x0A, 0x0F, "2010-15", false},
           {0x13, 0x32, "2013-32", false},
           {0x13, 0x00, "无效 (0x1300)", true},
           {0x0D, 0x40, "无效 (0x0D40)", true},
           {0x04, 0x0A, "2004-10", true},
       }) {
    Module m = module(kDdr3);
    m.bytes[120] = c.year;
    m.bytes[121] = c.week;
    model::fix_checksums(m.bytes, m.g);
    EXPECT_EQ(value(m.bytes, m.g, "manufacturing_date"), c.field);
    const std::string w = joined(strict_warnings(m.bytes, m.g));
    EXPECT_EQ(w.find("生产日期不可信") != std::string::npos, c.doubtful) << c.field << ": " << w;
  }
}

// A change to the last byte a checksum covers (DDR4 byte 125, tCKmin's fine correction, under
// the base CRC over 0-125) recomputes that checksum.
TEST(EditRules, TheLastByteOfAChecksumsRangeIsCovered) {
  const Module m = module(kDdr4);
  const auto e = edit_set(m.bytes, m.g, {"tck=0.940"});
  ASSERT_TRUE(e) << e.error();
  ASSERT_EQ(e->fields.size(), 1u);
  EXPECT_EQ(e->fields[0].bytes, std::vector<std::size_t>{125});
  for (const auto& c : model::checksums(e->image, m.g)) EXPECT_TRUE(c.ok()) << c.name;
}

}  // namespace
}  // namespace dimmwand::spd
