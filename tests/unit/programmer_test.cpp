// The emulator's programmer model: what it accepts, stores and answers.
#include <gtest/gtest.h>

#include "images.hpp"
#include "programmer.hpp"
#include "model/crc16.hpp"

namespace dimmwand::emu {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> frame(CommandCode c, std::uint8_t device, std::uint16_t address, std::uint16_t value) {
  const auto f = encode_frame({c, device, address, value});
  return {f.begin(), f.end()};
}

TEST(Programmer, FindsFramesAmongNoiseAndIgnoresBadChecksums) {
  Programmer p(default_areas(), {}, 5ms);
  auto bytes = std::vector<std::uint8_t>{0x00, 0x31, 0xAA};  // noise, then a header byte with no 0x55
  auto bad = frame(CommandCode::ReadByte, 3, 2, 0);
  bad[8] ^= 1;
  bytes.insert(bytes.end(), bad.begin(), bad.end());
  const auto good = frame(CommandCode::ReadByte, 3, 2, 0);
  bytes.insert(bytes.end(), good.begin(), good.end() - 4);  // the good frame comes in two reads
  auto events = p.feed(bytes, Clock::now());
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].note, "3 stray bytes ignored");
  EXPECT_EQ(events[1].note, "bad checksum, ignored");
  EXPECT_EQ(events[2].note, "8 stray bytes ignored");  // the rest of the bad frame
  events = p.feed(std::span(good).last(4), Clock::now());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events.back().valid);
  EXPECT_EQ(events.back().answer, "0B\n");
}

TEST(Programmer, AnswersEachRequest) {
  AnswerStyle style;
  style.separators = true;
  style.lower_case = true;
  style.short_by = 1;
  Programmer p(default_areas(), style, 0ms);
  struct Case {
    std::vector<std::uint8_t> frame;
    std::optional<std::string> answer;
  };
  for (const auto& [f, answer] : std::vector<Case>{
           {frame(CommandCode::ReadByte, 4, 2, 0), "0c\n"},
           {frame(CommandCode::ReadByte, 3, 0x0100, 0), "ff\n"},      // outside the area
           {frame(CommandCode::WriteByte, 3, 5, 0x00AB), "1\n"},
           {frame(CommandCode::ReadByte, 3, 5, 0), "ab\n"},
           {frame(CommandCode::WriteProtect, 5, 0, 0x2255), "4f 4b\n"},  // "OK"
           {frame(CommandCode::ReadReg, 4, 0, 0), std::nullopt},         // no REG area on DDR4
           {frame(CommandCode::ReadSpd, 6, 0, 0), std::nullopt},
       }) {
    const auto events = p.feed(f, Clock::now());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].answer, answer) << events[0].note;
  }
  const auto reg = p.feed(frame(CommandCode::ReadReg, 5, 0, 0), Clock::now());
  EXPECT_EQ(reg[0].answer->size(), 127u * 3 - 1 + 1);  // 127 bytes, spaces between, line feed
}

TEST(Programmer, ByteWritesFasterThanTheWriteCycleAreLost) {
  Programmer p(default_areas(), {}, 5ms);
  const auto t0 = Clock::now();
  struct Step {
    std::chrono::microseconds at;
    bool stored;
  };
  const std::vector<Step> steps{
      {0ms, true},
      {2ms, false},   // too soon after the first: lost
      {9ms, true},
      {18ms, true},   // stamped 2 ms late ...
      {23ms, true},   // ... so this gap looks short, but the two-gap span is 14 ms
      {26ms, false},  // short over two gaps too: lost
      {29ms, false},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    p.feed(frame(CommandCode::WriteRegByte, 5, static_cast<std::uint16_t>(i), 0xA0), t0 + steps[i].at);
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(p.areas().reg5[i] == 0xA0, steps[i].stored) << i;
  }
  EXPECT_EQ(p.frames_too_fast(), 3u);
}

}  // namespace
}  // namespace dimmwand::emu
