// The parts of the DDR5 decoder, one file each: the base (ddr5.cpp), the module's devices and
// manufacturing data (ddr5_module.cpp), the XMP 3.0 and EXPO profiles (ddr5_profiles.cpp).
#pragma once

#include <span>
#include <string>

#include "spd/decode.hpp"

namespace dimmwand::spd::ddr5 {

// A name from a table, or "保留" past its end.
const char* pick(std::span<const char* const> names, unsigned i);

// A time in ps as "16.000 ns".
std::string ps3(unsigned ps);

// The dies in a package of a package code (byte 4 or 8, bits 7-5); 0 for a reserved code.
unsigned dies_per_package(unsigned code);

// The module section (its devices, size and module-specific settings) and the manufacturing one.
void module_sections(std::vector<InfoSection>& out, Image s, const Facts& f);

// The XMP 3.0 profiles the header enables (and the user profiles whose checksum holds), and the
// EXPO profiles its enable bits name.
void profiles(Facts& f, Image s);

// Their sections of the full decode.
void profile_sections(std::vector<InfoSection>& out, Image s, const Facts& f);

}  // namespace dimmwand::spd::ddr5
