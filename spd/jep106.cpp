#include "spd/jep106.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <string_view>

namespace dimmwand::spd {
namespace {

struct Maker {
  unsigned bank;       // 1 + the number of continuation codes
  std::uint8_t code;   // without its parity bit
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
  const auto at = std::lower_bound(std::begin(kMakers), std::end(kMakers), std::pair(bank, code), [](const Maker& m, auto key) {
    return std::pair(m.bank, m.code) < key;
  });
  if (at == std::end(kMakers) || at->bank != bank || at->code != code) return std::nullopt;
  return at->name;
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
