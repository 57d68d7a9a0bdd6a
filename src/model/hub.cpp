#include "model/hub.hpp"

#include <fmt/format.h>

namespace dimmwand::hub {

bool is_spd5118(std::span<const std::uint8_t> registers) {
  return registers.size() > kDeviceTypeLow &&
         (registers[kDeviceTypeHigh] << 8 | registers[kDeviceTypeLow]) == kDeviceType;
}

std::uint16_t protected_blocks(std::span<const std::uint8_t> registers) {
  if (registers.size() <= kProtectHigh) return 0;
  return static_cast<std::uint16_t>(registers[kProtectHigh] << 8 | registers[kProtectLow]);
}

std::string block_list(std::uint16_t blocks) {
  const unsigned bits = blocks;
  std::string out;
  for (unsigned b = 0; b < kBlockCount;) {
    if ((bits >> b & 1u) == 0) {
      ++b;
      continue;
    }
    unsigned last = b;
    while (last + 1 < kBlockCount && (bits >> (last + 1) & 1u) != 0) ++last;
    if (!out.empty()) out += ", ";
    out += last == b ? fmt::format("{}", b) : fmt::format("{}-{}", b, last);
    b = last + 1;
  }
  return out;
}

double temperature(std::uint8_t low, std::uint8_t high) {
  int count = (high << 8 | low) >> 2 & 0x7FF;
  if ((count & 0x400) != 0) count -= 0x800;
  return count * 0.25;
}

bool same_registers(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && (i < kFirstLive || i > kLastLive)) return false;
  }
  return true;
}

}  // namespace dimmwand::hub
