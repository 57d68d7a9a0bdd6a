#include "cli/hex.hpp"

#include <fmt/format.h>

#include <limits>

#include "text/utf8.hpp"

namespace dimmwand {
namespace {

std::expected<std::uint32_t, std::string> parse_hex_bounded(std::string_view typed, std::uint32_t max) {
  const auto reject = [typed] { return std::unexpected(fmt::format("无效十六进制: {}", typed)); };
  std::string_view digits = text::trim_white_space(typed);
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits == "+" || digits == "-") return reject();
  if (digits.front() == '+') digits.remove_prefix(1);
  std::uint32_t value = 0;
  for (const char c : digits) {
    const int v = text::hex_digit_value(static_cast<unsigned char>(c));
    if (v < 0) return reject();
    value = value * 16 + static_cast<std::uint32_t>(v);
    if (value > max) return reject();
  }
  return value;
}

template <typename T>
std::expected<T, std::string> parse_hex_as(std::string_view text) {
  auto v = parse_hex_bounded(text, std::numeric_limits<T>::max());
  if (!v) return std::unexpected(std::move(v.error()));
  return static_cast<T>(*v);
}

}  // namespace

std::expected<std::uint16_t, std::string> parse_hex_u16(std::string_view text) {
  return parse_hex_as<std::uint16_t>(text);
}

std::expected<std::uint8_t, std::string> parse_hex_u8(std::string_view text) {
  return parse_hex_as<std::uint8_t>(text);
}

}  // namespace dimmwand
