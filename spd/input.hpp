// The image a command was given: a raw image, or a text dump of one, read from a file or from
// standard input ("-").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "error/device_error.hpp"

namespace dimmwand::spd {

// The bytes of the image at `path`. A text dump is read back into its bytes, and standard error
// says which form it was; a raw image is taken as it is, without a word. A text that looks like
// a dump but does not parse whole is an error naming its line.
Result<std::vector<std::uint8_t>> load_image(const std::string& path);

}  // namespace dimmwand::spd
