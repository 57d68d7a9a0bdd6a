// The link and the reception on a real pseudo-terminal, against the emulator.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "emulator.hpp"
#include "process.hpp"
#include "protocol/link.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {
namespace {

using namespace std::chrono_literals;
using testing::Emulator;
using testing::logged_frames;

SerialLink must_open(const std::string& port) {
  auto link = open_link(port);
  if (!link) throw std::runtime_error(link.error().display());
  return std::move(*link);
}

double seconds_since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(Link, FramesArriveByteForByteAndAnswersDecode) {
  Emulator emu;
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::ReadSpd, 3, 0, 0}));
  const auto spd = receive_bytes(link);
  ASSERT_TRUE(spd);
  EXPECT_EQ(spd->size(), 256u);
  EXPECT_EQ((*spd)[2], 0x0B);  // DDR3 memory type
  ASSERT_TRUE(send_request(link, {CommandCode::ReadByte, 5, 0x0003, 0}));
  EXPECT_EQ(*receive_bytes(link), std::vector<std::uint8_t>{0x02});  // DDR5 module type
  ASSERT_TRUE(send_request(link, {CommandCode::WriteByte, 5, 0x0003, 0x07}));
  EXPECT_EQ(*receive_text(link), "1");
  EXPECT_EQ(logged_frames(emu.stop()), (std::vector<std::string>{
                                           "AA 55 05 03 00 00 00 00 E4",
                                           "AA 55 01 05 00 03 00 00 BC",
                                           "AA 55 02 05 00 03 00 07 90",
                                       }));
}

TEST(Link, AnswerInPiecesIsJoined) {
  Emulator emu({"--chunk", "100", "--chunk-delay", "30", "--separators", "--lower"});
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::ReadSpd, 4, 0, 0}));
  const auto spd = receive_bytes(link);
  ASSERT_TRUE(spd);
  EXPECT_EQ(spd->size(), 512u);
  EXPECT_EQ((*spd)[2], 0x0C);
}

TEST(Link, StaleInputIsDiscardedBeforeTheFrame) {
  Emulator emu({"--stale", "DEAD\\n"});
  auto link = must_open(emu.port());
  for (std::size_t i = 0; i < 3; ++i) {
    // The stale line is on the port before the frame goes out: at the start, then after each answer.
    ASSERT_TRUE(emu.wait_for_notes("stale text sent", i + 1));
    ASSERT_TRUE(send_request(link, {CommandCode::ReadByte, 3, 0x0002, 0}));
    EXPECT_EQ(*receive_bytes(link), std::vector<std::uint8_t>{0x0B}) << i;
  }
}

TEST(Link, SilenceIsNoResponseAfterTheDeadlineWithoutBurningCpu) {
  Emulator emu({"--silent"});
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::ReadSpd, 5, 0, 0}));
  const auto start = std::chrono::steady_clock::now();
  const double cpu_before = cpu_seconds();
  const auto r = receive_bytes(link);
  const double took = seconds_since(start);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().display(), "无响应");
  EXPECT_GE(took, 3.0);
  EXPECT_LT(took, 3.3);
  EXPECT_LT(cpu_seconds() - cpu_before, 0.1);
}

TEST(Link, NoLineFeedReturnsTheBytesAtTheDeadline) {
  Emulator emu({"--no-line-feed"});
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::ReadByte, 3, 0x0002, 0}));
  const auto start = std::chrono::steady_clock::now();
  const auto r = receive_raw(link);
  const double took = seconds_since(start);
  ASSERT_TRUE(r);
  EXPECT_EQ(std::string(r->begin(), r->end()), "0B");
  EXPECT_GE(took, 3.0);
  EXPECT_LT(took, 3.3);
}

TEST(Link, AnswerReturnsAsSoonAsItsLineFeedArrives) {
  Emulator emu;
  auto link = must_open(emu.port());
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(send_request(link, {CommandCode::ReadByte, 3, 0x0002, 0}));
    ASSERT_TRUE(receive_bytes(link));
  }
  EXPECT_LT(seconds_since(start), 0.5);  // 20 exchanges, far less than one read time-out each
}

TEST(Link, HangUpInTheMiddleOfAnAnswerFailsAtOnce) {
  Emulator emu({"--hangup-mid-answer"});
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::ReadSpd, 5, 0, 0}));
  const auto start = std::chrono::steady_clock::now();
  const auto r = receive_bytes(link);
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().display(), "读取失败: 设备已断开连接");
  EXPECT_LT(seconds_since(start), 1.0);
}

TEST(Link, WriteAfterHangUpFails) {
  Emulator emu({"--hangup-after", "1"});
  auto link = must_open(emu.port());
  ASSERT_TRUE(send_request(link, {CommandCode::WriteByte, 3, 0, 1}));
  std::this_thread::sleep_for(100ms);
  const auto r = send_request(link, {CommandCode::WriteByte, 3, 1, 2});
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with("发送失败: ")) << r.error().display();
}

TEST(Link, OpenFailuresNameThePortAndTheReason) {
  testing::TempDir dir;
  testing::write_file(dir.file("plain"), "x");
  struct Case {
    std::string port;
    std::string text;
  };
  for (const auto& [port, text] : std::vector<Case>{
           {"/nonexistent/COM3", "打开 /nonexistent/COM3 失败: 找不到文件或文件夹（No such file or directory）"},
           {"COM3", "打开 COM3 失败: 找不到文件或文件夹（No such file or directory）"},
           {dir.file("plain"), "打开 " + dir.file("plain") + " 失败: 不是串口设备"},
           {dir.path(), "打开 " + dir.path() + " 失败: 是文件夹（Is a directory）"},
           {"/dev/null", "打开 /dev/null 失败: 不是串口设备"},
       }) {
    const auto r = open_link(port);
    ASSERT_FALSE(r) << port;
    EXPECT_EQ(r.error().display(), text);
  }
}

TEST(Link, APortIsHeldExclusively) {
  Emulator emu;
  auto first = must_open(emu.port());
  const auto second = open_link(emu.port());
  ASSERT_FALSE(second);
  EXPECT_EQ(second.error().display(), "打开 " + emu.port() + " 失败: 设备或资源忙（Device or resource busy）");
}

// The exclusive flag belongs to the terminal and outlives a close while the line stays open (here
// the emulator holds it): left set, it refuses every later open but root's. So two commands in a
// row, as an ordinary user; as root, as nobody.
TEST(Link, TheNextCommandOfAnOrdinaryUserOpensThePortAgain) {
  std::vector<std::string> argv;
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || access("/usr/bin/setpriv", X_OK) != 0) {
      GTEST_SKIP() << "running as root without the user nobody or setpriv: no ordinary user to run as";
    }
    argv = {"/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
            "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups", "--"};
  }
  const std::string read = testing::tool_path() + " ReadByte {port} 5 2";
  argv.insert(argv.end(), {testing::emulator_path(), "--", "sh", "-c", read + " && " + read});
  const auto run = testing::run_program(argv);
  if (run.status == 126 || run.status == 127 || run.err.find("Permission denied") != std::string::npos) {
    GTEST_SKIP() << "the build cannot be run as nobody here: " << run.err;
  }
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "12\n12\n");
}

}  // namespace
}  // namespace dimmwand
