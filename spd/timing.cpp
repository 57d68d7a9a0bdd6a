#include "spd/timing.hpp"

#include <array>
#include <cmath>

namespace dimmwand::spd {

unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  if (cycle_ps == 0) return 0;
  const unsigned long long t = time_ps;
  if (g == DeviceType::DDR5) return static_cast<unsigned>((t * 997 / cycle_ps + 1000) / 1000);  // 0.3 % guard band
  return static_cast<unsigned>((t * 1000 / cycle_ps + 974) / 1000);                              // 2.5 % guard band
}

unsigned cas_latency(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  const unsigned cl = clocks(time_ps, cycle_ps, g);
  return g == DeviceType::DDR5 ? cl + cl % 2 : cl;
}

unsigned data_rate(unsigned cycle_ps) {
  // JEDEC's grades and the usual grades of XMP and EXPO profiles.
  static constexpr std::array<unsigned, 32> kGrades{800,  1066, 1333, 1600, 1866, 2133, 2400, 2666, 2933, 3000, 3200,
                                                    3333, 3466, 3600, 3733, 3866, 4000, 4133, 4266, 4400, 4600, 4800,
                                                    5200, 5600, 6000, 6400, 6800, 7200, 7600, 8000, 8400, 8800};
  if (cycle_ps == 0) return 0;
  const double rate = 2e6 / cycle_ps;
  for (const unsigned g : kGrades) {
    if (std::abs(rate - g) <= g * 0.01) return g;
  }
  return static_cast<unsigned>(rate + 0.5);
}

double snap_cycle(double ns, double ftb_ps) {
  for (int n = 7; n < 15; ++n) {
    const double grade = 7.5 / n;
    if (ns > grade - ftb_ps / 1000 && ns < grade + ftb_ps / 1000) return grade;
  }
  return ns;
}

long clocks_up(double time, double cycle, double guard) {
  if (!(cycle > 0)) return 0;
  const double clocks = std::ceil(time / cycle - guard);
  return std::isfinite(clocks) && clocks >= 0 && clocks < 1e9 ? static_cast<long>(clocks) : 0;
}

double xmp_volts(unsigned b) { return ((b >> 5) & 0x03) + (b & 0x1F) * 0.05; }

}  // namespace dimmwand::spd
