// Output formats and the area table.
#include <gtest/gtest.h>

#include <vector>

#include "commands/area.hpp"
#include "commands/hex_dump.hpp"
#include "commands/scan.hpp"

namespace dimmwand {
namespace {

TEST(HexDump, Format) {
  std::vector<std::uint8_t> twenty(20);
  for (std::size_t i = 0; i < 20; ++i) twenty[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(format_hex_dump(twenty),
            "000000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"
            "000010  10 11 12 13\n");
  EXPECT_EQ(format_hex_dump(std::span(twenty).first(17)).substr(56), "000010  10\n");
  EXPECT_EQ(format_hex_dump({}), "");
}

TEST(Scan, ReportRules) {
  using Listing = std::expected<std::vector<std::string>, std::string>;
  EXPECT_EQ(*scan_report(Listing{}), "未找到可用串口\n");
  EXPECT_EQ(*scan_report(Listing{std::vector<std::string>{"COM3", "COM10"}}), "COM3\nCOM10\n");
  EXPECT_EQ(*scan_report(Listing{std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB0"}}),
            "/dev/ttyUSB0\n/dev/ttyUSB0\n");  // neither sorted nor deduplicated
  const auto failed = scan_report(std::unexpected(std::string("Permission denied")));
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().display(), "枚举串口失败: Permission denied");
}

TEST(Area, TableAndTheDdr5OnlyRegArea) {
  struct Case {
    DeviceType device;
    std::optional<DataMode> mode;
    std::size_t capacity;
    CommandCode read, write;
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR3, std::nullopt, 256, CommandCode::ReadSpd, CommandCode::WriteByte},
           {DeviceType::DDR4, DataMode::Spd, 512, CommandCode::ReadSpd, CommandCode::WriteByte},
           {DeviceType::DDR5, std::nullopt, 1024, CommandCode::ReadSpd, CommandCode::WriteByte},
           {DeviceType::DDR5, DataMode::Spd, 1024, CommandCode::ReadSpd, CommandCode::WriteByte},
           {DeviceType::DDR5, DataMode::Reg, 128, CommandCode::ReadReg, CommandCode::WriteRegByte},
       }) {
    const auto a = resolve_area(c.device, c.mode);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->capacity, c.capacity);
    EXPECT_EQ(a->read_command, c.read);
    EXPECT_EQ(a->write_command, c.write);
  }
  EXPECT_EQ(resolve_area(DeviceType::DDR3, DataMode::Reg).error().display(), "-t 仅适用于 D5（当前 D3）");
  EXPECT_EQ(resolve_area(DeviceType::DDR4, DataMode::Reg).error().display(), "-t 仅适用于 D5（当前 D4）");
}

}  // namespace
}  // namespace dimmwand
