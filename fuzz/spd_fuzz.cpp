// SPD images of any content and size: identification either succeeds with a size that fits or
// says why not; decoding (summary, full, JSON) never fails; fix changes nothing but checksum
// bytes, and after it every checksum holds. 128-byte inputs are decoded as hub registers too.
#include <cstdlib>
#include <vector>

#include "spd/decode.hpp"
#include "spd/documents.hpp"
#include "spd/fields.hpp"
#include "spd/image.hpp"
#include "spd/registers.hpp"

using namespace dimmwand;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const spd::Image image(data, size);
  if (size == kRegAreaSize) {
    const std::vector<spd::InfoSection> sections{{"", spd::describe_registers(image)}};
    if (spd::registers_document("f", image, sections).empty()) std::abort();
  }
  for (const std::optional<DeviceType> given : {std::optional<DeviceType>{}, std::optional{DeviceType::DDR3},
                                                std::optional{DeviceType::DDR4}, std::optional{DeviceType::DDR5}}) {
    const auto g = spd::identify(image, given);
    if (!g) {
      if (g.error().display().empty()) std::abort();
      continue;
    }
    if (image.size() != spd_size(*g) && !model::is_ddr5_first_half(image)) std::abort();
    const auto d = spd::decode(image, *g);
    (void)spd::summary(d);
    if (spd::info_document("f", d, d.sections).empty() || spd::check_document("f", image, *g).empty()) std::abort();
    std::vector<std::uint8_t> flipped(image.begin(), image.end());
    for (auto& b : flipped) b = static_cast<std::uint8_t>(~b);
    (void)spd::field_names(image, flipped, *g, 0, image.size() - 1);
    std::vector<std::uint8_t> copy(image.begin(), image.end());
    const auto before = spd::checksums(image, *g);
    spd::fix_checksums(copy, *g);
    for (std::size_t i = 0; i < copy.size(); ++i) {
      bool checksum_byte = false;
      for (const auto& c : before) checksum_byte |= i == c.at || i == c.at + 1;
      if (copy[i] != image[i] && !checksum_byte) std::abort();
    }
    for (const auto& c : spd::checksums(copy, *g)) {
      if (!c.ok()) std::abort();
    }
  }
  return 0;
}
