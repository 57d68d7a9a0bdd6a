// Ctrl-C and its kin (a closed terminal or console window, a polite kill): caught, so that a
// command stops at a safe point, never in the middle of a frame or a file, and says what it did.
#pragma once

namespace dimmwand {

// Catches the interrupt signals (POSIX: SIGINT, SIGTERM, SIGHUP; Windows: Ctrl-C, Ctrl-Break
// and the closing of the console window). Blocking waits on the line end early when one comes.
void catch_interrupts();

// True once an interrupt has arrived.
bool interrupted();

}  // namespace dimmwand
