#include <gtest/gtest.h>

#include <vector>

#include "error/device_error.hpp"

namespace dimmwand {
namespace {

TEST(DeviceError, DisplayTexts) {
  using Action = FileFailure::Action;
  struct Case {
    DeviceError error;
    std::string_view text;
  };
  for (const auto& [error, text] : std::vector<Case>{
           {DeviceError::serial("打开 COM3 失败: No such file or directory"),
            "打开 COM3 失败: No such file or directory"},
           {DeviceError::no_response(), "无响应"},
           {DeviceError::incomplete(0, 256), "数据不完整: 0 / 256 字节"},
           {DeviceError::incomplete(1000, 1024), "数据不完整: 1000 / 1024 字节"},
           {DeviceError::file(Action::Write, "my dir/spd 3.bin", "No space left on device"),
            "写入 my dir/spd 3.bin 失败: No space left on device"},
           {DeviceError::file(Action::Read, "a.bin", "No such file or directory"),
            "读取 a.bin 失败: No such file or directory"},
           {DeviceError::other("-t 仅适用于 D5（当前 D4）"), "-t 仅适用于 D5（当前 D4）"},
           {DeviceError::serial("line one\nline two"), "line one\nline two"},
       }) {
    EXPECT_EQ(error.display(), text);
  }
}

}  // namespace
}  // namespace dimmwand
