// What the DDR3 and DDR4 decoders share: the SPD and manufacturing sections, decode-dimms' way
// of naming speeds and clock counts, and the XMP 1.x and 2.0 profiles.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spd/decode.hpp"

namespace dimmwand::spd::classic {

// Where a generation keeps its manufacturing data.
struct MakerBlock {
  Field module_maker, location, date, serial, part, revision, dram_maker;
};

// The makers, part number, serial number, date and SPD revision.
void maker_facts(Facts& f, Image s, const MakerBlock& m);

// The manufacturing section of the full decode.
InfoSection maker_section(Image s, const MakerBlock& m, const Facts& f);

// The first section: the base CRC, the bytes used and in all, the type and the SPD revision.
InfoSection spd_section(Image s, DeviceType g, unsigned used, unsigned total);

// "2133 MT/s (PC4-17000)" as decode-dimms names a module's speed (the rate as data_rate names
// it, the same figure for every standard grade), or "未知".
std::string module_speed(double tck_ns, unsigned bus_bits, DeviceType g);

// "正确 (0x1234)" or "错误（存储 …，计算 …）".
std::string crc_value(const model::Checksum& c);

// "15-15-15-36".
std::string clocks_text(const Clocks& c);

// CL (from tAA), tRCD, tRP and tRAS at a cycle time, rounded up past the guard band (ns).
Clocks core_clocks(double tck, double taa, double trcd, double trp, double tras, double guard);

// The section of clock counts at the standard cycle times (ns) the module runs at, from its
// tCKmin up to its tCKmax (below 0: none): the lowest listed CL that covers tAA, then tRCD, tRP and
// tRAS. `label` names a line by its data rate: "DDR4-{} 时 AA-RCD-RP-RAS（周期）".
InfoSection standard_speeds(const Facts& f, const std::vector<unsigned>& cas, std::initializer_list<double> cycles,
                            double tck, double tck_max, double guard, std::string_view label);

// The XMP 1.x (DDR3) or 2.0 (DDR4) profiles that the block enables and that have a cycle time.
void xmp_profiles(Facts& f, Image s, DeviceType g);

// Their section of the full decode, where the image has an XMP block.
std::optional<InfoSection> xmp_section(const Facts& f);

}  // namespace dimmwand::spd::classic
