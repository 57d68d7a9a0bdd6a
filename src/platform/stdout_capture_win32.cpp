#include "platform/stdout_capture.hpp"

#include <io.h>

#include <cstdio>

namespace dimmwand {

std::optional<std::string> capture_standard_output(const std::function<void()>& f) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return std::nullopt;
  std::fflush(stdout);
  const int out = _fileno(stdout);
  const int saved = _dup(out);
  if (saved < 0 || _dup2(_fileno(file), out) < 0) {
    if (saved >= 0) _close(saved);
    std::fclose(file);
    return std::nullopt;
  }
  f();
  std::fflush(stdout);
  _dup2(saved, out);
  _close(saved);
  std::string text;
  std::rewind(file);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  return text;
}

}  // namespace dimmwand
