// How host and kit name a module in one line: its capacity, rate and maker, short.
#pragma once

#include <string>

#include "spd/decode.hpp"

namespace dimmwand::spd {

// "16 GB", "512 MB", or "容量未知".
std::string capacity_text(unsigned long long megabytes);

// "DDR4-3200", or "速率未知" when the image gives no cycle time.
std::string rate_text(const Facts& f);

// The module maker's name alone ("Kingston"); the full form where the list has no name for it.
std::string maker_text(const MakerId& m);

}  // namespace dimmwand::spd
