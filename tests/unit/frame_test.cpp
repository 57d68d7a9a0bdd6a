#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "protocol/frame.hpp"

namespace dimmwand {
namespace {

TEST(Crc8Rohc, CatalogueValues) {
  constexpr std::string_view digits = "123456789";
  const std::vector<std::uint8_t> bytes(digits.begin(), digits.end());
  EXPECT_EQ(crc8_rohc(bytes), 0xD0);
  static_assert(kCrc8RohcTable[1] == 0x91);
  static_assert(kCrc8RohcTable[128] == 0xE0);
  static_assert(kCrc8RohcTable[0] == 0x00);
}

TEST(RequestFrame, WorkedFramesEncodeByteForByte) {
  struct Case {
    RequestFrame frame;
    EncodedFrame bytes;
  };
  for (const auto& [frame, bytes] : std::vector<Case>{
           {{CommandCode::ReadByte, 5, 0x0003, 0}, {0xAA, 0x55, 0x01, 0x05, 0x00, 0x03, 0x00, 0x00, 0xBC}},
           {{CommandCode::WriteByte, 5, 0x0003, 0x07}, {0xAA, 0x55, 0x02, 0x05, 0x00, 0x03, 0x00, 0x07, 0x90}},
           {{CommandCode::ReadSpd, 3, 0, 0}, {0xAA, 0x55, 0x05, 0x03, 0x00, 0x00, 0x00, 0x00, 0xE4}},
           {{CommandCode::ReadSpd, 4, 0, 0}, {0xAA, 0x55, 0x05, 0x04, 0x00, 0x00, 0x00, 0x00, 0x38}},
           {{CommandCode::ReadSpd, 5, 0, 0}, {0xAA, 0x55, 0x05, 0x05, 0x00, 0x00, 0x00, 0x00, 0xD1}},
           {{CommandCode::ReadReg, 5, 0, 0}, {0xAA, 0x55, 0x06, 0x05, 0x00, 0x00, 0x00, 0x00, 0x88}},
           {{CommandCode::WriteProtect, 4, 0, 0x0045}, {0xAA, 0x55, 0x03, 0x04, 0x00, 0x00, 0x00, 0x45, 0x6C}},
           {{CommandCode::WriteProtect, 5, 0, 0x2255}, {0xAA, 0x55, 0x03, 0x05, 0x00, 0x00, 0x22, 0x55, 0x69}},
       }) {
    EXPECT_EQ(encode_frame(frame), bytes);
    const auto back = decode_frame(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(encode_frame(*back), bytes);
    // Any one byte changed is a frame the programmer must not act on.
    for (std::size_t i = 0; i < kFrameSize; ++i) {
      EncodedFrame bad = bytes;
      bad[i] ^= 0x10;
      EXPECT_FALSE(decode_frame(bad)) << i;
    }
  }
}

TEST(RequestFrame, SixteenBitFieldsGoHighByteFirst) {
  const auto f = encode_frame({CommandCode::WriteRegByte, 5, 0x0123, 0x00FE});
  EXPECT_EQ(f[4], 0x01);
  EXPECT_EQ(f[5], 0x23);
  EXPECT_EQ(f[6], 0x00);
  EXPECT_EQ(f[7], 0xFE);
  EXPECT_EQ(f[8], crc8_rohc(std::span(f).subspan(2, 6)));
}

}  // namespace
}  // namespace dimmwand
