// The careful write and read: verification, minimal writes, backups, block protection and
// interruption, end to end against the emulator's module faults.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "emulator.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::logged_frames;
using testing::port_named;
using testing::read_file;
using testing::run_with_emulator;
using testing::sample_path;
using testing::TempDir;
using testing::write_file;
using testing::written_bytes;

using Writes = std::vector<std::string>;

TEST(CarefulWrite, OutcomesOnHealthyAndFaultyModules) {
  TempDir dir;
  std::string edited = read_file(sample_path("spd5"));
  edited[0x1FE] = '\x11';  // the base checksum, as a repair would change it
  edited[0x1FF] = '\x22';
  write_file(dir.file("edited5.bin"), edited);
  write_file(dir.file("spd5.bin"), read_file(sample_path("spd5")));
  write_file(dir.file("spd4.bin"), read_file(sample_path("spd4")));
  write_file(dir.file("blank-reg.bin"), std::string(128, '\0'));
  std::string rewritten4 = read_file(sample_path("spd4"));
  for (std::size_t i = 0x100; i < 0x108; ++i) rewritten4[i] = '\x5A';
  write_file(dir.file("rewritten4.bin"), rewritten4);
  struct Case {
    std::vector<std::string> emulator;
    std::vector<std::string> args;  // after "write {port}"
    int status;
    std::string out;
    std::string err;
    std::optional<std::vector<std::string>> writes;  // the byte writes on the line, where the case is about them
  };
  // After a failed verification without a backup: how to see what the module holds now.
  const auto advice = [](const std::string& device) {
    return fmt::format(
        "提示: 模块现在的内容与映像不符，其校验和可能已不正确；用 dimmwand read {{port}} {} -o 现状.bin 读出，"
        "dimmwand-spd check 现状.bin 会显示它现在的内容\n",
        device);
  };
  const std::string protection_error =
      "错误: 块 7 受写保护（MR12=80 MR13=00），未写入任何字节\n"
      "提示: 块写保护只能在 SPD 集线器的脱机模式下清除（模块 HSA 引脚接地，再把 MR12、MR13 的对应位写 0）；"
      "MR48 表明器件现不在脱机模式，无法清除\n";
  for (const auto& c : std::vector<Case>{
           {{},
            {"5", "-i", "edited5.bin", "--changed", "--verify"},
            0,
            "完成\n校验通过\n",
            "写入中 2 字节（1022 字节相同，跳过） ... ",
            Writes{"01 FE:11", "01 FF:22"}},
           {{}, {"5", "-i", "spd5.bin", "--changed"}, 0, "内容相同，未写入\n", "", Writes{}},
           {{}, {"4", "-i", "rewritten4.bin", "--verify"}, 0, "完成\n校验通过\n", "写入中 512 字节 ... ", std::nullopt},
           {{"--lose-writes", "1FF"},
            {"5", "-i", "edited5.bin", "--changed", "--verify"},
            1,
            "完成\n",
            "写入中 2 字节（1022 字节相同，跳过） ...   地址 01FF: 写入 22，读回 " +
                fmt::format("{:02X}", static_cast<std::uint8_t>(read_file(sample_path("spd5"))[0x1FF])) +
                "\n"
                "错误: 校验失败: 共 1 字节不符，首个在地址 01FF（写入 22，读回 " +
                fmt::format("{:02X}", static_cast<std::uint8_t>(read_file(sample_path("spd5"))[0x1FF])) + "）\n" +
                advice("5"),
            Writes{"01 FE:11", "01 FF:22"}},
           {{"--protect-range", "100-103"},
            {"4", "-i", "rewritten4.bin", "--changed", "--verify"},
            1,
            "完成\n",
            "写入中 8 字节（504 字节相同，跳过） ...   地址 0100-0103: 写入 5A 5A 5A 5A，读回 00 00 00 00\n"
            "错误: 校验失败: 共 4 字节不符，首个在地址 0100（写入 5A，读回 00）\n" +
                advice("4"),
            Writes{"01 00:5A", "01 01:5A", "01 02:5A", "01 03:5A", "01 04:5A", "01 05:5A", "01 06:5A", "01 07:5A"}},
           {{"--protect-blocks", "7"}, {"5", "-i", "edited5.bin", "--verify"}, 1, "", protection_error, Writes{}},
           {{"--reg5", "blank-reg.bin"},
            {"5", "-i", "edited5.bin", "--changed"},
            0,
            "完成\n",
            "REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = 00 00），跳过块写保护检查\n"
            "写入中 2 字节（1022 字节相同，跳过） ... ",
            Writes{"01 FE:11", "01 FF:22"}},
           {{"--protect-blocks", "8-15"},
            {"5", "-i", "edited5.bin", "--changed"},
            0,
            "完成\n",
            "写入中 2 字节（1022 字节相同，跳过） ... ",
            Writes{"01 FE:11", "01 FF:22"}},
       }) {
    std::vector<std::string> args{"write", "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run_with_emulator(c.emulator, args, dir.path());
    EXPECT_EQ(r.status, c.status) << fmt::format("{}", fmt::join(c.args, " "));
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(port_named(r.err), c.err);
    if (c.writes) {
      EXPECT_EQ(written_bytes(r.log), *c.writes) << fmt::format("{}", fmt::join(c.args, " "));
    }
  }
}

TEST(CarefulWrite, BackupIsTheModuleBeforeAndNeverReplacesAFile) {
  TempDir dir;
  write_file(dir.file("image.bin"), std::string(256, '\x1E'));
  write_file(dir.file("kept.bin"), "precious");
  const auto refused =
      run_with_emulator({}, {"write", "{port}", "3", "-i", "image.bin", "--backup", "kept.bin"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "错误: 备份文件已存在: kept.bin\n提示: 备份从不覆盖已有的文件；换一个名字，如 --backup kept-2.bin\n");
  EXPECT_TRUE(logged_frames(refused.log).empty());  // refused before the port was opened
  EXPECT_EQ(read_file(dir.file("kept.bin")), "precious");

  const auto r =
      run_with_emulator({}, {"write", "{port}", "3", "-i", "image.bin", "--backup", "before.bin"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "已备份 256 字节: before.bin\n完成\n");
  EXPECT_EQ(read_file(dir.file("before.bin")), read_file(sample_path("spd3")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);  // no temporary left
}

TEST(CarefulWrite, AnInterruptStopsBetweenFramesAndSaysHowFar) {
  TempDir dir;
  write_file(dir.file("image.bin"), std::string(256, '\x1F'));
  // The backup's two agreeing reads are the first frames, so the interrupt comes with the 40th
  // byte write.
  const auto r = run_with_emulator({"--interrupt-after", "42"},
                                   {"write", "{port}", "3", "-i", "image.bin", "--backup", "b.bin"}, dir.path());
  EXPECT_EQ(r.status, 130);
  const std::size_t written = written_bytes(r.log).size();
  EXPECT_GE(written, 40u);
  EXPECT_LT(written, 256u);
  // The port is the emulator's pseudo-terminal, whose number the test does not know.
  EXPECT_TRUE(
      r.err.starts_with(fmt::format("写入中 256 字节 ... 错误: 已中断: 已写入 {} / 256 字节\n"
                                    "写入前的内容已备份在 b.bin，写回: dimmwand write /dev/pts/",
                                    written)))
      << r.err;
  EXPECT_TRUE(r.err.ends_with(" 3 -i b.bin --verify\n")) << r.err;
  EXPECT_EQ(read_file(dir.file("b.bin")), read_file(sample_path("spd3")));
}

TEST(CarefulRead, AnInterruptedReadSavesNothing) {
  TempDir dir;
  const auto r =
      run_with_emulator({"--silent", "--interrupt-after", "1"}, {"read", "{port}", "5", "-o", "spd.bin"}, dir.path());
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.err, "错误: 已中断\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CarefulRead, AFlakyLineIsCaughtAndNothingIsSaved) {
  TempDir dir;
  const auto r = run_with_emulator({"--flaky", "2"}, {"read", "{port}", "4", "--verify", "-o", "spd.bin"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("错误: 两次读取不一致: 共 1 字节不同，首个在地址 ")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("spd.bin")));
  const auto clean = run_with_emulator({}, {"read", "{port}", "4", "--verify", "-o", "spd.bin"}, dir.path());
  EXPECT_EQ(clean.out, "已保存 512 字节: spd.bin\n");
  EXPECT_EQ(logged_frames(clean.log).size(), 2u);
}

TEST(CarefulWrite, SingleByteVerification) {
  struct Case {
    std::vector<std::string> emulator;
    int status;
    std::string out;
    std::string err;
    std::size_t frames;  // the write, and the read-back where the write was not refused
  };
  for (const auto& c : std::vector<Case>{
           {{}, 0, "1\n校验通过\n", "", 2},
           {{"--protect-range", "10"}, 1, "0\n", "错误: 器件返回 0：写入失败\n", 1},
       }) {
    const auto r = run_with_emulator(c.emulator, {"WriteByte", "{port}", "4", "10", "AB", "--verify"});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    const auto frames = logged_frames(r.log);
    ASSERT_EQ(frames.size(), c.frames);
    EXPECT_TRUE(frames[0].starts_with("AA 55 02 04 00 10 00 AB")) << frames[0];
    if (c.frames == 2) {
      EXPECT_TRUE(frames[1].starts_with("AA 55 01 04 00 10 00 00")) << frames[1];
    }
  }
}

}  // namespace
}  // namespace dimmwand
