// Whether modules can run together, and at what common setting: the report of their images,
// as dimmwand-spd kit prints it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "error/device_error.hpp"
#include "model/ddr.hpp"

namespace dimmwand::spd {

// The generation of a kit member's image, or why it is none, named by its file.
Result<DeviceType> kit_generation(const std::string& file, const std::vector<std::uint8_t>& image);

// Appends to `text` the report on the images (`files` names them, in the same order); the error
// says why they cannot run together, or which image is no SPD.
Result<> kit_report(const std::vector<std::string>& files, const std::vector<std::vector<std::uint8_t>>& images,
                    std::string& text);

}  // namespace dimmwand::spd
