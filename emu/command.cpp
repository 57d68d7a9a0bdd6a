// The command the emulator runs against its port: {port} filled in, found on the PATH.
#include "command.hpp"

#include <spawn.h>

extern char** environ;

namespace dimmwand::emu {

std::expected<pid_t, int> spawn(std::vector<std::string> command, const std::string& port) {
  for (auto& arg : command) {
    for (std::size_t at; (at = arg.find("{port}")) != std::string::npos;) arg.replace(at, 6, port);
  }
  std::vector<char*> argv;
  for (auto& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int rc = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ); rc != 0) {
    return std::unexpected(rc);
  }
  return pid;
}

}  // namespace dimmwand::emu
