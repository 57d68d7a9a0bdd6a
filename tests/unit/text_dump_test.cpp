// Text dumps: what is taken for which form, what is never taken for text, and where a text that
// does not parse whole is reported.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "image/text_chars.hpp"
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
            TextForm::I2cdump,
            {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xFF}},
           {"00000000  41 41 41 41 41 41 41 41  41 41 41 41 41 41 41 41  |AAAAAAAAAAAAAAAA|\n*\n"
            "00000020  42 7c                                             |B||\n00000022\n",
            TextForm::HexdumpC,
            [] {
              Bytes b(34, 0x41);
              b[32] = 0x42;
              b[33] = 0x7C;
              return b;
            }()},
           {"00000000: 9213 0b                                  ...\n", TextForm::Xxd, {0x92, 0x13, 0x0B}},
           // DDR4 and DDR5 modules are dumped a page at a time, each table under its header.
           {i2cdump_page(16, 0x23) + "No size specified (using byte-data access)\n" + i2cdump_page(16, 0x11),
            TextForm::I2cdump,
            [] {
              Bytes b(512, 0x23);
              std::fill(b.begin() + 256, b.end(), 0x11);
              return b;
            }()},
           {"0x92, 0x13,\n0x0B", TextForm::PlainHex, {0x92, 0x13, 0x0B}},
           {"92 13\n0b\n", TextForm::PlainHex, {0x92, 0x13, 0x0B}},
           // PowerShell's `>` saves UTF-16LE with a byte-order mark.
           {std::string("\xFF\xFE"
                        "0\0"
                        "0\0"
                        " \0"
                        "A\0"
                        "B\0",
                        12),
            TextForm::PlainHex,
            {0x00, 0xAB}},
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
  EXPECT_FALSE(
      read(std::string("\xFF\xFE"
                       "0\x01",
                       4)));
  for (const std::string text : {"a", "12", "3333", "0: 1", "12\nxy", "AB CD!"}) EXPECT_FALSE(read(text)) << text;
}

std::span<const std::uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(TextDump, TextIsWhatDecodesWithoutControlCharacters) {
  struct Case {
    std::string file;
    bool text;
  };
  for (const auto& c : std::vector<Case>{
           {"Kingston FURY backup\r\n000000  92 13\f\n\tend\n", true},
           {"金士顿 FURY 备份\n", true},
           {"\xEF\xBB\xBF"
            "00 11\n",
            true},  // UTF-8 with its mark
           {std::string("\xFF\xFE"
                        "0\0"
                        "0\0"
                        "\x7D\x91\n\0",
                        10),
            true},                                                    // UTF-16LE: "00金\n"
           {std::string("\xFE\xFF\x01\0\xD8\x3D\xDE\x00", 8), true},  // UTF-16BE: "Ā", a surrogate pair
           {std::string("0\0"
                        "0\0\n\0",
                        6),
            true},              // UTF-16LE without a mark
           {"\xE9\x87", true},  // the last character cut off
           {std::string("0\0"
                        "0\0",
                        4),
            false},                                          // no line: two bytes and zeros
           {std::string("000000  92\0", 11), true},          // a stray NUL
           {std::string("000000  92 13\n\0\0", 16), false},  // more NULs than one in 64 other bytes
           {std::string("\xFF\xFE\0\0"
                        "0\0\0\0\n\0\0\0",
                        12),
            true},  // UTF-32LE with its mark
           {std::string("\0\0\0"
                        "0\0\0\0\n",
                        8),
            true},  // UTF-32BE without a mark
           {std::string("\xFF\xFE\0\0"
                        "\x01\0\0\0",
                        8),
            false},
           {"a\x01", false},
           {"\x1B[31m", false},  // a terminal's colour
           {"\xE9\x87"
            "a",
            false},  // not UTF-8
           {std::string("\xFF\xFE"
                        "\x00\xDC",
                        4),
            false},  // a lone low surrogate
           {std::string("\xFF\xFE"
                        "0\0\x01\0",
                        6),
            false},
       }) {
    EXPECT_EQ(as_text(bytes_of(c.file)).has_value(), c.text) << c.file;
  }
}

TEST(TextDump, LinesAroundTheDumpAreSkippedAndNamed) {
  struct Case {
    std::string text;
    TextForm form;
    Bytes bytes;
    std::vector<std::size_t> skipped;
  };
  const std::string dump = "000000  92 13\n000002  0B\n";
  for (const auto& c : std::vector<Case>{
           {"Kingston FURY backup\n" + dump, TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {1}},
           {"金士顿 FURY 备份\n\n" + dump + "备份于 2026-12-08\n", TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {1, 5}},
           {"$ dimmwand read COM3 4\n" + dump + "$\n", TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {1, 4}},
           {"C:\\> dimmwand read COM3 4\n" + dump, TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {1}},
           // Two spaces after the offset collapsed into one, or a tab.
           {"000000 92 13\n000002\t0B\n", TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {}},
           {"00000000 41 42 |AB|\n00000002\n", TextForm::HexdumpC, {0x41, 0x42}, {}},
           // A title that begins with a number, over a dump hexdump -C shortened with "*".
           {"2024 备份\n00000000  ff ff ff ff ff ff ff ff  ff ff ff ff ff ff ff ff  |................|\n*\n00000020\n",
            TextForm::HexdumpC,
            Bytes(32, 0xFF),
            {1}},
           // Indented, as a block of a forum post is in its source.
           {"    000000  92 13\n    000002  0B\n", TextForm::Dimmwand, {0x92, 0x13, 0x0B}, {}},
           // A title whose first word happens to be hex, before plain bytes.
           {"ABBA 备份\n92 13 0B\n", TextForm::PlainHex, {0x92, 0x13, 0x0B}, {1}},
           {"WARNING! This program can confuse your I2C bus\nContinue? [Y/n] Y\n"
            "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n"
            "00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ff    ...............\n",
            TextForm::I2cdump,
            {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xFF},
            {1, 2}},
       }) {
    const auto r = read(c.text);
    ASSERT_TRUE(r && *r) << c.text << (r && !*r ? r->error().why : "");
    EXPECT_EQ((*r)->form, c.form) << c.text;
    EXPECT_EQ((*r)->bytes, c.bytes) << c.text;
    EXPECT_EQ((*r)->skipped, c.skipped) << c.text;
  }
  const std::vector<std::size_t> lines{1, 2, 3, 7, 9, 10};
  EXPECT_EQ(line_list(lines), "第 1-3 行、第 7 行、第 9-10 行");
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
           {"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n00: XX 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e "
            "0f\n",
            2, "有 XX：i2cdump 没能读到这个字节"},
           {"00000000  41 42  |AB|\n00000010\n", 2, "地址跳跃: 0x10，应为 0x2"},
           {"00000000: 4142  AB\n*\n*\n", 3, "“*”前没有可重复的行"},
           {"00000000: 4142  AB\n*\n", 2, "“*”之后没有地址行，不知道重复到哪里"},
           {"12 34\n0x5G\n", 2, "“0x5G”不是一个字节"},
           {i2cdump_page(16, 0) + i2cdump_page(1, 0).substr(72), 18,
            "地址 0x0 重复（应为 0x100）；下一页的表前应有 i2cdump 的表头行"},
           {i2cdump_page(3, 0) + i2cdump_page(1, 0), 5, "表头出现在一页中间（这一页只到 0x30）"},
           // A line between two of the dump's is no title: it is an error, naming it.
           {"000000  00 01\n注释\n000002  02\n", 2, "这一行不是转储的一部分，却夹在转储中间"},
           {"12 34\n$ next\n56\n", 2, "这一行不是转储的一部分，却夹在转储中间"},
           // A line of the dump's form that fails is never skipped, even last or first.
           {"000000  00 01\n000002  0\n", 2, "“0”不是十六进制字节"},
           {"000000  0G 01\n000002  00\n", 1, "“0G”不是十六进制字节"},
       }) {
    const auto r = read(c.text);
    ASSERT_TRUE(r && !*r) << c.text;
    EXPECT_EQ(r->error().line, c.line) << c.text;
    EXPECT_EQ(r->error().why, c.why) << c.text;
  }
}

}  // namespace
}  // namespace dimmwand::image
