#include "protocol/reception.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "text/utf8.hpp"

namespace dimmwand {

Result<std::vector<std::uint8_t>> receive_raw(SerialLink& link) {
  const auto now = [&link] { return link.now(); };
  const auto deadline = now() + kAnswerDeadline;
  std::array<std::uint8_t, kReadChunk> chunk{};
  std::vector<std::uint8_t> answer;
  bool line_feed = false;
  while (!line_feed && now() <= deadline) {
    auto got = link.port().read(chunk);
    // An interrupt cuts the wait short; it is the user's doing, not a fault of the line.
    if (link.cancelled()) return std::unexpected(DeviceError::interrupted());
    if (!got) return std::unexpected(DeviceError::serial(fmt::format("读取失败: {}", got.error())));
    const auto piece = std::span(chunk).first(*got);
    line_feed = std::find(piece.begin(), piece.end(), std::uint8_t{'\n'}) != piece.end();
    const std::size_t kept = std::min(piece.size(), kAnswerLimit - answer.size());
    answer.insert(answer.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(kept));
  }
  if (answer.empty()) return std::unexpected(DeviceError::no_response());
  return answer;
}

std::vector<std::uint8_t> decode_hex_digits(std::span<const std::uint8_t> answer) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(answer.size() / 2);
  int high = -1;
  for (const std::uint8_t c : answer) {
    const int v = text::hex_digit_value(c);
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return bytes;  // an unpaired last digit is left out
}

std::string decode_answer_text(std::span<const std::uint8_t> answer) {
  return std::string(text::trim_white_space(text::decode_utf8_lossy(answer)));
}

Result<std::vector<std::uint8_t>> receive_bytes(SerialLink& link) {
  auto raw = receive_raw(link);
  if (!raw) return std::unexpected(std::move(raw.error()));
  return decode_hex_digits(*raw);
}

Result<std::string> receive_text(SerialLink& link) {
  auto raw = receive_raw(link);
  if (!raw) return std::unexpected(std::move(raw.error()));
  return decode_answer_text(*raw);
}

}  // namespace dimmwand
