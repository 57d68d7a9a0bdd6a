// What dimmwand-spd host says where no SPD driver is loaded: which ones to load.
#include <gtest/gtest.h>

#include <filesystem>

#include "spd/commands.hpp"

namespace dimmwand::spd {
namespace {

TEST(HostMessage, SaysWhatStandsInTheWay) {
  const auto r =
      run_host({(std::filesystem::temp_directory_path() / "dimmwand-no-sysfs").string(), std::nullopt, false});
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with("没有加载读取内存条 SPD 的内核驱动")) << r.error().display();
  EXPECT_NE(r.error().display().find("sudo modprobe ee1004"), std::string::npos);
}

}  // namespace
}  // namespace dimmwand::spd
