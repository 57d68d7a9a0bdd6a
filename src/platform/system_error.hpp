// The system's errors in the user's words: one table of what POSIX errno values and Windows
// error codes mean, in Chinese, with the system's own text kept after it. Every message the
// platform layer gives (a file, a port, a stream) comes through here.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace dimmwand {

// "找不到文件或文件夹（No such file or directory）": the table's words for an errno value, then the
// system's text in parentheses; "系统错误 {code}（…）" for a value the table lacks. A system text
// that is Chinese already (a Chinese Windows) is given alone.
std::string errno_text(int code, std::string_view system_text);

// The same for a Windows error code (GetLastError, FormatMessage's text).
std::string windows_error_text(unsigned long code, std::string_view system_text);

// This system's error as an error_code carries it (std::filesystem's): an errno value, or on
// Windows a system error code.
std::string system_error_text(const std::error_code& error);

}  // namespace dimmwand
