#include "platform/posix_system.hpp"

#include "platform/system_error.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dimmwand::posix {

std::string system_message(int error) { return errno_text(error, std::strerror(error)); }

std::expected<std::vector<std::uint8_t>, int> read_all(int fd, std::size_t limit) {
  std::vector<std::uint8_t> data(limit);
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = read(fd, data.data() + got, limit - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return data;
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace dimmwand::posix

namespace dimmwand {

std::string system_error_text(const std::error_code& error) { return posix::system_message(error.value()); }

}  // namespace dimmwand
