#include "image/text_chars.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "text/utf8.hpp"

namespace dimmwand::image {

std::optional<std::string> as_text(std::span<const std::uint8_t> file) {
  std::string text;
  if (file.size() >= 2 && file[0] == 0xFF && file[1] == 0xFE) {
    if (file.size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 2; i < file.size(); i += 2) {
      if (file[i + 1] != 0) return std::nullopt;
      text += static_cast<char>(file[i]);
    }
  } else {
    const bool bom = file.size() >= 3 && file[0] == 0xEF && file[1] == 0xBB && file[2] == 0xBF;
    text.assign(file.begin() + (bom ? 3 : 0), file.end());
  }
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\r' || c == '\n';
  });
  return printable ? std::optional(std::move(text)) : std::nullopt;
}

int hex_value(char c) { return text::hex_digit_value(static_cast<unsigned char>(c)); }

std::size_t hex_run(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && hex_value(s[n]) >= 0) ++n;
  return n;
}

std::expected<void, std::string> append_hex(std::string_view digits, std::vector<std::uint8_t>& out) {
  if (digits.empty() || digits.size() % 2 != 0 || hex_run(digits) != digits.size()) {
    return std::unexpected(fmt::format("“{}”不是十六进制字节", digits));
  }
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(hex_value(digits[i]) << 4 | hex_value(digits[i + 1])));
  }
  return {};
}

std::vector<std::string_view> split(std::string_view s, std::string_view separators) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t start = s.find_first_not_of(separators, at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(s.find_first_of(separators, start), s.size());
    parts.push_back(s.substr(start, end - start));
    at = end;
  }
  return parts;
}

}  // namespace dimmwand::image
