// What the full decoders of the generations share: time and text formats, makers, dates.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <string>

#include "spd/image.hpp"

namespace dimmwand::spd::detail_format {

// Times in ns with three decimals, as the reference decoders print them.
inline std::string ns3(double ns) { return fmt::format("{:.3f} ns", ns); }

inline std::string yes_no(bool b) { return b ? "是" : "否"; }

// Clocks for a time, rounded up after taking off a guard band; 0 for a cycle time that is zero,
// negative or absurd, as an image of arbitrary bytes may hold.
long clocks_up(double time, double cycle, double guard = 0);

// A signed fine-timebase correction byte.
inline int signed_byte(std::uint8_t b) { return static_cast<std::int8_t>(b); }

// True when a field holds anything but all 0x00 or all 0xFF.
bool written(Image bytes);

// The maker of a two-byte JEP106 field, or "未定义" when the field is blank.
std::string maker_field(Image s, std::size_t at);

// The manufacturing date, BCD year and week (binary where that is what was stored).
std::string manufacturing_date(std::uint8_t year, std::uint8_t week);

// The location code: a letter or digit as such, anything else in hexadecimal.
std::string location_code(std::uint8_t code);

// Printable ASCII up to the first byte that is not, or "未定义".
std::string part_number(Image bytes);

// "18T, 17T, ..." from the highest down.
std::string cas_list(const std::vector<unsigned>& latencies);

// The reference raw card of DDR3 and DDR4: a letter (or two) and a revision.
std::string reference_card(std::uint8_t card, std::uint8_t extension);

// A JEDEC revision byte, "6.3" (or "3" where the high nibble is 0, "A3" past 9).
std::string revision_number(std::uint8_t b);

}  // namespace dimmwand::spd::detail_format
