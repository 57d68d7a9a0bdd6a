// The timing arithmetic all generations share: clock counts of times, CAS latencies, and the
// names of data rates.
#pragma once

#include <span>
#include <vector>

#include "model/ddr.hpp"

namespace dimmwand::spd {

// Clock cycles for a time, with the rounding (guard band) of the generation: DDR3 and DDR4 round
// up past 2.5 % (decode-dimms, JEDEC's rounding algorithm), DDR5 past 0.3 % (JESD400-5's
// rounding of ps to nCK). 0 for a cycle time of 0.
unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g);

// The CAS latency of a time: clocks, and on DDR5 the next even number.
unsigned cas_latency(unsigned time_ps, unsigned cycle_ps, DeviceType g);

// The data rate of a clock period, named as modules are sold: DDR5 to the nearest 100 MT/s
// (6600, 7000, 8200: memtest86+ names them so); DDR3 and DDR4 to the nearest third of 100 MT/s,
// written as its whole part (1066, 1333, 2133, 2666, 4133), which is the grade JEDEC and XMP
// name for every cycle time of 7.5/n ns and decode-dimms' figure for each of them. 0 for a
// cycle time of 0 or one no module runs at.
unsigned data_rate(double cycle_ps, DeviceType g);

// The lowest latency of `supported` (ascending) that covers `needed`; `needed` itself when none
// does (the list is empty or ends below it).
unsigned supported_cl(unsigned needed, const std::vector<unsigned>& supported);

// A JEDEC speed grade: its data rate, the cycle time SPD stores for it (ps) and the highest CAS
// latency of its speed bins, above which no bin runs at that rate.
struct SpeedBin {
  unsigned rate, tck_ps, max_cl;
};

// The speed grades of a generation, slowest first: the one table of them, which set's rates,
// rebin and the DDR5 decoder read. DDR3: JESD79-3 bins 800D-E to 2133K-N; DDR4: JESD79-4 bins
// 1600J-L to 3200W-AC (as Micron's and Alliance Memory's datasheets tabulate them, and
// decode-dimms' standard cycle times); the cycle times as JEDEC's SPD annexes (JESD21-C Annex K for
// DDR3, Annex L for DDR4) code them: 7.5/n ns to the picosecond, 1.071 and 0.938 (DDR4-2133 is 08 C2).
// DDR5: JESD79-5's tCK(avg) minima, 2000/rate ns truncated to the picosecond (0.416 for 4800);
// its C bins (3200C CL28, 4800C CL42, 6400C CL56) keep tAA at 17.5 ns, and the other grades
// follow that rule: the next even CL.
std::span<const SpeedBin> speed_bins(DeviceType g);

// The cycle time SPD stores for a data rate: the speed grade's where the rate names one (2133 is
// 0.938 ns, 1866 is 1.071 ns, 4800 is 0.416 ns, as rebin stores them), else 2000 / rate ns.
// `exact_ps` is the cycle the rate names: on DDR3 and DDR4 a grade's 7.5/n ns (1866 is
// 2000/1866.67 = 1.0714286 ns, which JEDEC's code rounds to the picosecond), else 2000 / rate ns
// (DDR5 4800: 0.41667 ns, which JEDEC's code truncates); where the image's units cannot hold
// `ps`, the caller stores the nearest cycle not shorter than `exact_ps`.
struct RateCycle {
  double ps = 0, exact_ps = 0;
  bool grade = false;  // a JEDEC speed grade of the generation
};
RateCycle rate_cycle(double rate, DeviceType g);

// A cycle time a vendor approximated (DDR3-1866 and up, DDR4) taken as the grade it meant:
// 7.5 / n ns within the fine timebase (decode-dimms' rule).
double snap_cycle(double ns, double ftb_ps);

// Clocks for a time, rounded up after taking off a guard band; 0 for a cycle time that is zero,
// negative or absurd, as an image of arbitrary bytes may hold.
long clocks_up(double time, double cycle, double guard = 0);

}  // namespace dimmwand::spd
