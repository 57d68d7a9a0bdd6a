// Images through the standard streams: "-" as the input reads standard input, "-o -" writes the
// raw bytes to standard output. Both are binary streams on every system.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

namespace dimmwand {

// At most `limit` bytes of standard input, up to its end.
std::expected<std::vector<std::uint8_t>, std::string> read_standard_input(std::size_t limit);

// `bytes` on standard output, untranslated; what was printed before goes first.
std::expected<void, std::string> write_standard_output(std::span<const std::uint8_t> bytes);

// True when standard output is shown on a terminal (not a file or a pipe).
bool stdout_is_terminal();

}  // namespace dimmwand
