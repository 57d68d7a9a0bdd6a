// The firmware in dimmwand-board where things go wrong or are refused: protected blocks, the
// protection codes on each chip, a frame with a bad checksum, a held bus, a board that cannot start.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "board_fixture.hpp"
#include "process.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {
namespace {

using testing::Board;
using testing::BoardTest;
using testing::count_notes;
using testing::kSpd3;
using testing::kSpd5;
using testing::module_file;
using testing::read_file;
using testing::run_board;
using testing::same_bytes;
using testing::TempDir;
using testing::write_file;

// A protected block keeps its byte: the EEPROMs refuse the data, the hub takes it and ignores it;
// the firmware answers 0 either way. The careful write sees DDR5's protection first.
TEST_F(BoardTest, ProtectedBlocksKeepTheirBytes) {
  TempDir dir;
  const std::string module = module_file(dir, "module.bin", kSpd5);
  std::string image = read_file(kSpd5);
  image.replace(0x205, 2, "\x11\x22");  // block 8
  write_file(dir.file("image.bin"), image);
  struct Step {
    std::vector<std::string> options;
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  for (const auto& s : std::vector<Step>{
           {{"--protect3", "reversible"}, {"WriteByte", "{port}", "3", "10", "77"}, 1, "0\n"},
           {{"--protect3", "reversible"}, {"WriteByte", "{port}", "3", "90", "77"}, 0, "1\n"},
           {{"--protect4", "2"}, {"WriteByte", "{port}", "4", "110", "77"}, 1, "0\n"},
           {{"--protect4", "2"}, {"WriteByte", "{port}", "4", "190", "77"}, 0, "1\n"},
           {{"--protect5", "8", "--spd5", module}, {"WriteByte", "{port}", "5", "205", "77"}, 1, "0\n"},
           {{"--protect5", "8", "--spd5", module},
            {"write", "{port}", "5", "-i", dir.file("image.bin"), "--changed"},
            1,
            ""},
       }) {
    std::vector<std::string> command{testing::tool_path()};
    command.insert(command.end(), s.args.begin(), s.args.end());
    auto options = s.options;
    options.push_back("--save");
    const auto run = run_board(options, command);
    EXPECT_EQ(run.result.status, s.status) << fmt::format("{}", fmt::join(s.args, " "));
    EXPECT_EQ(run.result.out, s.out) << fmt::format("{}", fmt::join(s.args, " "));
  }
  EXPECT_TRUE(same_bytes(read_file(module), read_file(kSpd5)));
}

// Each code as docs/protocol.md defines it, on each chip, and what a protection then does.
TEST_F(BoardTest, WriteProtectionCodes) {
  struct Step {
    std::vector<std::string> args;
    std::string out;
  };
  struct Case {
    std::vector<std::string> options;
    std::string gen;
    std::vector<Step> steps;
  };
  const auto code = [](const std::string& c, const std::string& answer) {
    return Step{{"write-protect", "{port}", "", c}, "设备返回: " + answer + "\n"};
  };
  for (const auto& c : std::vector<Case>{
           {{}, "3", {code("0000", "WP NONE"), code("0100", "WP 0"), code("0000", "WP 0"), code("0200", "WP NONE")}},
           {{"--protect3", "permanent"}, "3", {code("0000", "WP 0 PERMANENT"), code("0200", "REFUSED WP 0 PERMANENT")}},
           {{"--no-high-voltage"}, "3", {code("0000", "NO HIGH VOLTAGE")}},
           {{"--protect4", "0-1"},
            "4",
            {code("0000", "WP 0-1"),
             code("0103", "WP 0-1, 3"),
             {{"WriteByte", "{port}", "4", "1A0", "00"}, "0\n"},
             code("0200", "WP NONE"),
             {{"WriteByte", "{port}", "4", "1A0", "00"}, "1\n"}}},
           {{"--no-high-voltage"}, "4", {code("0000", "WP NONE"), code("0102", "NO HIGH VOLTAGE")}},
           {{}, "5", {code("0105", "WP 5"), code("0107", "WP 5, 7"), code("0305", "WP 7"), code("0200", "WP NONE")}},
           {{"--online", "--protect5", "0-7"}, "5", {code("0200", "REFUSED WP 0-7"), code("0108", "WP 0-8")}},
           {{}, "4", {code("0104", "UNKNOWN CODE")}},
           {{}, "5", {code("2255", "UNKNOWN CODE")}},
       }) {
    Board board(c.options);
    for (auto s : c.steps) {
      if (s.args[2].empty()) s.args[2] = c.gen;
      const auto r = board.tool(s.args);
      EXPECT_EQ(r.out, s.out) << fmt::format("{} | {}", fmt::join(c.options, " "), fmt::join(s.args, " "));
    }
  }
}

TEST_F(BoardTest, IgnoresAFrameWithABadChecksum) {
  TempDir dir;
  auto bad = encode_frame({CommandCode::WriteByte, 3, 0x0002, 0x00});
  bad[8] ^= 0xFF;
  const auto good = encode_frame({CommandCode::ReadByte, 3, 0x0002, 0});
  std::string bytes(bad.begin(), bad.end());
  bytes.append(good.begin(), good.end());
  write_file(dir.file("frames"), bytes);
  const auto run = run_board({}, {"sh", "-c", "cat \"$0\" > {port}; timeout 10 head -c 3 {port}", dir.file("frames")});
  EXPECT_EQ(run.result.out, "0B\n");  // the key byte, unchanged
  EXPECT_EQ(count_notes(run.log, "answer"), 1u);
}

// A device holding SDA low: freed with clock pulses when it lets go within nine; otherwise each
// request is answered at once with the word the tool shows or takes as a failure.
TEST_F(BoardTest, FreesAHeldBusOrSaysItHung) {
  Board freed({"--hold-sda", "5"});
  EXPECT_EQ(freed.tool({"ReadByte", "{port}", "3", "2"}).out, "0B\n");
  EXPECT_EQ(count_notes(freed.stop(), "let it go after 5 clock pulses"), 1u);
  Board held({"--hold-sda", "0"});
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  for (const auto& s : std::vector<Step>{
           {{"write-protect", "{port}", "5", "0000"}, 0, "设备返回: HUNG\n", ""},
           {{"WriteByte", "{port}", "3", "2", "0B"}, 1, "0\n", "错误: 器件返回 0：写入失败\n"},
           {{"ReadByte", "{port}", "4", "2"}, 1, "", "错误: 未收到设备返回数据\n"},
           {{"read", "{port}", "5"}, 1, "", "错误: 数据不完整: 0 / 1024 字节\n"},
       }) {
    const auto r = held.tool(s.args);
    EXPECT_EQ(r.status, s.status);
    EXPECT_EQ(r.out, s.out);
    EXPECT_EQ(r.err, s.err) << fmt::format("{}", fmt::join(s.args, " "));
  }
}

TEST_F(BoardTest, RefusesWhatItCannotUse) {
  TempDir dir;
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"--firmware", dir.file("none.elf")},
            1,
            fmt::format("dimmwand-board: 读取固件 {} 失败: No such file or directory\n", dir.file("none.elf"))},
           {{"--spd4", kSpd3}, 2, fmt::format("dimmwand-board: {} 有 256 字节，该数据区为 512 字节\n", kSpd3)},
       }) {
    const auto run = run_board(c.options, {"true"});
    EXPECT_EQ(run.result.status, c.status);
    EXPECT_EQ(run.result.err, c.err);
  }
}

}  // namespace
}  // namespace dimmwand
