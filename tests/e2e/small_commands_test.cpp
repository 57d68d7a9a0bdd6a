// ReadByte, WriteByte, write-protect and scan end to end.
#include <gtest/gtest.h>

#include <sstream>

#include "emulator.hpp"
#include "process.hpp"
#include "protocol/link.hpp"

namespace dimmwand {
namespace {

using testing::logged_frames;
using testing::run_with_emulator;

struct Exchange {
  std::vector<std::string> emulator;  // options: mostly the answer to give
  std::vector<std::string> args;      // after the subcommand; {port} first
  std::string frame;
  int status;
  std::string out;
  std::string err;
};

void check(const std::string& subcommand, const std::vector<Exchange>& cases) {
  for (const auto& c : cases) {
    std::vector<std::string> args{subcommand, "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run_with_emulator(c.emulator, args);
    const std::string where = subcommand + " " + (c.emulator.empty() ? "" : c.emulator.back());
    EXPECT_EQ(r.status, c.status) << where;
    EXPECT_EQ(r.out, c.out) << where;
    EXPECT_EQ(r.err, c.err) << where;
    EXPECT_EQ(logged_frames(r.log), std::vector<std::string>{c.frame}) << where;
  }
}

TEST(ReadByte, PrintsTheFirstDecodedByte) {
  const std::string f = "AA 55 01 05 00 03 00 00 BC";
  check("ReadByte", {
                        {{"--answer", "A5\\n"}, {"5", "0003"}, f, 0, "A5\n", ""},
                        {{"--answer", "0B 11 22\\r\\n"}, {"5", "3"}, f, 0, "0B\n", ""},
                        {{"--answer", "00\\n"}, {"5", "0x3"}, f, 0, "00\n", ""},
                        {{"--answer", "b\\n"}, {"5", "3"}, f, 1, "", "错误: 未收到设备返回数据\n"},
                        {{"--answer", "OK\\n"}, {"5", "3"}, f, 1, "", "错误: 未收到设备返回数据\n"},
                        {{}, {"3", "0100"}, "AA 55 01 03 01 00 00 00 B4", 0, "FF\n", ""},  // no range check
                        {{}, {"4", "FFFF"}, "AA 55 01 04 FF FF 00 00 BB", 0, "FF\n", ""},
                    });
}

TEST(ReadByte, AliasesRunTheSameCommand) {
  for (const auto* name : {"ReadByte", "read-byte", "readbyte"}) {
    const auto r = run_with_emulator({}, {name, "{port}", "4", "2"});
    EXPECT_EQ(r.out, "0C\n") << name;
  }
}

// The answer is printed as it came; only "0", the programmer's word for a failed write, fails.
TEST(WriteByte, PrintsTheAnswerAndFailsOnZero) {
  const std::string f = "AA 55 02 05 00 03 00 07 90";
  check("WriteByte", {
                         {{}, {"5", "0003", "0007"}, f, 0, "1\n", ""},
                         {{"--answer", "1\\r\\n"}, {"5", "3", "7"}, f, 0, "1\n", ""},
                         {{"--answer", " 0 \\n"}, {"5", "3", "7"}, f, 1, "0\n", "错误: 器件返回 0：写入失败\n"},
                         {{"--answer", "00\\n"}, {"5", "3", "7"}, f, 0, "00\n", ""},
                         {{"--answer", "\\r\\n"}, {"5", "3", "7"}, f, 0, "\n", ""},
                         {{"--answer", "1\\n0\\n"}, {"5", "3", "7"}, f, 0, "1\n0\n", ""},
                         {{"--answer", "ok\\xff\\xe4\\xb8\\n"}, {"5", "3", "7"}, f, 0, "ok\uFFFD\uFFFD\n", ""},
                     });
}

TEST(WriteByte, TheByteIsStored) {
  for (const auto* name : {"WriteByte", "write-byte", "writebyte"}) {
    const std::string tool = testing::tool_path();
    const auto r = testing::run_program({testing::emulator_path(), "--", "sh", "-c",
                                         tool + " " + name + " {port} 3 0x10 ab && " + tool + " ReadByte {port} 3 10"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\nAB\n") << name;
  }
}

TEST(WriteProtect, TextOrDump) {
  const std::string f = "AA 55 03 05 00 00 22 55 69";
  check("write-protect",
        {
            {{}, {"4", "0045"}, "AA 55 03 04 00 00 00 45 6C", 0, "设备返回: OK\n", ""},
            {{"--answer", "4F4B\\n"}, {"5", "2255"}, f, 0, "设备返回: OK\n", ""},
            {{"--answer", "20\\n"}, {"5", "2255"}, f, 0, "设备返回:  \n", ""},
            {{"--answer", "7E\\n"}, {"5", "2255"}, f, 0, "设备返回: ~\n", ""},
            {{"--answer", "00\\n"}, {"5", "2255"}, f, 0, "设备返回 1 字节:\n000000  00\n", ""},
            {{"--answer", "4F4B0D0A\\n"}, {"5", "2255"}, f, 0, "设备返回 4 字节:\n000000  4F 4B 0D 0A\n", ""},
            {{"--answer", "7F\\n"}, {"5", "2255"}, f, 0, "设备返回 1 字节:\n000000  7F\n", ""},
            {{"--answer", "41C3\\n"}, {"5", "2255"}, f, 0, "设备返回 2 字节:\n000000  41 C3\n", ""},
            {{"--answer", "0102030405060708090A0B0C0D0E0F1011\\n"},
             {"5", "2255"},
             f,
             0,
             "设备返回 17 字节:\n000000  01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10\n000010  11\n",
             ""},
            {{"--answer", "OK\\n"}, {"5", "2255"}, f, 1, "", "错误: 未收到设备返回数据\n"},
            {{}, {"3", "0000"}, "AA 55 03 03 00 00 00 00 56", 0, "设备返回: OK\n", ""},
        });
}

TEST(SinglePortCommands, APortHeldByAnotherProgramIsRefused) {
  testing::Emulator emu;
  auto held = open_link(emu.port());
  ASSERT_TRUE(held);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"ReadByte", emu.port(), "3", "0"},
           {"WriteByte", emu.port(), "3", "0", "1"},
           {"write-protect", emu.port(), "3", "0"},
           {"read", emu.port(), "3"},
       }) {
    std::vector<std::string> argv{testing::tool_path()};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = testing::run_program(argv);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "错误: 打开 " + emu.port() + " 失败: 设备或资源忙（Device or resource busy）\n");
  }
  EXPECT_TRUE(logged_frames(emu.stop()).empty());
}

TEST(Scan, RunsForRealOnThisMachine) {
  const auto r = testing::run_program({testing::tool_path(), "scan"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(r.out.ends_with("\n"));
  if (r.out != "未找到可用串口\n") {
    std::size_t at = 0;
    for (std::size_t eol; (eol = r.out.find('\n', at)) != std::string::npos; at = eol + 1) {
      const std::string name = r.out.substr(at, eol - at);
      EXPECT_FALSE(name.empty());
      EXPECT_EQ(name.find(' '), std::string::npos) << name;
      EXPECT_TRUE(name.starts_with("/dev/")) << name;
    }
  }
  // The long listing names the same ports, in the same order, under a header.
  const auto details = testing::run_program({testing::tool_path(), "scan", "--long"});
  EXPECT_EQ(details.status, 0);
  if (r.out == "未找到可用串口\n") {
    EXPECT_EQ(details.out, r.out);
    return;
  }
  std::istringstream names(r.out);
  std::istringstream lines(details.out);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_TRUE(line.starts_with("端口")) << line;
  for (std::string name; std::getline(names, name);) {
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_TRUE(line.starts_with(name + " ")) << line;
  }
}

}  // namespace
}  // namespace dimmwand
