// Collecting the programmer's one-line answer and decoding it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "error/device_error.hpp"
#include "protocol/link.hpp"

namespace dimmwand {

inline constexpr std::chrono::seconds kAnswerDeadline{3};  // from the start of a reception
inline constexpr std::size_t kReadChunk = 4096;            // bytes asked for per read
// The most of an answer that is kept: far above the longest real answer (a DDR5 SPD area is
// 2048 digits), so that a programmer babbling without a line feed cannot exhaust memory
// before the deadline. Bytes past it are read and dropped; a line feed among them still ends
// the answer.
inline constexpr std::size_t kAnswerLimit = 64 * 1024;

// The answer bytes as they came (never empty), up to and including the line feed and whatever
// arrived with it; or what arrived by the deadline when no line feed came. The deadline runs on
// the link's clock; a cancelled link ends the wait as Interrupted.
Result<std::vector<std::uint8_t>> receive_raw(SerialLink& link);

// The answer's hexadecimal digits decoded two by two (an odd last digit is dropped).
Result<std::vector<std::uint8_t>> receive_bytes(SerialLink& link);

// The answer as UTF-8 text, invalid sequences replaced, white space trimmed at both ends.
Result<std::string> receive_text(SerialLink& link);

// The decoding steps, for use without a link.
std::vector<std::uint8_t> decode_hex_digits(std::span<const std::uint8_t> answer);
std::string decode_answer_text(std::span<const std::uint8_t> answer);

}  // namespace dimmwand
