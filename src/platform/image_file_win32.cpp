// Image files on Windows: wide paths, and a replacement through a temporary file beside the
// target that MoveFileEx puts in its place.
#include <vector>

#include "platform/image_file.hpp"
#include "platform/win32_system.hpp"

namespace dimmwand {
namespace {

std::unexpected<std::string> last_error() { return std::unexpected(win32::system_message(GetLastError())); }

std::expected<void, std::string> write_to(const std::wstring& path, DWORD disposition,
                                          std::span<const std::uint8_t> bytes, bool flush) {
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error();
  const bool ok = win32::write_all(h, bytes) && (!flush || FlushFileBuffers(h));
  const DWORD error = GetLastError();
  CloseHandle(h);
  if (!ok) return std::unexpected(win32::system_message(error));
  return {};
}

}  // namespace

std::expected<std::vector<std::uint8_t>, std::string> read_image(const std::string& path, std::size_t limit) {
  const HANDLE h = CreateFileW(win32::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error();
  auto data = win32::read_all(h, limit);
  CloseHandle(h);
  if (!data) return std::unexpected(win32::system_message(data.error()));
  return std::move(*data);
}

namespace {

// Writes `bytes` to a temporary file beside `target`, flushed, and moves it there; without
// MOVEFILE_REPLACE_EXISTING in `flags` an existing target makes the move fail and stays.
std::expected<void, std::string> save_through_temporary(const std::wstring& target, std::span<const std::uint8_t> bytes,
                                                        DWORD flags) {
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash + 1);
  wchar_t temp[MAX_PATH + 1];
  if (GetTempFileNameW(folder.c_str(), L"dw", 0, temp) == 0) return last_error();
  if (auto written = write_to(temp, CREATE_ALWAYS, bytes, true); !written) {
    DeleteFileW(temp);
    return written;
  }
  if (!MoveFileExW(temp, target.c_str(), flags | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp);
    return std::unexpected(win32::system_message(error));
  }
  return {};
}

}  // namespace

bool path_exists(const std::string& path) {
  return GetFileAttributesW(win32::wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::expected<void, std::string> save_new_image(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path_exists(path)) return std::unexpected(win32::system_message(ERROR_FILE_EXISTS));
  return save_through_temporary(win32::wide(path), bytes, 0);
}

std::expected<void, std::string> save_image(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::wstring target = win32::wide(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::unexpected(win32::system_message(ERROR_ACCESS_DENIED));
  }
  // Devices (CON, NUL, COM ports) and pipes are not files to replace: write to them directly.
  const HANDLE probe =
      CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(probe);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) return write_to(target, OPEN_EXISTING, bytes, false);
  }
  return save_through_temporary(target, bytes, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace dimmwand
