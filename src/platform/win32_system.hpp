// Small Win32 helpers shared by the Windows files: text conversion, system messages, and reading
// and writing a handle whole.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dimmwand::win32 {

std::wstring wide(std::string_view text);    // from UTF-8 (WTF-8)
std::string narrow(std::wstring_view text);  // to UTF-8 (WTF-8)

// The system's message for an error code, in the words of system_error.hpp's table; the system's
// own text in UTF-8, without surrounding white space.
std::string system_message(DWORD error);

// Reads `h` to its end (a pipe: until its writer closes it), at most `limit` bytes; an error
// gives its code.
std::expected<std::vector<std::uint8_t>, DWORD> read_all(HANDLE h, std::size_t limit);

// Writes all of `bytes` to `h`; false on an error, whose code GetLastError() then gives.
bool write_all(HANDLE h, std::span<const std::uint8_t> bytes);

}  // namespace dimmwand::win32
