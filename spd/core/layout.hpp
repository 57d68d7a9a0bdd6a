// One field of an SPD layout: where it is stored, how many bits of which bytes, its storage
// format (the unit, which names the codec that reads formats shared by several fields), and
// what it is. Each generation's layout is one table of these (ddr3_layout.hpp,
// ddr4_layout.hpp, ddr5_layout.hpp); the decoders read every stored value through it, diff names
// changed bytes by it, and an editor writes through it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "model/spd_image.hpp"

namespace dimmwand::spd {

using model::Image;

enum class Unit {
  Code,    // a number or code, its meaning in the decoder's tables
  Flags,   // bits, each with its own meaning
  Mtb,     // a count of the medium timebase (DDR3: from bytes 10-11; DDR4: 125 ps)
  Fine,    // a signed correction in fine-timebase units (DDR3: from byte 9; DDR4: 1 ps)
  Ps,      // picoseconds
  Ns,      // nanoseconds
  Nck,     // clock cycles
  Text,    // ASCII, padded with spaces
  Bcd,     // binary-coded decimal
  Jep106,  // a maker: continuation count and code, each with its odd-parity bit
  Bytes,   // bytes shown as they are (serial numbers, CRCs)
  Millivolts,
  Volts20,   // a profile's voltage byte in twentieths (XMP 1.x, XMP 3.0, EXPO): codec.hpp
  Volts100,  // a profile's voltage byte in hundredths (XMP 2.0): codec.hpp
  CasMap,    // a CAS-latency bit map, as its generation maps bits to latencies: codec.hpp
};

struct Field {
  std::size_t offset;      // first byte
  std::size_t length = 1;  // bytes; values wider than one byte are little-endian
  std::uint32_t mask = 0;  // the value's bits within those bytes; 0: all of them
  Unit unit = Unit::Code;
  std::string_view key;   // snake_case, as info --json names the value
  std::string_view name;  // what it is, in the user's words
};

// The bits of `f` as a number, shifted down to bit 0. Bytes past the image's end read as 0.
constexpr std::uint32_t get(Image s, const Field& f) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < f.length && i < 4; ++i) {
    if (f.offset + i < s.size()) v |= static_cast<std::uint32_t>(s[f.offset + i]) << (8 * i);
  }
  if (f.mask == 0) return v;
  return (v & f.mask) >> std::countr_zero(f.mask);
}

// The field's bytes (up to eight), least significant first, its mask not applied. Bytes past the
// image's end read as 0.
constexpr std::uint64_t get64(Image s, const Field& f) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < f.length && i < 8; ++i) {
    if (f.offset + i < s.size()) v |= std::uint64_t{s[f.offset + i]} << (8 * i);
  }
  return v;
}

// A signed one-byte value (the fine corrections).
constexpr int get_signed(Image s, const Field& f) { return static_cast<std::int8_t>(get(s, f)); }

// A 12-bit value whose bits 11-8 stand in one field (a nibble) and bits 7-0 in another.
constexpr std::uint32_t get12(Image s, const Field& high, const Field& low) { return get(s, high) << 8 | get(s, low); }

// A field of a block that can stand at more than one place (a profile), placed at `base`.
constexpr Field at(std::size_t base, Field f) {
  f.offset += base;
  return f;
}

// The bytes of a field.
inline Image bytes_of(Image s, const Field& f) { return s.subspan(f.offset, f.length); }

// A layout: every field, in offset order, for naming the bytes an edit or a diff touches.
using Layout = std::span<const Field>;

// The bits of byte `at` that field `f` holds.
constexpr unsigned bits_at(const Field& f, std::size_t at) {
  if (at < f.offset || at >= f.offset + f.length) return 0;
  if (f.mask == 0) return 0xFF;
  const std::size_t shift = 8 * (at - f.offset);
  return shift < 32 ? (f.mask >> shift) & 0xFFu : 0;
}

// Whether fields come in offset order and no bit belongs to two of them: what each layout table
// promises its readers (checked at compile time beside each table).
constexpr bool sorted_without_overlaps(Layout fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0 && fields[i].offset < fields[i - 1].offset) return false;
    for (std::size_t j = i + 1; j < fields.size() && fields[j].offset < fields[i].offset + fields[i].length; ++j) {
      for (std::size_t at = fields[j].offset; at < fields[i].offset + fields[i].length; ++at) {
        if ((bits_at(fields[i], at) & bits_at(fields[j], at)) != 0) return false;
      }
    }
  }
  return true;
}

}  // namespace dimmwand::spd
