// The pause of a block write on POSIX systems: an absolute deadline on the monotonic clock,
// resumed after signals.
#include <time.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>

#include "platform/sleep.hpp"

namespace dimmwand {

void precise_sleep(std::chrono::microseconds duration) {
#ifdef __linux__
  // The default 50 µs timer slack would lengthen every pause of a block write.
  static const bool slack_lowered = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
  (void)slack_lowered;
#endif
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
  until.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
  until.tv_nsec += static_cast<long>(ns % 1'000'000'000);
  if (until.tv_nsec >= 1'000'000'000) {
    until.tv_sec += 1;
    until.tv_nsec -= 1'000'000'000;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

}  // namespace dimmwand
