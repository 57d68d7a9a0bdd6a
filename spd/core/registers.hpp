// The DDR5 REG area: the SPD hub's register file, decoded.
#pragma once

#include "spd/decode.hpp"

namespace dimmwand::spd {

// Device type, revision, vendor, capabilities, the write protection of the 16 blocks and whether
// it can be cleared, the interface and thermal sensor settings, and the temperature.
InfoLines describe_registers(Image registers);

}  // namespace dimmwand::spd
