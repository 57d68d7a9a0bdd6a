#include "platform/stdout_capture.hpp"

#include <unistd.h>

#include <cstdio>

namespace dimmwand {

std::optional<std::string> capture_standard_output(const std::function<void()>& f) {
  std::FILE* file = std::tmpfile();
  if (file == nullptr) return std::nullopt;
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  if (saved < 0 || dup2(fileno(file), STDOUT_FILENO) < 0) {
    if (saved >= 0) close(saved);
    std::fclose(file);
    return std::nullopt;
  }
  f();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string out;
  std::rewind(file);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) out.append(buffer, n);
  std::fclose(file);
  return out;
}

}  // namespace dimmwand
