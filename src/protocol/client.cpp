#include "protocol/client.hpp"

#include <array>

#include "protocol/reception.hpp"

namespace dimmwand::programmer {
namespace {

DeviceError no_data() { return DeviceError::other("未收到设备返回数据"); }

}  // namespace

Result<std::vector<std::uint8_t>> read_area(SerialLink& link, CommandCode read_command, std::uint8_t device) {
  if (auto sent = send_request(link, {read_command, device, 0, 0}); !sent)
    return std::unexpected(std::move(sent.error()));
  return receive_bytes(link);
}

Result<std::uint8_t> read_byte(SerialLink& link, std::uint8_t device, std::uint16_t address) {
  if (auto sent = send_request(link, {CommandCode::ReadByte, device, address, 0}); !sent) {
    return std::unexpected(std::move(sent.error()));
  }
  const auto answer = receive_bytes(link);
  if (!answer) return std::unexpected(answer.error());
  if (answer->empty()) return std::unexpected(no_data());
  return answer->front();
}

Result<std::string> write_byte(SerialLink& link, std::uint8_t device, std::uint16_t address, std::uint8_t value) {
  if (auto sent = send_request(link, {CommandCode::WriteByte, device, address, value}); !sent) {
    return std::unexpected(std::move(sent.error()));
  }
  return receive_text(link);
}

Result<> send_area_byte(SerialLink& link, CommandCode write_command, std::uint8_t device, std::uint16_t address,
                        std::uint8_t value) {
  return send_request(link, {write_command, device, address, value});
}

void drain(SerialLink& link, std::chrono::milliseconds limit) {
  const auto until = link.now() + limit;
  std::array<std::uint8_t, 256> sink{};
  while (link.now() < until) {
    const auto got = link.port().read(sink);
    if (!got || *got == 0) return;
  }
}

Result<std::vector<std::uint8_t>> write_protect(SerialLink& link, std::uint8_t device, std::uint16_t code) {
  if (auto sent = send_request(link, {CommandCode::WriteProtect, device, 0, code}); !sent) {
    return std::unexpected(std::move(sent.error()));
  }
  auto answer = receive_bytes(link);
  if (!answer) return std::unexpected(std::move(answer.error()));
  if (answer->empty()) return std::unexpected(no_data());
  return answer;
}

}  // namespace dimmwand::programmer
