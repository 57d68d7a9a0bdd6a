// Secrets from the system's random source (getrandom on Linux, BCryptGenRandom on Windows).
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <vector>

namespace dimmwand {

// `count` bytes fit for a secret, or the system's reason why there are none.
std::expected<std::vector<unsigned char>, std::string> random_bytes(std::size_t count);

}  // namespace dimmwand
