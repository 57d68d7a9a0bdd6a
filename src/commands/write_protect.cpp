#include <fmt/format.h>

#include <algorithm>

#include "commands/commands.hpp"
#include "commands/hex_dump.hpp"
#include "protocol/client.hpp"

namespace dimmwand {

Result<> run_write_protect(WriteProtectArgs args, const Context& ctx) {
  auto link = ctx.open_link(args.port);
  if (!link) return std::unexpected(std::move(link.error()));
  const auto answer = programmer::write_protect(*link, generation(args.device), args.code);
  if (!answer) return std::unexpected(answer.error());
  const bool printable =
      std::all_of(answer->begin(), answer->end(), [](std::uint8_t b) { return b >= 0x20 && b <= 0x7E; });
  if (printable) {
    ctx.out(fmt::format("设备返回: {}\n", std::string(answer->begin(), answer->end())));
  } else {
    ctx.out(fmt::format("设备返回 {} 字节:\n{}", answer->size(), format_hex_dump(*answer)));
  }
  return {};
}

}  // namespace dimmwand
