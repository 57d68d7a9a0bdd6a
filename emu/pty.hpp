// The pseudo-terminal the emulator serves on, and writing to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dimmwand::emu {

// The pseudo-terminal: the master is ours; we hold the slave open too, so that the line stays
// up between two clients instead of reporting a hang-up.
struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;

  void hang_up();
};

// A raw, non-blocking pseudo-terminal; nullopt with errno set when the system refuses one.
std::optional<Pty> open_pty();

// Writes all of `bytes`, waiting for room while the client has not read what came before.
void send_all(int fd, std::string_view bytes);

}  // namespace dimmwand::emu
