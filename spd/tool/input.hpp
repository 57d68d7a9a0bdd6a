// The image a command was given: a raw image, or a text dump of one, read from a file or from
// standard input ("-"); and a new image on standard output, where -o - puts it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "error/device_error.hpp"

namespace dimmwand::spd {

// The bytes of the image at `path`. A text dump is read back into its bytes, and standard error
// says which form it was and which lines around it were skipped; a raw image is taken as it is,
// without a word. A text is never taken for a raw image: one that shows no dump is an error, and
// one that looks like a dump but does not parse whole is an error naming its line.
Result<std::vector<std::uint8_t>> load_image(const std::string& path);

// `image` as the new file `path`; an existing one is only replaced with `force`, and then whole
// or not at all.
Result<> save_output(const std::string& path, std::span<const std::uint8_t> image, bool force);

// Refuses standard output when it is a terminal, where a binary image would only garble the
// screen; asked before anything is read, and again by write_image_to_stdout.
Result<> stdout_takes_image();

// `image` on standard output, whole.
Result<> write_image_to_stdout(std::span<const std::uint8_t> image);

}  // namespace dimmwand::spd
