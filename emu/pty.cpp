// The pseudo-terminal the emulator serves on: opened raw, and written without losing bytes.
#include "pty.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace dimmwand::emu {

void Pty::hang_up() {
  if (master >= 0) close(master);
  if (slave >= 0) close(slave);
  master = slave = -1;
}

std::optional<Pty> open_pty() {
  Pty pty;
  pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) return std::nullopt;
  pty.path = ptsname(pty.master);
  pty.slave = open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.slave < 0) return std::nullopt;
  termios tio{};
  tcgetattr(pty.slave, &tio);
  cfmakeraw(&tio);
  tcsetattr(pty.slave, TCSANOW, &tio);
  return pty;
}

void send_all(int fd, std::string_view bytes) {
  while (!bytes.empty() && fd >= 0) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n >= 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    } else if (errno != EINTR) {
      return;
    }
  }
}

}  // namespace dimmwand::emu
