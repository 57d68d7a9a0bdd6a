// What the full decoders of the generations share: time and text formats, makers, dates.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "spd/layout.hpp"

namespace dimmwand::spd::detail_format {

// Times in ns with three decimals, as the reference decoders print them.
inline std::string ns3(double ns) { return fmt::format("{:.3f} ns", ns); }

inline std::string yes_no(bool b) { return b ? "是" : "否"; }

// A signed fine-timebase correction byte.
inline int signed_byte(std::uint8_t b) { return static_cast<std::int8_t>(b); }

// True when a field holds anything but all 0x00 or all 0xFF.
bool written(Image bytes);

// The maker of a two-byte JEP106 field, or "未定义" when the field is blank.
std::string maker_field(Image s, std::size_t at);

// The manufacturing date as year and week, the one reading of it (the decode, the editor's
// fields and check --strict): BCD as JEDEC stores it; binary where the bytes are no BCD and read
// as a year 00-99 and a week 01-53, as some makers store it (Corsair's 0D 20 is 2013, week 32)
// and decode-dimms reads it; nothing where the field is blank or holds neither.
std::optional<std::pair<unsigned, unsigned>> manufacturing_week(Image year_week);

// "2017 年第 10 周", or the stored bytes where they are no date.
std::string date_text(const std::optional<std::pair<unsigned, unsigned>>& date, Image year_week);

// The location code: a letter or digit as such, anything else in hexadecimal.
std::string location_code(std::uint8_t code);

// Printable ASCII up to the first byte that is not, without trailing spaces; empty when none.
std::string part_text(Image bytes);

// "18T, 17T, ..." from the highest down.
std::string cas_list(const std::vector<unsigned>& latencies);

// The reference raw card of DDR3 and DDR4: a letter (or two) and a revision.
std::string reference_card(std::uint8_t card, std::uint8_t extension);

// The maximum activate count of DDR3 and DDR4 (byte 41 or 7, bits 3-0) in words, or nothing for a
// reserved code.
const char* max_activate_count(unsigned code);

// A JEDEC revision byte, "6.3" (or "3" where the high nibble is 0, "A3" past 9).
std::string revision_number(std::uint8_t b);

}  // namespace dimmwand::spd::detail_format
