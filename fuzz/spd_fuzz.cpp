// SPD images of any content and size: identification either succeeds with a size that fits or
// says why not; decoding never fails; after fix, every checksum holds.
#include <cstdlib>
#include <vector>

#include "spd/fields.hpp"
#include "spd/image.hpp"
#include "spd/info.hpp"

using namespace dimmwand;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const spd::Image image(data, size);
  for (const std::optional<DeviceType> given :
       {std::optional<DeviceType>{}, std::optional{DeviceType::DDR3}, std::optional{DeviceType::DDR4},
        std::optional{DeviceType::DDR5}}) {
    const auto g = spd::identify(image, given);
    if (!g) {
      if (g.error().display().empty()) std::abort();
      continue;
    }
    if (image.size() != spd::spd_size(*g)) std::abort();
    (void)spd::describe(image, *g);
    (void)spd::field_names(image, *g, 0, image.size() - 1);
    std::vector<std::uint8_t> copy(image.begin(), image.end());
    spd::fix_checksums(copy, *g);
    for (const auto& c : spd::checksums(copy, *g)) {
      if (!c.ok()) std::abort();
    }
  }
  return 0;
}
