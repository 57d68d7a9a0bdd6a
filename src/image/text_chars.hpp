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
// byte-order mark, it decodes as UTF-8 or UTF-16 and holds no control character but tab, CR, LF
// and form feed: every SPD or REG image holds 0x00 bytes, so none is ever text. Windows tools
// save UTF-16LE with a mark (PowerShell's `>`), editors sometimes add a UTF-8 one; UTF-16 without
// a mark is only recognised as ASCII lines, since any binary file of even length without zeros
// would decode as UTF-16. The last character may be cut off, as a file read up to a limit is.
std::optional<std::string> as_text(std::span<const std::uint8_t> file);

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
