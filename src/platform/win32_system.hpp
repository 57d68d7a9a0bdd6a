// Small Win32 helpers shared by the Windows files: text conversion and system messages.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace dimmwand::win32 {

std::wstring wide(std::string_view text);      // from UTF-8 (WTF-8)
std::string narrow(std::wstring_view text);    // to UTF-8 (WTF-8)

// The system's message for an error code, in UTF-8, without surrounding white space.
std::string system_message(DWORD error);

}  // namespace dimmwand::win32
