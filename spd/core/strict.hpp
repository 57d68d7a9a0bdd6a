// Consistency rules any image should meet, beyond its checksums: `check --strict` runs them, and
// every edit runs them on its result. Each finding is a warning in the user's words; none stops
// anything. A real module's image meets them all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/ddr.hpp"
#include "spd/layout.hpp"

namespace dimmwand::spd {

// tRC ≥ tRAS + tRP; the headline CL listed and covering tAA at tCKmin; no profile slower than
// the base, none enabled without a cycle time; the capacity the geometry gives; a plausible
// manufacturing date; JEP106 parity.
std::vector<std::string> strict_warnings(Image image, DeviceType g);

// The rule for a headline CL (of the base or a profile): listed, and not below the clocks tAA
// needs at the cycle time. The finding, or nothing.
std::optional<std::string> cl_finding(DeviceType g, unsigned cl, double tck_ps, double taa_ps,
                                      const std::vector<unsigned>& cas);

}  // namespace dimmwand::spd
