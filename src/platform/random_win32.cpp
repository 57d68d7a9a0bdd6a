#include "platform/random.hpp"

#include <windows.h>
#include <bcrypt.h>

namespace dimmwand {

std::expected<std::vector<unsigned char>, std::string> random_bytes(std::size_t count) {
  std::vector<unsigned char> out(count);
  const auto status = BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (status != 0) return std::unexpected(std::string("BCryptGenRandom 失败"));
  return out;
}

}  // namespace dimmwand
