#include "platform/desktop.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace dimmwand {

bool open_in_browser(const std::string& url) {
  // xdg-open returns once the browser is started (or hands the address to a running one); it is
  // reaped on a thread of its own so that the server never waits for it.
  std::string program = "xdg-open";
  std::string address = url;
  char* argv[] = {program.data(), address.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

std::filesystem::path documents_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  return std::filesystem::current_path();
}

}  // namespace dimmwand
