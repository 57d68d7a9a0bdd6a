// SPD images: identification, checksums, repair, decoding and field names, on hand-made images
// whose values are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "model/crc16.hpp"
#include "spd/fields.hpp"
#include "spd/image.hpp"
#include "spd/info.hpp"
#include "spd/jep106.hpp"
#include "spd/registers.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;
using model::crc16;

void put_crc(Bytes& s, std::size_t from, std::size_t to, std::size_t at) {
  const auto crc = crc16(std::span(s).subspan(from, to - from + 1));
  s[at] = static_cast<std::uint8_t>(crc & 0xFF);
  s[at + 1] = static_cast<std::uint8_t>(crc >> 8);
}

Bytes ddr3(bool crc_to_116 = false) {
  Bytes s(256, 0);
  s[0] = crc_to_116 ? 0x92 : 0x12;
  s[2] = 0x0B;
  put_crc(s, 0, crc_to_116 ? 116 : 125, 126);
  return s;
}

Bytes ddr4() {
  Bytes s(512, 0);
  s[2] = 0x0C;
  put_crc(s, 0, 125, 126);
  put_crc(s, 128, 253, 254);
  return s;
}

// DDR5 with an XMP 3.0 block (profiles 1 and 2 enabled, a user profile 5) and, optionally, EXPO.
Bytes ddr5(bool expo = false) {
  Bytes s(1024, 0);
  s[2] = 0x12;
  put_crc(s, 0, 509, 510);
  s[0x280] = 0x0C;
  s[0x281] = 0x4A;
  s[0x282] = 0x30;
  s[0x283] = 0x03;
  put_crc(s, 0x280, 0x2BD, 0x2BE);
  for (const std::size_t at : {std::size_t{0x2C0}, std::size_t{0x300}, std::size_t{0x3C0}}) {
    s[at + 1] = 0x28;
    put_crc(s, at, at + 0x3D, at + 0x3E);
  }
  if (expo) {
    const std::string_view magic = "EXPO";
    std::copy(magic.begin(), magic.end(), s.begin() + 0x340);
    s[0x344] = 0x10;
    s[0x346] = 0x01;
    put_crc(s, 0x340, 0x3BD, 0x3BE);
  }
  return s;
}

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
  unknown_type[2] = 0x07;
  Bytes ddr4_type_in_256(256, 0);
  ddr4_type_in_256[2] = 0x0C;
  for (const auto& c : std::vector<Case>{
           {ddr3(), std::nullopt, DeviceType::DDR3, ""},
           {ddr4(), std::nullopt, DeviceType::DDR4, ""},
           {ddr5(), std::nullopt, DeviceType::DDR5, ""},
           {unknown_type, std::nullopt, std::nullopt, "未知内存类型 0x07 (字节 2)"},
           {unknown_type, DeviceType::DDR4, DeviceType::DDR4, ""},
           {ddr4_type_in_256, std::nullopt, std::nullopt, "映像不完整: DDR4 SPD 为 512 字节，文件只有 256 字节"},
           {Bytes(600, 0x0C), std::nullopt, std::nullopt, "文件 600 字节，大于 DDR4 SPD 的 512 字节"},
           {Bytes(128, 0x10), std::nullopt, std::nullopt, "DDR5 REG 区映像"},
           {Bytes(300, 0), std::nullopt, std::nullopt, "文件大小 300 字节不符合任何 SPD"},
           {Bytes(2, 0), std::nullopt, std::nullopt, "没有内存类型字节"},
           {Bytes{}, std::nullopt, std::nullopt, "文件为空"},
           {ddr4(), DeviceType::DDR5, std::nullopt, "映像不完整: DDR5 SPD 为 1024 字节，文件只有 512 字节"},
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
           {0x8C, 0xBA, "未知 (bank 13, 0xBA)"},                 // a row the list's conversion lost
           {0x91, 0x01, "未知 (bank 18, 0x01)"},                 // past the end of the list
           {0x06, 0x13, "无效 (bank 7, 0x13：校验位错误)"},       // the continuation count's parity
           {0x80, 0x2D, "无效 (bank 1, 0x2D：校验位错误)"},       // the code's parity
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

TEST(Timing, ClocksAndGrades) {
  EXPECT_EQ(clocks(13125, 1250, DeviceType::DDR3), 11u);  // 10.5 clocks round up
  EXPECT_EQ(clocks(13750, 625, DeviceType::DDR4), 22u);   // exactly 22
  EXPECT_EQ(clocks(13760, 625, DeviceType::DDR4), 22u);   // within the guard band
  EXPECT_EQ(clocks(14000, 625, DeviceType::DDR4), 23u);
  EXPECT_EQ(clocks(16000, 416, DeviceType::DDR5), 39u);
  EXPECT_EQ(clocks(100, 0, DeviceType::DDR5), 0u);
  EXPECT_EQ(data_rate(1250), 1600u);
  EXPECT_EQ(data_rate(938), 2133u);
  EXPECT_EQ(data_rate(416), 4800u);
  EXPECT_EQ(data_rate(357), 5600u);
  EXPECT_EQ(data_rate(300), 6667u);  // no grade within 1 %
}

TEST(Describe, DecodesKnownValues) {
  Bytes s = ddr4();
  s[3] = 0x03;            // SO-DIMM
  s[4] = 0x46;            // 16 Gb, 8 banks... in 2 bank groups
  s[12] = 0x0A;           // x16, 2 package ranks
  s[13] = 0x0B;           // 64 bits + ECC
  s[18] = 0x06;           // 0.750 ns: DDR4-2666
  s[24] = s[25] = s[26] = 0x72;  // 14.250 ns
  s[27] = 0x01;
  s[28] = 0x00;           // tRAS 32 ns
  s[320] = 0x01;
  s[321] = 0x98;          // Kingston
  const std::string part = "KSM26SED8/16";
  std::copy(part.begin(), part.end(), s.begin() + 329);
  s[323] = 0x23;
  s[324] = 0x07;
  const auto lines = describe(s, DeviceType::DDR4);
  const auto value = [&](std::string_view label) {
    for (const auto& [l, v] : lines) {
      if (l == label) return v;
    }
    return std::string("<none>");
  };
  EXPECT_EQ(value("模块类型"), "SO-DIMM");
  EXPECT_EQ(value("容量"), "16 GB (2 rank，x16 颗粒 16 Gb，64 位 + 8 位 ECC)");
  EXPECT_EQ(value("速率"), "DDR4-2666 (tCK 0.750 ns)");
  EXPECT_EQ(value("时序"), "CL19-19-19-43 (tAA 14.250 ns, tRCD 14.250 ns, tRP 14.250 ns, tRAS 32.000 ns)");
  EXPECT_EQ(value("模块制造商"), "Kingston (bank 2, 0x98)");
  EXPECT_EQ(value("型号"), "KSM26SED8/16");
  EXPECT_EQ(value("生产日期"), "2023 年第 07 周");
  EXPECT_EQ(value("XMP"), "无");
}

TEST(Describe, NonsenseNeverCrashesOrDividesByZero) {
  for (const auto g : {DeviceType::DDR3, DeviceType::DDR4, DeviceType::DDR5}) {
    for (const int fill : {0x00, 0xFF, 0x80}) {
      const Bytes s(g == DeviceType::DDR3 ? 256 : g == DeviceType::DDR4 ? 512 : 1024, static_cast<std::uint8_t>(fill));
      const auto lines = describe(s, g);
      EXPECT_GT(lines.size(), 5u);
    }
  }
}

TEST(Fields, NamesWhereTheOffsetIsKnown) {
  EXPECT_EQ(field_names(ddr4(), DeviceType::DDR4, 126, 127), "基本区 CRC");
  EXPECT_EQ(field_names(ddr4(), DeviceType::DDR4, 325, 330), "序列号、型号");
  EXPECT_EQ(field_names(ddr3(), DeviceType::DDR3, 13, 13), "");
  EXPECT_EQ(field_names(ddr5(), DeviceType::DDR5, 0x2FE, 0x2FF), "XMP 配置 1 CRC");
  EXPECT_EQ(field_names(ddr5(true), DeviceType::DDR5, 0x350, 0x350), "EXPO");
  EXPECT_EQ(field_names(Bytes(1024, 0), DeviceType::DDR5, 0x300, 0x300), "XMP / EXPO / 用户区");
}

}  // namespace
}  // namespace dimmwand::spd
