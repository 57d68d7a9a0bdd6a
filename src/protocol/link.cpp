#include "protocol/link.hpp"

#include <fmt/format.h>

namespace dimmwand {

Result<SerialLink> open_link(const std::string& port_name, LinkHooks hooks) {
  auto port = open_serial_port(port_name);
  if (!port) return std::unexpected(DeviceError::serial(fmt::format("打开 {} 失败: {}", port_name, port.error())));
  return SerialLink(std::move(*port), std::move(hooks));
}

Result<> send_request(SerialLink& link, const RequestFrame& frame) {
  link.port().discard_input();
  const EncodedFrame bytes = encode_frame(frame);
  std::span<const std::uint8_t> rest(bytes);
  while (!rest.empty()) {
    auto written = link.port().write(rest);
    if (!written) return std::unexpected(DeviceError::serial(fmt::format("发送失败: {}", written.error())));
    rest = rest.subspan(*written);
  }
  return {};
}

}  // namespace dimmwand
