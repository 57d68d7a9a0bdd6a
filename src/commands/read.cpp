#include <fmt/format.h>

#include "commands/area_read.hpp"
#include "commands/commands.hpp"
#include "commands/compare.hpp"
#include "commands/hex_dump.hpp"
#include "platform/image_file.hpp"

namespace dimmwand {

Result<> run_read(ReadArgs args, const Context& ctx) {
  const auto area = resolve_area(args.common.device, args.common.mode);
  if (!area) return std::unexpected(area.error());
  auto link = ctx.open_link(args.common.port);
  if (!link) return std::unexpected(std::move(link.error()));
  const auto image = read_area(*link, args.common.device, *area);
  if (!image) return std::unexpected(image.error());
  if (args.verify) {
    // A backup taken through a loose contact is worse than none: a second answer must agree.
    const auto again = read_area(*link, args.common.device, *area);
    if (!again) return std::unexpected(again.error());
    if (const auto diff = compare_images(*image, *again); diff.count != 0) {
      return std::unexpected(DeviceError::other(
          fmt::format("两次读取不一致: 共 {} 字节不同，首个在地址 {:04X}", diff.count, diff.runs.front().address)));
    }
  }
  if (!args.out) {
    ctx.out(format_hex_dump(*image));
    return {};
  }
  if (auto saved = save_image(*args.out, *image); !saved) {
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, *args.out, saved.error()));
  }
  ctx.out(fmt::format("已保存 {} 字节: {}\n", area->capacity, *args.out));
  return {};
}

}  // namespace dimmwand
