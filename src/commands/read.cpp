#include <fmt/format.h>

#include "commands/area.hpp"
#include "commands/commands.hpp"
#include "commands/hex_dump.hpp"
#include "files/image_file.hpp"
#include "protocol/link.hpp"
#include "protocol/reception.hpp"

namespace dimmwand {

Result<> run_read(ReadArgs args) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  auto link = open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));
  if (auto sent = send_request(*link, {area->read_command, generation(args.common.device), 0, 0}); !sent) {
    return sent;
  }
  const auto answer = receive_bytes(*link);
  if (!answer) return std::unexpected(answer.error());
  if (answer->size() < area->capacity) return std::unexpected(DeviceError::incomplete(answer->size(), area->capacity));
  const auto image = std::span(*answer).first(area->capacity);  // surplus bytes are dropped
  if (!args.out) {
    hex_dump(image);
    return {};
  }
  if (auto saved = save_image(*args.out, image); !saved) {
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, *args.out, saved.error()));
  }
  fmt::print("已保存 {} 字节: {}\n", area->capacity, *args.out);
  return {};
}

}  // namespace dimmwand
