// The names of the SPD fields, for telling which field a changed byte belongs to.
#pragma once

#include <cstddef>
#include <string>

#include "spd/image.hpp"

namespace dimmwand::spd {

// The fields that bytes [from, to] touch, joined with "、"; empty where none is known.
std::string field_names(Image image, DeviceType g, std::size_t from, std::size_t to);

}  // namespace dimmwand::spd
