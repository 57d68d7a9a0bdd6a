#include "spd/input.hpp"

#include <fmt/format.h>

#include "image/text_chars.hpp"
#include "image/text_dump.hpp"
#include "platform/image_file.hpp"
#include "platform/standard_streams.hpp"

namespace dimmwand::spd {
namespace {

constexpr std::size_t kLargestImage = 64 * 1024;  // far above any SPD; larger files are refused unread
// A text dump shows each byte in about four characters and more: room for one of the largest image.
constexpr std::size_t kLargestText = 16 * kLargestImage;

constexpr std::string_view kStandardInput = "-";

}  // namespace

Result<std::vector<std::uint8_t>> load_image(const std::string& path) {
  const bool from_stdin = path == kStandardInput;
  const std::string name = from_stdin ? "标准输入" : path;
  auto data = from_stdin ? read_standard_input(kLargestText + 1) : read_image(path, kLargestText + 1);
  if (!data) return std::unexpected(DeviceError::file(FileFailure::Action::Read, name, data.error()));
  const std::string is =
      static_cast<unsigned char>(name.back()) < 0x80 ? " 是" : "是";  // a space after a Latin name only
  // A text is never taken for the raw bytes of an image: it is a dump, or it is refused.
  if (!data->empty() && image::as_text(*data)) {
    auto text = image::read_text_dump(*data);
    if (!text) {
      return std::unexpected(
          DeviceError::other(fmt::format("{}文本，认不出其中的十六进制转储（认得 dimmwand read、i2cdump、"
                                         "hexdump -C、xxd 的输出和十六进制字节），不是映像",
                                         name + is)));
    }
    if (!*text)
      return std::unexpected(
          DeviceError::other(fmt::format("{}文本，{}", name + is, image::unparsed_text(text->error()))));
    fmt::print(stderr, "提示: {}文本（{}），读出 {} 字节\n", name + is, image::form_name((*text)->form),
               (*text)->bytes.size());
    if (!(*text)->skipped.empty())
      fmt::print(stderr, "提示: 跳过了转储前后的其他文字（{}）\n", image::line_list((*text)->skipped));
    std::fflush(stderr);
    return std::move((*text)->bytes);
  }
  // Nor is a text in a local code page, which decodes as nothing above.
  if (image::local_code_page_text(*data)) {
    return std::unexpected(
        DeviceError::other(
            fmt::format("{}文本（不是 UTF-8、UTF-16 或 UTF-32，像是 GBK 等本地编码），不是映像", name + is))
            .note("提示: 用编辑器另存为 UTF-8 后再试；十六进制转储可以直接读"));
  }
  if (data->size() > kLargestImage) {
    return std::unexpected(
        DeviceError::other(fmt::format("{}{}大于 64 KiB，不是 SPD 映像", name, from_stdin ? "" : " ")));
  }
  return std::move(*data);
}

Result<> save_output(const std::string& path, std::span<const std::uint8_t> image, bool force) {
  const auto exists = [&] {
    return DeviceError::other(fmt::format("{} 已存在；要替换它请加 --force；未写入文件", path));
  };
  if (!force && path_exists(path)) return std::unexpected(exists());
  if (auto saved = force ? save_image(path, image) : save_new_image(path, image); !saved) {
    if (!force && path_exists(path)) return std::unexpected(exists());  // it came between the look and the save
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, path, saved.error()));
  }
  return {};
}

Result<> stdout_takes_image() {
  if (!stdout_is_terminal()) return {};
  return std::unexpected(DeviceError::other("不把二进制映像打印到终端：用 -o 文件，或把标准输出重定向到文件或管道"));
}

Result<> write_image_to_stdout(std::span<const std::uint8_t> image) {
  if (auto ok = stdout_takes_image(); !ok) return ok;
  if (auto written = write_standard_output(image); !written) {
    return std::unexpected(DeviceError::file(FileFailure::Action::Write, "标准输出", written.error()));
  }
  return {};
}

}  // namespace dimmwand::spd
