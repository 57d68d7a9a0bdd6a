// The pause of a block write on Windows.
#include <chrono>

#include "platform/sleep.hpp"
#include "platform/win32_system.hpp"

#include <timeapi.h>

namespace dimmwand {
namespace {

#ifdef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD kHighResolutionTimer = CREATE_WAITABLE_TIMER_HIGH_RESOLUTION;
#else
constexpr DWORD kHighResolutionTimer = 0x00000002;  // older SDK headers lack the name
#endif

}  // namespace

void precise_sleep(std::chrono::microseconds duration) {
  // The default timer tick of about 15.6 ms would double a block write's time. A high-resolution
  // waitable timer (Windows 10 1803 and later) keeps the pause at its length; elsewhere the
  // timer resolution is raised to 1 ms for the rest of the run. What the timer leaves of the
  // pause is waited out by yielding, so the pause is never shorter than asked.
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + duration;
  static const HANDLE timer = [] {
    HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (t != nullptr) return t;
    timeBeginPeriod(1);
    return CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }();
  LARGE_INTEGER due{};
  due.QuadPart = -static_cast<LONGLONG>(duration.count() * 10);  // relative, in 100 ns units
  if (timer != nullptr && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
    WaitForSingleObject(timer, INFINITE);
  }
  while (Clock::now() < until) SwitchToThread();
}

}  // namespace dimmwand
