#include "spd/timing.hpp"

#include <algorithm>
#include <cmath>

namespace dimmwand::spd {

unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  if (cycle_ps == 0) return 0;
  const unsigned long long t = time_ps;
  if (g == DeviceType::DDR5) return static_cast<unsigned>((t * 997 / cycle_ps + 1000) / 1000);  // 0.3 % guard band
  return static_cast<unsigned>((t * 1000 / cycle_ps + 974) / 1000);                             // 2.5 % guard band
}

unsigned cas_latency(unsigned time_ps, unsigned cycle_ps, DeviceType g) {
  const unsigned cl = clocks(time_ps, cycle_ps, g);
  return g == DeviceType::DDR5 ? cl + cl % 2 : cl;
}

unsigned data_rate(double cycle_ps, DeviceType g) {
  if (!(cycle_ps >= 50)) return 0;  // under 50 ps (40 000 MT/s) is no module's, and 0 is none
  const double rate = 2e6 / cycle_ps;
  if (g == DeviceType::DDR5) return static_cast<unsigned>(std::lround(rate / 100) * 100);
  return static_cast<unsigned>(std::lround(rate * 3 / 100) * 100 / 3);
}

unsigned supported_cl(unsigned needed, const std::vector<unsigned>& supported) {
  const auto it = std::lower_bound(supported.begin(), supported.end(), needed);
  return it != supported.end() ? *it : needed;
}

std::span<const SpeedBin> speed_bins(DeviceType g) {
  static constexpr SpeedBin kDdr3[] = {{800, 2500, 6},   {1066, 1875, 8},  {1333, 1500, 10},
                                       {1600, 1250, 11}, {1866, 1071, 13}, {2133, 938, 14}};
  static constexpr SpeedBin kDdr4[] = {{1600, 1250, 12}, {1866, 1071, 14}, {2133, 938, 16}, {2400, 833, 18},
                                       {2666, 750, 20},  {2933, 682, 22},  {3200, 625, 24}};
  static constexpr SpeedBin kDdr5[] = {{3200, 625, 28}, {3600, 555, 32}, {4000, 500, 36}, {4400, 454, 40},
                                       {4800, 416, 42}, {5200, 384, 46}, {5600, 357, 50}, {6000, 333, 54},
                                       {6400, 312, 56}, {6800, 294, 60}, {7200, 277, 64}, {7600, 263, 68},
                                       {8000, 250, 70}, {8400, 238, 74}, {8800, 227, 78}};
  switch (g) {
    case DeviceType::DDR3:
      return kDdr3;
    case DeviceType::DDR4:
      return kDdr4;
    case DeviceType::DDR5:
      return kDdr5;
  }
  return {};
}

RateCycle rate_cycle(double rate, DeviceType g) {
  for (const auto& b : speed_bins(g)) {
    if (b.rate != rate) continue;
    // DDR3 and DDR4 grades are n thirds of 400 MT/s (1866 is 14), so their cycle is 15/n ns.
    const double exact = g == DeviceType::DDR5 ? 2e6 / rate : 15000.0 / std::round(rate * 3 / 400);
    return {static_cast<double>(b.tck_ps), exact, true};
  }
  const double ps = rate > 0 ? 2e6 / rate : 0;
  return {ps, ps, false};
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

}  // namespace dimmwand::spd
