// dimmwand-spd on dumps of real modules (tests/data/spd-dumps, sources in SOURCES.md there):
// no false alarms, repairs that touch only checksum bytes, and decodes that agree with the label.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "process.hpp"
#include "spd/image.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_program;
using testing::run_spd;
using testing::TempDir;
using testing::write_file;

std::vector<std::uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(RealDumps, CheckCleanAndFixChangesNothing) {
  TempDir dir;
  ASSERT_EQ(testing::dump_paths().size(), 12u);
  for (const auto& path : testing::dump_paths()) {
    const auto check = run_spd({"check", path});
    EXPECT_EQ(check.status, 0) << path << "\n" << check.out << check.err;
    EXPECT_EQ(check.out.find("错误"), std::string::npos) << check.out;
    const auto fix = run_spd({"fix", path, "-o", dir.file("fixed.bin"), "--force"});
    EXPECT_EQ(fix.status, 0) << fix.err;
    EXPECT_TRUE(fix.out.starts_with("校验和均正确，未作修改\n")) << fix.out;
    EXPECT_EQ(read_file(dir.file("fixed.bin")), read_file(path)) << path;
  }
}

TEST(RealDumps, FixOfABrokenBlockWritesOnlyItsChecksum) {
  for (const auto& path : testing::dump_paths()) {
    const auto original = bytes(read_file(path));
    const auto g = spd::identify(original, std::nullopt);
    ASSERT_TRUE(g) << path;
    for (const auto& block : spd::checksums(original, *g)) {
      auto broken = original;
      broken[block.from + 5] ^= 0x20;  // a covered byte, never a checksum
      auto fixed = broken;
      const auto changed = spd::fix_checksums(fixed, *g);
      ASSERT_EQ(changed.size(), 1u) << path << " " << block.name;
      EXPECT_EQ(changed.front().name, block.name);
      for (std::size_t i = 0; i < fixed.size(); ++i) {
        if (i != block.at && i != block.at + 1) {
          EXPECT_EQ(fixed[i], broken[i]) << path << " byte " << i;
        }
      }
      EXPECT_NE(fixed, broken);
    }
  }
}

TEST(RealDumps, TheSummaryAgreesWithTheLabel) {
  struct Case {
    std::string file;
    std::vector<std::string> lines;  // each must stand in the output
  };
  for (const auto& c : std::vector<Case>{
           {"ddr3-crucial-blt8g3d1869dt1tx0-udimm-1866-xmp.bin",
            {"类型: DDR3 SDRAM", "容量: 8 GB", "模块制造商: Crucial Technology", "DDR3-1866"}},
           {"ddr3-hynix-hmt351r7cfr4c-pb-rdimm-1600-hp.bin",
            {"类型: DDR3 SDRAM", "模块类型: RDIMM", "容量: 4 GB", "速率: DDR3-1600", "模块制造商: SK Hynix"}},
           {"ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp.bin",
            {"类型: DDR3 SDRAM", "容量: 4 GB", "速率: DDR3-1333", "模块制造商: Kingston", "DDR3-1600"}},
           {"ddr3-kingston-kvr13ls9s6-2-sodimm-1333.bin",
            {"模块类型: SO-DIMM", "容量: 2 GB", "速率: DDR3-1333", "模块制造商: Kingston"}},
           {"ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin",
            {"模块类型: UDIMM", "容量: 4 GB", "速率: DDR3-1600", "模块制造商: Samsung"}},
           {"ddr4-hynix-hma42gr7mfr4n-tf-rdimm-cisco-2133.bin",
            {"类型: DDR4 SDRAM", "模块类型: RDIMM", "容量: 16 GB", "速率: DDR4-2133", "模块制造商: SK Hynix"}},
           {"ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin",
            {"类型: DDR4 SDRAM", "容量: 16 GB", "模块制造商: Kingston", "DDR4-3600 CL18"}},
           {"ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin",
            {"模块类型: RDIMM", "容量: 8 GB", "速率: DDR4-2133", "模块制造商: Samsung"}},
           {"ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin",
            {"类型: DDR5 SDRAM", "模块类型: RDIMM", "容量: 64 GB", "速率: DDR5-4800", "模块制造商: Micron Technology"}},
           {"ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin",
            {"模块类型: UDIMM", "容量: 16 GB", "模块制造商: Team Group", "DDR5-6000 CL38-38-38 1.25 V",
             "\"TG-6000-38-38-78\""}},
       }) {
    const auto r = run_spd({"info", std::string(DIMMWAND_DUMPS) + "/" + c.file});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& line : c.lines)
      EXPECT_NE(r.out.find(line), std::string::npos) << c.file << ": " << line << "\n" << r.out;
  }
}

}  // namespace
}  // namespace dimmwand

namespace dimmwand {
namespace {

TEST(RealDumps, TheFullDecodeOfDdr5) {
  struct Case {
    std::string file;
    std::vector<std::string> lines;
  };
  for (const auto& c : std::vector<Case>{
           {"ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin",
            {"模块类型: RDIMM\n", "容量: 64 GB\n", "总线: 2 个子通道 × 32 位 + 8 位 ECC\n",
             "常规刷新恢复时间 (tRFC1): 295 ns\n", "同 bank 刷新恢复时间 (tRFCsb): 130 ns\n",
             "SPD 集线器: SPD5118，制造商 IDT (bank 1, 0xB3)",
             "寄存时钟驱动器 (RCD): RCD01，制造商 Montage Technology Group (bank 7, 0x32)", "温度传感器: TS5111",
             "生产日期: 2022 年第 43 周\n", "序列号: 0x3BF239F8\n", "型号: MTC40F2046S1RC48BA1\n"}},
           {"ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin",
            {"== XMP 3.0 ==\n", "配置 1 名称: TG-6000-38-38-78\n", "配置 1 时序: CL38-38-38-78\n", "== EXPO ==\n",
             "配置 2 速率: DDR5-5600 (tCK 0.357 ns)\n", "PMIC 0: PMIC5100，制造商 Richtek Power (bank 11, 0x8C)"}},
       }) {
    const auto r = run_spd({"info", "--all", std::string(DIMMWAND_DUMPS) + "/" + c.file});
    EXPECT_EQ(r.status, 0) << r.err;
    for (const auto& line : c.lines) EXPECT_NE(r.out.find(line), std::string::npos) << c.file << ": " << line;
  }
}

}  // namespace
}  // namespace dimmwand

namespace dimmwand {
namespace {

// Each --json document, read by an independent parser (jq), says what the text says, and the
// exit status is the text's.
TEST(SpdJson, DocumentsAnswerQueries) {
  TempDir dir;
  std::string broken = read_file(std::string(DIMMWAND_SAMPLES) + "/spd4.bin");
  broken[200] ^= 0x01;
  write_file(dir.file("broken.bin"), broken);
  const std::string dumps = DIMMWAND_DUMPS;
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string query;  // must yield true
  };
  for (const auto& c : std::vector<Case>{
           {{"info", "--json", dumps + "/ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin"},
            0,
            ".generation == 4 and .data_rate == 2400 and .capacity_mb == 16384 and .timings.taa.ps == 13750 and "
            ".timings.taa.ns == 13.75 and .module_maker.name == \"Kingston\" and .xmp.profiles[0].data_rate == 3600 "
            "and "
            ".xmp.profiles[0].cl == 18 and .xmp.profiles[0].vdd == 1.35 and .manufacturing_date.week == 32"},
           {{"info", "--all", "--json", dumps + "/ddr3-hynix-hmt351r7cfr4c-pb-rdimm-1600-hp.bin"},
            0,
            "([.sections[].fields[] | select(.label == \"寄存器型号\")][0].value) == \"SSTE32882\""},
           {{"info", "--json", std::string(DIMMWAND_SAMPLES) + "/reg5.bin"},
            0,
            ".kind == \"reg\" and .spd5118 and .protected_blocks == [] and .temperature_c == 23 and "
            ".override_available == false"},
           {{"check", "--json", dumps + "/ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin"},
            0,
            ".ok and (.checksums | length) == 5 and ([.skipped[].name] | index(\"XMP 配置 5\")) != null and "
            "[.checksums[].id] == [\"base\", \"xmp3.header\", \"xmp3.profile1\", \"xmp3.profile2\", \"expo\"] and "
            "[.skipped[].id] == [\"xmp3.profile3\", \"xmp3.profile4\", \"xmp3.profile5\"]"},
           {{"check", "--json", dir.file("broken.bin")},
            1,
            ".ok == false and .checksums[1].ok == false and .checksums[1].stored == 45741"},
           {{"diff", "--json", dir.file("broken.bin"), std::string(DIMMWAND_SAMPLES) + "/spd4.bin"},
            1,
            ".same == false and .runs == [{\"from\": 200, \"to\": 200, \"old\": [" +
                std::to_string(static_cast<std::uint8_t>(broken[200])) + "], \"new\": [" +
                std::to_string(static_cast<std::uint8_t>(broken[200] ^ 0x01)) + "], \"fields\": .runs[0].fields}]"},
       }) {
    auto r = run_spd(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << r.err;
    write_file(dir.file("doc.json"), r.out);
    const auto q = run_program({"/usr/bin/jq", "-e", c.query, dir.file("doc.json")});
    EXPECT_EQ(q.out, "true\n") << c.args[0] << ": " << c.query << "\n" << q.err << r.out.substr(0, 400);
  }
}

}  // namespace
}  // namespace dimmwand
