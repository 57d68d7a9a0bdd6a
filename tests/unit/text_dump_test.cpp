// Text dumps: what is taken for which form, what is never taken for text, and where a text that
// does not parse whole is reported.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "image/text_dump.hpp"

namespace dimmwand::image {
namespace {

std::optional<std::expected<TextDump, TextDumpError>> read(const std::string& text) {
  return read_text_dump({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

using Bytes = std::vector<std::uint8_t>;

// An i2cdump table: the header, then `rows` rows of 16 bytes from row 00, each byte `fill`.
std::string i2cdump_page(std::size_t rows, int fill) {
  std::string out = "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
  for (std::size_t r = 0; r < rows; ++r) {
    out += fmt::format("{:02x}: ", r * 16);
    for (int i = 0; i < 16; ++i) out += fmt::format("{:02x} ", fill);
    out += "   ................\n";
  }
  return out;
}

TEST(TextDump, EachFormReadsBackItsBytes) {
  struct Case {
    std::string text;
    TextForm form;
    Bytes bytes;
  };
  for (const auto& c : std::vector<Case>{
           {"000000  92 13 0B\r\n", TextForm::Dimmwand, {0x92, 0x13, 0x0B}},
           {"No size specified (using byte-data access)\n"
            "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n"
            "00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ff    ...............\n",
            TextForm::I2cdump, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xFF}},
           {"00000000  41 41 41 41 41 41 41 41  41 41 41 41 41 41 41 41  |AAAAAAAAAAAAAAAA|\n*\n"
            "00000020  42 7c                                             |B||\n00000022\n",
            TextForm::HexdumpC, [] { Bytes b(34, 0x41); b[32] = 0x42; b[33] = 0x7C; return b; }()},
           {"00000000: 9213 0b                                  ...\n", TextForm::Xxd, {0x92, 0x13, 0x0B}},
           // DDR4 and DDR5 modules are dumped a page at a time, each table under its header.
           {i2cdump_page(16, 0x23) + "No size specified (using byte-data access)\n" + i2cdump_page(16, 0x11),
            TextForm::I2cdump, [] { Bytes b(512, 0x23); std::fill(b.begin() + 256, b.end(), 0x11); return b; }()},
           {"0x92, 0x13,\n0x0B", TextForm::PlainHex, {0x92, 0x13, 0x0B}},
           {"92 13\n0b\n", TextForm::PlainHex, {0x92, 0x13, 0x0B}},
           // PowerShell's `>` saves UTF-16LE with a byte-order mark.
           {std::string("\xFF\xFE" "0\0" "0\0" " \0" "A\0" "B\0", 12), TextForm::PlainHex, {0x00, 0xAB}},
       }) {
    const auto r = read(c.text);
    ASSERT_TRUE(r && *r) << c.text << (r && !*r ? r->error().why : "");
    EXPECT_EQ((*r)->form, c.form) << c.text;
    EXPECT_EQ((*r)->bytes, c.bytes) << c.text;
  }
}

TEST(TextDump, BinaryAndTinyPrintableFilesAreNotTakenForDumps) {
  // Not text, or printable but never showing a form: nothing to say, so the write goes ahead.
  EXPECT_FALSE(read(std::string("\x92\x13\x0B\x02", 4)));
  EXPECT_FALSE(read(std::string("\xFF\xFE" "0\x01", 4)));
  for (const std::string text : {"a", "12", "3333", "0: 1", "12\nxy", "AB CD!"}) EXPECT_FALSE(read(text)) << text;
}

TEST(TextDump, ATextThatDoesNotParseWholeNamesItsLine) {
  struct Case {
    std::string text;
    std::size_t line;
    std::string why;
  };
  for (const auto& c : std::vector<Case>{
           {"000000  00 01\n000010  02\n", 2, "地址跳跃: 0x10，应为 0x2"},
           {"000000  00 01\n\n000000  02\n", 3, "地址 0x0 重复（应为 0x2）"},
           {"000000  00 01\n000002  0G\n", 2, "“0G”不是十六进制字节"},
           {"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n00: XX 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n", 2,
            "有 XX：i2cdump 没能读到这个字节"},
           {"00000000  41 42  |AB|\n00000010\n", 2, "地址跳跃: 0x10，应为 0x2"},
           {"00000000: 4142  AB\n*\n*\n", 3, "“*”前没有可重复的行"},
           {"00000000: 4142  AB\n*\n", 2, "“*”之后没有地址行，不知道重复到哪里"},
           {"12 34\n0x5G\n", 2, "“0x5G”不是一个字节"},
           {i2cdump_page(16, 0) + i2cdump_page(1, 0).substr(72), 18, "地址 0x0 重复（应为 0x100）；下一页的表前应有 i2cdump 的表头行"},
           {i2cdump_page(3, 0) + i2cdump_page(1, 0), 5, "表头出现在一页中间（这一页只到 0x30）"},
       }) {
    const auto r = read(c.text);
    ASSERT_TRUE(r && !*r) << c.text;
    EXPECT_EQ(r->error().line, c.line) << c.text;
    EXPECT_EQ(r->error().why, c.why) << c.text;
  }
}

}  // namespace
}  // namespace dimmwand::image
