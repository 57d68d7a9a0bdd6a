// The editor on images of any content, one edit an input: a field set to the value it reads is
// taken and changes no byte, or refused where that value is none (has_value); any value for a
// field is either refused, leaving the image as it was, or changes only that field's bytes and
// the checksums over them, which then hold. (Every field of every real module's image is set to
// its own value in the unit tests.)
#include <cstdlib>
#include <string>
#include <vector>

#include "spd/edit.hpp"
#include "spd/image.hpp"
#include "spd/settable.hpp"

using namespace dimmwand;

namespace {

void only_meant(const std::vector<std::uint8_t>& before, const spd::Edited& e) {
  std::vector<bool> allowed(before.size(), false);
  for (const auto& f : e.fields) {
    for (const std::size_t at : f.bytes) allowed[at] = true;
  }
  for (const auto& c : e.checksums) {
    allowed[c.at] = allowed[c.at + 1] = true;
    if (c.computed != spd::u16(e.image, c.at)) std::abort();
  }
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != e.image[i] && !allowed[i]) std::abort();
  }
}

}  // namespace

// Input: the generation (bit 7: every checksum made right first), a field number, the length of
// a value (0: the value the field reads), the value, then the image's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const DeviceType g = kGenerations[(data[0] & 0x7F) % 3];
  const std::size_t length = std::min<std::size_t>(data[2], size - 3);
  std::vector<std::uint8_t> image(data + 3 + length, data + size);
  image.resize(spd_size(g), 0);
  image[kKeyByte] = key_byte(g);
  if (data[0] & 0x80) spd::fix_checksums(image, g);
  const auto fields = spd::settables(image, g);
  if (fields.empty()) return 0;
  const auto& f = fields[data[1] % fields.size()];
  if (length == 0) {
    // A value fields shows is taken back without a byte changed; one that is none is refused.
    const auto same = spd::edit_set(image, g, {f.key + "=" + spd::read_value(image, f)});
    if (same ? same->image != image : spd::has_value(image, f)) std::abort();
    return 0;
  }
  const auto e = spd::edit_set(image, g, {f.key + "=" + std::string(reinterpret_cast<const char*>(data + 3), length)});
  if (e) only_meant(image, *e);
  return 0;
}
