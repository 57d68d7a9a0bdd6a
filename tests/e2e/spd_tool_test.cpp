// dimmwand-spd as a user runs it: exact output, exit statuses, files written and left alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "emulator.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_spd;
using testing::sample_path;
using testing::TempDir;
using testing::write_file;

TEST(SpdTool, TheEmulatorsImagesPassCheckAsReadFromIt) {
  TempDir dir;
  struct Case {
    std::vector<std::string> read;
    const char* file;
    std::size_t lines;
  };
  for (const auto& c : std::vector<Case>{{{"3"}, "d3.bin", 2}, {{"4"}, "d4.bin", 3}, {{"5"}, "d5.bin", 8}}) {
    std::vector<std::string> args{"read", "{port}"};
    args.insert(args.end(), c.read.begin(), c.read.end());
    args.insert(args.end(), {"-o", dir.file(c.file)});
    ASSERT_EQ(testing::run_with_emulator({}, args).status, 0);
    const auto r = run_spd({"check", dir.file(c.file)});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(c.lines)) << r.out;
    EXPECT_EQ(r.out.find("错误"), std::string::npos);
  }
  const auto ddr4 = run_spd({"check", sample_path("spd4")});
  EXPECT_EQ(ddr4.out,
            "DDR4 SPD，512 字节（由大小与内存类型字节判断）\n"
            "基本区 CRC: 字节 0-125，存于 126-127: 存储 0xEB32，计算 0xEB32，正确\n"
            "模块区 CRC: 字节 128-253，存于 254-255: 存储 0xB2AD，计算 0xB2AD，正确\n");
}

TEST(SpdTool, ABadChecksumFailsCheckAndFixRepairsACopy) {
  TempDir dir;
  std::string image = read_file(sample_path("spd4"));
  image[200] = static_cast<char>(image[200] ^ 0x01);  // inside the module section
  write_file(dir.file("bad.bin"), image);
  const auto check = run_spd({"check", dir.file("bad.bin")});
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.out.find("模块区 CRC: 字节 128-253，存于 254-255: 存储 0xB2AD，计算 0x"), std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("，错误\n"), std::string::npos);
  EXPECT_EQ(check.err, "错误: 1 个校验和不正确\n");

  const auto fix = run_spd({"fix", dir.file("bad.bin"), "-o", dir.file("fixed.bin")});
  EXPECT_EQ(fix.status, 0) << fix.err;
  EXPECT_TRUE(fix.out.starts_with("已修正 模块区 CRC: 0xB2AD → 0x")) << fix.out;
  EXPECT_TRUE(fix.out.ends_with("已保存 512 字节: " + dir.file("fixed.bin") + "\n"));
  EXPECT_EQ(read_file(dir.file("bad.bin")), image);  // never in place
  EXPECT_EQ(run_spd({"check", dir.file("fixed.bin")}).status, 0);
  const std::string fixed = read_file(dir.file("fixed.bin"));
  EXPECT_EQ(fixed.substr(0, 254), image.substr(0, 254));  // only the checksum bytes changed
  EXPECT_EQ(fixed.substr(256), image.substr(256));

  const auto again = run_spd({"fix", dir.file("fixed.bin"), "-o", dir.file("again.bin")});
  EXPECT_EQ(again.out, "校验和均正确，未作修改\n已保存 512 字节: " + dir.file("again.bin") + "\n");
}

TEST(SpdTool, FixNeverRewritesItsInput) {
  TempDir dir;
  const std::string image = read_file(sample_path("spd3"));
  write_file(dir.file("a.bin"), image);
  std::filesystem::create_symlink(dir.file("a.bin"), dir.file("link.bin"));
  for (const auto& out : {dir.file("a.bin"), dir.file("link.bin")}) {
    const auto r = run_spd({"fix", dir.file("a.bin"), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "错误: 输出文件不能是输入文件：fix 从不改写原映像\n");
  }
  EXPECT_EQ(read_file(dir.file("a.bin")), image);
  // Nor another file that stands at -o, often a backup, unless told.
  write_file(dir.file("backup.bin"), "precious");
  const auto kept = run_spd({"fix", dir.file("a.bin"), "-o", dir.file("backup.bin")});
  EXPECT_EQ(kept.status, 1);
  EXPECT_EQ(kept.out, "");
  EXPECT_EQ(kept.err, "错误: " + dir.file("backup.bin") + " 已存在；要替换它请加 --force；未写入文件\n");
  EXPECT_EQ(read_file(dir.file("backup.bin")), "precious");
  const auto forced = run_spd({"fix", dir.file("a.bin"), "-o", dir.file("backup.bin"), "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(read_file(dir.file("backup.bin")), image);
  const auto r = run_spd({"fix", dir.file("a.bin"), "-o", "/nonexistent-dir/out.bin"});
  EXPECT_EQ(r.err, "错误: 写入 /nonexistent-dir/out.bin 失败: 找不到文件或文件夹（No such file or directory）\n");
}

TEST(SpdTool, InfoOfTheDdr5Sample) {
  const auto r = run_spd({"info", sample_path("spd5")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "类型: DDR5 SDRAM，SPD 1024 字节\n"
            "模块类型: UDIMM\n"
            "容量: 16 GB (2 rank，x16 颗粒 16 Gb，2 × 32 位)\n"
            "速率: DDR5-4800 (tCK 0.416 ns)\n"
            "时序: CL40-39-39-77 (tAA 16.000 ns, tRCD 16.000 ns, tRP 16.000 ns, tRAS 32.000 ns)\n"
            "模块制造商: SK Hynix (former Hyundai Electronics) (bank 1, 0xAD)\n"
            "颗粒制造商: SK Hynix (former Hyundai Electronics) (bank 1, 0xAD)\n"
            "型号: DW5U4800-16G\n"
            "序列号: CAFE0005\n"
            "生产日期: 2024 年第 30 周\n"
            "SPD 版本: 1.0\n"
            "XMP: XMP 3.0；配置 1 \"DW 5600\": DDR5-5600 CL36-36-36 1.40 V\n"
            "EXPO: 无\n");
}

TEST(SpdTool, DiffGroupsRunsAndNamesFields) {
  TempDir dir;
  std::string image = read_file(sample_path("spd4"));
  write_file(dir.file("old.bin"), image);
  image[3] = 0x03;                // module type
  image[325] = image[326] = 'X';  // serial number
  write_file(dir.file("new.bin"), image);
  const auto same = run_spd({"diff", dir.file("old.bin"), dir.file("old.bin")});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "两个映像相同\n");
  const auto r = run_spd({"diff", dir.file("old.bin"), dir.file("new.bin")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "0x003 (模块类型): 02 → 03\n"
            "0x145-0x146 (序列号): 12 34 → 58 58\n"
            "共 2 处不同，3 字节\n");
  const auto sizes = run_spd({"diff", sample_path("spd3"), sample_path("spd4")});
  EXPECT_EQ(sizes.status, 1);
  EXPECT_NE(sizes.out.find("大小不同: "), std::string::npos);
}

TEST(SpdTool, BadInputIsAClearErrorNeverACrash) {
  TempDir dir;
  write_file(dir.file("short.bin"), read_file(sample_path("spd5")).substr(0, 700));
  write_file(dir.file("empty.bin"), "");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {{"check", dir.file("short.bin")}, 1, "错误: 映像不完整: DDR5 SPD 为 1024 字节，文件只有 700 字节\n"},
           {{"info", dir.file("empty.bin")}, 1, "错误: 文件为空\n"},
           {{"check", sample_path("reg5"), "-t", "spd"},
            1,
            "错误: 文件大小 128 字节不符合任何 SPD（DDR3 256、DDR4 512、DDR5 1024 字节）；128 字节的是 DDR5 REG "
            "区映像，它不带校验和\n"},
           {{"info", "/dev/zero"}, 1, "错误: /dev/zero 大于 64 KiB，不是 SPD 映像\n"},
           {{"check", dir.path()}, 1, "错误: 读取 " + dir.path() + " 失败: 是文件夹（Is a directory）\n"},
           {{"check", sample_path("spd4"), "5"}, 1, "错误: 映像不完整: DDR5 SPD 为 1024 字节，文件只有 512 字节\n"},
       }) {
    const auto r = run_spd(c.args);
    EXPECT_EQ(r.status, c.status) << c.args.front();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"check"},
                                                                                    {"check", "a.bin", "6"},
                                                                                    {"fix", "a.bin"},
                                                                                    {"fix", "a.bin", "-o", "-t"},
                                                                                    {"diff", "a.bin"},
                                                                                    {"Check", "a"}}) {
    EXPECT_EQ(run_spd(args).status, 2) << args.front();
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"--help"}, {"help", "fix"}, {"info", "-h"}, {"-V"}}) {
    const auto r = run_spd(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.out.empty());
  }
}

}  // namespace
}  // namespace dimmwand

namespace dimmwand {
namespace {

TEST(SpdTool, TheHubRegistersAsReadFromTheEmulator) {
  TempDir dir;
  ASSERT_EQ(testing::run_with_emulator({"--protect-blocks", "0-7,12"},
                                       {"read", "{port}", "5", "-t", "reg", "-o", dir.file("reg5.bin")})
                .status,
            0);
  const auto info = run_spd({"info", dir.file("reg5.bin")});
  EXPECT_EQ(info.status, 0) << info.err;
  for (const auto* line :
       {"器件类型: SPD5118 集线器 (MR0-MR1 = 51 18)\n", "写保护的块: 0-7, 12\n", "未保护的块: 8-11, 13-15\n",
        "写保护寄存器: MR12 = 0xFF，MR13 = 0x10", "解除写保护: 不可以", "当前温度: 23.00 °C\n",
        "总线接口: I2C，最高 1 MHz (MR18 = 0x00)\n", "厂商: Montage Technology Group (bank 7, 0x32)\n"}) {
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
  }
  EXPECT_EQ(run_spd({"info", sample_path("reg5"), "-t", "REG"}).out, run_spd({"info", sample_path("reg5")}).out);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  write_file(dir.file("spd4.bin"), read_file(sample_path("spd4")));
  for (const auto& c : std::vector<Case>{
           {{"check", dir.file("reg5.bin")},
            0,
            "DDR5 REG 区（SPD 集线器寄存器），128 字节\nREG 区不带校验和，无需检查\n",
            ""},
           {{"fix", dir.file("reg5.bin"), "-o", dir.file("x.bin")},
            1,
            "",
            "错误: REG 区映像不带校验和，没有可修正的内容；未写入文件\n"},
           {{"info", dir.file("spd4.bin"), "-t", "reg"}, 1, "", "错误: REG 区映像为 128 字节，文件有 512 字节\n"},
           {{"info", dir.file("reg5.bin"), "4", "-t", "reg"}, 1, "", "错误: -t 仅适用于 D5（当前 D4）\n"},
           // The generation as users write it, in any case; an unknown one refused as typed.
           {{"info", dir.file("reg5.bin"), "ddr4", "-t", "reg"}, 1, "", "错误: -t 仅适用于 D5（当前 D4）\n"},
           {{"info", dir.file("reg5.bin"), "D4", "-t", "reg"}, 1, "", "错误: -t 仅适用于 D5（当前 D4）\n"},
           {{"info", dir.file("reg5.bin"), "DDR6"},
            2,
            "",
            "错误: <DEVICE> 的值“DDR6”无效\n  [可选值: 3, 4, 5]\n\n用法: dimmwand-spd info [OPTIONS] <FILE> "
            "[DEVICE]\n\n"
            "更多信息: dimmwand-spd info --help\n"},
       }) {
    const auto r = run_spd(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.bin")));
}

}  // namespace
}  // namespace dimmwand

namespace dimmwand {
namespace {

// dimmwand-spd rejects a command line in Chinese, as it says everything else; dimmwand's own
// rejections stay clap's English (command_line_test).
TEST(SpdTool, UsageErrorsAreChineseWithStatus2) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
    std::string usage;
  };
  for (const auto& c : std::vector<Case>{
           {{"check"}, "缺少参数: <FILE>", "dimmwand-spd check [OPTIONS] <FILE> [DEVICE]"},
           {{"Check", "a.bin"}, "没有命令“Check”\n\n  提示: 有相近的命令: check", "dimmwand-spd [OPTIONS] <COMMAND>"},
           {{"check", "a.bin", "6"},
            "<DEVICE> 的值“6”无效\n  [可选值: 3, 4, 5]",
            "dimmwand-spd check [OPTIONS] <FILE> [DEVICE]"},
           {{"fix", "a.bin", "-o", "-t"},
            "-o <OUT> 缺少值（文件名确实是“-t”时，写成 ./-t）",
            "dimmwand-spd fix [OPTIONS] -o <OUT> <FILE> [DEVICE]"},
           {{"info", "a.bin", "--bogus"}, "未知选项: --bogus", "dimmwand-spd info [OPTIONS] <FILE> [DEVICE]"},
           {{"convert", "a.txt", "-o", "-t"},
            "-o <OUT> 缺少值（文件名确实是“-t”时，写成 ./-t）",
            "dimmwand-spd convert [OPTIONS] -o <OUT> <FILE>"},
           {{"kit", "a.bin"}, "<FILE> 至少要给出 2 个", "dimmwand-spd kit <FILE>..."},
       }) {
    const auto r = run_spd(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_EQ(r.out, "");
    const std::string sub = c.args.front() == "Check" ? "" : c.args.front() + " ";
    EXPECT_EQ(r.err, "错误: " + c.message + "\n\n用法: " + c.usage + "\n\n更多信息: dimmwand-spd " + sub + "--help\n");
  }
}

}  // namespace
}  // namespace dimmwand
