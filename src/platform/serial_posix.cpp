// The serial port on POSIX systems: termios raw mode, poll-based time-outs, and an exclusive
// hold through TIOCEXCL plus an advisory lock (the lock also keeps out a second root process,
// which TIOCEXCL alone does not). The exclusive flag belongs to the terminal, not to our open
// file: it stays set after close while anyone else holds the line open (a pseudo-terminal's
// other side, a modem manager), and would lock out every later open but root's. So it is
// cleared before the port is closed.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix_system.hpp"
#include "platform/serial_port.hpp"

namespace dimmwand {
namespace {

constexpr const char* kHangUp = "设备已断开连接";
constexpr const char* kNotSerial = "不是串口设备";
constexpr const char* kWriteTimedOut = "写入超时";

using posix::system_message;

int remaining_ms(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override {
    ioctl(fd_, TIOCNXCL);
    close(fd_);
  }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  std::expected<std::size_t, std::string> read(std::span<std::uint8_t> buffer) override {
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(kLineTimeout.count()));
    if (ready < 0) return std::unexpected(system_message(errno));
    if (ready == 0) return 0;
    if ((p.revents & POLLNVAL) != 0) return std::unexpected(system_message(EBADF));
    if ((p.revents & POLLIN) == 0) return std::unexpected(kHangUp);  // POLLHUP or POLLERR alone
    const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n > 0) return static_cast<std::size_t>(n);
    if (n == 0) return std::unexpected(kHangUp);  // end of file: the other side is gone
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return std::unexpected(system_message(errno));
  }

  std::expected<std::size_t, std::string> write(std::span<const std::uint8_t> bytes) override {
    const auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    for (;;) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) return static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return std::unexpected(system_message(errno));
      pollfd p{fd_, POLLOUT, 0};
      const int ready = poll(&p, 1, remaining_ms(deadline));
      if (ready < 0 && errno == EINTR) continue;  // a frame is never left half sent
      if (ready < 0) return std::unexpected(system_message(errno));
      if (ready == 0) return std::unexpected(kWriteTimedOut);
      if ((p.revents & (POLLHUP | POLLERR)) != 0 && (p.revents & POLLOUT) == 0) return std::unexpected(kHangUp);
    }
  }

  void discard_input() override { tcflush(fd_, TCIFLUSH); }

  // tcdrain waits for the driver's queue and the UART to empty (a pseudo-terminal has neither);
  // a signal ends the wait, and the caller decides what the signal means.
  void wait_until_sent() override { tcdrain(fd_); }

 private:
  int fd_;
};

// Brings the line to 115200 8N1, raw 8-bit data, no flow control, reads that never block
// (waiting is done by poll).
bool configure(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS | HUPCL);
  tio.c_cflag |= CS8;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (cfsetispeed(&tio, B115200) != 0 || cfsetospeed(&tio, B115200) != 0) return false;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Takes DTR and RTS down. A pseudo-terminal has no modem lines and says so; that is fine.
bool lower_modem_lines(int fd) {
  const int lines = TIOCM_DTR | TIOCM_RTS;
  return ioctl(fd, TIOCMBIC, &lines) == 0 || errno == ENOTTY || errno == EINVAL;
}

}  // namespace

std::expected<std::unique_ptr<SerialPort>, std::string> open_serial_port(const std::string& name) {
  const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::unexpected(system_message(errno));
  auto fail = [fd](std::string reason) {
    close(fd);
    return std::unexpected(std::move(reason));
  };
  struct stat st{};
  if (fstat(fd, &st) != 0) return fail(system_message(errno));
  if (!S_ISCHR(st.st_mode) || !isatty(fd)) return fail(kNotSerial);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(system_message(errno == EWOULDBLOCK ? EBUSY : errno));
  if (ioctl(fd, TIOCEXCL) != 0) return fail(system_message(errno));
  auto fail_held = [&fail, fd](std::string reason) {
    ioctl(fd, TIOCNXCL);
    return fail(std::move(reason));
  };
  if (!configure(fd)) return fail_held(system_message(errno));
  if (!lower_modem_lines(fd)) return fail_held(system_message(errno));
  return std::make_unique<PosixSerialPort>(fd);
}

}  // namespace dimmwand
