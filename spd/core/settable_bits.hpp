// The bits of a settable field and the numbers they hold, shared by reading a value and writing
// one: a field's bits put and taken, a medium-timebase time, the CAS latencies of a list.
#pragma once

#include <bit>
#include <string>
#include <string_view>
#include <optional>
#include <cmath>
#include <cctype>
#include <charconv>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "spd/codec.hpp"
#include "spd/settable.hpp"

namespace dimmwand::spd::settable_bits {

using Bytes = std::vector<std::uint8_t>;

// Two times this close are the same: what a decimal text of a stored time reads back as.
constexpr double kSamePs = 1e-3;

// Stores `value` in the bits of `f`, leaving every other bit of its bytes as it was.
inline void put(Bytes& s, const Field& f, std::uint64_t value) {
  std::uint64_t mask = f.mask == 0 ? (f.length >= 8 ? ~0ull : (1ull << (8 * f.length)) - 1) : f.mask;
  const int shift = f.mask == 0 ? 0 : std::countr_zero(f.mask);
  for (std::size_t i = 0; i < f.length; ++i) {
    const auto bits = static_cast<std::uint8_t>(mask >> (8 * i));
    if (bits == 0) continue;
    const auto v = static_cast<std::uint8_t>((value << shift) >> (8 * i));
    s[f.offset + i] = static_cast<std::uint8_t>((s[f.offset + i] & ~bits) | (v & bits));
  }
}

// How many bits the field has.
inline unsigned bits_of(const Field& f) {
  return f.mask == 0 ? 8 * static_cast<unsigned>(f.length) : static_cast<unsigned>(std::popcount(f.mask));
}

// The bits of a time's coarse count, with its high nibble.
inline unsigned coarse_bits(const Settable& f) { return bits_of(f.field) + (f.high ? bits_of(*f.high) : 0); }

// A DDR3 or DDR4 time: the coarse count in medium timebase units and the fine correction.
inline double mtb_ps(Image s, const Settable& f) {
  return mtb_time_ps(s, {&f.field, f.high ? &*f.high : nullptr, f.fine ? &*f.fine : nullptr}, f.mtb_ps, f.ftb_ps);
}

// How the field codes a time: its timebases, the bits of its count, a fine correction or not.
inline MtbField mtb_field(const Settable& f) { return {{f.mtb_ps, f.ftb_ps}, coarse_bits(f), f.fine.has_value()}; }

// Whether setting `rate` keeps the cycle the rate field's image holds (settable_write.cpp): what
// fields shows as the rate, so that set takes it back unchanged.
bool rate_keeps(Image s, const Settable& f, double rate);

// A rate in MT/s with up to `decimals` places, no trailing zeros: "3600", "52.6141".
std::string mts_text(double rate, int decimals = 3);

// A number as typed, with its unit (any case) allowed after it.
inline std::optional<double> number(std::string_view text, std::string_view unit) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!unit.empty() && text.size() > unit.size()) {
    const auto tail = text.substr(text.size() - unit.size());
    if (std::equal(tail.begin(), tail.end(), unit.begin(), unit.end(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
      text.remove_suffix(unit.size());
    }
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

// A hexadecimal number as typed, with or without 0x.
inline std::optional<std::uint64_t> hex_number(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

}  // namespace dimmwand::spd::settable_bits
