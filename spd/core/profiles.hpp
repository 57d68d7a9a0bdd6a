// What every generation's overclocking profiles share once read: their lines in the full decode.
// Each generation reads its own layout (classic.cpp for XMP 1.x and 2.0, ddr5_profiles.cpp for
// XMP 3.0 and EXPO) into a Profile; the views show every Profile the same way.
#pragma once

#include "spd/decode.hpp"

namespace dimmwand::spd {

// "配置 1 电压", "配置 1 速率", ... : the lines of one profile in its section.
void profile_lines(InfoLines& lines, const Profile& p, DeviceType g);

// The clock counts of a profile's times at its cycle time, with the generation's rounding and the
// lower limits it stores, and its headline CL: the lowest listed latency that covers tAA (DDR5),
// as decode-dimms counts it (DDR3, DDR4), the next even count where no list is kept (EXPO).
void count_clocks(Profile& p, DeviceType g);

}  // namespace dimmwand::spd
