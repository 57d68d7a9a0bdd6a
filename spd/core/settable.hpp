// The fields an editor may set, per generation: each with its key (as info --json names it, and
// "xmp1.tck", "expo2.vdd" for a profile's), the bytes it occupies (from the layout tables), how
// its value is coded there, and the values it accepts. Reading and writing a value go through
// this one table, so that what a user reads is what a user writes, and a write touches the
// field's bytes and nothing else.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "model/ddr.hpp"
#include "spd/codec.hpp"
#include "spd/layout.hpp"

namespace dimmwand::spd {

enum class Coding {
  Ps16,      // DDR5: picoseconds, two bytes
  Ns16,      // DDR5: nanoseconds, two bytes (refresh times)
  Count,     // a plain count in its bits (a lower limit in clocks, a command rate)
  Mtb,       // DDR3, DDR4: medium-timebase units (a byte, with a high nibble or a second byte) and
             // a signed fine correction where the layout has one
  Volts20,   // XMP 1.x, XMP 3.0, EXPO: bits 6-5 whole volts, bits 4-0 twentieths
  Volts100,  // XMP 2.0: bit 7 one volt, bits 6-0 hundredths
  Text,      // printable ASCII, padded with spaces
  Serial,    // four bytes as eight hexadecimal digits
  Date,      // year and week, written in BCD (read as the decode reads it): YYYY-WW
  Maker,     // JEP106: continuation count and code with their parity bits
  Hex,       // bytes as hexadecimal
  ClList,    // the supported CAS latencies, one bit each
  Enable,    // a profile's enable bits
  Rate,      // a data rate, stored as the cycle time of `cycle`
};

struct Settable {
  std::string key;   // "tck", "xmp1.vdd"
  std::string name;  // "tCKmin", "XMP 配置 1 VDD"
  Coding coding;
  Field field;                // where the value (its coarse part) is, absolute
  std::optional<Field> high;  // Mtb: the high bits of the coarse count (a nibble)
  std::optional<Field> fine;  // Mtb: the signed fine correction
  double mtb_ps = 0, ftb_ps = 0;
  CasMap cas{0, 1, 0};                                            // ClList: the bit map
  std::vector<std::pair<std::size_t, std::uint8_t>> enable_bits;  // Enable: all set or all clear
  std::optional<Field> cycle;  // Rate: the cycle time it is stored as (a Ps16 or Mtb settable's)
  DeviceType generation = DeviceType::DDR4;
  unsigned max = 0;  // Count: the largest value; Text: its length
};

// Every field of this image's generation an editor may set, base section first, then each
// profile the image has (XMP 1.x, 2.0 and 3.0 profiles 1-3, user profiles 4-5 where identified,
// EXPO 1-2), whether enabled or not.
std::vector<Settable> settables(Image image, DeviceType g);

// The current value as a user writes it: "13.750" (ns), "1.35" (V), "2021-07", "6,7,8,9",
// "Kingston" or "2:0x98", "0x3BF239F8"... Reading never fails; a value no write could produce
// (a maker with a wrong parity bit, an undated date) reads as text that a write refuses.
std::string read_value(Image image, const Settable& s);

// The typed values beside the text: a time in ps (Ps16, Ns16, Mtb), the latencies of a ClList,
// whether an Enable field reads as set. Checks read these, never the text.
std::optional<double> time_ps(Image image, const Settable& s);
std::vector<unsigned> latencies(Image image, const Settable& s);
bool enabled(Image image, const Settable& s);
unsigned rate_of(Image image, const Settable& s);  // Rate: MT/s
// A time that reads as zero: a profile's cycle time emptied.
bool zero_time(Image image, const Settable& s);

// Whether the value read is one: an unrecorded or invalid date ("未记录", "无效 (0x1300)") or one
// before 2000, a
// maker whose parity fails ("无效 (0x00 0x00)"), an empty CL list ("无"), the rate of no cycle,
// a negative time, a voltage or count past its scale are none, and set does not take them back.
bool has_value(Image image, const Settable& s);

// The unit and the accepted range, in the user's words: "ns，0-31.875", "V，0.00-3.55".
std::string unit_of(const Settable& s);
std::string range_of(const Settable& s);

// Writes `value` into `image`: only the field's bits change, and none when the value reads back
// as the field already does. A value out of range, or that cannot be stored exactly (the
// nearest that can is named), is refused with the reason and the image is untouched.
std::expected<void, std::string> write_value(std::vector<std::uint8_t>& image, const Settable& s,
                                             std::string_view value);

// What storing a rate decided, said for the user: a rate that is no JEDEC grade stored as the
// cycle not shorter than 2000 / rate ns, or a grade's cycle this image's units hold only near.
std::optional<std::string> rate_note(Image image, const Settable& s, std::string_view value);

// The settable of a key (in any case: tAA is taa), if the image has one.
const Settable* find_settable(const std::vector<Settable>& all, std::string_view key);

// A time in ps as the editor shows it: "13.750".
std::string ns_text(double ps);

}  // namespace dimmwand::spd
