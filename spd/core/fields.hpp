// The names of the SPD fields that changed bytes hold, from the generation's layout.
#pragma once

#include <cstddef>
#include <string>

#include "spd/layout.hpp"

namespace dimmwand::spd {

// The layout of a generation: every field, in offset order.
Layout layout_of(DeviceType g);

// The fields whose value differs between `a` and `b` among those that bytes [from, to] touch,
// joined with "、"; where no field of the layout names a changed byte, the area it lies in (the
// module-specific area, the XMP and EXPO blocks); empty where nothing is known.
std::string field_names(Image a, Image b, DeviceType g, std::size_t from, std::size_t to);

}  // namespace dimmwand::spd
