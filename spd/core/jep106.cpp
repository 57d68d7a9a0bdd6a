#include "spd/jep106.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <string_view>

namespace dimmwand::spd {
namespace {

struct Maker {
  unsigned bank;      // 1 + the number of continuation codes
  std::uint8_t code;  // without its parity bit
  std::string_view name;
};

// Every bank of the list, in bank and code order.
constexpr Maker kMakers[] = {
#define X(bank, code, name) {bank, code, name},
#include "spd/jep106.inc"
#undef X
};

constexpr bool odd_parity(std::uint8_t b) { return std::popcount(b) % 2 == 1; }

}  // namespace

bool valid_parity(std::uint8_t continuation, std::uint8_t code) { return odd_parity(continuation) && odd_parity(code); }

std::optional<std::string_view> maker_name(unsigned bank, std::uint8_t code) {
  const auto at = std::lower_bound(std::begin(kMakers), std::end(kMakers), std::pair(bank, code),
                                   [](const Maker& m, auto key) { return std::pair(m.bank, m.code) < key; });
  if (at == std::end(kMakers) || at->bank != bank || at->code != code) return std::nullopt;
  return at->name;
}

std::optional<std::pair<unsigned, std::uint8_t>> maker_by_name(std::string_view name) {
  const auto same = [&](std::string_view other) {
    return other.size() == name.size() && std::equal(other.begin(), other.end(), name.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  std::optional<std::pair<unsigned, std::uint8_t>> found;
  for (const auto& m : kMakers) {
    if (!same(m.name)) continue;
    if (found) return std::nullopt;  // two makers of that name: only bank:code says which
    found = std::pair(m.bank, m.code);
  }
  return found;
}

std::pair<std::uint8_t, std::uint8_t> maker_bytes(unsigned bank, std::uint8_t code) {
  const auto with_parity = [](unsigned v) {
    const auto b = static_cast<std::uint8_t>(v & 0x7F);
    return odd_parity(b) ? b : static_cast<std::uint8_t>(b | 0x80);
  };
  return {with_parity(bank - 1), with_parity(code)};
}

std::string manufacturer(std::uint8_t continuation, std::uint8_t code) {
  if ((continuation == 0 && code == 0) || (continuation == 0xFF && code == 0xFF)) return "未记录";
  const unsigned bank = (continuation & 0x7Fu) + 1;
  if (!valid_parity(continuation, code)) {
    return fmt::format("无效 (bank {}, 0x{:02X}：校验位错误)", bank, code);
  }
  const auto name = maker_name(bank, static_cast<std::uint8_t>(code & 0x7F));
  return fmt::format("{} (bank {}, 0x{:02X})", name ? *name : "未知", bank, code);
}

}  // namespace dimmwand::spd
