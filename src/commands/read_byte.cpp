#include <fmt/format.h>

#include "commands/commands.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {

Result<> run_read_byte(ReadByteArgs args, const Context& ctx) {
  auto link = ctx.open_link(args.port);
  if (!link) return std::unexpected(std::move(link.error()));
  // No range check: the programmer gets the address as typed.
  if (auto sent = send_request(*link, {CommandCode::ReadByte, generation(args.device), args.addr, 0}); !sent) {
    return sent;
  }
  const auto answer = receive_bytes(*link);
  if (!answer) return std::unexpected(answer.error());
  if (answer->empty()) return std::unexpected(DeviceError::other("未收到设备返回数据"));
  ctx.out(fmt::format("{:02X}\n", answer->front()));
  return {};
}

}  // namespace dimmwand
