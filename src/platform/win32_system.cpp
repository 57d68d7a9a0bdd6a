#include "platform/win32_system.hpp"

#include "platform/system_error.hpp"

#include "text/utf16.hpp"
#include "text/utf8.hpp"

namespace dimmwand::win32 {

std::wstring wide(std::string_view text) {
  const std::u16string w = text::utf16_from_wtf8(text);
  return {w.begin(), w.end()};
}

std::string narrow(std::wstring_view text) {
  return text::wtf8_from_utf16({reinterpret_cast<const char16_t*>(text.data()), text.size()});
}

std::string system_message(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (n == 0 || buffer == nullptr) return windows_error_text(error, "");
  const std::string message = narrow({buffer, n});
  LocalFree(buffer);
  return windows_error_text(error, text::trim_white_space(message));
}

std::expected<std::vector<std::uint8_t>, DWORD> read_all(HANDLE h, std::size_t limit) {
  std::vector<std::uint8_t> data(limit);
  std::size_t got = 0;
  while (got < limit) {
    DWORD n = 0;
    if (!ReadFile(h, data.data() + got, static_cast<DWORD>(limit - got), &n, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;  // the writer of a pipe is done
      return std::unexpected(error);
    }
    if (n == 0) break;
    got += n;
  }
  data.resize(got);
  return data;
}

bool write_all(HANDLE h, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

}  // namespace dimmwand::win32

namespace dimmwand {

// The standard library of mingw-w64 gives std::filesystem's errors either as Windows codes
// (system_category) or as errno values (generic_category).
std::string system_error_text(const std::error_code& error) {
  if (error.category() == std::system_category()) return win32::system_message(static_cast<DWORD>(error.value()));
  return errno_text(error.value(), error.message());
}

}  // namespace dimmwand
