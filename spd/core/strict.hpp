// Consistency rules any image should meet, beyond its checksums: `check --strict` runs them, and
// every edit runs them on its result. Each finding is a warning in the user's words; none stops
// anything. Most real modules meet them all as they come, not every one (a G.Skill F3-2400C11
// kit's XMP profile runs at CL11, outside its own CL list).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/ddr.hpp"
#include "spd/layout.hpp"
#include "spd/settable.hpp"

namespace dimmwand::spd {

// Every value the base section, and every profile switched on, must hold (missing_values); tCKmax
// not below tCKmin; tRC ≥ tRAS + tRP; the headline CL listed and covering tAA at tCKmin; no
// profile slower than the base; the capacity the geometry gives; a plausible manufacturing date;
// JEP106 parity; and times that can be read at all (no reserved timebase).
std::vector<std::string> strict_warnings(Image image, DeviceType g);

// The values a section cannot be run without that read as zero (or less) or empty: its cycle
// time, tAA, tRCD, tRP, tRAS, tRC and tRFC (tRFC1), its CL list where it keeps one, and a
// profile's supply voltages (VDD; on DDR5 VDDQ and VPP too). `profile` is "" for the base section
// or a profile's id ("xmp2"). Set refuses to switch on a profile that lacks one; check --strict
// names them.
std::vector<const Settable*> missing_values(Image image, const std::vector<Settable>& all, std::string_view profile);

// The rule for a headline CL (of the base or a profile): listed, and not below the clocks tAA
// needs at the cycle time. The finding, or nothing.
std::optional<std::string> cl_finding(DeviceType g, unsigned cl, double tck_ps, double taa_ps,
                                      const std::vector<unsigned>& cas);

}  // namespace dimmwand::spd
