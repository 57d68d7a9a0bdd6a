// The characters of a text dump: the text itself (ASCII, from UTF-8 or UTF-16LE with a
// byte-order mark), hexadecimal digits and bytes, and the words of a line.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::image {

// The file as ASCII text, or nullopt when it is not text. Windows tools save text as UTF-16LE
// with a byte-order mark (PowerShell's `>`), editors sometimes add a UTF-8 one.
std::optional<std::string> as_text(std::span<const std::uint8_t> file);

// A hexadecimal digit's value, or -1.
int hex_value(char c);

// How many hexadecimal digits `s` begins with.
std::size_t hex_run(std::string_view s);

// An even number of hexadecimal digits, appended as bytes; otherwise the reason.
std::expected<void, std::string> append_hex(std::string_view digits, std::vector<std::uint8_t>& out);

// The words of `s` between any of the separators.
std::vector<std::string_view> split(std::string_view s, std::string_view separators);

}  // namespace dimmwand::image
