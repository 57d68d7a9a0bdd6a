// Reading and saving raw area images. Errors are the system's message for the failure.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace dimmwand {

// The std::filesystem path of `path`, given in UTF-8 as every path is inside the programs (on
// Windows the entry made the command line so).
inline std::filesystem::path file_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// Reads at most `limit` bytes from the start of the file, so that an endless device or a huge
// file is never read whole.
std::expected<std::vector<std::uint8_t>, std::string> read_image(const std::string& path, std::size_t limit);

// Saves `bytes` as the whole content of `path`. A regular file (or a new one) is replaced at
// once through a temporary file beside it, so a failure never leaves a half-written image in
// place of a good one; anything else (a terminal, a pipe, /dev/stdout) is written directly.
std::expected<void, std::string> save_image(const std::string& path, std::span<const std::uint8_t> bytes);

// Saves `bytes` as a new file at `path`, with the same all-or-nothing guarantee, and never
// replaces anything: when something stands at `path`, even as late as the final rename, the save
// fails and nothing is changed.
std::expected<void, std::string> save_new_image(const std::string& path, std::span<const std::uint8_t> bytes);

// True when anything (a file, a folder, a link, even a dangling one) stands at `path`.
bool path_exists(const std::string& path);

// True when `path` is a folder (or a link to one).
inline bool is_folder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(file_path(path), ignored);
}

}  // namespace dimmwand
