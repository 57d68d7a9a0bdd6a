#include "commands/image_checks.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "commands/write_report.hpp"
#include "image/text_chars.hpp"
#include "image/text_dump.hpp"
#include "model/hub.hpp"
#include "model/spd_image.hpp"

namespace dimmwand {

namespace {

constexpr std::size_t kOpeningShown = 40;  // bytes of a text's first line quoted in the refusal

// The first line of a text that holds something, cut to a few words (at a character's start).
std::string opening_line(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    auto line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && image::is_line_space(line.back())) line.remove_suffix(1);
    while (!line.empty() && image::is_line_space(line.front())) line.remove_prefix(1);
    if (line.empty()) continue;
    if (line.size() <= kOpeningShown) return std::string(line);
    std::size_t cut = kOpeningShown;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    return std::string(line.substr(0, cut)) + "…";
  }
  return {};
}

}  // namespace

Result<> refuse_text_dump(std::span<const std::uint8_t> file, const WriteArgs& args) {
  // Every text is refused, not only a dump that parses: a title line, a prompt or a note above
  // a dump once made it pass for binary, and its characters went onto the module.
  const auto text = image::as_text(file);
  if (!text && image::local_code_page_text(file)) {
    return std::unexpected(
        DeviceError::other(
            fmt::format("{} 是文本（不是 UTF-8、UTF-16 或 UTF-32，像是 GBK 等本地编码），不是原始映像，未写入任何字节",
                        args.input))
            .note(fmt::format("提示: 用编辑器另存为 UTF-8，再用 dimmwand-spd convert {} -o 映像.bin 转成二进制映像",
                              typed(args.input))));
  }
  if (!text) return {};
  const auto dump = image::read_text_dump(file);
  std::string what;
  if (!dump) {
    const std::string line = opening_line(*text);
    what = fmt::format("{} 是文本（认不出其中的十六进制转储{}），不是原始映像", args.input,
                       line.empty() ? "" : fmt::format("；第一行为“{}”", line));
  } else if (!*dump) {
    what = fmt::format("{} 是文本，{}，不是原始映像", args.input, image::unparsed_text(dump->error()));
  } else {
    const auto& d = **dump;
    what = fmt::format("{} 是文本（{}，{} 字节{}），不是原始映像", args.input, image::form_name(d.form), d.bytes.size(),
                       d.skipped.empty() ? "" : fmt::format("；另有不属于转储的文字: {}", image::line_list(d.skipped)));
  }
  // Only a raw image can be written; the text's characters would land on the module instead.
  const std::string hint =
      dump ? fmt::format(
                 "提示: 文本转储不能直接写入；先用 dimmwand-spd convert {} -o 映像.bin 转成二进制映像，"
                 "写入时用 -i 给出它",
                 typed(args.input))
           : "提示: 只能写入二进制映像（如 dimmwand read -o 保存的文件）；十六进制转储可先用 "
             "dimmwand-spd convert 转成二进制映像";
  return std::unexpected(DeviceError::other(what + "，未写入任何字节").note(hint));
}

Result<> refuse_other_memory_type(std::span<const std::uint8_t> image, const WriteArgs& args) {
  if (args.common.mode == DataMode::Reg || args.check || args.force || image.size() <= kKeyByte) return {};
  const DeviceType device = args.common.device;
  const unsigned n = generation(device);
  const std::string force = fmt::format("确要写入 DDR{} 的 SPD 区（例如写回损坏模块的备份），加 --force", n);
  // A REG image's byte 2 is the hub's revision, no key byte: say what the file is.
  if (image.size() == kRegAreaSize && hub::is_spd5118(image)) {
    return std::unexpected(
        DeviceError::other(
            fmt::format("映像是 DDR5 的 REG 区映像（128 字节，MR0-MR1 = 51 18），命令写的是 DDR{} 的 SPD 区；未写入",
                        n))
            .note(fmt::format("提示: {}{}", device == DeviceType::DDR5 ? "写 REG 区要加 -t reg；" : "", force)));
  }
  const auto* type = memory_type(image[kKeyByte]);
  if (type == nullptr || type->area == device) return {};
  return std::unexpected(
      DeviceError::other(
          fmt::format("映像是 {} 的 SPD（第 2 字节 = 0x{:02X}），命令给的是 DDR{}；未写入", type->name, type->key, n))
          .note(type->area
                    ? fmt::format("提示: 模块若是 {}，DEVICE 给 {}；{}", type->name, generation(*type->area), force)
                    : "提示: " + force));
}

std::expected<void, std::string> check_spd_image(std::span<const std::uint8_t> image, DeviceType device) {
  const std::size_t size = spd_size(device);
  const unsigned n = generation(device);
  const std::optional<std::uint8_t> key = image.size() > kKeyByte ? std::optional(image[kKeyByte]) : std::nullopt;
  // Another generation's key byte says the most; a REG image's byte 2 is only a register.
  const bool reg_sized = device == DeviceType::DDR5 && image.size() == kRegAreaSize;
  if (const auto other = key ? generation_of_key(*key) : std::nullopt; other && *other != device && !reg_sized) {
    return std::unexpected(
        fmt::format("字节 2（内存类型）为 0x{:02X}，是 DDR{} 映像，不是 DDR{}", *key, generation(*other), n));
  }
  if (image.size() != size) {
    return std::unexpected(fmt::format("文件 {} 字节，DDR{} SPD 区为 {} 字节{}", image.size(), n, size,
                                       reg_sized ? "；128 字节的像是 REG 区映像，写 REG 区要加 -t reg" : ""));
  }
  if (const std::uint8_t stored = image[kKeyByte]; stored != key_byte(device)) {
    return std::unexpected(
        fmt::format("字节 2（内存类型）为 0x{:02X}，不是 DDR{} 的 0x{:02X}", stored, n, key_byte(device)));
  }
  std::string wrong;
  for (const auto& c : model::checksums(image, device)) {
    if (c.ok()) continue;
    wrong += fmt::format("{}{} 错误（字节 {}-{}，存储 0x{:04X}，计算 0x{:04X}）", wrong.empty() ? "" : "；", c.name,
                         c.from, c.to, c.stored, c.computed);
  }
  if (!wrong.empty()) return std::unexpected(wrong + "；dimmwand-spd fix 可以重算校验和");
  return {};
}

std::expected<void, std::string> check_reg_image(std::span<const std::uint8_t> image) {
  if (image.size() != kRegAreaSize) {
    return std::unexpected(fmt::format("文件 {} 字节，REG 区为 {} 字节", image.size(), kRegAreaSize));
  }
  if (!hub::is_spd5118(image)) {
    return std::unexpected(fmt::format("MR0-MR1 为 {:02X} {:02X}，不是 SPD5118 集线器的 51 18",
                                       image[hub::kDeviceTypeHigh], image[hub::kDeviceTypeLow]));
  }
  return {};
}

std::expected<void, std::string> check_reg_protection(std::span<const std::uint8_t> image,
                                                      std::span<const std::uint8_t> module, bool allowed) {
  const auto added = static_cast<std::uint16_t>(hub::protected_blocks(image) & ~hub::protected_blocks(module));
  if (added == 0 || allowed) return {};
  return std::unexpected(
      fmt::format("映像会把块 {} 设为写保护（映像 MR12={:02X} MR13={:02X}，模块现为 MR12={:02X} MR13={:02X}）；"
                  "块写保护只能在 SPD 集线器的脱机模式下清除（模块 HSA 引脚接地），确要设置请加 --protect",
                  hub::block_list(added), image[hub::kProtectLow], image[hub::kProtectHigh], module[hub::kProtectLow],
                  module[hub::kProtectHigh]));
}

DeviceError image_refused(const std::string& reason) { return DeviceError::other("映像检查未通过: " + reason); }

}  // namespace dimmwand
