// A pause as exact as the platform allows.
#pragma once

#include <chrono>

namespace dimmwand {

// Sleeps for `duration`; never shorter, and not lengthened by the system's coarse default timer.
void precise_sleep(std::chrono::microseconds duration);

}  // namespace dimmwand
