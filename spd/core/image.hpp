// The model's SPD image facts, as dimmwand-spd names them.
#pragma once

#include <optional>

#include "error/device_error.hpp"
#include "model/spd_image.hpp"

namespace dimmwand::spd {

using model::Checksum;
using model::checksums;
using model::fix_checksums;
using model::has_expo;
using model::has_xmp3;
using model::Image;
using model::kExpo;
using model::kXmp3Header;
using model::kXmp3Profile;
using model::skipped_blocks;
using model::SkippedBlock;
using model::u16;

// The generation of an image (model::identify), its refusal as the error to print. dimmwand-spd
// also reads the first half of a DDR5 SPD (model::is_ddr5_first_half) and says what it lacks.
inline Result<DeviceType> identify(Image image, std::optional<DeviceType> given) {
  auto g = model::identify(image, given);
  if (!g && (!given || given == DeviceType::DDR5) && model::is_ddr5_first_half(image)) return DeviceType::DDR5;
  if (!g) return std::unexpected(DeviceError::other(std::move(g.error())));
  return *g;
}

}  // namespace dimmwand::spd
