// The console on Windows: UTF-8 output, and the arguments taken from the wide command line.
#include "platform/win32_system.hpp"  // windows.h, which shellapi.h needs first

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/console.hpp"

namespace dimmwand {

ProcessArgs::ProcessArgs(std::vector<std::string> args) : storage_(std::move(args)) {
  for (const auto& a : storage_) pointers_.push_back(a.c_str());
}

ProcessArgs prepare_console(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  // A line ends in "\n" alone, as on every other system: no "\r\n" translation by the C runtime.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  wchar_t** wide_args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide_args == nullptr) return ProcessArgs(std::vector<std::string>(argv, argv + argc));
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(win32::narrow(wide_args[i]));
  LocalFree(wide_args);
  return ProcessArgs(std::move(args));
}

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace dimmwand
