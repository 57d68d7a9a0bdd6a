// The characters of a text dump: the text itself (UTF-8 or UTF-16, with or without a byte-order
// mark), hexadecimal digits and bytes, and the words of a line.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::image {

// The file as UTF-8 text, or nullopt when it is not text. A file is text when, after an optional
// byte-order mark, it decodes as UTF-8, UTF-16 or UTF-32 and holds no control character but tab,
// CR, LF and form feed: every SPD or REG image holds such bytes, so none is ever text. Windows
// tools save UTF-16LE with a mark (PowerShell's `>`), editors sometimes add a UTF-8 one; UTF-16
// and UTF-32 without a mark are only recognised as ASCII lines, since any binary file of even
// length without zeros would decode as UTF-16. A stray NUL byte or a few (at most one in 64 of
// the other bytes) are left out. The last character may be cut off, as a file read up to a
// limit is.
std::optional<std::string> as_text(std::span<const std::uint8_t> file);

// Text in a code page other than UTF-8, UTF-16 or UTF-32 (GBK or Big5, as older editors save it
// on Chinese systems): no control byte but tab, CR, LF and form feed (a stray NUL aside, as
// above), and lines, or one line whose bytes above 0x7F pair as a double-byte code page's. No
// SPD or REG image is that: each holds a control byte within its first three (the revision,
// DDR3's and DDR5's key byte, MR1), and a blank one's 0xFF bytes pair as nothing.
bool local_code_page_text(std::span<const std::uint8_t> file);

// The line white space of a text dump: spaces, tabs, form feeds and CR.
bool is_line_space(char c);

// A hexadecimal digit's value, or -1.
int hex_value(char c);

// How many hexadecimal digits `s` begins with.
std::size_t hex_run(std::string_view s);

// An even number of hexadecimal digits, appended as bytes; otherwise the reason.
std::expected<void, std::string> append_hex(std::string_view digits, std::vector<std::uint8_t>& out);

// The words of `s` between any of the separators.
std::vector<std::string_view> split(std::string_view s, std::string_view separators);

}  // namespace dimmwand::image
