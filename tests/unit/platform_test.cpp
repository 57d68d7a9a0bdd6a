// The platform layer's portable promises: the system's errors in the user's words, and a pause
// never shorter than asked.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "platform/sleep.hpp"
#include "platform/system_error.hpp"

namespace dimmwand {
namespace {

// One table for both systems' codes, with the system's own text kept (as Linux and wine word it).
TEST(SystemErrors, ChineseWordsWithTheSystemsText) {
  struct Case {
    std::string got;
    std::string want;
  };
  for (const auto& c : std::vector<Case>{
           {errno_text(ENOENT, "No such file or directory"), "找不到文件或文件夹（No such file or directory）"},
           {errno_text(EACCES, "Permission denied"), "拒绝访问（Permission denied）"},
           {errno_text(EROFS, "Read-only file system"), "只读，不能写入（Read-only file system）"},
           {errno_text(ENOSPC, "No space left on device"), "磁盘已满（No space left on device）"},
           {errno_text(EIO, "Input/output error"), "输入输出错误（Input/output error）"},
           {errno_text(EBUSY, "Device or resource busy"), "设备或资源忙（Device or resource busy）"},
           {errno_text(EEXIST, "File exists"), "已存在（File exists）"},
           {errno_text(ENOTDIR, "Not a directory"), "不是文件夹（Not a directory）"},
           {errno_text(EISDIR, "Is a directory"), "是文件夹（Is a directory）"},
           {windows_error_text(2, "File not found."), "找不到文件或文件夹（File not found.）"},
           {windows_error_text(5, "Access denied."), "拒绝访问（Access denied.）"},
           {windows_error_text(19, "Write protected."), "只读，不能写入（Write protected.）"},
           {windows_error_text(112, "Disk full."), "磁盘已满（Disk full.）"},
           {windows_error_text(32, "Sharing violation."), "文件正被另一个程序使用（Sharing violation.）"},
           {windows_error_text(183, "File already exists."), "已存在（File already exists.）"},
           {windows_error_text(5, "拒绝访问。"), "拒绝访问。"},  // a Chinese Windows says it itself
           {windows_error_text(5, ""), "拒绝访问"},
           {windows_error_text(99999, "Whatever it is."), "系统错误 99999（Whatever it is.）"},
           {errno_text(0, "Success"), "系统错误 0（Success）"},
       }) {
    EXPECT_EQ(c.got, c.want);
  }
}

// Its end is watched, not slept: never a microsecond short, however the timer wakes.
TEST(PreciseSleep, NeverShorterThanAsked) {
  using Clock = std::chrono::steady_clock;
  for (int i = 0; i < 300; ++i) {
    const auto asked = std::chrono::microseconds(600 + 100 * (i % 5));
    const auto start = Clock::now();
    precise_sleep(asked);
    ASSERT_GE(Clock::now() - start, asked) << "pause " << i;
  }
}

}  // namespace
}  // namespace dimmwand
