#include "commands/write_plan.hpp"

#include <fmt/format.h>

#include "model/hub.hpp"

namespace dimmwand {
namespace {

Result<> check_block_protection(std::span<const std::uint8_t> registers, std::span<const std::uint16_t> addresses) {
  std::uint16_t touched = 0;
  for (const auto a : addresses) touched |= static_cast<std::uint16_t>(1u << (a / hub::kBlockSize));
  const std::uint16_t blocked = touched & hub::protected_blocks(registers);
  if (blocked == 0) return {};
  const bool override_available = (registers[hub::kDeviceStatus] & hub::kOverrideAvailable) != 0;
  return std::unexpected(DeviceError::other(fmt::format(
      "块 {} 受写保护（MR12={:02X} MR13={:02X}），未写入任何字节\n"
      "提示: 块写保护只能在 SPD 集线器的脱机模式下清除（模块 HSA 引脚接地，再把 MR12、MR13 的对应位写 0）；{}",
      hub::block_list(blocked), registers[hub::kProtectLow], registers[hub::kProtectHigh],
      override_available ? "MR48 表明器件现处于脱机模式，可以清除" : "MR48 表明器件现不在脱机模式，无法清除")));
}

}  // namespace

Result<WritePlan> plan_write(std::span<const std::uint8_t> image,
                             const std::optional<std::vector<std::uint8_t>>& current,
                             const std::optional<std::vector<std::uint8_t>>& registers) {
  WritePlan plan;
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (current && i < current->size() && image[i] == (*current)[i]) {
      ++plan.unchanged;
    } else {
      plan.addresses.push_back(static_cast<std::uint16_t>(i));
    }
  }
  if (!registers) return plan;
  if (!hub::is_spd5118(*registers)) {
    plan.notice = fmt::format("REG 区不是 SPD5118 集线器的寄存器（MR0-MR1 = {:02X} {:02X}），跳过块写保护检查\n",
                              (*registers)[hub::kDeviceTypeHigh], (*registers)[hub::kDeviceTypeLow]);
    return plan;
  }
  if (auto allowed = check_block_protection(*registers, plan.addresses); !allowed) {
    return std::unexpected(std::move(allowed.error()));
  }
  return plan;
}

}  // namespace dimmwand
