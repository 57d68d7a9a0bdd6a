#include "platform/desktop.hpp"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <fstream>
#include <optional>

namespace dimmwand {
namespace {

// A known folder of the user (Documents, the local application data), or nullopt.
std::optional<std::filesystem::path> known_folder(const KNOWNFOLDERID& id) {
  PWSTR path = nullptr;
  std::optional<std::filesystem::path> folder;
  if (SHGetKnownFolderPath(id, 0, nullptr, &path) == S_OK) folder = std::filesystem::path(path);
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::expected<std::filesystem::path, std::string> open_in_browser(const std::string& url, const std::string& name) {
  // The local application data of the user's profile, which other users cannot read.
  const auto local = known_folder(FOLDERID_LocalAppData);
  if (!local) return std::unexpected("找不到本用户的应用数据文件夹");
  const auto folder = *local / "dimmwand-ui";
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  const auto page = folder / name;
  {
    std::ofstream out(page, std::ios::binary | std::ios::trunc);
    out << forwarding_page(url);
    if (!out.flush()) return std::unexpected("无法写入 " + page.string());
  }
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", page.wstring().c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) return std::unexpected("无法打开浏览器");
  return page;
}

std::filesystem::path documents_folder() {
  if (auto folder = known_folder(FOLDERID_Documents)) return *folder;
  return std::filesystem::current_path();
}

}  // namespace dimmwand
