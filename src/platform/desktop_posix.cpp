#include "platform/desktop.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <span>
#include <thread>

#include "platform/posix_system.hpp"

extern char** environ;

namespace dimmwand {
namespace {

using posix::system_message;

// A folder only this user can enter: the session's runtime folder (XDG_RUNTIME_DIR, made so by
// the system), else ~/.cache/dimmwand-ui, made and kept at mode 0700. A folder someone else owns,
// or a link in its place, is refused.
std::expected<std::filesystem::path, std::string> private_folder() {
  std::filesystem::path folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    folder = runtime;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    folder = std::filesystem::path(home) / ".cache";
    mkdir(folder.c_str(), 0700);  // may exist already: only the folder inside it must be ours
    folder /= "dimmwand-ui";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::unexpected(system_message(errno));
  } else {
    return std::unexpected("既没有 XDG_RUNTIME_DIR，也没有 HOME");
  }
  struct stat st{};
  if (lstat(folder.c_str(), &st) != 0) return std::unexpected(system_message(errno));
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    return std::unexpected(folder.string() + " 不是只有本用户能进入的文件夹");
  }
  return folder;
}

}  // namespace

std::expected<std::filesystem::path, std::string> open_in_browser(const std::string& url, const std::string& name) {
  const auto folder = private_folder();
  if (!folder) return std::unexpected(folder.error());
  const auto page = *folder / name;
  unlink(page.c_str());  // one left by a program that did not end cleanly
  const int fd = open(page.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return std::unexpected(system_message(errno));
  const std::string text = forwarding_page(url);
  const bool written = posix::write_all(fd, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  const int error = errno;
  close(fd);
  if (!written) return std::unexpected(system_message(error));
  // xdg-open returns once the browser is started (or hands the file to a running one); it is
  // reaped on a thread of its own so that the server never waits for it.
  std::string program = "xdg-open";
  std::string address = page.string();
  char* argv[] = {program.data(), address.data(), nullptr};
  pid_t pid = 0;
  if (const int rc = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ); rc != 0) {
    return std::unexpected(system_message(rc));
  }
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return page;
}

std::filesystem::path documents_folder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  return std::filesystem::current_path();
}

}  // namespace dimmwand
