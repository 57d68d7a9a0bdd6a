// The storage formats that more than one field shares, each decoded here and nowhere else: the
// CAS-latency bit maps and the profile voltage codes. The decoders, kit, check --strict and the
// editor all read these fields through them.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "spd/layout.hpp"

namespace dimmwand::spd {

// A CAS-latency bit map: bit n set means CL first + step × n is supported.
struct CasMap {
  unsigned first;           // the CL of bit 0
  unsigned step;            // between neighbouring bits
  unsigned bits;            // how many bits hold latencies
  unsigned high_first = 0;  // DDR4: the CL of bit 0 when bit 31 selects the high range; 0 where none
  constexpr unsigned last() const { return first + step * (bits - 1); }
};

// DDR3 (JESD21-C Annex K bytes 14-15; XMP 1.x the same): bit n is CL 4 + n.
inline constexpr CasMap kCasDdr3{4, 1, 15};
// DDR4 (JESD21-C Annex L bytes 20-23; XMP 2.0 the same): bit n is CL 7 + n, or CL 23 + n where
// bit 31 (byte 23 bit 7) selects the high range.
inline constexpr CasMap kCasDdr4{7, 1, 30, 23};
// DDR5 (JESD400-5 bytes 24-28; XMP 3.0 the same): bit n is CL 20 + 2n, even latencies only.
inline constexpr CasMap kCasDdr5{20, 2, 40};

inline constexpr std::uint64_t kCasHighRange = 1ull << 31;

// The bit map of a generation's base section and profiles.
constexpr const CasMap& cas_map(DeviceType g) {
  return g == DeviceType::DDR3 ? kCasDdr3 : g == DeviceType::DDR4 ? kCasDdr4 : kCasDdr5;
}

// The latencies a stored bit map lists, ascending.
std::vector<unsigned> cas_decode(std::uint64_t stored, const CasMap& m);

// The latencies of the map stored in field `f`.
std::vector<unsigned> cas_latencies(Image s, const Field& f, const CasMap& m);

// `stored` with its latency bits (and DDR4's range bit) replaced by those of `cls`, every other
// bit kept; or the first latency the map cannot hold. DDR4 takes the high range where a latency
// lies above the low range's last.
std::expected<std::uint64_t, unsigned> cas_encode(std::uint64_t stored, const std::vector<unsigned>& cls,
                                                  const CasMap& m);

// A DDR3 or DDR4 time (JESD21-C Annex K and L; XMP 1.x and 2.0 the same): a count of medium
// timebase units, its bits 11-8 in a second field where it has twelve, and a signed correction
// in fine timebase units. DDR4's timebases are 125 ps and 1 ps; DDR3's the image's bytes 9-11.
struct MtbTime {
  const Field* coarse;
  const Field* high = nullptr;
  const Field* fine = nullptr;
};

// The time in ps, placed at `base` (a profile's fields); negative where the correction is
// larger than the count.
double mtb_time_ps(Image s, const MtbTime& t, double mtb_ps, double ftb_ps, std::size_t base = 0);

// The timebases such a time counts in, in ps.
struct Timebases {
  double mtb_ps = 0, ftb_ps = 0;
};

// DDR4's timebases: JESD21-C Annex L, byte 17 "Timebases": bits 3-2 the medium timebase, bits 1-0
// the fine timebase, each 00 = 125 ps and 1 ps, every other code reserved; bits 7-4 reserved (and
// not read). XMP 2.0 keeps a byte of the same coding for each profile. Nothing for a reserved
// code: no time can be read in it, and none is shown or set.
std::optional<Timebases> ddr4_timebases(std::uint8_t byte);

// What a view says, once, of a reserved timebase byte: "字节 17 = 0x05：时间基准为保留值…".
std::string reserved_timebase(std::size_t at, std::uint8_t byte);

// DDR3's timebases: JESD21-C Annex K, byte 9 the fine timebase (dividend bits 7-4, divisor bits
// 3-0, in ps), bytes 10 and 11 the medium timebase's dividend and divisor (in ns). Nothing when a
// divisor is 0.
std::optional<Timebases> ddr3_timebases(Image s);

// A time coded as a count of medium units and a signed fine correction (none where the field
// has no fine byte), and the time it stands for.
struct MtbCode {
  std::uint64_t coarse = 0;
  int fine = 0;
  double ps = 0;
};

// The field such a time is stored in: its timebases, the bits of its count, whether it has a
// fine correction (one signed byte).
struct MtbField {
  Timebases tb;
  unsigned coarse_bits = 8;
  bool fine = false;
  double largest() const;  // the longest time it holds
};

// The coding nearest to `ps`; between equally near ones, JEDEC's convention: a correction of 0,
// else the count rounded up and a negative correction. Nothing where no count holds it.
std::optional<MtbCode> mtb_nearest(const MtbField& f, double ps);

// The shortest coding not shorter than `ps` (by more than float noise). Nothing where none is.
std::optional<MtbCode> mtb_not_shorter(const MtbField& f, double ps);

// A DDR5 time (JESD400-5; XMP 3.0 and EXPO the same): two bytes low first, in ps (the refresh
// times in ns, Unit::Ns), and where the field has a third byte, a lower limit in clocks.
struct TimeNck {
  double ps;
  unsigned min_nck;  // 0 where none is stored
};
TimeNck time_nck(Image s, const Field& f);

// The two parts of such a field, as the editor sets them.
constexpr Field time_part(const Field& f) { return {f.offset, 2, 0, f.unit, f.key, f.name}; }
constexpr Field nck_part(const Field& f) { return {f.offset + 2, 1, 0, Unit::Nck, {}, {}}; }

// The voltage byte of XMP 1.x, XMP 3.0 and EXPO profiles: bits 6-5 whole volts, bits 4-0
// twentieths (bit 7 reserved).
inline double volts20(unsigned b) { return ((b >> 5) & 0x03) + (b & 0x1F) * 0.05; }

// The voltage byte of XMP 2.0 profiles (DDR4): bit 7 one volt, bits 6-0 hundredths.
inline double volts100(unsigned b) { return (b >> 7) + (b & 0x7F) / 100.0; }

// The volts of a voltage field, by the coding its row names (Unit::Volts20 or Unit::Volts100).
inline double volts(Image s, const Field& f) {
  return f.unit == Unit::Volts100 ? volts100(get(s, f)) : volts20(get(s, f));
}

}  // namespace dimmwand::spd
