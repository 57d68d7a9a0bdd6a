// check --strict: the consistency rules any image should meet beyond its checksums, on every
// real dump and on images varied from them.
#include <gtest/gtest.h>

#include <filesystem>

#include "files.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/settable.hpp"
#include "spd/strict.hpp"

namespace dimmwand::spd {
namespace {

struct Real {
  std::string name;
  std::vector<std::uint8_t> bytes;
  DeviceType g;
};

Real real(const std::string& name) {
  const std::string bytes = testing::read_file(testing::dump_path(name));
  std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
  return {name, b, *identify(b, std::nullopt)};
}

std::vector<Real> every_real() {
  std::vector<Real> out;
  for (const auto& path : testing::dump_paths()) out.push_back(real(std::filesystem::path(path).filename().string()));
  return out;
}

std::string all_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

const std::string kSamsung3 = "ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin";
const std::string kCrucial3 = "ddr3-crucial-blt8g3d1869dt1tx0-udimm-1866-xmp.bin";
const std::string kSamsung4 = "ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin";
const std::string kFury4 = "ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin";
const std::string kMicron5 = "ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin";
const std::string kTeam5 = "ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin";

TEST(Strict, RealModulesMeetEveryRuleAndMadeFaultsAreNamed) {
  for (const auto& d : every_real()) {
    const auto w = strict_warnings(d.bytes, d.g);
    // The Advantech image's date was set by hand to no date at all (SOURCES.md).
    if (d.name.starts_with("ddr5-advantech")) {
      ASSERT_EQ(w.size(), 1u) << d.name;
      EXPECT_NE(w[0].find("生产日期不可信"), std::string::npos) << w[0];
    } else {
      EXPECT_TRUE(w.empty()) << d.name << ": " << (w.empty() ? "" : w.front());
    }
  }
  // The shipped samples are consistent modules too.
  for (const char* name : {"spd3", "spd4", "spd5"}) {
    const std::string bytes = testing::read_file(testing::sample_path(name));
    const std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
    const auto w = strict_warnings(b, *identify(b, std::nullopt));
    EXPECT_TRUE(w.empty()) << name << ": " << (w.empty() ? "" : w.front());
  }
  struct Case {
    const char* file;
    std::vector<std::string> set;
    std::string warning;
  };
  for (const auto& c : std::vector<Case>{
           {"ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin", {"trc=40.000"}, "tRC 40.000 ns 小于 tRAS + tRP"},
           {"ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin",
            {"cl_list=10,11,12,13,14,16"},
            "CL15 不在支持的 CAS 延迟列表中"},
           {"ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin", {"cl_list=22,26,28"}, "CL40 不在支持的 CAS 延迟列表中"},
           {"ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin",
            {"xmp2.rate=2133"},
            "XMP 配置 2: 速率 DDR4-2133 低于基本区的 DDR4-2400"},
           {"ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin", {"manufacturing_date=2004-10"}, "生产日期不可信"},
           {"ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin",
            {"module_maker=2:0x18"},
            ""},  // parity is set by the editor
       }) {
    const Real d = real(c.file);
    const auto e = edit_set(d.bytes, d.g, c.set);
    ASSERT_TRUE(e) << e.error();
    if (c.warning.empty()) {
      EXPECT_TRUE(e->warnings.empty());
      continue;
    }
    ASSERT_FALSE(e->warnings.empty()) << c.set.front();
    EXPECT_NE(e->warnings.front().find(c.warning), std::string::npos) << e->warnings.front();
  }
  // Faults no editor makes, made by hand: a density the addressing does not give, a wrong parity.
  Real d = real("ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin");
  d.bytes[4] = static_cast<std::uint8_t>((d.bytes[4] & 0xF0) | 0x05);  // 8 Gb on a 4 Gb die's rows
  d.bytes[320] ^= 0x80;
  const auto w = strict_warnings(d.bytes, d.g);
  ASSERT_EQ(w.size(), 2u);
  EXPECT_NE(w[0].find("颗粒容量 8 Gb 与寻址不符"), std::string::npos) << w[0];
  EXPECT_NE(w[1].find("模块制造商的 JEP106 校验位不成立"), std::string::npos) << w[1];
}

// check --strict names every value the base section, or a profile switched on, cannot run
// without, and a tCKmax below tCKmin. Profiles are emptied by hand: set refuses to.
TEST(Strict, NamesEveryValueASectionCannotRunWithout) {
  struct Case {
    Real m;
    std::vector<std::string> set;
    std::string warning;
  };
  for (const auto& c : std::vector<Case>{
           {real(kSamsung4), {"trcd=0"}, "tRCDmin 为 0 或为空"},
           {real(kSamsung4), {"trp=0", "tras=0", "trc=0"}, "tRPmin、tRASmin、tRCmin 为 0 或为空"},
           {real(kSamsung3), {"trfc=0"}, "tRFCmin 为 0 或为空"},
           {real(kMicron5), {"taa=0"}, "tAAmin 为 0 或为空"},
           {real(kTeam5), {"expo1.taa=0", "expo1.trcd=0"}, "EXPO 配置 1: 已启用，但 tAA、tRCD 为 0 或为空"},
           {real(kTeam5), {"xmp1.vdd=0", "xmp1.vddq=0"}, "XMP 配置 1: 已启用，但 VDD、VDDQ 为 0 或为空"},
           {real(kFury4), {"xmp1.vdd=0"}, "XMP 配置 1: 已启用，但 电压 为 0 或为空"},
           {real(kCrucial3), {"xmp1.cl_list=6", "xmp1.trp=0"}, "XMP 配置 1: 已启用，但 tRPmin 为 0 或为空"},
           {real(kSamsung4), {"tck_max=0.500"}, "tCKAVGmax 0.500 ns 小于 tCKAVGmin 0.938 ns"},
           {real(kMicron5), {"tck_max=0"}, "tCKAVGmax 0.000 ns 小于 tCKAVGmin 0.416 ns"},
       }) {
    std::vector<std::uint8_t> image = c.m.bytes;
    const auto all = settables(image, c.m.g);
    for (const auto& a : c.set) {
      const auto eq = a.find('=');
      ASSERT_TRUE(write_value(image, *find_settable(all, a.substr(0, eq)), a.substr(eq + 1))) << a;
    }
    model::fix_checksums(image, c.m.g);
    const std::string w = all_lines(strict_warnings(image, c.m.g));
    EXPECT_NE(w.find(c.warning), std::string::npos) << c.set.front() << ":\n" << w;
  }
}

// The headline CL must be listed and cover tAA at the cycle time; one clock short is named.
TEST(Strict, AHeadlineClOneShortOfTaaIsNamed) {
  struct Case {
    DeviceType g;
    unsigned cl;
    double tck, taa;
    std::vector<unsigned> cas;
    std::string finding;  // "" for none
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR4, 15, 938, 13750, {10, 11, 12, 13, 14, 15, 16}, ""},
           {DeviceType::DDR4,
            14,
            938,
            13750,
            {10, 11, 12, 13, 14, 15, 16},
            "CL14 在 tCK 0.938 ns 下不满足 tAA 13.750 ns"},
           {DeviceType::DDR3, 8, 1500, 13125, {6, 7, 8, 9}, "CL8 在 tCK 1.500 ns 下不满足 tAA 13.125 ns"},
           {DeviceType::DDR5, 38, 333, 12654, {22, 26, 28, 30, 32, 36, 38, 40}, ""},
           {DeviceType::DDR5, 36, 333, 12654, {22, 26, 28, 30, 32, 36, 38, 40}, "CL36 在 tCK 0.333 ns 下不满足"},
           {DeviceType::DDR4, 17, 938, 13750, {10, 11, 12, 13, 14, 15, 16}, "CL17 不在支持的 CAS 延迟列表中"},
       }) {
    const auto finding = cl_finding(c.g, c.cl, c.tck, c.taa, c.cas);
    EXPECT_EQ(finding.has_value(), !c.finding.empty()) << c.cl << ": " << finding.value_or("(none)");
    if (finding && !c.finding.empty()) {
      EXPECT_NE(finding->find(c.finding), std::string::npos) << *finding;
    }
  }
}

}  // namespace
}  // namespace dimmwand::spd
