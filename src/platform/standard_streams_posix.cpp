#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/standard_streams.hpp"

namespace dimmwand {

std::expected<std::vector<std::uint8_t>, std::string> read_standard_input(std::size_t limit) {
  std::vector<std::uint8_t> data(limit);
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = read(STDIN_FILENO, data.data() + got, limit - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(std::strerror(errno));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return data;
}

std::expected<void, std::string> write_standard_output(std::span<const std::uint8_t> bytes) {
  std::fflush(stdout);
  while (!bytes.empty()) {
    const ssize_t n = write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(std::strerror(errno));
    }
    bytes = bytes.subspan(static_cast<std::size_t>(n));
  }
  return {};
}

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace dimmwand
