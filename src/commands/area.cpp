#include "commands/area.hpp"

#include <array>

#include <fmt/format.h>

namespace dimmwand {
namespace {

constexpr std::array<std::size_t, 3> kSpdCapacity{256, 512, 1024};  // DDR3, DDR4, DDR5
constexpr std::size_t kRegCapacity = 128;                           // DDR5 only

}  // namespace

Result<AreaSpec> resolve_area(DeviceType device, std::optional<DataMode> mode) {
  if (mode == DataMode::Reg) {
    if (device != DeviceType::DDR5) {
      return std::unexpected(DeviceError::other(fmt::format("-t 仅适用于 D5（当前 D{}）", generation(device))));
    }
    return AreaSpec{kRegCapacity, CommandCode::ReadReg, CommandCode::WriteRegByte};
  }
  return AreaSpec{kSpdCapacity[generation(device) - 3u], CommandCode::ReadSpd, CommandCode::WriteByte};
}

}  // namespace dimmwand
