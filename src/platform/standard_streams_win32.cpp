// The standard streams on Windows: the handles themselves, so that no text mode turns a 0x0A
// byte into two or stops at 0x1A.
#include "platform/standard_streams.hpp"
#include "platform/win32_system.hpp"

#include <cstdio>

namespace dimmwand {

std::expected<std::vector<std::uint8_t>, std::string> read_standard_input(std::size_t limit) {
  const HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return std::unexpected(win32::system_message(ERROR_INVALID_HANDLE));
  auto data = win32::read_all(h, limit);
  if (!data) return std::unexpected(win32::system_message(data.error()));
  return std::move(*data);
}

std::expected<void, std::string> write_standard_output(std::span<const std::uint8_t> bytes) {
  std::fflush(stdout);
  const HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return std::unexpected(win32::system_message(ERROR_INVALID_HANDLE));
  if (!win32::write_all(h, bytes)) return std::unexpected(win32::system_message(GetLastError()));
  return {};
}

bool stdout_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace dimmwand
