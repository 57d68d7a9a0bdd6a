#include <gtest/gtest.h>

#include "fake_port.hpp"
#include "protocol/link.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {
namespace {

using testing::FakeClock;
using testing::FakePort;
using Steps = std::deque<FakePort::Step>;

struct Harness {
  FakeClock clock;
  FakePort* port = nullptr;
  std::optional<SerialLink> link;
  explicit Harness(Steps steps) {
    auto p = std::make_unique<FakePort>(clock, std::move(steps));
    port = p.get();
    link.emplace(std::move(p), LinkHooks{clock.function()});
  }
  Result<std::vector<std::uint8_t>> raw() { return receive_raw(*link); }
};

std::string as_text(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

TEST(ReceiveRaw, JoinsPiecesUntilTheLineFeedAndKeepsWhatCameWithIt) {
  Harness h({FakePort::Data{"0A"}, FakePort::Timeout{}, FakePort::Data{"1B\r"}, FakePort::Data{"\n34"},
             FakePort::Data{"never read\n"}});
  const auto r = h.raw();
  ASSERT_TRUE(r);
  EXPECT_EQ(as_text(*r), "0A1B\r\n34");
  EXPECT_EQ(h.port->read_calls, 4);
}

TEST(ReceiveRaw, DeadlineRules) {
  using std::chrono::milliseconds;
  {  // silent for the whole deadline: no response, after about 3 s plus at most one read
    Harness h({});
    const auto start = h.clock.now;
    const auto r = h.raw();
    ASSERT_FALSE(r);
    EXPECT_TRUE(std::holds_alternative<NoResponse>(r.error().kind()));
    EXPECT_GE(h.clock.now - start, kAnswerDeadline);
    EXPECT_LE(h.clock.now - start, kAnswerDeadline + kLineTimeout);
  }
  {  // bytes without a line feed are returned when the deadline passes
    Harness h({FakePort::Data{"AB"}});
    const auto r = h.raw();
    ASSERT_TRUE(r);
    EXPECT_EQ(as_text(*r), "AB");
  }
  {  // a read that ends past the deadline with the line feed still completes the answer
    Harness h({FakePort::Data{"12", milliseconds(2900)}, FakePort::Data{"34\n", milliseconds(300)}});
    const auto r = h.raw();
    ASSERT_TRUE(r);
    EXPECT_EQ(as_text(*r), "1234\n");
  }
  {  // a clock exactly at the deadline allows one more read
    Harness h({FakePort::Data{"12", milliseconds(3000)}, FakePort::Data{"34\n", milliseconds(0)}});
    EXPECT_EQ(as_text(*h.raw()), "1234\n");
  }
  {  // one tick past it does not
    Harness h({FakePort::Data{"12", milliseconds(3001)}, FakePort::Data{"34\n", milliseconds(0)}});
    EXPECT_EQ(as_text(*h.raw()), "12");
  }
}

TEST(ReceiveRaw, ABabblingProgrammerCannotExhaustMemory) {
  Steps steps;
  for (int i = 0; i < 100; ++i)
    steps.push_back(FakePort::Data{std::string(kReadChunk, 'z'), std::chrono::milliseconds(1)});
  steps.push_back(FakePort::Data{"zz\nafter"});
  steps.push_back(FakePort::Data{"never read"});
  Harness h(std::move(steps));
  const auto r = h.raw();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->size(), kAnswerLimit);  // what came past the limit was dropped ...
  EXPECT_EQ(h.port->read_calls, 101);  // ... and its line feed still ended the answer
}

TEST(ReceiveRaw, AReadFailureEndsTheReceptionAndDropsThePartialAnswer) {
  Harness h({FakePort::Data{"12"}, FakePort::Failure{"设备已断开连接"}});
  const auto r = h.raw();
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().display(), "读取失败: 设备已断开连接");
}

TEST(Decode, HexDigitsOnlyTwoByTwo) {
  struct Case {
    std::string_view answer;
    std::vector<std::uint8_t> bytes;
  };
  for (const auto& [answer, bytes] : std::vector<Case>{
           {"0A1B\r\n", {0x0A, 0x1B}},
           {"0a 1b-2c\n", {0x0A, 0x1B, 0x2C}},
           {"ABC\n", {0xAB}},
           {"OK\n", {}},
           {"C\n", {}},
           {"DEAD BEEF\n", {0xDE, 0xAD, 0xBE, 0xEF}},
           {"12\n34", {0x12, 0x34}},
           {"\xC3\xA9"
            "F0\xFF"
            "0F",
            {0xF0, 0x0F}},
           {"fF", {0xFF}},
       }) {
    const std::vector<std::uint8_t> raw(answer.begin(), answer.end());
    EXPECT_EQ(decode_hex_digits(raw), bytes) << answer;
  }
}

TEST(Decode, TextIsTrimmedAndInvalidUtf8Replaced) {
  struct Case {
    std::string_view answer;
    std::string_view text;
  };
  for (const auto& [answer, text] : std::vector<Case>{
           {"0A1B\r\n", "0A1B"},
           {"  done \r\n", "done"},
           {" 0 \n", "0"},
           {"\r\n", ""},
           {"1\n0\n", "1\n0"},
           {"ok\xFF\n", "ok\uFFFD"},
           {"\u3000成功\u3000\n", "成功"},
       }) {
    const std::vector<std::uint8_t> raw(answer.begin(), answer.end());
    EXPECT_EQ(decode_answer_text(raw), text) << answer;
  }
}

TEST(SendRequest, DiscardsFirstThenWritesAllNineBytes) {
  Harness h({});
  h.port->max_write = 4;  // the port takes the frame in pieces
  ASSERT_TRUE(send_request(*h.link, {CommandCode::ReadSpd, 3, 0, 0}));
  EXPECT_EQ(h.port->written, (std::vector<std::uint8_t>{0xAA, 0x55, 0x05, 0x03, 0x00, 0x00, 0x00, 0x00, 0xE4}));
  EXPECT_EQ(h.port->events, (std::vector<std::string>{"discard", "write", "write", "write"}));
}

TEST(SendRequest, AWriteFailureIsReported) {
  Harness h({});
  h.port->write_error = "写入超时";
  const auto r = send_request(*h.link, {CommandCode::ReadSpd, 3, 0, 0});
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().display(), "发送失败: 写入超时");
}

}  // namespace
}  // namespace dimmwand
