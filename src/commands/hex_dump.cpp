#include "commands/hex_dump.hpp"

#include <fmt/format.h>

namespace dimmwand {

std::string format_hex_dump(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kBytesPerLine = 16;
  std::string out;
  out.reserve(bytes.size() / kBytesPerLine * 57 + 64);
  for (std::size_t at = 0; at < bytes.size(); at += kBytesPerLine) {
    const auto line = bytes.subspan(at, std::min(kBytesPerLine, bytes.size() - at));
    fmt::format_to(std::back_inserter(out), "{:06X}  {:02X}\n", at, fmt::join(line, " "));
  }
  return out;
}

}  // namespace dimmwand
