#include "commands/area.hpp"

#include <fmt/format.h>

namespace dimmwand {

Result<AreaSpec> resolve_area(DeviceType device, std::optional<DataMode> mode) {
  if (mode == DataMode::Reg) {
    if (device != DeviceType::DDR5) {
      return std::unexpected(DeviceError::other(fmt::format("-t 仅适用于 D5（当前 D{}）", generation(device))));
    }
    return AreaSpec{kRegAreaSize, CommandCode::ReadReg, CommandCode::WriteRegByte};
  }
  return AreaSpec{spd_size(device), CommandCode::ReadSpd, CommandCode::WriteByte};
}

}  // namespace dimmwand
