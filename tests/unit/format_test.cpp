// Output formats and the area table.
#include <gtest/gtest.h>

#include <vector>

#include "commands/area.hpp"
#include "commands/compare.hpp"
#include "commands/hex_dump.hpp"
#include "commands/scan.hpp"
#include "model/hub.hpp"

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

TEST(Compare, RunsAndTheirListing) {
  std::vector<std::uint8_t> meant(64, 0x00);
  std::vector<std::uint8_t> back = meant;
  back[3] = 0xFF;                                           // a single byte
  for (std::size_t i = 10; i < 20; ++i) back[i] = 0x11;     // a run longer than is shown
  for (std::size_t i = 30; i < 64; i += 2) back[i] = 0x22;  // many runs
  const auto diff = compare_images(meant, back);
  EXPECT_EQ(diff.count, 1u + 10u + 17u);
  ASSERT_EQ(diff.runs.size(), 19u);
  EXPECT_EQ(diff.runs[1].address, 10u);
  EXPECT_EQ(diff.runs[1].length, 10u);
  const std::string listing = format_runs(diff, meant, back);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 16);  // 15 runs and a count of the rest
  EXPECT_TRUE(
      listing.starts_with("  地址 0003: 写入 00，读回 FF\n"
                          "  地址 000A-0013: 写入 00 00 00 00 00 00 00 00 …，读回 11 11 11 11 11 11 11 11 …\n"));
  EXPECT_TRUE(listing.ends_with("  …… 另有 4 处不符\n"));
  EXPECT_EQ(compare_images(meant, std::span(meant).first(10)).count, 0u);  // only the common length counts
}

TEST(Hub, ProtectedBlocks) {
  std::vector<std::uint8_t> regs(128, 0);
  regs[0] = 0x51;
  regs[1] = 0x18;
  EXPECT_TRUE(hub::is_spd5118(regs));
  EXPECT_FALSE(hub::is_spd5118(std::vector<std::uint8_t>(128, 0)));
  struct Case {
    std::uint8_t mr12, mr13;
    std::string list;
  };
  for (const auto& c : std::vector<Case>{{0x00, 0x00, ""},
                                         {0xFF, 0x10, "0-7, 12"},
                                         {0x81, 0x80, "0, 7, 15"},
                                         {0xFF, 0xFF, "0-15"},
                                         {0x80, 0x01, "7-8"}}) {
    regs[12] = c.mr12;
    regs[13] = c.mr13;
    EXPECT_EQ(hub::block_list(hub::protected_blocks(regs)), c.list);
  }
}

TEST(Scan, LongReportNamesTheBridgeAndAlignsColumns) {
  using Listing = std::expected<std::vector<PortDetails>, std::string>;
  const std::vector<PortDetails> ports{
      {"COM3", "USB-SERIAL CH340 (COM3)", "USB", 0x1A86, 0x7523, "", "wch.cn"},
      {"COM10", "Silicon Labs CP210x USB to UART Bridge (COM10)", "USB", 0x10C4, 0xEA60, "0001", "Silicon Labs"},
      {"/dev/ttyUSB0", "FT232R USB UART", "USB", 0x0403, 0x6001, "A50285BI", "FTDI"},
      {"/dev/ttyUSB1", "USB-Serial Controller", "USB", 0x067B, 0x2303, "", "Prolific"},
      {"/dev/ttyACM0", "Programmer", "USB", 0x2E8A, 0x000A, "E6614C", "Raspberry Pi"},
      {"COM1", "通讯端口 (COM1)", "板载", std::nullopt, std::nullopt, "", ""},
      {"COM5", "", "", std::nullopt, std::nullopt, "", ""},
  };
  EXPECT_EQ(*scan_long_report(Listing{ports}),
            "端口          类型                 VID:PID    序列号    制造商        描述\n"
            "COM3          WCH CH340            1A86:7523  -         wch.cn        USB-SERIAL CH340 (COM3)\n"
            "COM10         Silicon Labs CP210x  10C4:EA60  0001      Silicon Labs  Silicon Labs CP210x USB to UART "
            "Bridge (COM10)\n"
            "/dev/ttyUSB0  FTDI FT232R          0403:6001  A50285BI  FTDI          FT232R USB UART\n"
            "/dev/ttyUSB1  Prolific PL2303      067B:2303  -         Prolific      USB-Serial Controller\n"
            "/dev/ttyACM0  USB CDC-ACM          2E8A:000A  E6614C    Raspberry Pi  Programmer\n"
            "COM1          板载                 -          -         -             通讯端口 (COM1)\n"
            "COM5          -                    -          -         -             -\n");
  EXPECT_EQ(*scan_long_report(Listing{}), "未找到可用串口\n");
  EXPECT_EQ(scan_long_report(std::unexpected(std::string("denied"))).error().display(), "枚举串口失败: denied");
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
