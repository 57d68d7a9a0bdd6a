// SPD images: identification, checksums, repair, decoding and field names, on hand-made images
// whose values are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "model/crc16.hpp"
#include "spd_images.hpp"
#include "spd/fields.hpp"
#include "spd/image.hpp"
#include "spd/decode.hpp"
#include "spd/timing.hpp"
#include "spd/jep106.hpp"
#include "spd/registers.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = testing::Bytes;
using model::crc16;
using testing::ddr3;
using testing::ddr4;
using testing::ddr5;
using testing::put_crc;

std::vector<std::string> names(const std::vector<Checksum>& cs) {
  std::vector<std::string> out;
  for (const auto& c : cs) out.push_back(c.name + (c.ok() ? " ok" : " bad"));
  return out;
}

TEST(Crc16, CatalogueValue) {
  constexpr std::string_view digits = "123456789";
  const Bytes b(digits.begin(), digits.end());
  EXPECT_EQ(crc16(b), 0x31C3);  // CRC-16/XMODEM
}

TEST(Identify, SizesTypesAndWhatIsGiven) {
  struct Case {
    Bytes image;
    std::optional<DeviceType> given;
    std::optional<DeviceType> want;  // nullopt: an error containing `message`
    std::string_view message;
  };
  Bytes unknown_type = ddr4();
  unknown_type[2] = 0x16;
  const Bytes whole_ddr5 = ddr5();
  const Bytes half_ddr5(whole_ddr5.begin(), whole_ddr5.begin() + 512);
  Bytes lpddr5 = ddr5();
  lpddr5[2] = 0x13;
  Bytes ddr4_type_in_256(256, 0);
  ddr4_type_in_256[2] = 0x0C;
  for (const auto& c : std::vector<Case>{
           {ddr3(), std::nullopt, DeviceType::DDR3, ""},
           {ddr4(), std::nullopt, DeviceType::DDR4, ""},
           {ddr5(), std::nullopt, DeviceType::DDR5, ""},
           {unknown_type, std::nullopt, std::nullopt, "未知内存类型 0x16 (字节 2)"},
           {unknown_type, DeviceType::DDR4, DeviceType::DDR4, ""},
           {ddr4_type_in_256, std::nullopt, std::nullopt, "映像不完整: DDR4 SPD 为 512 字节，文件只有 256 字节"},
           {Bytes(600, 0x0C), std::nullopt, std::nullopt, "文件 600 字节，大于 DDR4 SPD 的 512 字节"},
           {Bytes(128, 0x10), std::nullopt, std::nullopt, "DDR5 REG 区映像"},
           {Bytes(300, 0), std::nullopt, std::nullopt, "文件大小 300 字节不符合任何 SPD"},
           {Bytes(2, 0), std::nullopt, std::nullopt, "没有内存类型字节"},
           {Bytes{}, std::nullopt, std::nullopt, "文件为空"},
           {ddr4(), DeviceType::DDR5, std::nullopt, "映像不完整: DDR5 SPD 为 1024 字节，文件只有 512 字节"},
           {half_ddr5, std::nullopt, DeviceType::DDR5, ""},  // the base and module sections alone
           {half_ddr5, DeviceType::DDR5, DeviceType::DDR5, ""},
           {lpddr5, std::nullopt, std::nullopt, "内存类型为 LPDDR5（字节 2 = 0x13）：不支持解读"},
       }) {
    const auto got = identify(c.image, c.given);
    if (c.want) {
      ASSERT_TRUE(got) << got.error().display();
      EXPECT_EQ(*got, *c.want);
    } else {
      ASSERT_FALSE(got);
      EXPECT_NE(got.error().display().find(c.message), std::string::npos) << got.error().display();
    }
  }
}

TEST(Checksums, EachGenerationAndBlock) {
  EXPECT_EQ(names(checksums(ddr3(), DeviceType::DDR3)), std::vector<std::string>{"基本区 CRC ok"});
  EXPECT_EQ(checksums(ddr3(true), DeviceType::DDR3)[0].to, 116u);
  EXPECT_EQ(checksums(ddr3(false), DeviceType::DDR3)[0].to, 125u);
  EXPECT_EQ(names(checksums(ddr4(), DeviceType::DDR4)), (std::vector<std::string>{"基本区 CRC ok", "模块区 CRC ok"}));
  EXPECT_EQ(names(checksums(ddr5(), DeviceType::DDR5)),
            (std::vector<std::string>{"基本区 CRC ok", "XMP 3.0 头 CRC ok", "XMP 配置 1 CRC ok", "XMP 配置 2 CRC ok",
                                      "XMP 配置 5 CRC ok"}));
  // With EXPO, XMP profiles 3 and 4 give way to it.
  // Even where the header enables profile 3, its place holds EXPO data, which no XMP checksum covers.
  Bytes both = ddr5(true);
  both[0x283] = 0x07;
  put_crc(both, 0x280, 0x2BD, 0x2BE);
  for (const auto& image : {ddr5(true), both}) {
    EXPECT_EQ(names(checksums(image, DeviceType::DDR5)),
              (std::vector<std::string>{"基本区 CRC ok", "XMP 3.0 头 CRC ok", "XMP 配置 1 CRC ok", "XMP 配置 2 CRC ok",
                                        "XMP 配置 5 CRC ok", "EXPO CRC ok"}));
    const auto skipped = skipped_blocks(image, DeviceType::DDR5);
    ASSERT_EQ(skipped.size(), 2u);
    EXPECT_EQ(skipped[0].name + ": " + skipped[0].reason, "XMP 配置 3: 此处为 EXPO 数据");
    EXPECT_EQ(skipped[1].name + ": " + skipped[1].reason, "XMP 配置 4: 此处为 EXPO 数据");
    EXPECT_EQ(skipped[0].id + " " + skipped[1].id, "xmp3.profile3 xmp3.profile4");
    std::vector<std::string> ids;
    for (const auto& c : checksums(image, DeviceType::DDR5)) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"base", "xmp3.header", "xmp3.profile1", "xmp3.profile2", "xmp3.profile5",
                                             "expo"}));
  }
  EXPECT_TRUE(fix_checksums(both, DeviceType::DDR5).empty());
}

TEST(Checksums, AChangedByteIsCaughtWhereItIsCoveredOnly) {
  struct Case {
    DeviceType g;
    std::size_t byte;
    std::string_view bad;  // the checksum that must fail, or empty when none covers the byte
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR3, 0x10, "基本区 CRC"},
           {DeviceType::DDR3, 120, ""},  // byte 0 bit 7: bytes 117-125 are not covered
           {DeviceType::DDR3, 200, ""},
           {DeviceType::DDR4, 125, "基本区 CRC"},
           {DeviceType::DDR4, 128, "模块区 CRC"},
           {DeviceType::DDR4, 253, "模块区 CRC"},
           {DeviceType::DDR4, 300, ""},
           {DeviceType::DDR5, 509, "基本区 CRC"},
           {DeviceType::DDR5, 0x290, "XMP 3.0 头 CRC"},
           {DeviceType::DDR5, 0x301, "XMP 配置 2 CRC"},
           {DeviceType::DDR5, 0x3D0, ""},  // a user profile whose checksum fails is no longer identified
           {DeviceType::DDR5, 0x360, ""},  // profile 3 is not enabled
       }) {
    Bytes s = c.g == DeviceType::DDR3 ? ddr3(true) : c.g == DeviceType::DDR4 ? ddr4() : ddr5();
    s[c.byte] ^= 0x5A;
    std::string bad;
    for (const auto& cs : checksums(s, c.g)) {
      if (!cs.ok()) bad += cs.name;
    }
    EXPECT_EQ(bad, c.bad) << c.byte;
  }
}

TEST(Checksums, FixRecomputesOnlyWhatIsWrong) {
  Bytes s = ddr5(true);
  s[0x100] = 0x77;
  s[0x350] = 0x01;
  const auto changed = fix_checksums(s, DeviceType::DDR5);
  EXPECT_EQ(names(changed), (std::vector<std::string>{"基本区 CRC bad", "EXPO CRC bad"}));
  for (const auto& c : checksums(s, DeviceType::DDR5)) EXPECT_TRUE(c.ok()) << c.name;
  EXPECT_TRUE(fix_checksums(s, DeviceType::DDR5).empty());
}

TEST(Jep106, NamesBanksAndParity) {
  struct Case {
    std::uint8_t continuation, code;
    std::string_view shown;
  };
  for (const auto& c : std::vector<Case>{
           {0x80, 0xCE, "Samsung (bank 1, 0xCE)"},
           {0x80, 0x2C, "Micron Technology (bank 1, 0x2C)"},
           {0x01, 0x98, "Kingston (bank 2, 0x98)"},
           {0x04, 0xCD, "G Skill Intl (bank 5, 0xCD)"},
           {0x85, 0x9B, "Crucial Technology (bank 6, 0x9B)"},
           {0x8C, 0x40, "Biostar Microtech International Corp (bank 13, 0x40)"},  // past decode-dimms's table
           {0x10, 0x04, "Tenstorrent (bank 17, 0x04)"},
           {0x8C, 0xBA, "未知 (bank 13, 0xBA)"},             // a row the list's conversion lost
           {0x91, 0x01, "未知 (bank 18, 0x01)"},             // past the end of the list
           {0x06, 0x13, "无效 (bank 7, 0x13：校验位错误)"},  // the continuation count's parity
           {0x80, 0x2D, "无效 (bank 1, 0x2D：校验位错误)"},  // the code's parity
           {0x00, 0x00, "未记录"},
           {0xFF, 0xFF, "未记录"},
       }) {
    EXPECT_EQ(manufacturer(c.continuation, c.code), c.shown);
  }
}

TEST(Registers, TheBusInterfaceOfMr18) {
  std::vector<std::uint8_t> r(kRegAreaSize, 0);
  r[0] = 0x51;
  r[1] = 0x18;
  for (const auto& [mr18, shown] : std::vector<std::pair<std::uint8_t, std::string_view>>{
           {0x00, "I2C，最高 1 MHz (MR18 = 0x00)"},
           {0xC0, "I2C，最高 1 MHz (MR18 = 0xC0)"},  // parity and PEC apply to I3C only
           {0x20, "I3C Basic，奇偶校验启用，PEC 关闭 (MR18 = 0x20)"},
           {0xE0, "I3C Basic，奇偶校验关闭，PEC 启用 (MR18 = 0xE0)"},
       }) {
    r[18] = mr18;
    const auto lines = describe_registers(r);
    const auto line = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return l.first == "总线接口"; });
    ASSERT_NE(line, lines.end());
    EXPECT_EQ(line->second, shown);
  }
}

}  // namespace
}  // namespace dimmwand::spd
