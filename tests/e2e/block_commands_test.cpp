// read and write end to end: the built tool against the emulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <sstream>

#include "commands/hex_dump.hpp"
#include "emulator.hpp"
#include "images.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::logged_frames;
using testing::read_file;
using testing::run_with_emulator;
using testing::sample_path;
using testing::TempDir;
using testing::write_file;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string bytes_of(std::size_t n, std::uint8_t first = 0) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>(first + i);
  return s;
}

// The same with the generation's key byte at address 2, as a write of the SPD area wants it.
std::string spd_bytes_of(std::size_t n, std::uint8_t first, char key) {
  std::string s = bytes_of(n, first);
  s[2] = key;
  return s;
}

TEST(Read, EachAreaDumpsItsLinesAndSendsItsFrame) {
  struct Case {
    std::vector<std::string> args;
    std::size_t lines;
    std::string last_offset;
    std::string frame;
    const char* area;
  };
  for (const auto& c : std::vector<Case>{
           {{"3"}, 16, "0000F0", "AA 55 05 03 00 00 00 00 E4", "spd3"},
           {{"4"}, 32, "0001F0", "AA 55 05 04 00 00 00 00 38", "spd4"},
           {{"5"}, 64, "0003F0", "AA 55 05 05 00 00 00 00 D1", "spd5"},
           {{"5", "-t", "spd"}, 64, "0003F0", "AA 55 05 05 00 00 00 00 D1", "spd5"},
           {{"5", "-t", "REG"}, 8, "000070", "AA 55 06 05 00 00 00 00 88", "reg5"},
       }) {
    std::vector<std::string> args{"read", "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run_with_emulator({}, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), c.lines);
    EXPECT_TRUE(lines.back().starts_with(c.last_offset + "  "));
    const auto image = read_file(sample_path(c.area));
    EXPECT_EQ(r.out, format_hex_dump(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size())));
    EXPECT_EQ(logged_frames(r.log), std::vector<std::string>{c.frame});
  }
  const auto ddr3 = run_with_emulator({}, {"read", "{port}", "3"});
  EXPECT_EQ(lines_of(ddr3.out).front(), "000000  92 13 0B 02 04 21 00 01 03 11 01 08 0A 00 FE 00");
}

TEST(Read, SavesExactlyTheAreaAndSaysSo) {
  TempDir dir;
  const auto r = run_with_emulator({}, {"read", "{port}", "5", "-o", "spd 5.bin"}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "已保存 1024 字节: spd 5.bin\n");
  EXPECT_EQ(read_file(dir.file("spd 5.bin")), read_file(sample_path("spd5")));
  EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "spd 5.bin");  // no temporary left
}

TEST(Read, SurplusBytesAreDroppedSilently) {
  const std::string answer = fmt::format("{:02X}\\n", fmt::join(std::vector<int>(300, 0x5A), ""));
  TempDir dir;
  const auto r = run_with_emulator({"--answer", answer}, {"read", "{port}", "3", "-o", dir.file("a.bin")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("a.bin")), std::string(256, '\x5A'));
}

TEST(Read, FailuresLeaveAnExistingFileAlone) {
  TempDir dir;
  write_file(dir.file("keep.bin"), "precious");
  struct Case {
    std::vector<std::string> emulator;
    std::string err;
  };
  for (const auto& [emulator, err] : std::vector<Case>{
           {{"--short", "1"}, "错误: 数据不完整: 255 / 256 字节\n"},
           {{"--answer", "OK\\n"}, "错误: 数据不完整: 0 / 256 字节\n"},
           {{"--hangup-mid-answer"}, "错误: 读取失败: 设备已断开连接\n"},
       }) {
    const auto r = run_with_emulator(emulator, {"read", "{port}", "3", "-o", dir.file("keep.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(read_file(dir.file("keep.bin")), "precious");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Read, OutputThatCannotBeWritten) {
  struct Case {
    std::string out;
    std::string err;
  };
  for (const auto& [out, err] : std::vector<Case>{
           {"/nonexistent-dir/spd.bin",
            "错误: 写入 /nonexistent-dir/spd.bin 失败: 找不到文件或文件夹（No such file or directory）\n"},
           {"/", "错误: 写入 / 失败: 是文件夹（Is a directory）\n"},
       }) {
    const auto r = run_with_emulator({}, {"read", "{port}", "4", "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
  }
  // A full disk, as a file-size limit on the tool's own process plays it: never a system device.
  TempDir dir;
  const auto full =
      testing::run_program({testing::emulator_path(), "--", "/bin/bash", "-c",
                            "trap '' XFSZ; ulimit -f 0; exec " + testing::tool_path() + " read {port} 4 -o full.bin"},
                           dir.path());
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "错误: 写入 full.bin 失败: 文件太大（File too large）\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);  // nothing left behind
}

TEST(Read, SavingReplacesAFileBehindALinkAndKeepsItsMode) {
  TempDir dir;
  write_file(dir.file("real.bin"), "old");
  std::filesystem::permissions(dir.file("real.bin"), std::filesystem::perms(0640));
  std::filesystem::create_symlink("real.bin", dir.file("link.bin"));
  const auto r = run_with_emulator({}, {"read", "{port}", "5", "-t", "reg", "-o", dir.file("link.bin")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.bin")));
  EXPECT_EQ(read_file(dir.file("real.bin")), read_file(sample_path("reg5")));
  EXPECT_EQ(std::filesystem::status(dir.file("real.bin")).permissions(), std::filesystem::perms(0640));
}

TEST(Write, FramesAddressesAndCodes) {
  TempDir dir;
  write_file(dir.file("ten.bin"), bytes_of(10, 0xF0));
  write_file(dir.file("256.bin"), spd_bytes_of(256, 0, '\x0B'));
  write_file(dir.file("300.bin"), spd_bytes_of(300, 7, '\x0B'));
  write_file(dir.file("128.bin"), bytes_of(128, 0x80));
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::size_t frames;
    std::string first_frame;
    std::string last_frame;
  };
  for (const auto& c : std::vector<Case>{
           {{"4", "-i", "ten.bin"}, "完成\n", 10, "AA 55 02 04 00 00 00 F0", "AA 55 02 04 00 09 00 F9"},
           {{"3", "-i", "256.bin"}, "完成\n", 256, "AA 55 02 03 00 00 00 00", "AA 55 02 03 00 FF 00 FF"},
           {{"3", "-i", "300.bin"},
            "文件超出 D3 容量，仅写入前 256 字节\n完成\n",
            256,
            "AA 55 02 03 00 00 00 07",
            "AA 55 02 03 00 FF 00 06"},
           {{"5", "-t", "reg", "-i", "128.bin"}, "完成\n", 128, "AA 55 07 05 00 00 00 80", "AA 55 07 05 00 7F 00 FF"},
           {{"5", "-t", "SPD", "-i", "128.bin"}, "完成\n", 128, "AA 55 02 05 00 00 00 80", "AA 55 02 05 00 7F 00 FF"},
       }) {
    std::vector<std::string> args{"write", "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run_with_emulator({}, args, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, fmt::format("写入中 {} 字节 ... ", c.frames));
    const auto frames = logged_frames(r.log);
    ASSERT_EQ(frames.size(), c.frames);
    EXPECT_TRUE(frames.front().starts_with(c.first_frame)) << frames.front();
    EXPECT_TRUE(frames.back().starts_with(c.last_frame)) << frames.back();
  }
}

TEST(Write, TheAreaHoldsTheImageAfterwards) {
  TempDir dir;
  std::filesystem::copy_file(sample_path("spd4"), dir.file("module.bin"));
  std::string image = spd_bytes_of(256, 0x11, '\x0C');
  image += bytes_of(256, 0x22);
  write_file(dir.file("new.bin"), image);
  const auto r = run_with_emulator({"--spd4", dir.file("module.bin"), "--save"},
                                   {"write", "{port}", "4", "-i", dir.file("new.bin")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "写入中 512 字节 ... ");  // the emulator found no write too fast
  EXPECT_EQ(read_file(dir.file("module.bin")), image);
}

TEST(Write, ChecksComeBeforeThePortInOrder) {
  TempDir dir;
  write_file(dir.file("empty.bin"), "");
  write_file(dir.file("one.bin"), "\x01");  // a binary byte: any text is refused
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const std::string missing = dir.file("missing.bin");
  for (const auto& c : std::vector<Case>{
           {{"4", "-t", "reg", "-i", missing}, "", "错误: -t 仅适用于 D5（当前 D4）\n"},
           {{"3", "-t", "Reg", "-i", dir.file("empty.bin")}, "", "错误: -t 仅适用于 D5（当前 D3）\n"},
           {{"4", "-i", missing},
            "",
            "错误: 读取 " + missing + " 失败: 找不到文件或文件夹（No such file or directory）\n"},
           {{"4", "-i", dir.path()}, "", "错误: 读取 " + dir.path() + " 失败: 是文件夹（Is a directory）\n"},
           {{"4", "-i", dir.file("empty.bin")}, "", "错误: 文件为空\n"},
           {{"4", "-i", dir.file("one.bin")},
            "",
            "错误: 打开 /nonexistent/ttyACM0 失败: 找不到文件或文件夹（No such file or directory）\n"},
           {{"3", "-i", "/dev/zero"},
            "文件超出 D3 容量，仅写入前 256 字节\n",
            "错误: 打开 /nonexistent/ttyACM0 失败: 找不到文件或文件夹（No such file or directory）\n"},
       }) {
    std::vector<std::string> argv{testing::tool_path(), "write", "/nonexistent/ttyACM0"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = testing::run_program(argv);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  const auto reg = testing::run_program({testing::tool_path(), "read", "/nonexistent/ttyACM0", "4", "-t", "reg"});
  EXPECT_EQ(reg.err, "错误: -t 仅适用于 D5（当前 D4）\n");
}

TEST(Write, AnEndlessInputWritesTheAreaOnce) {
  const auto r = run_with_emulator({}, {"write", "{port}", "5", "-t", "reg", "-i", "/dev/zero"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "文件超出 D5 容量，仅写入前 128 字节\n完成\n");
  EXPECT_EQ(logged_frames(r.log).size(), 128u);
}

TEST(Write, TheLineDroppedMidwayStopsTheWrite) {
  const auto r = run_with_emulator({"--hangup-after", "5"}, {"write", "{port}", "3", "-i", sample_path("spd3")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("写入中 256 字节 ... 错误: 发送失败: ")) << r.err;
  EXPECT_TRUE(r.err.ends_with("\n"));
  EXPECT_EQ(logged_frames(r.log).size(), 5u);
}

}  // namespace
}  // namespace dimmwand
