#include <atomic>

#include "platform/interrupt.hpp"
#include "platform/win32_system.hpp"

namespace dimmwand {
namespace {

// Windows ends the process once the handler of a close event returns, and in any case some 5 s
// after the event: the handler waits so that the main thread can finish its frame and report.
constexpr DWORD kCloseGraceMs = 4500;

std::atomic<bool> caught{false};

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      caught.store(true);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      caught.store(true);
      Sleep(kCloseGraceMs);  // the main thread's exit ends the process before this returns
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void catch_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

bool interrupted() { return caught.load(); }

}  // namespace dimmwand
