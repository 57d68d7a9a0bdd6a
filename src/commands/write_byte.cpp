#include <fmt/format.h>

#include "commands/commands.hpp"
#include "protocol/client.hpp"

namespace dimmwand {

Result<> run_write_byte(WriteByteArgs args, const Context& ctx) {
  auto link = ctx.open_link(args.port);
  if (!link) return std::unexpected(std::move(link.error()));
  const auto answer = programmer::write_byte(*link, generation(args.device), args.addr, args.value);
  if (!answer) return std::unexpected(answer.error());
  // Printed as it came; "0" means not written, by the programmer's convention, and a failure is
  // never reported as success.
  ctx.out(fmt::format("{}\n", *answer));
  if (*answer == "0") return std::unexpected(DeviceError::other("器件返回 0：写入失败"));
  if (!args.verify) return {};
  // The programmer answers once the write is done, so the byte can be read back at once.
  const auto back = programmer::read_byte(*link, generation(args.device), args.addr);
  if (!back) return std::unexpected(back.error());
  if (*back != args.value) {
    return std::unexpected(DeviceError::other(
        fmt::format("校验失败: 地址 {:04X} 写入 {:02X}，读回 {:02X}", args.addr, args.value, *back)));
  }
  ctx.out("校验通过\n");
  return {};
}

}  // namespace dimmwand
