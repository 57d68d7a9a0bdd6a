// How info, host and kit write a module's capacity, times, rate and maker, short.
#pragma once

#include <string>

#include "spd/decode.hpp"

namespace dimmwand::spd {

// "16 GB", "512 MB", or "容量未知".
std::string capacity_text(unsigned long long megabytes);

// "13.750 ns", from picoseconds.
std::string time_text(double ps);

// "DDR4-3200", or "速率未知" when the image gives no cycle time.
std::string rate_text(const Facts& f);

// The module maker's name alone ("Kingston"); the full form where the list has no name for it.
std::string maker_text(const MakerId& m);

}  // namespace dimmwand::spd
