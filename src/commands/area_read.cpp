#include "commands/area_read.hpp"

#include "protocol/reception.hpp"

namespace dimmwand {

Result<std::vector<std::uint8_t>> read_area(SerialLink& link, DeviceType device, const AreaSpec& area) {
  if (auto sent = send_request(link, {area.read_command, generation(device), 0, 0}); !sent) {
    return std::unexpected(std::move(sent.error()));
  }
  auto answer = receive_bytes(link);
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (answer->size() < area.capacity) return std::unexpected(DeviceError::incomplete(answer->size(), area.capacity));
  answer->resize(area.capacity);
  return answer;
}

Result<std::optional<std::vector<std::uint8_t>>> read_area_agreed(SerialLink& link, DeviceType device,
                                                                  const AreaSpec& area) {
  std::vector<std::vector<std::uint8_t>> answers;
  for (int attempt = 0; attempt < 3; ++attempt) {
    auto answer = read_area(link, device, area);
    if (!answer) return std::unexpected(std::move(answer.error()));
    for (const auto& earlier : answers) {
      if (earlier == *answer) return std::optional(std::move(*answer));
    }
    answers.push_back(std::move(*answer));
  }
  return std::nullopt;
}

Result<std::uint8_t> read_byte(SerialLink& link, DeviceType device, std::uint16_t address) {
  if (auto sent = send_request(link, {CommandCode::ReadByte, generation(device), address, 0}); !sent) {
    return std::unexpected(std::move(sent.error()));
  }
  const auto answer = receive_bytes(link);
  if (!answer) return std::unexpected(answer.error());
  if (answer->empty()) return std::unexpected(DeviceError::other("未收到设备返回数据"));
  return answer->front();
}

}  // namespace dimmwand
