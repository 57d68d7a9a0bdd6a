// Small POSIX helpers shared by the POSIX files: system messages, and reading and writing a file
// descriptor whole.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

namespace dimmwand::posix {

// The system's message for an errno value, in the words of system_error.hpp's table.
std::string system_message(int error);

// Reads `fd` to its end, at most `limit` bytes, again after an interruption; an error gives its
// errno value.
std::expected<std::vector<std::uint8_t>, int> read_all(int fd, std::size_t limit);

// Writes all of `bytes` to `fd`, again after an interruption; false on an error, with errno set.
bool write_all(int fd, std::span<const std::uint8_t> bytes);

}  // namespace dimmwand::posix
