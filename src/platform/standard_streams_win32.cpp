// The standard streams on Windows: the handles themselves, so that no text mode turns a 0x0A
// byte into two or stops at 0x1A.
#include "platform/standard_streams.hpp"
#include "platform/win32_system.hpp"

#include <cstdio>

namespace dimmwand {

std::expected<std::vector<std::uint8_t>, std::string> read_standard_input(std::size_t limit) {
  const HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return std::unexpected(win32::system_message(ERROR_INVALID_HANDLE));
  std::vector<std::uint8_t> data(limit);
  std::size_t got = 0;
  while (got < limit) {
    DWORD n = 0;
    if (!ReadFile(h, data.data() + got, static_cast<DWORD>(limit - got), &n, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;  // the writer of a pipe is done
      return std::unexpected(win32::system_message(error));
    }
    if (n == 0) break;
    got += n;
  }
  data.resize(got);
  return data;
}

std::expected<void, std::string> write_standard_output(std::span<const std::uint8_t> bytes) {
  std::fflush(stdout);
  const HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return std::unexpected(win32::system_message(ERROR_INVALID_HANDLE));
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      return std::unexpected(win32::system_message(GetLastError()));
    }
    bytes = bytes.subspan(written);
  }
  return {};
}

bool stdout_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace dimmwand
