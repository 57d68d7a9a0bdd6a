// The full decode of an SPD image (info --all): every field of the JEDEC layout, in sections.
#pragma once

#include <string>
#include <vector>

#include "spd/image.hpp"
#include "spd/info.hpp"

namespace dimmwand::spd {

struct InfoSection {
  std::string title;
  InfoLines lines;
};

std::vector<InfoSection> detail(Image image, DeviceType g);

}  // namespace dimmwand::spd
