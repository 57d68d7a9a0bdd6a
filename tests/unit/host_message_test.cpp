// What dimmwand-spd host says where it cannot read the installed modules: on Windows that it
// needs a kernel driver, elsewhere which drivers to load.
#include <gtest/gtest.h>

#include <filesystem>

#include "spd/commands.hpp"

namespace dimmwand::spd {
namespace {

TEST(HostMessage, SaysWhatStandsInTheWay) {
  const auto root = std::filesystem::temp_directory_path() / "dimmwand-no-sysfs";
  const auto r = run_host({root.string(), std::nullopt, false});
  ASSERT_FALSE(r);
#ifdef _WIN32
  EXPECT_EQ(r.error().display(),
            "Windows 上无法读取已安装的内存条：读取主板上的 SMBus 需要内核驱动，dimmwand 不带驱动\n"
            "提示: 用编程器读取内存条（dimmwand read），或在 Linux 上运行 dimmwand-spd host");
#else
  EXPECT_TRUE(r.error().display().starts_with("没有加载读取内存条 SPD 的内核驱动")) << r.error().display();
  EXPECT_NE(r.error().display().find("sudo modprobe ee1004"), std::string::npos);
#endif
}

}  // namespace
}  // namespace dimmwand::spd
