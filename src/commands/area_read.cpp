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

}  // namespace dimmwand
