// Faults on the line and on disk, and a soak: every failure is clear, bounded and loses nothing.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fmt/format.h>

#include <filesystem>
#include <random>
#include <thread>

#include "emulator.hpp"
#include "images.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::Emulator;
using testing::read_file;
using testing::run_program;
using testing::run_with_emulator;
using testing::TempDir;
using testing::tool_path;
using testing::write_file;

testing::RunResult tool(std::vector<std::string> args) {
  args.insert(args.begin(), tool_path());
  return run_program(args);
}

TEST(Faults, ABabblingProgrammerCostsBoundedTimeAndMemory) {
  for (const auto* babble : {"zz", "0123456789abcdef"}) {
    Emulator emu({"--babble", babble});
    const auto r = tool({"ReadByte", emu.port(), "3", "0"});
    EXPECT_GE(r.seconds, 3.0) << babble;
    EXPECT_LT(r.seconds, 3.5) << babble;
    EXPECT_LT(r.max_rss_kb, 64 * 1024) << babble;  // unbounded, it would be gigabytes
    if (std::string(babble) == "zz") {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "错误: 未收到设备返回数据\n");
    } else {
      EXPECT_EQ(r.status, 0);  // hex digits without a line feed are an answer, as they came
      EXPECT_EQ(r.out, "01\n");
    }
  }
}

TEST(Faults, TheLineDroppedEndsAReadOrAWriteAtOnce) {
  const auto read = run_with_emulator({"--hangup-mid-answer"}, {"read", "{port}", "5"});
  EXPECT_EQ(read.status, 1);
  EXPECT_EQ(read.out, "");
  EXPECT_EQ(read.err, "错误: 读取失败: 设备已断开连接\n");
  const auto write = run_with_emulator({"--hangup-after", "100"},
                                       {"write", "{port}", "5", "-i", std::string(DIMMWAND_SAMPLES) + "/spd5.bin"});
  EXPECT_EQ(write.status, 1);
  EXPECT_TRUE(write.err.starts_with("写入中 1024 字节 ... 错误: 发送失败: ")) << write.err;
  EXPECT_EQ(testing::logged_frames(write.log).size(), 100u);
  EXPECT_LT(write.log.size(), 100u * 80);  // nothing after the drop
}

TEST(Faults, AnExistingOutputFileSurvivesEveryFailedRead) {
  TempDir dir;
  std::string precious;
  for (int i = 0; i < 256; ++i) precious += static_cast<char>(255 - i);
  const std::string out = dir.file("module.bin");
  write_file(out, precious);
  struct Case {
    std::vector<std::string> emulator;
    std::vector<std::string> args;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"--short", "1"}, {"3"}, "错误: 数据不完整: 255 / 256 字节\n"},
           {{"--answer", "no sign\\n"}, {"4"}, "错误: 数据不完整: 0 / 512 字节\n"},
           {{"--hangup-mid-answer"}, {"5"}, "错误: 读取失败: 设备已断开连接\n"},
           {{"--hangup-after", "1"}, {"5", "-t", "reg"}, "错误: 读取失败: 设备已断开连接\n"},
           {{}, {"4", "-t", "reg"}, "错误: -t 仅适用于 D5（当前 D4）\n"},
       }) {
    std::vector<std::string> args{"read", "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-o", out});
    const auto r = run_with_emulator(c.emulator, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(read_file(out), precious);
  }
  EXPECT_EQ(tool({"read", "/nonexistent/ttyUSB0", "3", "-o", out}).status, 1);
  EXPECT_EQ(read_file(out), precious);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporary left
}

std::size_t open_descriptors(pid_t pid) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(fmt::format("/proc/{}/fd", pid))) {
    (void)e;
    ++n;
  }
  return n;
}

std::size_t children_of(pid_t parent) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc")) {
    const auto name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = read_file(e.path().string() + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    int ppid = 0;
    char state = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent) ++n;
  }
  return n;
}

// Mixed commands against one emulator, each checked exactly against a model of the module;
// the areas are compared byte for byte at the end.
TEST(Soak, AThousandMixedCommands) {
  TempDir dir;
  emu::Areas model = emu::default_areas();
  std::vector<std::string> options{"--save"};
  for (const auto& a : emu::kAreaNames) {
    const std::string file = dir.file(std::string(a.name) + ".bin");
    const auto& bytes = model.*a.member;
    write_file(file, std::string(bytes.begin(), bytes.end()));
    options.insert(options.end(), {fmt::format("--{}", a.name), file});
  }
  Emulator emu(options);
  auto link_fds = open_descriptors(emu.pid());
  const auto children_before = children_of(getpid());

  std::mt19937 random(20261207);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const std::string port = emu.port();
  int failures = 0;
  std::size_t frames = 0;        // the frames the commands so far have sent
  std::size_t write_length = 0;  // of the last block write
  for (int run = 0; run < 1000 && failures < 5; ++run) {
    const std::size_t area_index = pick(4);
    const auto& area = emu::kAreaNames[area_index];
    auto& bytes = model.*area.member;
    const bool reg = area.name == "reg5";
    const std::string device = reg ? "5" : std::string(1, area.name.back());
    std::vector<std::string> args;
    std::string expected;
    switch (pick(5)) {
      case 0: {  // whole-area read
        args = {"read", port, device};
        if (reg) args.insert(args.end(), {"-t", "reg"});
        for (std::size_t at = 0; at < bytes.size(); at += 16) {
          expected += fmt::format("{:06X}  {:02X}\n", at, fmt::join(std::span(bytes).subspan(at, 16), " "));
        }
        break;
      }
      case 1: {  // block write of a few bytes from address 0
        const std::string file = dir.file("w.bin");
        std::string data;
        // The first byte a control character: a file that is text is refused; and an SPD's
        // byte 2 its generation's key byte: another memory type's SPD is refused.
        for (std::size_t i = 0, n = 1 + pick(4); i < n; ++i) {
          const auto any = static_cast<char>(i == 0 ? 1 + pick(8) : pick(256));
          data += i == 2 && !reg ? static_cast<char>(key_byte(static_cast<DeviceType>(device[0] - '0'))) : any;
        }
        write_length = data.size();
        write_file(file, data);
        args = {"write", port, device, "-i", file};
        if (reg) args.insert(args.end(), {"-t", "REG"});
        std::copy(data.begin(), data.end(), bytes.begin());
        if (reg) std::copy_n(emu::default_areas().reg5.begin(), 2, bytes.begin());  // MR0-MR1 are read-only
        expected = "完成\n";
        break;
      }
      case 2: {  // ReadByte (SPD areas only: the command has no REG choice)
        if (reg) continue;
        const std::size_t at = pick(bytes.size());
        args = {"ReadByte", port, device, fmt::format("{:x}", at)};
        expected = fmt::format("{:02X}\n", bytes[at]);
        break;
      }
      case 3: {
        if (reg) continue;
        const std::size_t at = pick(bytes.size());
        const auto value = static_cast<std::uint8_t>(pick(256));
        args = {"WriteByte", port, device, fmt::format("0x{:04X}", at), fmt::format("{:02x}", value)};
        bytes[at] = value;
        expected = "1\n";
        break;
      }
      default:
        args = {"write-protect", port, device, fmt::format("{:04X}", pick(0x10000))};
        expected = "设备返回: OK\n";
    }
    const auto r = tool(args);
    if (r.status != 0 || r.out != expected) {
      ++failures;
      ADD_FAILURE() << "run " << run << ": " << fmt::format("{}", fmt::join(args, " ")) << " -> " << r.status << " "
                    << r.out << r.err << " (want " << expected << ")";
    }
    // The emulator answers every frame, the byte writes of a block write too, which the tool
    // does not read. Under load that answer can come after the next command has cleared the
    // line and join that command's answer; a person or a script does not start the next command
    // within a millisecond or two, so the next one waits until every frame was answered.
    frames += args.front() == "write" ? std::min<std::size_t>(write_length, bytes.size()) : 1;
    ASSERT_TRUE(emu.wait_for_frames(frames)) << "run " << run;
  }
  EXPECT_EQ(open_descriptors(emu.pid()), link_fds);
  EXPECT_EQ(children_of(getpid()), children_before);
  const std::string log = emu.stop();
  EXPECT_EQ(log.find("TOO FAST"), std::string::npos);
  for (const auto& a : emu::kAreaNames) {
    const auto& bytes = model.*a.member;
    EXPECT_EQ(read_file(dir.file(std::string(a.name) + ".bin")), std::string(bytes.begin(), bytes.end())) << a.name;
  }
}

}  // namespace
}  // namespace dimmwand
