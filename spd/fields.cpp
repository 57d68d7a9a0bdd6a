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

// The extension blocks of DDR5 depend on what the image holds.
std::vector<Field> ddr5_extensions(Image image) {
  std::vector<Field> out;
  const auto block = [&](std::size_t at, std::size_t length, std::string_view name) {
    out.push_back({at, length, 0, Unit::Bytes, "", name});
  };
  if (model::has_xmp3(image)) {
    block(model::kXmp3Header, model::kXmp3Size - 2, "XMP 3.0 头");
    block(model::kXmp3Header + model::kXmp3Size - 2, 2, "XMP 3.0 头 CRC");
    static constexpr std::string_view kProfiles[] = {"XMP 配置 1", "XMP 配置 2", "XMP 配置 3", "XMP 配置 4", "XMP 配置 5"};
    static constexpr std::string_view kCrcs[] = {"XMP 配置 1 CRC", "XMP 配置 2 CRC", "XMP 配置 3 CRC", "XMP 配置 4 CRC",
                                                 "XMP 配置 5 CRC"};
    for (std::size_t n = 0; n < 5; ++n) {
      const std::size_t at = model::kXmp3Profile + model::kXmp3Size * n;
      if (model::has_expo(image) && (n == 2 || n == 3)) continue;
      block(at, model::kXmp3Size - 2, kProfiles[n]);
      block(at + model::kXmp3Size - 2, 2, kCrcs[n]);
    }
  }
  if (model::has_expo(image)) {
    block(model::kExpo, model::kExpoSize - 2, "EXPO");
    block(model::kExpo + model::kExpoSize - 2, 2, "EXPO CRC");
  }
  if (out.empty()) block(640, 384, "XMP / EXPO / 用户区");
  return out;
}

}  // namespace

Layout layout_of(DeviceType g) {
  switch (g) {
    case DeviceType::DDR3: return ddr3::kLayout;
    case DeviceType::DDR4: return ddr4::kLayout;
    case DeviceType::DDR5: return ddr5::kLayout;
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
