// What a write says when it cannot finish: how far it got, and how to undo it.
#pragma once

#include <cstddef>
#include <string>

#include "commands/args.hpp"
#include "error/device_error.hpp"

namespace dimmwand {

// A careful write reads the module and can say more than a plain one (--check, --verify,
// --changed, --backup).
bool careful(const WriteArgs& args);

// A word of a command line as the user would type it again: quoted when it holds anything but
// the plain characters of port names and paths ("my module.bin" with its quotes).
std::string typed(const std::string& word);

// "COM3 5 -t reg": the port and area as the user would type them again.
std::string area_words(const WriteArgs& args);

// The command that writes the backup back: "写入前的内容已备份在 b.bin，写回: dimmwand write …".
std::string restore_hint(const WriteArgs& args);

// A careful write that failed after its first frame: the error, then "已写入 {i} / {n} 字节" and,
// after bytes went out with a backup taken, the command that writes it back. A plain write's
// error stays as it is.
DeviceError after_frames(DeviceError e, std::size_t written, std::size_t total, const WriteArgs& args,
                         const char* unverified = "");

// "已中断: 已写入 {i} / {n} 字节", with the write-back command when there is a backup.
DeviceError interrupted_after(std::size_t written, std::size_t total, const WriteArgs& args,
                              const char* unverified = "");

// An interrupt before the first frame: nothing was written, and that is worth saying.
DeviceError before_writing(DeviceError e);

DeviceError backup_exists(const std::string& path);

}  // namespace dimmwand
