#include <gtest/gtest.h>

#include <vector>

#include "text/utf8.hpp"

namespace dimmwand::text {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(Trim, RemovesUnicodeWhiteSpaceAtBothEndsOnly) {
  struct Case {
    std::string_view in, out;
  };
  for (const auto& [in, out] : std::vector<Case>{
           {"", ""},
           {" \t\r\n", ""},
           {"  done \r\n", "done"},
           {"\u30000003\u3000", "0003"},
           {"\u00A0x\u2028", "x"},
           {"\u0085\u1680\u2000\u200A\u202F\u205F\u2029a b", "a b"},
           {"1\u30002", "1\u30002"},
           {"\u200B1", "\u200B1"},  // zero width space is not White_Space
           {"\x1C"
            "1",
            "\x1C"
            "1"},  // nor is the file separator
       }) {
    EXPECT_EQ(trim_white_space(in), out) << in;
  }
}

TEST(Utf8, ValidityFollowsTheWellFormedTable) {
  struct Case {
    std::string_view in;
    bool valid;
  };
  for (const auto& [in, valid] : std::vector<Case>{
           {"", true},
           {"abc", true},
           {"无效十六进制", true},
           {"\xF0\x9F\x98\x80", true},
           {"\xC0\x80", false},          // overlong
           {"\xED\xA0\x80", false},      // surrogate
           {"\xF4\x90\x80\x80", false},  // above U+10FFFF
           {"\xE4\xB8", false},          // truncated
           {"\xFF", false},
       }) {
    EXPECT_EQ(is_valid_utf8(in), valid) << testing::PrintToString(in);
  }
}

TEST(Utf8, LossyDecodingReplacesEachMaximalInvalidSubpart) {
  struct Case {
    std::string_view in, out;
  };
  for (const auto& [in, out] : std::vector<Case>{
           {"ok", "ok"},
           {"\xFF", "\uFFFD"},
           {"a\xE4\xB8z", "a\uFFFDz"},  // one truncated sequence, one mark
           {"\xE4\xB8\xE4\xB8\xAD", "\uFFFD中"},
           {"\xC0\x80", "\uFFFD\uFFFD"},            // C0 starts nothing
           {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},  // surrogates are three subparts
           {"\xF0\x9F\x98", "\uFFFD"},
           {"\x80\x80", "\uFFFD\uFFFD"},
       }) {
    const auto b = bytes(in);
    EXPECT_EQ(decode_utf8_lossy(b), out) << testing::PrintToString(in);
  }
}

TEST(DisplayWidth, CountsWideCharactersTwice) {
  EXPECT_EQ(display_width("<PORT>"), 6u);
  EXPECT_EQ(display_width("串口号"), 6u);
  EXPECT_EQ(display_width("（仅 DDR5）"), 11u);
}

}  // namespace
}  // namespace dimmwand::text

#include "text/utf16.hpp"

namespace dimmwand::text {
namespace {

TEST(Utf16, RoundTripsIncludingUnpairedSurrogates) {
  struct Case {
    std::u16string wide;
    std::string narrow;
  };
  for (const auto& [wide, narrow] : std::vector<Case>{
           {u"", ""},
           {u"COM3", "COM3"},
           {u"保存 spd3.bin", "保存 spd3.bin"},
           {u"\U0001F600", "\xF0\x9F\x98\x80"},
           {std::u16string{u'a', char16_t(0xD800), u'b'},
            "a\xED\xA0\x80"
            "b"},                                               // lone high surrogate
           {std::u16string{char16_t(0xDC00)}, "\xED\xB0\x80"},  // lone low surrogate
       }) {
    EXPECT_EQ(wtf8_from_utf16(wide), narrow);
    EXPECT_EQ(utf16_from_wtf8(narrow), wide);
  }
  EXPECT_FALSE(is_valid_utf8(wtf8_from_utf16(std::u16string{char16_t(0xD800)})));
}

}  // namespace
}  // namespace dimmwand::text
