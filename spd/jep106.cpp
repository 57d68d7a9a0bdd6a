#include "spd/jep106.hpp"

#include <fmt/format.h>

#include <array>
#include <string_view>

namespace dimmwand::spd {
namespace {

struct Maker {
  unsigned bank;       // 1 + the number of continuation codes
  std::uint8_t code;   // without its parity bit
  std::string_view name;
};

// The makers of DRAM and of memory modules met most often.
constexpr std::array<Maker, 28> kMakers{{
    {1, 0x01, "AMD"},
    {1, 0x09, "Intel"},
    {1, 0x18, "Kioxia (Toshiba)"},
    {1, 0x2C, "Micron"},
    {1, 0x2D, "SK hynix"},
    {1, 0x4E, "Samsung"},
    {1, 0x5A, "Winbond"},
    {2, 0x14, "Smart Modular"},
    {2, 0x18, "Kingston"},
    {2, 0x3A, "PNY"},
    {2, 0x40, "Viking"},
    {2, 0x4F, "Transcend"},
    {2, 0x7A, "Apacer"},
    {3, 0x1E, "Corsair"},
    {3, 0x7E, "Elpida"},
    {4, 0x0B, "Nanya"},
    {4, 0x13, "GeIL"},
    {4, 0x14, "Mushkin"},
    {4, 0x25, "Kingmax"},
    {5, 0x43, "Ramaxel"},
    {5, 0x4B, "ADATA"},
    {5, 0x4D, "G.Skill"},
    {5, 0x6F, "Team Group"},
    {6, 0x02, "Patriot"},
    {6, 0x1B, "Crucial"},
    {6, 0x46, "MSI"},
    {7, 0x53, "Silicon Power"},
    {7, 0x51, "Kinglife"},
}};

}  // namespace

std::string manufacturer(std::uint8_t continuation, std::uint8_t code) {
  if ((continuation == 0 && code == 0) || (continuation == 0xFF && code == 0xFF)) return "未记录";
  const unsigned bank = (continuation & 0x7Fu) + 1;
  const auto id = static_cast<std::uint8_t>(code & 0x7F);
  for (const auto& m : kMakers) {
    if (m.bank == bank && m.code == id) return fmt::format("{} (bank {}, 0x{:02X})", m.name, bank, code);
  }
  return fmt::format("未知 (bank {}, 0x{:02X})", bank, code);
}

}  // namespace dimmwand::spd
