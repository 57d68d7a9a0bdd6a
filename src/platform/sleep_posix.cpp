// The pause of a block write on POSIX systems: an absolute deadline on the monotonic clock,
// resumed after signals.
#include <time.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cerrno>

#include "platform/sleep.hpp"

namespace dimmwand {
namespace {

constexpr std::chrono::nanoseconds kSpin{200'000};  // the end of a pause, watched rather than slept

}  // namespace

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
  // The kernel wakes a sleeper some tens of microseconds late, more on a virtual machine: sleep
  // to a little before the deadline, then watch the clock for the rest.
  timespec early = until;
  early.tv_nsec -= kSpin.count();
  if (early.tv_nsec < 0) {
    early.tv_sec -= 1;
    early.tv_nsec += 1'000'000'000;
  }
  if (ns > kSpin.count()) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &early, nullptr) == EINTR) {
    }
  }
  for (timespec now{}; clock_gettime(CLOCK_MONOTONIC, &now) == 0;) {
    if (now.tv_sec > until.tv_sec || (now.tv_sec == until.tv_sec && now.tv_nsec >= until.tv_nsec)) break;
  }
}

}  // namespace dimmwand
