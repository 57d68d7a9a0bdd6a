// Reading one whole area with a single block-read request: what read does, and what the careful
// write does before and after writing.
#pragma once

#include <cstdint>
#include <vector>

#include "commands/area.hpp"
#include "protocol/link.hpp"

namespace dimmwand {

// The area's bytes from address 0: an answer shorter than the area is Incomplete, surplus bytes
// are dropped.
Result<std::vector<std::uint8_t>> read_area(SerialLink& link, DeviceType device, const AreaSpec& area);

}  // namespace dimmwand
