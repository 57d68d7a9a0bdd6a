// The write path as a user meets it, end to end: a cut dump and a text for convert, a folder for
// a backup, a noisy line under a backup of the hub's registers, late answers under a read-back.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>

#include "emulator.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::logged_frames;
using testing::read_file;
using testing::run_program;
using testing::run_with_emulator;
using testing::sample_path;
using testing::TempDir;
using testing::write_file;

TEST(WriteGuards, ConvertNeitherSavesACutDumpNorAText) {
  TempDir dir;
  write_file(dir.file("cut.bin"), read_file(sample_path("spd4")).substr(0, 256));
  // "内存条 SPD 备份" in GBK above a dump.
  write_file(dir.file("gbk.txt"), "\xC4\xDA\xB4\xE6\xCC\xF5 SPD \xB1\xB8\xB7\xDD\r\n000000  23 11 0C 02\r\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"convert", "cut.bin", "-o", "a.bin"},
            1,
            "错误: 读出 256 字节，但字节 2 = 0x0C 说明是 DDR4 的 SPD（512 字节），少 256 字节；未写入文件\n"
            "提示: 确实只要这些字节时加 --any-size\n"},
           {{"convert", "gbk.txt", "-o", "b.bin", "--any-size"},
            1,
            "错误: gbk.txt 是文本（不是 UTF-8、UTF-16 或 UTF-32，像是 GBK 等本地编码），不是映像\n"
            "提示: 用编辑器另存为 UTF-8 后再试；十六进制转储可以直接读\n"},
           {{"convert", "cut.bin", "-o", "c.bin", "--any-size"}, 0, ""},
       }) {
    std::vector<std::string> argv{DIMMWAND_SPD_TOOL};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = run_program(argv, dir.path());
    EXPECT_EQ(r.status, c.status) << c.args[1];
    EXPECT_EQ(r.err, c.err) << c.args[1];
    EXPECT_EQ(std::filesystem::exists(dir.file(c.args[3])), c.status == 0) << c.args[1];
  }
}

TEST(WriteGuards, ABackupNamedByAFolderIsSaidToBeOne) {
  TempDir dir;
  write_file(dir.file("spd3.bin"), read_file(sample_path("spd3")));
  std::filesystem::create_directory(dir.file("backups"));
  const auto r = run_with_emulator({}, {"write", "{port}", "3", "-i", "spd3.bin", "--backup", "backups"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(
      r.err,
      "错误: --backup 给的 backups 是文件夹；备份存为一个新文件\n提示: 给出文件名，如 --backup backups/backup.bin\n");
  EXPECT_TRUE(logged_frames(r.log).empty());
}

// Every second read of the registers has a bit flipped (with seed 5, below MR48): the backup is
// the module's registers all the same, from the two reads that agree.
TEST(WriteGuards, AHubBackupAgreesOnEveryRegisterButTheLiveOnes) {
  TempDir dir;
  write_file(dir.file("reg5.bin"), read_file(sample_path("reg5")));
  const auto r =
      run_with_emulator({"--flaky", "2", "--seed", "5", "--reg5", dir.file("reg5.bin")},
                        {"write", "{port}", "5", "-t", "REG", "-i", "reg5.bin", "--backup", "b.bin"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("b.bin")), read_file(sample_path("reg5")));
}

// Answers to the byte writes that come after the read-back's request (a 15 ms write cycle against
// the 7 ms pace): without a line feed they join the read-back and keep its length, shifting it;
// with one they end it early while the area's answer is still on its way at the line's rate. The
// line is drained and the area read once more, and the module verifies.
TEST(WriteGuards, LateAnswersStillVerify) {
  TempDir dir;
  std::string image = read_file(sample_path("spd4"));
  image[0x140] = '\x5A';
  write_file(dir.file("image.bin"), image);
  for (const std::string line : {"--no-line-feed", "--line-rate"}) {
    const auto r = run_with_emulator({line, "--write-cycle", "15"},
                                     {"write", "{port}", "4", "-i", "image.bin", "--verify"}, dir.path());
    EXPECT_EQ(r.status, 0) << line << ": " << r.err;
    EXPECT_EQ(r.out, "完成\n校验通过\n") << line;
  }
}

}  // namespace
}  // namespace dimmwand
