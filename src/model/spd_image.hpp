// SPD images: which generation an image is, and the checksum blocks it carries (JEDEC, and on
// DDR5 the XMP 3.0 and EXPO blocks), as the tool, dimmwand-spd and the emulator all see them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/blocks.hpp"
#include "model/ddr.hpp"

namespace dimmwand::model {

using Image = std::span<const std::uint8_t>;

// Little-endian 16-bit value at `at`.
inline std::uint16_t u16(Image image, std::size_t at) {
  return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
}

// The generation of an image: as given (the size must fit it), or from its size and its key
// byte, which must agree. The error says, in the user's words, what does not fit.
std::expected<DeviceType, std::string> identify(Image image, std::optional<DeviceType> given);

// The first 512 bytes of a DDR5 SPD (the base and module sections, with their CRC), as some
// firmware trees and tools keep them: dimmwand-spd decodes and checks what is there. Never a
// whole image: nothing writes it to a module.
inline constexpr std::size_t kDdr5FirstHalf = 512;
bool is_ddr5_first_half(Image image);

struct Checksum {
  std::string id;    // "base", "module", "xmp3.header", "xmp3.profile1", "expo"
  std::string name;  // "基本区 CRC": the view's label
  std::size_t from;  // first covered byte
  std::size_t to;    // last covered byte
  std::size_t at;    // where the CRC is stored, low byte first
  std::uint16_t stored;
  std::uint16_t computed;
  bool ok() const { return stored == computed; }
};

// A checksum block that the image does not positively identify, and why; it is neither checked
// nor fixed.
struct SkippedBlock {
  std::string id;      // "xmp3.profile5"
  std::string name;    // "XMP 配置 5"
  std::string reason;  // "未启用"
};

// Every checksum block the image positively identifies: the JEDEC ones always; on DDR5 the
// XMP 3.0 header by its signature and version, profiles 1-3 by the header's enable bits, the
// user profiles 4 and 5 by a checksum that holds, and EXPO by its signature.
std::vector<Checksum> checksums(Image image, DeviceType g);

// The extension blocks of a DDR5 image that are not identified, in block order.
std::vector<SkippedBlock> skipped_blocks(Image image, DeviceType g);

// Stores the computed value of every checksum; returns those that changed.
std::vector<Checksum> fix_checksums(std::vector<std::uint8_t>& image, DeviceType g);

// The checksum of the first block with this id, if the image identifies it.
const Checksum* find_checksum(const std::vector<Checksum>& sums, std::string_view id);

bool has_xmp3(Image image);
bool has_expo(Image image);

}  // namespace dimmwand::model
