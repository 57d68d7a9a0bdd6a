// Which bytes a write sends, in which order, decided before its first frame from what is known
// by then: the image and, for a careful write, what was read of the module.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "error/device_error.hpp"

namespace dimmwand {

struct WritePlan {
  std::vector<std::uint16_t> addresses;  // in ascending order
  std::size_t unchanged = 0;             // bytes that already hold the image's value, left out
  std::optional<std::string> notice;     // a line for standard error before the write
};

// Every byte of the image, or with `current` (--changed) only those that differ from it. With
// the registers of a DDR5 module's SPD hub, a write into a block that MR12/MR13 protect is
// refused: the hub would ignore those bytes silently. Registers without the hub's device type
// leave nothing to judge, which the notice says.
Result<WritePlan> plan_write(std::span<const std::uint8_t> image,
                             const std::optional<std::vector<std::uint8_t>>& current,
                             const std::optional<std::vector<std::uint8_t>>& registers);

}  // namespace dimmwand
