#include "spd/detail.hpp"

namespace dimmwand::spd {

std::vector<InfoSection> detail_ddr5(Image s) { return {{"概要", describe(s, DeviceType::DDR5)}}; }

}  // namespace dimmwand::spd
