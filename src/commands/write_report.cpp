#include "commands/write_report.hpp"

#include <fmt/format.h>

#include "platform/image_file.hpp"

namespace dimmwand {
namespace {

// "fb.bin" → "fb-2.bin", or the first of "fb-3.bin", "fb-4.bin", … that does not exist yet.
std::string free_name(const std::string& path) {
  const std::size_t name = path.find_last_of("/\\") == std::string::npos ? 0 : path.find_last_of("/\\") + 1;
  const std::size_t dot = path.rfind('.');
  const std::size_t split = dot != std::string::npos && dot > name ? dot : path.size();
  std::string candidate;
  for (int n = 2; n < 1000; ++n) {
    candidate = fmt::format("{}-{}{}", path.substr(0, split), n, path.substr(split));
    if (!path_exists(candidate)) break;
  }
  return candidate;
}

}  // namespace

std::string typed(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789._-/\\:") == std::string::npos;
  return plain ? word : fmt::format("\"{}\"", word);
}

bool careful(const WriteArgs& args) { return args.verify || args.changed || args.backup || args.check; }

std::string area_words(const WriteArgs& args) {
  return fmt::format("{} {}{}", typed(args.common.port), generation(args.common.device),
                     args.common.mode == DataMode::Reg ? " -t reg" : "");
}

std::string restore_hint(const WriteArgs& args) {
  return fmt::format("写入前的内容已备份在 {}，写回: dimmwand write {} -i {} --verify", *args.backup, area_words(args),
                     typed(*args.backup));
}

DeviceError after_frames(DeviceError e, std::size_t written, std::size_t total, const WriteArgs& args,
                         const char* unverified) {
  if (!careful(args)) return e;
  e.note(fmt::format("已写入 {} / {} 字节{}", written, total, unverified));
  if (args.backup && written > 0) e.note(restore_hint(args));
  return e;
}

DeviceError interrupted_after(std::size_t written, std::size_t total, const WriteArgs& args, const char* unverified) {
  auto e = DeviceError::interrupted(fmt::format("已中断: 已写入 {} / {} 字节{}", written, total, unverified));
  if (args.backup) e.note(restore_hint(args));
  return e;
}

DeviceError before_writing(DeviceError e) {
  return e.is_interrupted() ? DeviceError::interrupted("已中断: 未写入任何字节") : std::move(e);
}

DeviceError backup_exists(const std::string& path) {
  if (is_folder(path)) {
    // A name inside it, written with the separator the user wrote.
    const bool backslash = path.find('\\') != std::string::npos && path.find('/') == std::string::npos;
    const bool ends = path.ends_with('/') || path.ends_with('\\');
    const std::string inside = path + (ends ? "" : backslash ? "\\" : "/") + "backup.bin";
    return DeviceError::other(fmt::format("--backup 给的 {} 是文件夹；备份存为一个新文件", path))
        .note(fmt::format("提示: 给出文件名，如 --backup {}", typed(path_exists(inside) ? free_name(inside) : inside)));
  }
  return DeviceError::other(fmt::format("备份文件已存在: {}", path))
      .note(fmt::format("提示: 备份从不覆盖已有的文件；换一个名字，如 --backup {}", typed(free_name(path))));
}

}  // namespace dimmwand
