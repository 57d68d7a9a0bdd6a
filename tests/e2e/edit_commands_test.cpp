// The editing commands of dimmwand-spd as a user runs them: files written or left alone, the
// report, exit statuses, and check --strict.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>

#include "process.hpp"

namespace dimmwand::spd {
namespace {

using testing::run_spd;
// The editing commands as a user runs them: a new file or none, the report on standard error,
// status 0 / 1 / 2, and the input never touched.
TEST(EditCommands, ANewFileOrNothing) {
  testing::TempDir dir;
  const std::string ddr3 = std::string(DIMMWAND_DUMPS) + "/ddr3-kingston-kvr13ls9s6-2-sodimm-1333.bin";
  const std::string original = testing::read_file(ddr3);
  testing::write_file(dir.file("taken.bin"), "mine");
  testing::write_file(dir.file("in.bin"), original);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // a part of standard error
    std::string out;  // the output: written on success, else left as it was (or absent)
  };
  for (const auto& c : std::vector<Case>{
           {{"rebin", ddr3, "--speed", "1066", "-o", dir.file("a.bin")}, 0, "已保存 256 字节: ", "a.bin"},
           {{"rebin", ddr3, "--speed", "1600", "-o", dir.file("b.bin")}, 1, "高于模块的额定速率", "b.bin"},
           {{"set", ddr3, "taa=13.2004", "-o", dir.file("c.bin")}, 1, "最接近的可存值", "c.bin"},
           {{"set", ddr3, "part_number=X", "-o", dir.file("taken.bin")},
            1,
            "已存在；要替换它请加 --force",
            "taken.bin"},
           {{"set", dir.file("in.bin"), "part_number=X", "-o", dir.file("in.bin"), "--force"},
            1,
            "不能是输入文件",
            "in.bin"},
           {{"promote", ddr3, "--profile", "xmp1", "-o", dir.file("d.bin")}, 1, "没有可用的 XMP 或 EXPO 配置", "d.bin"},
           {{"rebin", ddr3, "--speed", "fast", "-o", dir.file("e.bin")}, 2, "<N> 的值“fast”无效", "e.bin"},
           {{"set", ddr3, "part_number", "-o", dir.file("f.bin")}, 2, "应写成 字段=值", "f.bin"},
       }) {
    const auto r = run_spd(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.front() << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    const bool existed = c.out == "taken.bin" || c.out == "in.bin";
    EXPECT_EQ(std::filesystem::exists(dir.file(c.out)), c.status == 0 || existed) << c.out;
  }
  EXPECT_EQ(testing::read_file(dir.file("taken.bin")), "mine");
  EXPECT_EQ(testing::read_file(dir.file("in.bin")), original);

  // With --force the existing file is replaced; --json puts the list of changes on standard output.
  const auto forced =
      run_spd({"set", ddr3, "serial_number=0000ABCD", "-o", dir.file("taken.bin"), "--force", "--json"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_NE(forced.out.find(R"("field":"serial_number","name":"序列号","old":"511E61C6","new":"0000ABCD")"),
            std::string::npos)
      << forced.out;
  EXPECT_EQ(testing::read_file(dir.file("taken.bin")).size(), original.size());

  // -o - puts the new image on standard output, the report still on standard error.
  const auto piped = run_spd({"rebin", ddr3, "--speed", "1066", "-o", "-"});
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, testing::read_file(dir.file("a.bin")));
  EXPECT_NE(piped.err.find("tck（tCKmin）: 1.500 → 1.875"), std::string::npos) << piped.err;

  // A text dump is edited as the image it holds.
  const auto text = run_spd({"convert", ddr3, "-o", "-"});
  ASSERT_EQ(text.status, 0);
  std::string hex;
  for (std::size_t i = 0; i < original.size(); ++i)
    hex += fmt::format("{:02x}{}", static_cast<unsigned char>(original[i]), i % 16 == 15 ? "\n" : " ");
  testing::write_file(dir.file("dump.txt"), hex);
  const auto from_text = run_spd({"rebin", dir.file("dump.txt"), "--speed", "1066", "-o", dir.file("g.bin")});
  EXPECT_EQ(from_text.status, 0) << from_text.err;
  EXPECT_EQ(testing::read_file(dir.file("g.bin")), testing::read_file(dir.file("a.bin")));
}

// Several NAME=VALUE at once, all or nothing; names in any case; the nearest name for a typo;
// the base rate raised only with --force.
TEST(EditCommands, SeveralAssignmentsAndNamesAsUsersTypeThem) {
  testing::TempDir dir;
  const std::string ddr4 = std::string(DIMMWAND_DUMPS) + "/ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin";
  const std::string fury = std::string(DIMMWAND_DUMPS) + "/ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> err;  // parts of standard error
  };
  int n = 0;
  for (const auto& c : std::vector<Case>{
           {{"set", ddr4, "tAA=14.000", "TRCD=14.000"},
            0,
            {"taa（tAAmin）: 13.750 → 14.000", "trcd（tRCDmin）: 13.750 → 14.000"}},
           {{"set", ddr4, "taa=14.000", "trcd=abc"}, 1, {"trcd（tRCDmin）不能设为“abc”", "未写入文件"}},
           {{"set", ddr4, "serial=00000001"}, 1, {"此映像没有可设置的字段“serial”；你是说 serial_number 吗？"}},
           {{"set", ddr4, "rate=2400"}, 1, {"不能升速；确认要这样做时加 --force"}},
           {{"set", ddr4, "rate=2400", "--force"}, 0, {"tck（tCKAVGmin）: 0.938 → 0.833"}},
           {{"promote", fury, "--profile", "XMP1", "--accept-voltage"}, 0, {"tck（tCKAVGmin）: 0.833 → 0.555"}},
           {{"promote", fury, "--profile", "xnp1", "--accept-voltage"},
            1,
            {"映像没有可用的配置 xnp1；你是说 xmp1 吗？可选: xmp1、xmp2"}},
           {{"rebin", ddr4, "--spead", "1866"}, 2, {"错误: 未知选项: --spead；你是说 --speed 吗？"}},
       }) {
    const std::string out = dir.file(fmt::format("{}.bin", ++n));
    auto args = c.args;
    args.insert(args.end(), {"-o", out});
    const auto r = run_spd(args);
    EXPECT_EQ(r.status, c.status) << c.args[2] << r.err;
    for (const auto& e : c.err) EXPECT_NE(r.err.find(e), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::exists(out), c.status == 0) << c.args[2];
  }
}

// fields marks a value that is none as one set does not take back, in text and in JSON; where
// the timebase is reserved it lists no time and says why, once.
TEST(EditCommands, FieldsMarksWhatSetCannotTakeBack) {
  const std::string kvr = std::string(DIMMWAND_DUMPS) + "/ddr3-kingston-kvr13ls9s6-2-sodimm-1333.bin";
  const auto text = run_spd({"fields", kvr});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find(
                "\ndram_maker: 无效 (0x00 0x00)（颗粒制造商；不是可设置的值；可设的值：JEP106 名称或 bank:code）\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\nmodule_maker = Kingston（"), std::string::npos) << text.out;
  const auto json = run_spd({"fields", kvr, "--json"});
  EXPECT_NE(json.out.find(R"x("key":"dram_maker","name":"颗粒制造商","value":"无效 (0x00 0x00)","settable":false,)x"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("value":"Kingston","settable":true,)"), std::string::npos) << json.out;

  testing::TempDir dir;
  std::string image = testing::read_file(std::string(DIMMWAND_DUMPS) + "/ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin");
  image[17] = 0x01;
  testing::write_file(dir.file("reserved.bin"), image);
  ASSERT_EQ(run_spd({"fix", dir.file("reserved.bin"), "-o", dir.file("fixed.bin")}).status, 0);
  const auto reserved = run_spd({"fields", dir.file("fixed.bin")});
  EXPECT_EQ(reserved.status, 0);
  EXPECT_EQ(reserved.err,
            "注意: 字节 17 = 0x01：时间基准为保留值（JEDEC 只定义了中时基 125 ps 与细时基 1 ps），无法解读时序；"
            "时间字段不能设置\n");
  EXPECT_EQ(reserved.out.find(" ns（"), std::string::npos) << reserved.out;
  EXPECT_TRUE(reserved.out.starts_with("cl_list = 10,11,12,13,14,15,16（")) << reserved.out;
}

// check --strict: warnings, and the exit status still the checksums' alone.
TEST(EditCommands, StrictCheckWarnsWithoutFailing) {
  testing::TempDir dir;
  const std::string ddr4 = std::string(DIMMWAND_DUMPS) + "/ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin";
  ASSERT_EQ(run_spd({"set", ddr4, "trc=20", "-o", dir.file("odd.bin")}).status, 0);
  const auto plain = run_spd({"check", dir.file("odd.bin")});
  const auto strict = run_spd({"check", dir.file("odd.bin"), "--strict"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(strict.status, 0);
  EXPECT_EQ(plain.out.find("警告"), std::string::npos);
  EXPECT_NE(strict.out.find("\n警告: tRC"), std::string::npos) << strict.out;
  EXPECT_NE(run_spd({"check", ddr4, "--strict"}).out.find("一致性检查: 没有发现问题"), std::string::npos);
  const auto json = run_spd({"check", dir.file("odd.bin"), "--strict", "--json"});
  EXPECT_NE(json.out.find(R"("warnings":["tRC)"), std::string::npos) << json.out;
  EXPECT_EQ(run_spd({"check", ddr4, "--json"}).out.find("warnings"), std::string::npos);
}

}  // namespace
}  // namespace dimmwand::spd
