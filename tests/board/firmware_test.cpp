// The firmware's portable part, built for the host: the frame parser meets the frames the tool
// encodes (and the line's noise), the hex writer writes what the tool decodes, and the protection
// codes mean what docs/protocol.md says.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "firmware/protection.hpp"
#include "firmware/wire.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes frame_bytes(const RequestFrame& f) {
  const auto e = encode_frame(f);
  return {e.begin(), e.end()};
}

// The frames the parser finds in `bytes`, fed one at a time, as "command device address value".
std::vector<std::string> parse(const Bytes& bytes) {
  fw::FrameParser p;
  std::vector<std::string> found;
  for (const auto b : bytes) {
    if (!p.feed(b)) continue;
    const auto& f = p.frame();
    found.push_back(fmt::format("{:02X} {} {:04X} {:04X}", f.command, f.device, f.address, f.value));
  }
  return found;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(FirmwareFrames, ChecksumIsCrc8Rohc) {
  const std::string check = "123456789";
  EXPECT_EQ(fw::crc8_rohc(reinterpret_cast<const std::uint8_t*>(check.data()), 9), 0xD0);
  // Every frame the tool can encode carries the checksum the firmware computes.
  for (unsigned v = 0; v < 0x10000; v += 0x0101) {
    const auto f = frame_bytes(
        {CommandCode::WriteProtect, 5, static_cast<std::uint16_t>(v ^ 0x5A5A), static_cast<std::uint16_t>(v)});
    EXPECT_EQ(fw::crc8_rohc(f.data() + 2, 6), f[8]) << v;
  }
}

TEST(FirmwareFrames, FindsFramesInTheLinesBytes) {
  const Bytes read3 = frame_bytes({CommandCode::ReadByte, 5, 0x0003, 0});
  const Bytes write3 = frame_bytes({CommandCode::WriteByte, 5, 0x0003, 0x07});
  const Bytes spd4 = frame_bytes({CommandCode::ReadSpd, 4, 0, 0});
  Bytes bad = write3;
  bad[8] ^= 0x01;
  Bytes cut(read3.begin(), read3.begin() + 5);
  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<std::string> frames;
  };
  for (const auto& c : std::vector<Case>{
           {"a frame", read3, {"01 5 0003 0000"}},
           {"the worked frame of a write", write3, {"02 5 0003 0007"}},
           {"two frames back to back", join({write3, spd4}), {"02 5 0003 0007", "05 4 0000 0000"}},
           {"noise before", join({{0x00, 0x55, 0xFF, 0xAA}, read3}), {"01 5 0003 0000"}},
           {"a bad checksum is ignored", join({bad, read3}), {"01 5 0003 0000"}},
           {"AA 55 inside a bad frame's bytes", join({{0xAA, 0x55}, read3}), {"01 5 0003 0000"}},
           {"a frame cut short, then a whole one", join({cut, spd4}), {"05 4 0000 0000"}},
           {"only noise", {0x55, 0xAA, 0x00, 0xAA, 0xAA}, {}},
       }) {
    EXPECT_EQ(parse(c.bytes), c.frames) << c.what;
  }
}

TEST(FirmwareFrames, CountsTheFramesItDrops) {
  Bytes bad = frame_bytes({CommandCode::ReadSpd, 3, 0, 0});
  bad[4] = 0x01;
  fw::FrameParser p;
  for (const auto b : join({bad, bad})) p.feed(b);
  EXPECT_EQ(p.rejected(), 2);
}

std::string written;
void sink(char c) { written += c; }

TEST(FirmwareHex, WritesWhatTheToolDecodes) {
  const fw::HexWriter out(sink);
  written.clear();
  std::string expected;
  for (unsigned b = 0; b < 256; ++b) {
    out.byte(static_cast<std::uint8_t>(b));
    expected += fmt::format("{:02X}", b);
  }
  out.end_line();
  EXPECT_EQ(written, expected + "\n");
  written.clear();
  out.text_as_hex("WP 0-1");
  out.text(" HUNG");
  EXPECT_EQ(written, "575020302D31 HUNG");
}

TEST(FirmwareProtection, CodesMeanWhatTheDocumentSays) {
  struct Case {
    std::uint8_t device;
    std::uint16_t code;
    fw::Protect action;
    std::uint8_t block;
  };
  using P = fw::Protect;
  for (const auto& c : std::vector<Case>{
           {3, 0x0000, P::Status, 0},
           {3, 0x0100, P::Set, 0},
           {3, 0x0101, P::Unknown, 0},
           {3, 0x0200, P::ClearAll, 0},
           {3, 0x0300, P::Unknown, 0},
           {4, 0x0103, P::Set, 3},
           {4, 0x0104, P::Unknown, 0},
           {4, 0x0201, P::Unknown, 0},
           {5, 0x010F, P::Set, 15},
           {5, 0x0110, P::Unknown, 0},
           {5, 0x0307, P::ClearBlock, 7},
           {5, 0x0045, P::Unknown, 0},
           {5, 0x2255, P::Unknown, 0},
           {5, 0x0001, P::Unknown, 0},
           {6, 0x0000, P::Unknown, 0},
       }) {
    const auto r = fw::decode_protect(c.device, c.code);
    EXPECT_EQ(r.action, c.action) << int(c.device) << " " << c.code;
    if (c.action != P::Unknown) {
      EXPECT_EQ(r.block, c.block) << c.code;
    }
  }
}

TEST(FirmwareProtection, StatusTextNamesTheBlocks) {
  struct Case {
    std::uint16_t blocks;
    bool permanent;
    bool refused;
    std::string text;
  };
  for (const auto& c : std::vector<Case>{
           {0, false, false, "WP NONE"},
           {0x0001, false, false, "WP 0"},
           {0x0001, true, true, "REFUSED WP 0 PERMANENT"},
           {0x000B, false, false, "WP 0-1, 3"},
           {0x10FF, false, true, "REFUSED WP 0-7, 12"},
           {0xAAAA, false, false, "WP 1, 3, 5, 7, 9, 11, 13, 15"},
           {0xFFFF, false, false, "WP 0-15"},
       }) {
    char text[fw::kStatusTextSize];
    fw::status_text(c.blocks, c.permanent, c.refused, text);
    EXPECT_EQ(std::string(text), c.text);
  }
  // The longest text fits.
  char text[fw::kStatusTextSize];
  fw::status_text(0x5555, true, true, text);
  EXPECT_LT(std::string(text).size(), fw::kStatusTextSize);
}

}  // namespace
}  // namespace dimmwand
