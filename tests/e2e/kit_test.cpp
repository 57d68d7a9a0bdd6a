// dimmwand-spd kit on real modules' dumps: the common setting of modules that can run together,
// and what differs when they cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "process.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_spd;
using testing::TempDir;
using testing::write_file;

std::string line_starting(const std::string& text, const std::string& start) {
  const auto at = text.find("\n" + start);
  return at == std::string::npos ? std::string() : text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

// A module run with itself runs at its own setting: the clocks its info shows.
TEST(Kit, AModuleWithItselfRunsAtTheClocksItsInfoShows) {
  for (const auto& e : std::filesystem::directory_iterator(DIMMWAND_DUMPS)) {
    if (e.path().extension() != ".bin") continue;
    const std::string path = e.path().string();
    const auto kit = run_spd({"kit", path, path}, {});
    EXPECT_EQ(kit.status, 0) << path << kit.err;
    const std::string info = line_starting(run_spd({"info", path}, {}).out, "时序: ");
    EXPECT_EQ(line_starting(kit.out, "时序: "), info.substr(0, info.find(" ("))) << path;
  }
}

TEST(Kit, TheSlowestModuleSetsTheRateAndEachTimingIsTheWorst) {
  TempDir dir;
  for (const auto& [name, dump] :
       std::vector<std::pair<std::string, std::string>>{{"hyperx", "ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp"},
                                                        {"samsung", "ddr3-samsung-m378b5173db0-ck0-udimm-1600"},
                                                        {"sodimm", "ddr3-kingston-kvr13ls9s6-2-sodimm-1333"}}) {
    write_file(dir.file(name + ".bin"), read_file(std::string(DIMMWAND_DUMPS) + "/" + dump + ".bin"));
  }
  const auto r = run_spd({"kit", "samsung.bin", "hyperx.bin"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "模块 1: samsung.bin: DDR3 UDIMM，4 GB，无 ECC，1.5 V，DDR3-1600 (tCK 1.250 ns)\n"
            "模块 2: hyperx.bin: DDR3 UDIMM，4 GB，无 ECC，1.5 V，DDR3-1333 (tCK 1.500 ns)\n"
            "可以一起使用: DDR3 UDIMM，无 ECC，1.5 V\n"
            "共同速率: DDR3-1333 (tCK 1.500 ns，取自模块 2)\n"
            "CL: 9 (tAA 13.125 ns，取自模块 1、2)\n"
            "tRCD: 9 (13.125 ns，取自模块 1、2)\n"
            "tRP: 9 (13.125 ns，取自模块 1、2)\n"
            "tRAS: 24 (36.000 ns，取自模块 2)\n"
            "时序: CL9-9-9-24\n");

  // Voltage: a DDR3L module also runs at 1.5 V; one that runs only at 1.35 V does not.
  std::string low = read_file(dir.file("samsung.bin"));
  low[6] = 0x03;  // not 1.5 V, 1.35 V
  write_file(dir.file("low.bin"), low);
  std::string both = low;
  both[6] = 0x02;
  write_file(dir.file("both.bin"), both);
  EXPECT_NE(
      run_spd({"kit", "both.bin", "samsung.bin"}, dir.path()).out.find("可以一起使用: DDR3 UDIMM，无 ECC，1.5 V\n"),
      std::string::npos);
  EXPECT_NE(run_spd({"kit", "both.bin", "low.bin"}, dir.path()).out.find("可以一起使用: DDR3 UDIMM，无 ECC，1.35 V\n"),
            std::string::npos);

  struct Case {
    std::vector<std::string> files;
    std::string differences;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"low.bin", "samsung.bin"},
            "电压不同: 1.35 V（模块 1），1.5 V（模块 2）\n",
            "错误: 这些模块不能一起使用（电压不同）\n"},
           {{"samsung.bin", "hyperx.bin", "sodimm.bin"},
            "模块类型不同: UDIMM（模块 1、2），SO-DIMM（模块 3）\n",
            "错误: 这些模块不能一起使用（模块类型不同）\n"},
           {{"samsung.bin", std::string(DIMMWAND_SAMPLES) + "/spd4.bin"},
            "代数不同: DDR3（模块 1），DDR4（模块 2）\n",
            "错误: 这些模块不能一起使用（代数不同）\n"},
       }) {
    auto args = c.files;
    args.insert(args.begin(), "kit");
    const auto refused = run_spd(args, dir.path());
    EXPECT_EQ(refused.status, 1) << c.differences;
    EXPECT_TRUE(refused.out.ends_with(c.differences)) << refused.out;
    EXPECT_EQ(refused.err, c.err);
  }
}

// Modules varied from real ones: each timing taken from its own time, the CL from the latencies
// all modules list, and no kit at all when no such CL covers tAA at the common rate.
TEST(Kit, TheCommonCasLatencyIsOneEveryModuleLists) {
  TempDir dir;
  const std::string dumps = std::string(DIMMWAND_DUMPS) + "/";
  for (const auto& [name, dump, set] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"slow-trp", "ddr3-samsung-m378b5173db0-ck0-udimm-1600", "trp=15.000"},
           {"no-cl9", "ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp", "cl_list=6,7,8,10,11"},
           {"cl17-18", "ddr4-hynix-hma42gr7mfr4n-tf-rdimm-cisco-2133", "cl_list=17,18"}}) {
    ASSERT_EQ(run_spd({"set", dumps + dump + ".bin", set, "-o", dir.file(name + ".bin")}).status, 0) << name;
  }
  write_file(dir.file("samsung3.bin"), read_file(dumps + "ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin"));
  write_file(dir.file("hyperx.bin"), read_file(dumps + "ddr3-kingston-hyperx-9905403-440-udimm-1600-xmp.bin"));
  write_file(dir.file("samsung4.bin"), read_file(dumps + "ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin"));
  struct Case {
    std::vector<std::string> files;
    int status;
    std::string line;  // a whole line of standard output
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"slow-trp.bin", "hyperx.bin"}, 0, "tRP: 10 (15.000 ns，取自模块 1)", ""},
           {{"slow-trp.bin", "hyperx.bin"}, 0, "时序: CL9-9-10-24", ""},
           {{"samsung3.bin", "no-cl9.bin"}, 0, "CL: 10 (tAA 13.125 ns，取自模块 1、2)", ""},
           {{"samsung4.bin", "cl17-18.bin"},
            1,
            "CAS 延迟不同: CL 10,11,12,13,14,15,16（模块 1），CL 17,18（模块 2）；共同速率 DDR4-2133 下 tAA 13.750 ns "
            "需要 CL15 或更高，"
            "没有所有模块都支持的",
            "错误: 这些模块不能一起使用（CAS 延迟不同）\n"},
       }) {
    auto args = c.files;
    args.insert(args.begin(), "kit");
    const auto r = run_spd(args, dir.path());
    EXPECT_EQ(r.status, c.status) << c.line << r.err;
    EXPECT_NE(r.out.find("\n" + c.line + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("可以一起使用") == std::string::npos, c.status != 0) << r.out;
    EXPECT_EQ(r.err, c.err);
  }
}

}  // namespace
}  // namespace dimmwand
