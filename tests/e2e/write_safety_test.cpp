// What the write refuses before its first frame (any text; with --check, images that do not fit
// the module), and what it says when it fails after frames went out.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>

#include "commands/hex_dump.hpp"
#include "emulator.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::logged_frames;
using testing::port_named;
using testing::read_file;
using testing::run_program;
using testing::run_with_emulator;
using testing::sample_path;
using testing::TempDir;
using testing::write_file;
using testing::written_bytes;

std::string as_text(const std::string& bytes) {
  return format_hex_dump({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

TEST(WriteSafety, RefusedImagesSendNoWriteAndLeaveTheModule) {
  TempDir dir;
  write_file(dir.file("spd4.bin"), read_file(sample_path("spd4")));
  write_file(dir.file("spd4.txt"), as_text(read_file(sample_path("spd4"))));
  write_file(dir.file("my spd4.txt"), as_text(read_file(sample_path("spd4"))));
  write_file(dir.file("spd4.hex"), run_program({"/usr/bin/hexdump", "-C", dir.file("spd4.bin")}).out);
  write_file(dir.file("spd4.xxd"), run_program({"/usr/bin/xxd", dir.file("spd4.bin")}).out);
  std::string torn = as_text(read_file(sample_path("spd4")));
  torn.replace(torn.find("000060"), 6, "000070");  // a line lost in copying
  write_file(dir.file("torn.txt"), torn);
  // What a new user writes: a dump under a title, a note or the prompt it was copied with; a
  // chat's collapsed spaces; any text at all; PowerShell's UTF-16.
  const std::string dump4 = as_text(read_file(sample_path("spd4")));
  write_file(dir.file("hdr.txt"), "Kingston FURY backup\n" + dump4);
  write_file(dir.file("note.txt"), "金士顿 FURY 备份\n" + dump4 + "\n备份于 2026 年\n");
  std::string collapsed = "$ dimmwand read COM3 4\n" + dump4;
  for (std::size_t at; (at = collapsed.find("  ")) != std::string::npos;) collapsed.erase(at, 1);
  write_file(dir.file("chat.txt"), collapsed);
  write_file(dir.file("notes.txt"), "换了 XMP 之后不开机\n");
  std::string wide = "\xFF\xFE";
  for (const char c : dump4) wide += std::string{c, '\0'};
  write_file(dir.file("ps.txt"), wide);
  std::string crc = read_file(sample_path("spd5"));
  crc[0x1FE] = '\x11';
  write_file(dir.file("crc5.bin"), crc);
  write_file(dir.file("reg5.bin"), read_file(sample_path("reg5")));
  std::string protecting = read_file(sample_path("reg5"));
  protecting[12] = '\xFF';
  write_file(dir.file("protect.bin"), protecting);
  write_file(dir.file("blank-reg.bin"), std::string(128, '\0'));
  const auto hint = [](const char* text) {
    return fmt::format(
        "提示: 文本转储不能直接写入；先用 dimmwand-spd convert {} -o 映像.bin 转成二进制映像，写入时用 -i 给出它\n",
        text);
  };
  struct Case {
    std::vector<std::string> args;  // after "write {port}"
    std::string err;
    std::size_t reads;  // block reads the refusal may make first (a backup's: two that agree)
  };
  for (const auto& c : std::vector<Case>{
           {{"4", "-i", "spd4.txt"},
            "错误: spd4.txt 是文本（dimmwand read 打印的十六进制转储，512 字节），不是原始映像，未写入任何字节\n" +
                hint("spd4.txt"),
            0},
           // A name with a space is quoted in the command the hint gives, so it can be run as shown.
           {{"4", "-i", "my spd4.txt"},
            "错误: my spd4.txt 是文本（dimmwand read 打印的十六进制转储，512 字节），不是原始映像，未写入任何字节\n" +
                hint("\"my spd4.txt\""),
            0},
           {{"4", "-i", "spd4.hex", "--verify"},
            "错误: spd4.hex 是文本（hexdump -C 的输出，512 字节），不是原始映像，未写入任何字节\n" + hint("spd4.hex"),
            0},
           {{"4", "-i", "spd4.xxd", "--changed"},
            "错误: spd4.xxd 是文本（xxd 的输出，512 字节），不是原始映像，未写入任何字节\n" + hint("spd4.xxd"),
            0},
           {{"4", "-i", "torn.txt"},
            "错误: torn.txt 是文本，像是 dimmwand read 打印的十六进制转储，但第 7 行无法解析（地址跳跃: 0x70，应为 "
            "0x60），"
            "不是原始映像，未写入任何字节\n" +
                hint("torn.txt"),
            0},
           {{"4", "-i", "hdr.txt"},
            "错误: hdr.txt 是文本（dimmwand read 打印的十六进制转储，512 字节；另有不属于转储的文字: 第 1 "
            "行），不是原始映像，"
            "未写入任何字节\n" +
                hint("hdr.txt"),
            0},
           {{"4", "-i", "note.txt", "--check"},
            "错误: note.txt 是文本（dimmwand read 打印的十六进制转储，512 字节；另有不属于转储的文字: 第 1 行、第 35 "
            "行），"
            "不是原始映像，未写入任何字节\n" +
                hint("note.txt"),
            0},
           {{"4", "-i", "chat.txt"},
            "错误: chat.txt 是文本（dimmwand read 打印的十六进制转储，512 字节；另有不属于转储的文字: 第 1 "
            "行），不是原始映像，"
            "未写入任何字节\n" +
                hint("chat.txt"),
            0},
           {{"4", "-i", "ps.txt"},
            "错误: ps.txt 是文本（dimmwand read 打印的十六进制转储，512 字节），不是原始映像，未写入任何字节\n" +
                hint("ps.txt"),
            0},
           {{"4", "-i", "notes.txt", "--backup", "b.bin"},
            "错误: notes.txt 是文本（认不出其中的十六进制转储；第一行为“换了 XMP "
            "之后不开机”），不是原始映像，未写入任何字节\n"
            "提示: 只能写入二进制映像（如 dimmwand read -o 保存的文件）；十六进制转储可先用 dimmwand-spd convert "
            "转成二进制映像\n",
            0},
           {{"5", "-i", "spd4.bin", "--check"},
            "错误: 映像检查未通过: 字节 2（内存类型）为 0x0C，是 DDR4 映像，不是 DDR5\n",
            0},
           {{"5", "-i", "reg5.bin", "--check", "--backup", "b.bin"},
            "错误: 映像检查未通过: 文件 128 字节，DDR5 SPD 区为 1024 字节；128 字节的像是 REG 区映像，写 REG 区要加 -t "
            "reg\n",
            0},
           {{"5", "-i", "crc5.bin", "--check"},
            fmt::format("错误: 映像检查未通过: 基本区 CRC 错误（字节 0-509，存储 0x{:02X}11，计算 0x{:02X}{:02X}）；"
                        "dimmwand-spd fix 可以重算校验和\n",
                        static_cast<std::uint8_t>(crc[0x1FF]),
                        static_cast<std::uint8_t>(read_file(sample_path("spd5"))[0x1FF]),
                        static_cast<std::uint8_t>(read_file(sample_path("spd5"))[0x1FE])),
            0},
           {{"5", "-t", "reg", "-i", "blank-reg.bin", "--check"},
            "错误: 映像检查未通过: MR0-MR1 为 00 00，不是 SPD5118 集线器的 51 18\n",
            0},
           {{"5", "-t", "reg", "-i", "protect.bin", "--check", "--backup", "b.bin"},
            "错误: 映像检查未通过: 映像会把块 0-7 设为写保护（映像 MR12=FF MR13=00，模块现为 MR12=00 MR13=00）；"
            "块写保护只能在 SPD 集线器的脱机模式下清除（模块 HSA 引脚接地），确要设置请加 --protect\n",
            2},
       }) {
    std::vector<std::string> args{"write", "{port}"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run_with_emulator({"--spd4", "spd4.bin", "--save"}, args, dir.path());
    const std::string name = fmt::format("{}", fmt::join(c.args, " "));
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(port_named(r.err), c.err) << name;
    EXPECT_EQ(logged_frames(r.log).size(), c.reads) << name;
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.bin"))) << name;
  }
  EXPECT_EQ(read_file(dir.file("spd4.bin")), read_file(sample_path("spd4")));

  // Setting protection is the technician's call: --protect with --check, or a plain write.
  for (const auto& extra : std::vector<std::vector<std::string>>{{"--check", "--protect"}, {}}) {
    std::vector<std::string> args{"write", "{port}", "5", "-t", "reg", "-i", "protect.bin"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = run_with_emulator({}, args, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "写入中 128 字节 ... ");
    EXPECT_EQ(written_bytes(r.log).size(), 128u);
  }
  EXPECT_EQ(
      run_with_emulator({}, {"write", "{port}", "5", "-t", "reg", "-i", "reg5.bin", "--protect"}, dir.path()).status,
      2);
}

TEST(WriteSafety, AFailureAfterFramesSaysHowFarAndHowToUndo) {
  TempDir dir;
  write_file(dir.file("image.bin"), std::string(256, '\x1F'));
  // The backup's reads are frames 1 and 2; the line drops with frame 6, the fourth byte write.
  const auto r =
      run_with_emulator({"--hangup-after", "6"},
                        {"write", "{port}", "3", "-i", "image.bin", "--backup", "b.bin", "--verify"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "已备份 256 字节: b.bin\n");
  EXPECT_TRUE(r.err.starts_with("写入中 256 字节 ... 错误: 发送失败: ")) << r.err;
  EXPECT_TRUE(port_named(r.err).ends_with(
      "\n已写入 4 / 256 字节\n写入前的内容已备份在 b.bin，写回: dimmwand write {port} 3 -i b.bin --verify\n"))
      << r.err;
}

}  // namespace
}  // namespace dimmwand
