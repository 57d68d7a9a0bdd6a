#include "spd/codec.hpp"

#include <algorithm>

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
