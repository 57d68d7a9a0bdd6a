#include "model/spd_image.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "model/crc16.hpp"

namespace dimmwand::model {
namespace {

std::string size_mismatch(DeviceType g, std::size_t size) {
  const auto n = generation(g);
  if (size < spd_size(g))
    return fmt::format("映像不完整: DDR{} SPD 为 {} 字节，文件只有 {} 字节", n, spd_size(g), size);
  return fmt::format("文件 {} 字节，大于 DDR{} SPD 的 {} 字节", size, n, spd_size(g));
}

Checksum block(Image image, std::string_view id, std::string_view name, std::size_t from, std::size_t to,
               std::size_t at) {
  return {std::string(id), std::string(name), from, to, at, u16(image, at), crc16(image.subspan(from, to - from + 1))};
}

Checksum block(Image image, const Block& b) { return block(image, b.id, b.crc_label, b.from, b.to(), b.at); }

bool blank(Image bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x00; }) ||
         std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

std::expected<DeviceType, std::string> identify(Image image, std::optional<DeviceType> given) {
  if (image.empty()) return std::unexpected("文件为空");
  if (given) {
    if (image.size() != spd_size(*given)) return std::unexpected(size_mismatch(*given, image.size()));
    return *given;
  }
  if (image.size() <= kKeyByte) {
    return std::unexpected(fmt::format("映像不完整: 只有 {} 字节，没有内存类型字节 (字节 2)", image.size()));
  }
  const std::uint8_t type = image[kKeyByte];
  if (const auto by_type = generation_of_key(type)) {
    if (image.size() != spd_size(*by_type)) return std::unexpected(size_mismatch(*by_type, image.size()));
    return *by_type;
  }
  if (generation_of_size(image.size())) {
    if (const auto other = other_memory_type(type)) {
      return std::unexpected(fmt::format(
          "内存类型为 {}（字节 2 = 0x{:02X}）：不支持解读，只支持 DDR3、DDR4 与 DDR5 的 SPD", *other, type));
    }
    return std::unexpected(fmt::format(
        "未知内存类型 0x{:02X} (字节 2)；如确为 DDR3、DDR4 或 DDR5 映像，请在命令行给出类型 3 | 4 | 5", type));
  }
  return std::unexpected(
      fmt::format("文件大小 {} 字节不符合任何 SPD（DDR3 256、DDR4 512、DDR5 1024 字节）{}", image.size(),
                  image.size() == kRegAreaSize ? "；128 字节的是 DDR5 REG 区映像，它不带校验和" : ""));
}

bool is_ddr5_first_half(Image image) {
  return image.size() == kDdr5FirstHalf && image[kKeyByte] == key_byte(DeviceType::DDR5);
}

// The signatures of the extension blocks: see blocks.hpp.
bool has_xmp3(Image image) {
  return image.size() >= kXmp3Header + kXmp3Size && image[kXmp3Header] == 0x0C && image[kXmp3Header + 1] == 0x4A &&
         (image[kXmp3Header + 2] & 0xF0) == 0x30;
}

bool has_expo(Image image) {
  return image.size() >= kExpo + kExpoSize && image[kExpo] == 'E' && image[kExpo + 1] == 'X' &&
         image[kExpo + 2] == 'P' && image[kExpo + 3] == 'O';
}

namespace {

struct Survey {
  std::vector<Checksum> checked;
  std::vector<SkippedBlock> skipped;
};

Survey survey(Image image, DeviceType g) {
  Survey out;
  switch (g) {
    case DeviceType::DDR3:
      // Byte 0 bit 7 set: the CRC covers bytes 0-116 only.
      out.checked.push_back(block(image, "base", "基本区 CRC", 0, (image[0] & 0x80) != 0 ? 116 : 125, 126));
      break;
    case DeviceType::DDR4:
      out.checked.push_back(block(image, "base", "基本区 CRC", 0, 125, 126));
      out.checked.push_back(block(image, "module", "模块区 CRC", 128, 253, 254));
      break;
    case DeviceType::DDR5: {
      out.checked.push_back(block(image, "base", "基本区 CRC", 0, 509, 510));
      if (image.size() < spd_size(g)) {
        out.skipped.push_back({"upper_half",
                               fmt::format("字节 {}-{}（制造信息、XMP 与 EXPO 区）", image.size(), spd_size(g) - 1),
                               "映像中没有"});
        break;
      }
      const bool expo = has_expo(image);
      if (has_xmp3(image)) {
        out.checked.push_back(block(image, kXmp3HeaderBlock));
        const std::uint8_t enabled = image[kXmp3Header + 3];
        for (std::size_t n = 1; n <= kXmp3Profiles; ++n) {
          const Block& b = xmp3_profile(n);
          const std::string id(b.id), name(b.label);
          if (expo && under_expo(n)) {
            out.skipped.push_back({id, name, "此处为 EXPO 数据"});
            continue;
          }
          auto c = block(image, b);
          if (n <= 3) {
            if ((enabled >> (n - 1) & 1) != 0)
              out.checked.push_back(std::move(c));
            else
              out.skipped.push_back({id, name, "未启用"});
          } else if (blank(image.subspan(b.from, b.end() - b.from))) {
            out.skipped.push_back({id, name, "未启用（空白）"});
          } else if (c.ok()) {
            out.checked.push_back(std::move(c));
          } else {
            // A user profile has no enable bit: only its own checksum tells it from vendor data.
            out.skipped.push_back(
                {id, name, "未识别（不是校验和成立的 XMP 用户配置，可能是厂商数据），不检查、不修正"});
          }
        }
      }
      if (expo) out.checked.push_back(block(image, kExpoBlock));
      break;
    }
  }
  return out;
}

}  // namespace

std::vector<Checksum> checksums(Image image, DeviceType g) { return survey(image, g).checked; }

std::vector<SkippedBlock> skipped_blocks(Image image, DeviceType g) { return survey(image, g).skipped; }

std::vector<Checksum> fix_checksums(std::vector<std::uint8_t>& image, DeviceType g) {
  std::vector<Checksum> changed;
  // One at a time and in order: a fixed JEDEC CRC never lies inside an extension block, but
  // recomputing each after the last was stored keeps that true by construction.
  for (auto& c : checksums(image, g)) {
    auto now = c;
    now.stored = u16(image, c.at);
    now.computed = crc16(Image(image).subspan(c.from, c.to - c.from + 1));
    if (now.ok()) continue;
    image[c.at] = static_cast<std::uint8_t>(now.computed & 0xFF);
    image[c.at + 1] = static_cast<std::uint8_t>(now.computed >> 8);
    changed.push_back(now);
  }
  return changed;
}

const Checksum* find_checksum(const std::vector<Checksum>& sums, std::string_view id) {
  const auto it = std::find_if(sums.begin(), sums.end(), [&](const Checksum& c) { return c.id == id; });
  return it != sums.end() ? &*it : nullptr;
}

std::string profile_id(ProfileKind k, unsigned n) { return fmt::format("{}{}", id_of(k), n); }

}  // namespace dimmwand::model
