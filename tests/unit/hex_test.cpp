#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "cli/hex.hpp"

namespace dimmwand {
namespace {

struct HexCase {
  std::string_view text;
  std::optional<unsigned> u16;  // nullopt: rejected
  std::optional<unsigned> u8;
};

TEST(HexConverters, AcceptAndRejectExactly) {
  const auto none = std::nullopt;
  for (const auto& c : std::vector<HexCase>{
           {"0003", 3, 3},
           {"3", 3, 3},
           {"03", 3, 3},
           {"0x3", 3, 3},
           {"0X0003", 3, 3},
           {"+3", 3, 3},
           {" 3 ", 3, 3},
           {"\u30000003\u3000", 3, 3},
           {"\u00A0\t3\r\n", 3, 3},
           {"FFFF", 0xFFFF, none},
           {"0000FFFF", 0xFFFF, none},
           {"0xffff", 0xFFFF, none},
           {"10000", none, none},
           {"FFFFF", none, none},
           {"0007", 7, 7},
           {"FF", 0xFF, 0xFF},
           {"000000FF", 0xFF, 0xFF},
           {"ff", 0xFF, 0xFF},
           {"100", 0x100, none},
           {"aB", 0xAB, 0xAB},
           {"Ab", 0xAB, 0xAB},
           {"AB", 0xAB, 0xAB},
           {"0x+1F", 0x1F, 0x1F},
           {"+0x1F", none, none},
           {"0x0x3", none, none},
           {"", none, none},
           {"0x", none, none},
           {"0X", none, none},
           {"+", none, none},
           {"-", none, none},
           {"++1", none, none},
           {"-1", none, none},
           {"1 2", none, none},
           {"1_0", none, none},
           {"\uFF11", none, none},  // full-width digit one
           {"x3", none, none},
           {"0x 3", none, none},
           {"00000000000000000000001", 1, 1},
       }) {
    const auto r16 = parse_hex_u16(c.text);
    const auto r8 = parse_hex_u8(c.text);
    EXPECT_EQ(r16 ? std::optional<unsigned>(*r16) : std::nullopt, c.u16) << "u16 " << c.text;
    EXPECT_EQ(r8 ? std::optional<unsigned>(*r8) : std::nullopt, c.u8) << "u8 " << c.text;
  }
}

TEST(HexConverters, MessageRepeatsTheTextAsTyped) {
  EXPECT_EQ(parse_hex_u16("12G4").error(), "无效十六进制: 12G4");
  EXPECT_EQ(parse_hex_u16(" 12G4 ").error(), "无效十六进制:  12G4 ");
  EXPECT_EQ(parse_hex_u8("0x100").error(), "无效十六进制: 0x100");
  EXPECT_EQ(parse_hex_u8("").error(), "无效十六进制: ");
}

}  // namespace
}  // namespace dimmwand
