#include "spd/codec.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "spd/ddr3_layout.hpp"

namespace dimmwand::spd {

std::vector<unsigned> cas_decode(std::uint64_t stored, const CasMap& m) {
  const unsigned first = m.high_first != 0 && (stored & kCasHighRange) != 0 ? m.high_first : m.first;
  std::vector<unsigned> out;
  for (unsigned i = 0; i < m.bits; ++i) {
    if ((stored >> i & 1u) != 0) out.push_back(first + m.step * i);
  }
  return out;
}

std::vector<unsigned> cas_latencies(Image s, const Field& f, const CasMap& m) { return cas_decode(get64(s, f), m); }

double mtb_time_ps(Image s, const MtbTime& t, double mtb_ps, double ftb_ps, std::size_t base) {
  std::uint32_t units = get(s, at(base, *t.coarse));
  if (t.high != nullptr) units |= get(s, at(base, *t.high)) << 8;
  const int fine = t.fine != nullptr ? get_signed(s, at(base, *t.fine)) : 0;
  return units * mtb_ps + fine * ftb_ps;
}

std::optional<Timebases> ddr4_timebases(std::uint8_t byte) {
  if ((byte & 0x0F) != 0) return std::nullopt;  // a reserved medium (bits 3-2) or fine (bits 1-0) timebase
  return Timebases{125, 1};
}

std::string reserved_timebase(std::size_t at, std::uint8_t byte) {
  return fmt::format("字节 {} = 0x{:02X}：时间基准为保留值（JEDEC 只定义了中时基 125 ps 与细时基 1 ps），无法解读时序",
                     at, byte);
}

std::optional<Timebases> ddr3_timebases(Image s) {
  using namespace ddr3;
  if (get(s, kFtbDivisor) == 0 || get(s, kMtbDivisor) == 0 || get(s, kMtbDividend) == 0) return std::nullopt;
  return Timebases{1000.0 * get(s, kMtbDividend) / get(s, kMtbDivisor),
                   static_cast<double>(get(s, kFtbDividend)) / get(s, kFtbDivisor)};
}

namespace {

// Float noise: two times this close (in ps) are the same, as a decimal text of one reads back.
constexpr double kNoisePs = 1e-3;

std::optional<MtbCode> coded(const MtbField& f, std::int64_t coarse, int fine) {
  if (coarse < 0 || static_cast<std::uint64_t>(coarse) >= (1ull << f.coarse_bits) || fine < -128 || fine > 127) {
    return std::nullopt;
  }
  return MtbCode{static_cast<std::uint64_t>(coarse), fine,
                 static_cast<double>(coarse) * f.tb.mtb_ps + fine * f.tb.ftb_ps};
}

bool has_fine(const MtbField& f) { return f.fine && f.tb.ftb_ps > 0; }

// Whether `ps` can be coded at all: a finite time, not negative, within reach of the field's
// counts and corrections, in a field with a medium timebase (a damaged image may have none).
bool codable(const MtbField& f, double ps) {
  const double counts = ps / f.tb.mtb_ps;
  const double reach = has_fine(f) ? 128 * f.tb.ftb_ps / f.tb.mtb_ps : 0;
  return f.tb.mtb_ps > 0 && std::isfinite(counts) && counts > -1 - reach &&
         counts < static_cast<double>(1ull << f.coarse_bits) + 1 + reach;
}

// Of two codings, the one JEDEC's convention prefers: no correction, else a negative one.
auto preference(const MtbCode& c) { return std::tuple(c.fine != 0, c.fine > 0, std::abs(c.fine)); }

// The counts whose correction can reach `ps`: within 128 fine units of it (a few thousand at most,
// whatever timebases a damaged image names).
std::pair<std::int64_t, std::int64_t> counts_around(const MtbField& f, double ps) {
  const double reach = 128 * f.tb.ftb_ps / f.tb.mtb_ps;
  const auto low = static_cast<std::int64_t>(std::max(0.0, std::floor(ps / f.tb.mtb_ps - reach)));
  const double high = std::ceil(ps / f.tb.mtb_ps + reach) + 1;
  return {low, std::min(static_cast<std::int64_t>(high), low + 4096)};
}

}  // namespace

double MtbField::largest() const {
  return static_cast<double>((1ull << coarse_bits) - 1) * tb.mtb_ps + (has_fine(*this) ? 127 * tb.ftb_ps : 0);
}

std::optional<MtbCode> mtb_nearest(const MtbField& f, double ps) {
  if (!codable(f, ps)) return std::nullopt;
  const double counts = ps / f.tb.mtb_ps;
  if (!has_fine(f)) return coded(f, std::llround(counts), 0);
  std::optional<MtbCode> best;
  const auto [low, high] = counts_around(f, ps);
  for (std::int64_t c = low; c <= high; ++c) {
    const double fine = std::round((ps - static_cast<double>(c) * f.tb.mtb_ps) / f.tb.ftb_ps);
    if (std::abs(fine) > 1000) continue;
    const auto code = coded(f, c, static_cast<int>(fine));
    if (!code) continue;
    const double miss = std::abs(code->ps - ps), best_miss = best ? std::abs(best->ps - ps) : 0;
    if (!best || miss < best_miss - kNoisePs ||
        (miss < best_miss + kNoisePs && preference(*code) < preference(*best))) {
      best = code;
    }
  }
  return best;
}

std::optional<MtbCode> mtb_not_shorter(const MtbField& f, double ps) {
  if (!codable(f, ps)) return std::nullopt;
  const double least = ps - kNoisePs;
  const double counts = least / f.tb.mtb_ps;
  if (!has_fine(f)) return coded(f, static_cast<std::int64_t>(std::ceil(counts)), 0);
  std::optional<MtbCode> best;
  const auto [low, high] = counts_around(f, least);
  for (std::int64_t c = low; c <= high; ++c) {
    const double fine = std::ceil((least - static_cast<double>(c) * f.tb.mtb_ps) / f.tb.ftb_ps);
    if (std::abs(fine) > 1000) continue;
    const auto code = coded(f, c, static_cast<int>(fine));
    if (!code) continue;
    if (!best || code->ps < best->ps - kNoisePs ||
        (code->ps < best->ps + kNoisePs && preference(*code) < preference(*best))) {
      best = code;
    }
  }
  return best;
}

TimeNck time_nck(Image s, const Field& f) {
  const std::uint32_t v = get(s, f);
  const double ps = f.unit == Unit::Ns ? (v & 0xFFFF) * 1000.0 : (v & 0xFFFF);
  return {ps, f.length == 3 ? v >> 16 : 0};
}

std::expected<std::uint64_t, unsigned> cas_encode(std::uint64_t stored, const std::vector<unsigned>& cls,
                                                  const CasMap& m) {
  const bool high = m.high_first != 0 && std::any_of(cls.begin(), cls.end(), [&](unsigned c) { return c > m.last(); });
  const unsigned first = high ? m.high_first : m.first;
  std::uint64_t bits = 0;
  for (const unsigned cl : cls) {
    if (cl < first || (cl - first) % m.step != 0 || (cl - first) / m.step >= m.bits) return std::unexpected(cl);
    bits |= 1ull << ((cl - first) / m.step);
  }
  const std::uint64_t used = (1ull << m.bits) - 1;
  std::uint64_t all = (stored & ~used) | bits;
  if (m.high_first != 0) all = (all & ~kCasHighRange) | (high ? kCasHighRange : 0);
  return all;
}

}  // namespace dimmwand::spd
