// Reading one whole area with a single block-read request: what read does, and what the careful
// write does before and after writing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "commands/area.hpp"
#include "protocol/link.hpp"

namespace dimmwand {

// The area's bytes from address 0: an answer shorter than the area is Incomplete, surplus bytes
// are dropped.
Result<std::vector<std::uint8_t>> read_area(SerialLink& link, DeviceType device, const AreaSpec& area);

// The area read until two answers agree, at most three reads; nullopt when no two agree. One
// answer alone cannot tell a noisy line from the module's content. `same` judges agreement
// (default: every byte equal).
using SameContent = bool (*)(std::span<const std::uint8_t>, std::span<const std::uint8_t>);
Result<std::optional<std::vector<std::uint8_t>>> read_area_agreed(SerialLink& link, DeviceType device,
                                                                  const AreaSpec& area, SameContent same = nullptr);

// read_area_agreed as a backup reads: the hub's registers agree but for those it updates by itself.
Result<std::optional<std::vector<std::uint8_t>>> read_area_settled(SerialLink& link, DeviceType device,
                                                                   const AreaSpec& area);

}  // namespace dimmwand
