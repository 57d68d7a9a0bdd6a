#include <fmt/format.h>

#include "commands/commands.hpp"
#include "protocol/link.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {

Result<> run_write_byte(WriteByteArgs args) {
  auto link = open_link(args.port);
  if (!link) return std::unexpected(std::move(link.error()));
  if (auto sent = send_request(*link, {CommandCode::WriteByte, generation(args.device), args.addr, args.value}); !sent) {
    return sent;
  }
  const auto answer = receive_text(*link);
  if (!answer) return std::unexpected(answer.error());
  // Printed as it came: "1" means written, "0" not, by the programmer's convention; the user judges.
  fmt::print("{}\n", *answer);
  return {};
}

}  // namespace dimmwand
