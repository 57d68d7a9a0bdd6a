#include <fmt/format.h>

#include "commands/commands.hpp"
#include "protocol/client.hpp"

namespace dimmwand {

Result<> run_read_byte(ReadByteArgs args, const Context& ctx) {
  auto link = ctx.open_link(args.port);
  if (!link) return std::unexpected(std::move(link.error()));
  // No range check: the programmer gets the address as typed.
  const auto value = programmer::read_byte(*link, generation(args.device), args.addr);
  if (!value) return std::unexpected(value.error());
  ctx.out(fmt::format("{:02X}\n", *value));
  return {};
}

}  // namespace dimmwand
