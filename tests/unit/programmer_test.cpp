// The emulator's programmer model: what it accepts, stores and answers.
#include <gtest/gtest.h>

#include "images.hpp"
#include "programmer.hpp"
#include "model/crc16.hpp"
#include "model/hub.hpp"

#include <fmt/format.h>

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
           {frame(CommandCode::ReadByte, 3, 0x0100, 0), "ff\n"},  // outside the area
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
      {0ms, true},   {2ms, false},  // too soon after the first: lost
      {9ms, true},   {18ms, true},  // stamped 2 ms late ...
      {23ms, true},                 // ... so this gap looks short, but the two-gap span is 14 ms
      {26ms, false},                // short over two gaps too: lost
      {29ms, false},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    p.feed(frame(CommandCode::WriteByte, 3, static_cast<std::uint16_t>(0x40 + i), 0xA0), t0 + steps[i].at);
  }
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(p.areas().spd3[0x40 + i] == 0xA0, steps[i].stored) << i;
  }
  EXPECT_EQ(p.frames_too_fast(), 3u);
}

TEST(Programmer, ByteWritesAreNotJudgedUnlessAsked) {
  Programmer p(default_areas(), {}, std::nullopt);
  const auto t0 = Clock::now();
  for (std::uint16_t i = 0; i < 4; ++i) p.feed(frame(CommandCode::WriteByte, 3, 0x40 + i, 0xA0), t0);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(p.areas().spd3[0x40 + i], 0xA0) << i;
  EXPECT_EQ(p.frames_too_fast(), 0u);
}

// As on an SPD5118 hub, the device type in MR0-MR1 stays whatever is written to it; the
// registers after it take their bytes.
TEST(Programmer, TheHubsDeviceTypeIsReadOnly) {
  Programmer p(default_areas(), {}, std::nullopt);
  const auto before = default_areas().reg5;
  for (std::uint16_t mr = 0; mr < 4; ++mr) {
    const auto events = p.feed(frame(CommandCode::WriteRegByte, 5, mr, 0x00), Clock::now());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].answer, "1\n") << mr;  // the hub takes the byte either way
  }
  EXPECT_EQ(p.areas().reg5[hub::kDeviceTypeHigh], before[hub::kDeviceTypeHigh]);
  EXPECT_EQ(p.areas().reg5[hub::kDeviceTypeLow], before[hub::kDeviceTypeLow]);
  EXPECT_EQ(p.areas().reg5[hub::kRevision], 0x00);
  EXPECT_EQ(p.areas().reg5[hub::kVendorBank], 0x00);
}

std::string hex_line(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (const auto b : bytes) out += fmt::format("{:02X}", b);
  return out + "\n";
}

// One module in the slot: a frame naming another generation reaches its bytes through the
// addresses of the area the frame names, and 0xFF where the module has no byte.
TEST(Programmer, OneModuleAnswersEveryGenerationsFrames) {
  const Areas a = default_areas();
  const auto first = [](const std::vector<std::uint8_t>& area, std::size_t n) {
    std::vector<std::uint8_t> out(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(std::min(n, area.size())));
    out.resize(n, 0xFF);
    return out;
  };
  struct Case {
    DeviceType only;
    std::vector<std::uint8_t> frame;
    std::optional<std::string> answer;
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR4, frame(CommandCode::ReadSpd, 3, 0, 0), hex_line(first(a.spd4, 256))},
           {DeviceType::DDR4, frame(CommandCode::ReadSpd, 4, 0, 0), hex_line(a.spd4)},
           {DeviceType::DDR4, frame(CommandCode::ReadSpd, 5, 0, 0), hex_line(first(a.spd4, 1024))},
           {DeviceType::DDR3, frame(CommandCode::ReadSpd, 4, 0, 0), hex_line(first(a.spd3, 512))},
           {DeviceType::DDR5, frame(CommandCode::ReadSpd, 3, 0, 0), hex_line(first(a.spd5, 256))},
           {DeviceType::DDR5, frame(CommandCode::ReadSpd, 4, 0, 0), hex_line(first(a.spd5, 512))},
           {DeviceType::DDR5, frame(CommandCode::ReadReg, 5, 0, 0), hex_line(a.reg5)},
           {DeviceType::DDR4, frame(CommandCode::ReadReg, 5, 0, 0), hex_line(first(a.spd4, 128))},  // no hub
           {DeviceType::DDR3, frame(CommandCode::ReadReg, 3, 0, 0), std::nullopt},  // no REG area on DDR3
           {DeviceType::DDR4, frame(CommandCode::ReadByte, 5, 2, 0), "0C\n"},
           {DeviceType::DDR5, frame(CommandCode::ReadByte, 3, 2, 0), "12\n"},
           {DeviceType::DDR3, frame(CommandCode::ReadByte, 5, 0x1FF, 0), "FF\n"},
           {DeviceType::DDR4, frame(CommandCode::ReadByte, 3, 0x1FF, 0), "FF\n"},  // beyond DDR3's addresses
       }) {
    Programmer p(default_areas(), {}, std::nullopt, {}, c.only);
    const auto events = p.feed(c.frame, Clock::now());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].answer, c.answer) << events[0].note;
  }
}

TEST(Programmer, OneModuleTakesEveryGenerationsWrites) {
  struct Case {
    DeviceType only;
    std::vector<std::uint8_t> frame;
    std::vector<std::uint8_t> Areas::* area;
    std::size_t at;  // where the byte lands, or the area's size when nowhere
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR4, frame(CommandCode::WriteByte, 3, 0x0FF, 0x5A), &Areas::spd4, 0x0FF},
           {DeviceType::DDR3, frame(CommandCode::WriteByte, 5, 0x010, 0x5A), &Areas::spd3, 0x010},
           {DeviceType::DDR5, frame(CommandCode::WriteByte, 4, 0x1FF, 0x5A), &Areas::spd5, 0x1FF},
           {DeviceType::DDR4, frame(CommandCode::WriteRegByte, 5, 0x000, 0x5A), &Areas::spd4, 0x000},  // the EEPROM
           {DeviceType::DDR3, frame(CommandCode::WriteByte, 4, 0x100, 0x5A), &Areas::spd3, 256},
           {DeviceType::DDR4, frame(CommandCode::WriteByte, 3, 0x100, 0x5A), &Areas::spd4, 512},
       }) {
    Programmer p(default_areas(), {}, std::nullopt, {}, c.only);
    const auto event = p.feed(c.frame, Clock::now()).at(0);
    auto expected = default_areas();
    if (c.at < (expected.*c.area).size()) (expected.*c.area)[c.at] = 0x5A;
    for (const auto& name : kAreaNames) {
      EXPECT_EQ(p.areas().*name.member, expected.*name.member) << name.name << " after " << log_line(event);
    }
  }
}

}  // namespace
}  // namespace dimmwand::emu
