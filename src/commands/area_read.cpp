#include "commands/area_read.hpp"

#include "model/hub.hpp"
#include "protocol/client.hpp"

namespace dimmwand {

Result<std::vector<std::uint8_t>> read_area(SerialLink& link, DeviceType device, const AreaSpec& area) {
  auto answer = programmer::read_area(link, area.read_command, generation(device));
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (answer->size() < area.capacity) return std::unexpected(DeviceError::incomplete(answer->size(), area.capacity));
  answer->resize(area.capacity);
  return answer;
}

Result<std::optional<std::vector<std::uint8_t>>> read_area_agreed(SerialLink& link, DeviceType device,
                                                                  const AreaSpec& area, SameContent same) {
  std::vector<std::vector<std::uint8_t>> answers;
  for (int attempt = 0; attempt < 3; ++attempt) {
    auto answer = read_area(link, device, area);
    if (!answer) return std::unexpected(std::move(answer.error()));
    for (const auto& earlier : answers) {
      if (same ? same(earlier, *answer) : earlier == *answer) return std::optional(std::move(*answer));
    }
    answers.push_back(std::move(*answer));
  }
  return std::nullopt;
}

Result<std::optional<std::vector<std::uint8_t>>> read_area_settled(SerialLink& link, DeviceType device,
                                                                   const AreaSpec& area) {
  // The hub's status and temperature change by themselves between two reads of its registers.
  return read_area_agreed(link, device, area,
                          area.read_command == CommandCode::ReadReg ? hub::same_registers : nullptr);
}

}  // namespace dimmwand
