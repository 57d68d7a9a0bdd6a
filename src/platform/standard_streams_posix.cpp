#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix_system.hpp"
#include "platform/standard_streams.hpp"

namespace dimmwand {

std::expected<std::vector<std::uint8_t>, std::string> read_standard_input(std::size_t limit) {
  auto data = posix::read_all(STDIN_FILENO, limit);
  if (!data) return std::unexpected(posix::system_message(data.error()));
  return std::move(*data);
}

std::expected<void, std::string> write_standard_output(std::span<const std::uint8_t> bytes) {
  std::fflush(stdout);
  if (!posix::write_all(STDOUT_FILENO, bytes)) return std::unexpected(posix::system_message(errno));
  return {};
}

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace dimmwand
