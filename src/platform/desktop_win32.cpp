#include "platform/desktop.hpp"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "text/utf16.hpp"

namespace dimmwand {

bool open_in_browser(const std::string& url) {
  const auto wide = text::utf16_from_wtf8(url);
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(wide.c_str()), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

std::filesystem::path documents_folder() {
  PWSTR path = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path) == S_OK) {
    std::filesystem::path folder(path);
    CoTaskMemFree(path);
    return folder;
  }
  CoTaskMemFree(path);
  return std::filesystem::current_path();
}

}  // namespace dimmwand
