#include <signal.h>

#include <atomic>

#include "platform/interrupt.hpp"

namespace dimmwand {
namespace {

std::atomic<bool> caught{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void on_interrupt(int /*signo*/) { caught.store(true); }

}  // namespace

void catch_interrupts() {
  struct sigaction sa{};
  sa.sa_handler = on_interrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a wait for the programmer returns at once
  for (const int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &sa, nullptr);
}

bool interrupted() { return caught.load(); }

}  // namespace dimmwand
