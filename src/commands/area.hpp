// The data areas of a module: size and request codes per generation and area.
#pragma once

#include <cstddef>
#include <optional>

#include "model/ddr.hpp"
#include "error/device_error.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {

struct AreaSpec {
  std::size_t capacity;       // bytes in the area
  CommandCode read_command;   // block read of the whole area
  CommandCode write_command;  // write of one byte of the area
};

// The SPD area of the generation, or the REG area, which only DDR5 has. No mode means SPD.
Result<AreaSpec> resolve_area(DeviceType device, std::optional<DataMode> mode);

}  // namespace dimmwand
