// The tool against the programmer's own firmware in dimmwand-board: each generation's chip on
// the simulated bus, its pages, write cycles and protection as their data sheets have them.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "board.hpp"
#include "files.hpp"
#include "process.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {
namespace {

using testing::Board;
using testing::count_notes;
using testing::read_file;
using testing::run_board;
using testing::TempDir;
using testing::write_file;

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::board_tests_wanted()) GTEST_SKIP() << "scripts/test's board stage runs these";
  }
};

// Real modules' dumps, one a generation, and the sample register file.
const std::string kSpd3 = testing::dump_path("ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin");
const std::string kSpd4 = testing::dump_path("ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin");
const std::string kSpd5 = testing::dump_path("ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin");
const std::string kReg5 = testing::sample_path("reg5");
constexpr std::size_t kMr48 = 48;
constexpr char kOfflineMode = 0x04;  // MR48 bit 2, as the hub in a programmer's socket reports it

std::string random_image(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string image(size, '\0');
  for (auto& c : image) c = static_cast<char>(random() & 0xFF);
  return image;
}

// Two images alike, or where they first differ.
::testing::AssertionResult same_bytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  if (got.size() != want.size()) return ::testing::AssertionFailure() << got.size() << " bytes, not " << want.size();
  std::size_t at = 0;
  while (got[at] == want[at]) ++at;
  std::size_t count = 0;
  for (std::size_t i = 0; i < got.size(); ++i) count += got[i] != want[i] ? 1u : 0u;
  return ::testing::AssertionFailure() << fmt::format("{} bytes differ, the first at {:04X}: {:02X}, not {:02X}", count,
                                                      at, static_cast<unsigned char>(got[at]),
                                                      static_cast<unsigned char>(want[at]));
}

// A copy of `from` in `dir`, for the board to load and save.
std::string module_file(const TempDir& dir, const std::string& name, const std::string& from) {
  write_file(dir.file(name), read_file(from));
  return dir.file(name);
}

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
