// The tool against the programmer's own firmware in dimmwand-board: every area read, written whole
// and written carefully, through each generation's chip and its pages on the simulated bus.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board_fixture.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::Board;
using testing::BoardTest;
using testing::count_notes;
using testing::kMr48;
using testing::kOfflineMode;
using testing::kReg5;
using testing::kSpd3;
using testing::kSpd4;
using testing::kSpd5;
using testing::module_file;
using testing::random_image;
using testing::read_file;
using testing::run_board;
using testing::same_bytes;
using testing::TempDir;
using testing::write_file;

TEST_F(BoardTest, ReadsEveryAreaByteExactAtBothBusSpeeds) {
  std::string reg5 = read_file(kReg5);
  reg5[kMr48] = static_cast<char>(reg5[kMr48] | kOfflineMode);
  for (const std::string speed : {"100", "400"}) {
    TempDir dir;
    Board board({"--bus-speed", speed, "--spd3", kSpd3, "--spd4", kSpd4, "--spd5", kSpd5, "--reg5", kReg5});
    struct Area {
      std::vector<std::string> args;
      std::string bytes;
    };
    for (const auto& a : std::vector<Area>{{{"3"}, read_file(kSpd3)},
                                           {{"4"}, read_file(kSpd4)},
                                           {{"5"}, read_file(kSpd5)},
                                           {{"5", "-t", "reg"}, reg5}}) {
      std::vector<std::string> args{"read", "{port}"};
      args.insert(args.end(), a.args.begin(), a.args.end());
      args.insert(args.end(), {"-o", dir.file("out.bin")});
      const auto r = board.tool(args);
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out, fmt::format("已保存 {} 字节: {}\n", a.bytes.size(), dir.file("out.bin")));
      EXPECT_TRUE(same_bytes(read_file(dir.file("out.bin")), a.bytes)) << a.args.back() << " at " << speed << " kHz";
    }
    EXPECT_EQ(count_notes(board.stop(), fmt::format("bus clock {} kHz", speed)), 1u);
  }
}

struct WholeWrite {
  std::string area;
  std::vector<std::string> args;
  std::string from;
  std::string image;
  std::vector<std::string> options;
  std::size_t refused = 0;  // bytes answered 0
};

// A plain write of a whole area, and the module it leaves.
void expect_written(const WholeWrite& c) {
  TempDir dir;
  write_file(dir.file("image.bin"), c.image);
  auto options = c.options;
  options.insert(options.end(), {"--" + c.area, module_file(dir, "module.bin", c.from), "--save"});
  std::vector<std::string> command{testing::tool_path(), "write", "{port}"};
  command.insert(command.end(), c.args.begin(), c.args.end());
  command.insert(command.end(), {"-i", dir.file("image.bin")});
  const auto run = run_board(options, command);
  EXPECT_EQ(run.result.status, 0) << run.result.err;
  EXPECT_EQ(run.result.out, "完成\n");
  // A file shorter than the area covers its start; the rest of the module stays as it was.
  const std::string module = read_file(c.from);
  EXPECT_TRUE(
      same_bytes(read_file(dir.file("module.bin")), c.image + module.substr(std::min(c.image.size(), module.size()))))
      << c.area;
  EXPECT_EQ(count_notes(run.log, "answer 1"), c.image.size() - c.refused) << c.area;
}

TEST_F(BoardTest, WritesAWholeArea) {
  std::string registers = read_file(kReg5);
  registers.replace(28, 8, "\x40\x06\x00\x00\x80\x06\x00\x00", 8);  // new temperature limits, MR28-MR35
  expect_written({"spd3", {"3"}, kSpd3, random_image(256, 3), {}});
  expect_written({"spd4", {"4"}, kSpd4, random_image(512, 4), {}});
  expect_written({"spd5", {"5"}, kSpd5, random_image(1024, 5), {}});
  // MR48 is read-only, and reads back with the offline bit: its byte is answered 0.
  expect_written({"reg5", {"5", "-t", "reg"}, kReg5, registers, {}, 1});
}

// The host paces a block write at 7 ms a byte; an EEPROM slower than that still takes every
// byte: the firmware waits out each write cycle while the frames that arrive meanwhile wait in
// its ring (here some 40 of the 113 it holds, room for a machine too loaded to keep the
// simulation at real time).
TEST_F(BoardTest, AnEepromSlowerThanThePaceKeepsEveryByte) {
  expect_written({"spd3", {"3"}, kSpd3, random_image(128, 30), {"--write-cycle", "10"}});
}

// The careful write reads, backs up, writes the bytes that differ and reads back: on DDR4's second
// page (SPA1) and DDR5's upper pages (MR11).
TEST_F(BoardTest, CarefulWritesReachTheUpperPages) {
  struct Case {
    std::string gen;
    std::string from;
    std::vector<std::pair<std::size_t, std::string>> changes;
    std::vector<std::string> bus_steps;  // in the log
  };
  for (const auto& c : std::vector<Case>{
           {"4", kSpd4, {{0x145, "\x87\x65\x43\x21"}}, {"S 37W+ P", "S 36R- P"}},
           {"5", kSpd5, {{0x205, "\x11\x22"}, {0x3F8, "DIMMWAND"}}, {"S 50W+ 0B+ 04+ P", "S 50W+ 0B+ 07+ P"}},
       }) {
    TempDir dir;
    const std::string module = module_file(dir, "module.bin", c.from);
    std::string image = read_file(c.from);
    for (const auto& [at, bytes] : c.changes) image.replace(at, bytes.size(), bytes);
    write_file(dir.file("image.bin"), image);
    const auto run = run_board({"--spd" + c.gen, module, "--save"},
                               {testing::tool_path(), "write", "{port}", c.gen, "-i", dir.file("image.bin"), "--check",
                                "--changed", "--verify", "--backup", dir.file("backup.bin")});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_EQ(run.result.out,
              fmt::format("已备份 {} 字节: {}\n完成\n校验通过\n", image.size(), dir.file("backup.bin")));
    EXPECT_TRUE(same_bytes(read_file(module), image)) << "DDR" << c.gen;
    EXPECT_EQ(read_file(dir.file("backup.bin")), read_file(c.from));
    for (const auto& step : c.bus_steps) EXPECT_NE(run.log.find(step), std::string::npos) << step;
  }
}

TEST_F(BoardTest, ReadsAndWritesTheLastByteOfEachArea) {
  Board board;
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  for (const auto& s : std::vector<Step>{
           {{"WriteByte", "{port}", "3", "FF", "5A"}, 0, "1\n"},
           {{"ReadByte", "{port}", "3", "FF"}, 0, "5A\n"},
           {{"WriteByte", "{port}", "4", "1FF", "A5"}, 0, "1\n"},
           {{"ReadByte", "{port}", "4", "1FF"}, 0, "A5\n"},
           {{"WriteByte", "{port}", "5", "3FF", "3C"}, 0, "1\n"},
           {{"ReadByte", "{port}", "5", "3FF"}, 0, "3C\n"},
           {{"ReadByte", "{port}", "4", "0"}, 0, "23\n"},  // page 0 again after page 1
           {{"ReadByte", "{port}", "3", "100"}, 1, ""},    // past the area: nothing there
           {{"WriteByte", "{port}", "5", "400", "00"}, 1, "0\n"},
       }) {
    const auto r = board.tool(s.args);
    EXPECT_EQ(r.status, s.status) << fmt::format("{}", fmt::join(s.args, " ")) << "\n" << r.err;
    EXPECT_EQ(r.out, s.out) << fmt::format("{}", fmt::join(s.args, " "));
  }
}

}  // namespace
}  // namespace dimmwand
