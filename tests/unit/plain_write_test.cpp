// What a plain write refuses before it opens the port: another memory type's SPD, a REG image,
// and text in a local code page.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "commands/commands.hpp"
#include "commands/image_checks.hpp"
#include "programmer_port.hpp"

namespace dimmwand {
namespace {

using testing::Bench;
using testing::TempFile;
using testing::write_args;
using Bytes = std::vector<std::uint8_t>;

// Byte 2 against DEVICE: a refusal sends nothing and names both; what the area holds, or a byte
// that names no memory type, is written whole.
TEST(PlainWrite, AnotherMemoryTypesImageIsRefusedBeforeThePort) {
  struct Case {
    DeviceType device;
    std::uint8_t key;
    std::size_t size;
    std::string option;  // "--force", "--check", "-t reg" or none
    std::string refusal;
  };
  const auto force = [](int n) {
    return fmt::format("确要写入 DDR{} 的 SPD 区（例如写回损坏模块的备份），加 --force", n);
  };
  for (const auto& c : std::vector<Case>{
           {DeviceType::DDR5, 0x0C, 512, "",
            "映像是 DDR4 的 SPD（第 2 字节 = 0x0C），命令给的是 DDR5；未写入\n提示: 模块若是 DDR4，DEVICE 给 4；" +
                force(5)},
           {DeviceType::DDR4, 0x12, 1024, "",  // longer than the area: refused, not cut
            "映像是 DDR5 的 SPD（第 2 字节 = 0x12），命令给的是 DDR4；未写入\n提示: 模块若是 DDR5，DEVICE 给 5；" +
                force(4)},
           {DeviceType::DDR4, 0x13, 1024, "",
            "映像是 LPDDR5 的 SPD（第 2 字节 = 0x13），命令给的是 DDR4；未写入\n提示: 模块若是 LPDDR5，DEVICE 给 5；" +
                force(4)},
           {DeviceType::DDR3, 0x08, 256, "",
            "映像是 DDR2 的 SPD（第 2 字节 = 0x08），命令给的是 DDR3；未写入\n提示: " + force(3)},
           {DeviceType::DDR5, 0x13, 1024, "", ""},  // an LPDDR5 CAMM2 module carries the same hub
           {DeviceType::DDR5, 0x15, 1024, "", ""},
           {DeviceType::DDR3, 0x0B, 256, "", ""},
           {DeviceType::DDR3, 0xFF, 256, "", ""},  // blank
           {DeviceType::DDR4, 0x00, 512, "", ""},
           {DeviceType::DDR4, 0x30, 512, "", ""},  // names no memory type
           {DeviceType::DDR5, 0x0C, 512, "--force", ""},
           {DeviceType::DDR5, 0x0C, 128, "-t reg", ""},
           {DeviceType::DDR5, 0x0C, 512, "--check",
            "映像检查未通过: 字节 2（内存类型）为 0x0C，是 DDR4 映像，不是 DDR5"},
       }) {
    Bytes image(c.size, 0x00);
    image[kKeyByte] = c.key;
    TempFile input("memory-type.bin", image);
    Bench bench;
    auto args = write_args(c.device, input.path);
    args.force = c.option == "--force";
    args.check = c.option == "--check";
    if (c.option == "-t reg") args.common.mode = DataMode::Reg;
    const auto r = run_write(args, bench.context());
    const std::string name = fmt::format("0x{:02X} on DDR{} {}", c.key, generation(c.device), c.option);
    if (!c.refusal.empty()) {
      ASSERT_FALSE(r) << name;
      EXPECT_EQ(r.error().display(), c.refusal) << name;
      EXPECT_TRUE(bench.sent.empty()) << name;
      continue;
    }
    ASSERT_TRUE(r) << name << ": " << r.error().display();
    EXPECT_EQ(bench.sent.size(), c.size) << name;
  }
}

// A hub's register file is no SPD: its byte 2 is the hub's revision (0x10 would read as LPDDR4).
TEST(PlainWrite, ARegImageIsNamedAsOne) {
  TempFile input("reg-as-spd.bin", emu::default_areas().reg5);
  Bench bench;
  const auto r = run_write(write_args(DeviceType::DDR5, input.path), bench.context());
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with(
      "映像是 DDR5 的 REG 区映像（128 字节，MR0-MR1 = 51 18），命令写的是 DDR5 的 SPD 区；未写入\n提示: 写 REG 区要加 "
      "-t reg；"))
      << r.error().display();
  EXPECT_TRUE(bench.sent.empty());
}

// Text in a local code page as editors save it: refused as text, whatever its byte 2 says.
TEST(PlainWrite, TextInALocalCodePageIsRefused) {
  struct Case {
    std::string name;
    std::string file;
    std::string says;  // the start of the error
  };
  for (const auto& c : std::vector<Case>{
           // "内存条 SPD 备份" in GBK, as Notepad saves it: CR LF line ends
           {"gbk-crlf.txt", "\xC4\xDA\xB4\xE6\xCC\xF5 SPD \xB1\xB8\xB7\xDD\r\n000000  23 11 0C 02\r\n",
            "gbk-crlf.txt 是文本（不是 UTF-8、UTF-16 或 UTF-32，像是 GBK 等本地编码）"},
           // one GBK line, no line end: its byte 2 is '0'
           {"gbk-line.txt", "00 \xC4\xDA\xB4\xE6\xCC\xF5 23 11 0C",
            "gbk-line.txt 是文本（不是 UTF-8、UTF-16 或 UTF-32，像是 GBK 等本地编码）"},
       }) {
    const auto r = refuse_text_dump(Bytes(c.file.begin(), c.file.end()), write_args(DeviceType::DDR4, c.name));
    ASSERT_FALSE(r) << c.name;
    EXPECT_TRUE(r.error().display().starts_with(c.says)) << r.error().display();
  }
  // Fill patterns of high bytes are no double-byte text: written as before.
  for (const int fill : {0xAA, 0xFF, 0xA5}) {
    EXPECT_TRUE(refuse_text_dump(Bytes(512, static_cast<std::uint8_t>(fill)), write_args(DeviceType::DDR4, "fill.bin")))
        << fill;
  }
}

}  // namespace
}  // namespace dimmwand
