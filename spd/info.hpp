// What a person checks before writing an image onto a module, decoded from the JEDEC layout.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "spd/image.hpp"

namespace dimmwand::spd {

// Label and value, in the order to show them.
using InfoLines = std::vector<std::pair<std::string, std::string>>;

InfoLines describe(Image image, DeviceType g);

// Clock cycles for a time, with the rounding (guard band) of the generation.
unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g);

// The data rate of a clock period: the standard grade within 1 %, otherwise rounded.
unsigned data_rate(unsigned cycle_ps);

}  // namespace dimmwand::spd
