#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/image_file.hpp"
#include "platform/image_file_seam.hpp"
#include "platform/posix_system.hpp"

namespace dimmwand {
namespace {

using posix::system_message;
using posix::write_all;

std::expected<void, std::string> write_directly(const std::string& path, std::span<const std::uint8_t> bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return std::unexpected(system_message(errno));
  const bool ok = write_all(fd, bytes);
  const int write_error = errno;
  if (close(fd) != 0 && ok) return std::unexpected(system_message(errno));
  if (!ok) return std::unexpected(system_message(write_error));
  return {};
}

mode_t creation_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

enum class Replace { Yes, No };

int sync_file(int fd) { return fsync(fd) == 0 ? 0 : errno; }

int rename_replacing(const char* temp, const char* target) { return rename(temp, target) == 0 ? 0 : errno; }

// Without replacing: a file that appeared at `target` in the meantime stays, and the move fails
// with EEXIST.
int rename_new(const char* temp, const char* target) {
#ifdef __linux__
  if (renameat2(AT_FDCWD, temp, AT_FDCWD, target, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // Where the file system cannot rename without replacing: a hard link fails on an existing name.
  if (link(temp, target) != 0) return errno;
  unlink(temp);
  return 0;
}

int move_into_place(const std::string& temp, const std::string& target, Replace replace) {
  const auto& calls = save_calls();
  return replace == Replace::Yes ? calls.replace(temp.c_str(), target.c_str())
                                 : calls.move_new(temp.c_str(), target.c_str());
}

// Writes `bytes` to a temporary file beside `target`, flushes it to the disk, and moves it to
// `target`. On any failure the temporary file is removed and `target` is untouched.
std::expected<void, std::string> save_through_temporary(const std::string& target, std::span<const std::uint8_t> bytes,
                                                        mode_t mode, Replace replace) {
  const auto slash = target.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + ".dimmwand-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return std::unexpected(system_message(errno));
  const auto fail = [&](int error) {
    close(fd);
    unlink(temp.c_str());
    return std::unexpected(system_message(error));
  };
  if (fchmod(fd, mode) != 0) return fail(errno);
  if (!write_all(fd, bytes)) return fail(errno);
  if (const int error = save_calls().sync(fd); error != 0) return fail(error);
  if (close(fd) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    return std::unexpected(system_message(error));
  }
  if (const int error = move_into_place(temp, target, replace); error != 0) {
    unlink(temp.c_str());
    return std::unexpected(system_message(error));
  }
  return {};
}

}  // namespace

SaveCalls& save_calls() {
  static SaveCalls calls{sync_file, rename_replacing, rename_new};
  return calls;
}

std::expected<std::vector<std::uint8_t>, std::string> read_image(const std::string& path, std::size_t limit) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::unexpected(system_message(errno));
  auto data = posix::read_all(fd, limit);
  close(fd);
  if (!data) return std::unexpected(system_message(data.error()));
  return std::move(*data);
}

std::expected<void, std::string> save_image(const std::string& path, std::span<const std::uint8_t> bytes) {
  struct stat st{};
  const bool exists = stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return write_directly(path, bytes);

  // Replace the file a link points to, not the link.
  std::string target = path;
  if (exists) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
      target = resolved;
      std::free(resolved);
    }
  }
  return save_through_temporary(target, bytes, exists ? (st.st_mode & 07777) : creation_mode(), Replace::Yes);
}

std::expected<void, std::string> save_new_image(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path_exists(path)) return std::unexpected(system_message(EEXIST));
  return save_through_temporary(path, bytes, creation_mode(), Replace::No);
}

bool path_exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace dimmwand
