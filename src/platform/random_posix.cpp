#include "platform/random.hpp"

#include <sys/random.h>

#include <cerrno>

#include "platform/posix_system.hpp"

namespace dimmwand {

std::expected<std::vector<unsigned char>, std::string> random_bytes(std::size_t count) {
  std::vector<unsigned char> out(count);
  std::size_t filled = 0;
  while (filled < count) {
    const auto got = getrandom(out.data() + filled, count - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(posix::system_message(errno));
    }
    filled += static_cast<std::size_t>(got);
  }
  return out;
}

}  // namespace dimmwand
