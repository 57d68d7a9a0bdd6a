// What the write command checks of an image before it touches the module.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>

#include "commands/args.hpp"
#include "error/device_error.hpp"

namespace dimmwand {

// A file that is text (see image::as_text), a dump or not, is refused: written as data it would
// put its characters onto the module. The error says what the text looks like and how to get a
// raw image. Binary files pass: every SPD and REG image holds 0x00 bytes.
Result<> refuse_text_dump(std::span<const std::uint8_t> file, const WriteArgs& args);

// Any write of the SPD area but with --check (which judges the image itself) or --force: an image
// whose byte 2 names a memory type that the generation's SPD area never holds, or a REG image
// (128 bytes carrying the hub's device type), would make every address another's. The error names
// both and --force. A byte 2 that names no memory type (a blank image's 0x00 or 0xFF) passes.
Result<> refuse_other_memory_type(std::span<const std::uint8_t> image, const WriteArgs& args);

// --check of an SPD image: the area's size, the key byte of the generation on the command line,
// and every checksum the image identifies. The error is the reason.
std::expected<void, std::string> check_spd_image(std::span<const std::uint8_t> image, DeviceType device);

// --check of a REG image: 128 bytes carrying the hub's device type.
std::expected<void, std::string> check_reg_image(std::span<const std::uint8_t> image);

// --check of a REG image against the module's registers: no block protection bit that the module
// does not have set already, unless `allowed` (--protect).
std::expected<void, std::string> check_reg_protection(std::span<const std::uint8_t> image,
                                                      std::span<const std::uint8_t> module, bool allowed);

// "映像检查未通过: {reason}".
DeviceError image_refused(const std::string& reason);

}  // namespace dimmwand
