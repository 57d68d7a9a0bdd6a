#include "spd/fields.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "spd/ddr3_layout.hpp"
#include "spd/ddr4_layout.hpp"
#include "spd/ddr5_layout.hpp"

namespace dimmwand::spd {
namespace {

// A field wider than four bytes is an area: named only where no finer field is.
bool area(const Field& f) { return f.length > 4; }

bool touches(const Field& f, std::size_t from, std::size_t to) { return f.offset <= to && f.offset + f.length > from; }

// The extension blocks of DDR5 depend on what the image holds: each block and its CRC.
std::vector<Field> ddr5_extensions(Image image) {
  std::vector<Field> out;
  const auto block = [&](const model::Block& b) {
    out.push_back({b.from, b.at - b.from, 0, Unit::Bytes, "", b.label});
    out.push_back({b.at, 2, 0, Unit::Bytes, "", b.crc_label});
  };
  const bool expo = model::has_expo(image);
  if (model::has_xmp3(image)) {
    block(model::kXmp3HeaderBlock);
    for (std::size_t n = 1; n <= model::kXmp3Profiles; ++n) {
      if (!(expo && model::under_expo(n))) block(model::xmp3_profile(n));
    }
  }
  if (expo) block(model::kExpoBlock);
  // Neither block: the whole extension area, from the XMP header to the end.
  if (out.empty())
    out.push_back({model::kXmp3Header, spd_size(DeviceType::DDR5) - model::kXmp3Header, 0, Unit::Bytes, "",
                   "XMP / EXPO / 用户区"});
  return out;
}

}  // namespace

Layout layout_of(DeviceType g) {
  switch (g) {
    case DeviceType::DDR3:
      return ddr3::kLayout;
    case DeviceType::DDR4:
      return ddr4::kLayout;
    case DeviceType::DDR5:
      return ddr5::kLayout;
  }
  return {};
}

std::string field_names(Image a, Image b, DeviceType g, std::size_t from, std::size_t to) {
  std::vector<Field> fields(layout_of(g).begin(), layout_of(g).end());
  if (g == DeviceType::DDR5) {
    const auto extra = ddr5_extensions(a);
    fields.insert(fields.end(), extra.begin(), extra.end());
  }
  std::vector<std::string_view> names;
  const auto add = [&](std::string_view name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  for (const auto& f : fields) {
    if (!area(f) && touches(f, from, to) && get(a, f) != get(b, f)) add(f.name);
  }
  // The areas of the bytes that no finer field names.
  for (std::size_t i = from; i <= to; ++i) {
    const bool named = std::any_of(fields.begin(), fields.end(), [&](const Field& f) {
      return !area(f) && touches(f, i, i) && get(a, f) != get(b, f);
    });
    if (named) continue;
    for (const auto& f : fields) {
      if (area(f) && touches(f, i, i)) add(f.name);
    }
  }
  std::string out;
  for (const auto name : names) out += std::string(out.empty() ? "" : "、") + std::string(name);
  return out;
}

}  // namespace dimmwand::spd
