// What dimmwand-spd host says on Windows: reading the installed modules needs a kernel driver.
#include <gtest/gtest.h>

#include <filesystem>

#include "spd/commands.hpp"

namespace dimmwand::spd {
namespace {

TEST(HostMessage, SaysWhatStandsInTheWay) {
  const auto r =
      run_host({(std::filesystem::temp_directory_path() / "dimmwand-no-sysfs").string(), std::nullopt, false});
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().display(),
            "Windows 上无法读取已安装的内存条：读取主板上的 SMBus 需要内核驱动，dimmwand 不带驱动\n"
            "提示: 用编程器读取内存条（dimmwand read），或在 Linux 上运行 dimmwand-spd host");
}

}  // namespace
}  // namespace dimmwand::spd
