// Images that come as text: every form of every real module's dump, as the tools print it,
// converts back to exactly the image it was made from; the commands read a text as they read
// the image, and a text that does not parse whole is refused, naming its line.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

#include "commands/hex_dump.hpp"
#include "emulator.hpp"
#include "image/text_chars.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_program;
using testing::run_spd;
using testing::TempDir;
using testing::write_file;

// i2cdump needs a bus, so its layout is written here: a table a 256-byte page, each under its
// header, as a DDR4 or DDR5 module is dumped page by page.
std::string i2cdump(const std::string& b) {
  std::string out;
  for (std::size_t at = 0; at < b.size(); at += 16) {
    if (at % 256 == 0) out += "     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n";
    out += fmt::format("{:02x}: ", at % 256);
    std::string ascii;
    for (std::size_t i = 0; i < 16; ++i) {
      const auto c = static_cast<unsigned char>(b[at + i]);
      out += fmt::format("{:02x} ", c);
      ascii += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    out += "   " + ascii + "\n";
  }
  return out;
}

// Plain bytes as people paste them into code: "0x92, 0x13, ...", eight a line.
std::string c_bytes(const std::string& b) {
  std::string out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    out += fmt::format("0x{:02X}{}", static_cast<unsigned char>(b[i]), i % 8 == 7 ? ",\n" : ", ");
  }
  return out;
}

TEST(TextDumps, EveryFormOfEveryRealDumpConvertsToItsImage) {
  TempDir dir;
  ASSERT_FALSE(testing::dump_paths().empty());
  for (const auto& path : testing::dump_paths()) {
    const std::string image = read_file(path);
    const std::string g = std::to_string(image.size() == 256 ? 3 : image.size() == 512 ? 4 : 5);
    const auto read = testing::run_with_emulator({"--spd" + g, path}, {"read", "{port}", g});
    ASSERT_EQ(read.status, 0) << path << read.err;
    struct Form {
      std::string text;
      const char* name;
    };
    for (const auto& form : std::vector<Form>{
             {read.out, "dimmwand read 打印的十六进制转储"},
             {run_program({"/usr/bin/xxd", path}).out, "xxd 的输出"},
             {run_program({"/usr/bin/hexdump", "-C", path}).out, "hexdump -C 的输出"},
             {i2cdump(image), "i2cdump 的输出"},
             {run_program({"/usr/bin/od", "-An", "-tx1", "-v", path}).out, "十六进制字节文本"},
             {c_bytes(image), "十六进制字节文本"},
         }) {
      write_file(dir.file("dump.txt"), form.text);
      std::filesystem::remove(dir.file("out.bin"));
      const auto r = run_spd({"convert", "dump.txt", "-o", "out.bin"}, dir.path());
      EXPECT_EQ(r.status, 0) << path << " " << form.name << "\n" << r.err;
      EXPECT_EQ(r.err, fmt::format("提示: dump.txt 是文本（{}），读出 {} 字节\n", form.name, image.size())) << path;
      EXPECT_EQ(r.out, fmt::format("已保存 {} 字节: out.bin\n", image.size()));
      EXPECT_TRUE(read_file(dir.file("out.bin")) == image) << path << " " << form.name;
    }
  }
}

std::string dimmwand_dump(const std::string& image) {
  return format_hex_dump({reinterpret_cast<const std::uint8_t*>(image.data()), image.size()});
}

TEST(TextDumps, NoRealImageIsText) {
  auto images = testing::dump_paths();
  for (const char* area : {"spd3", "spd4", "spd5", "reg5"}) images.push_back(testing::sample_path(area));
  for (const auto& path : images) {
    const std::string image = read_file(path);
    EXPECT_FALSE(image::as_text({reinterpret_cast<const std::uint8_t*>(image.data()), image.size()})) << path;
  }
}

// Copied by hand: a title, the prompt, a note after it, in any language; spaces collapsed by a
// chat, or turned into a tab. Every real module's dump still converts to exactly its image, and
// the lines left out are named.
TEST(TextDumps, TitlesPromptsAndCollapsedSpacesAreSeenThrough) {
  TempDir dir;
  for (const auto& path : testing::dump_paths()) {
    const std::string image = read_file(path);
    const std::string dump = dimmwand_dump(image);
    std::string collapsed = dump;
    for (std::size_t at; (at = collapsed.find("  ")) != std::string::npos;) collapsed.erase(at, 1);
    std::string tabbed = dump;
    for (std::size_t at; (at = tabbed.find("  ")) != std::string::npos;) tabbed.replace(at, 2, "\t");
    const std::size_t last = image.size() / 16 + 1;
    struct Form {
      std::string text;
      std::string skipped;
    };
    for (const auto& form : std::vector<Form>{
             {"Kingston FURY backup\n" + collapsed, "第 1 行"},
             {"金士顿 FURY 备份\n" + tabbed + "\n（完）\n", fmt::format("第 1 行、第 {} 行", last + 2)},
             {"$ dimmwand read COM3 4\n" + dump + "$ \n", fmt::format("第 1 行、第 {} 行", last + 1)},
         }) {
      write_file(dir.file("dump.txt"), form.text);
      std::filesystem::remove(dir.file("out.bin"));
      const auto r = run_spd({"convert", "dump.txt", "-o", "out.bin"}, dir.path());
      EXPECT_EQ(r.status, 0) << path << "\n" << r.err;
      EXPECT_EQ(r.err, fmt::format("提示: dump.txt 是文本（dimmwand read 打印的十六进制转储），读出 {} 字节\n"
                                   "提示: 跳过了转储前后的其他文字（{}）\n",
                                   image.size(), form.skipped));
      EXPECT_TRUE(read_file(dir.file("out.bin")) == image) << path << "\n" << form.text.substr(0, 80);
    }
  }
}

TEST(TextDumps, ConvertSavesOnlyTheSizeOfAnAreaUnlessTold) {
  TempDir dir;
  const std::string image = read_file(testing::sample_path("spd4"));
  std::string short_dump = dimmwand_dump(image);
  short_dump.erase(short_dump.rfind("0001F0"));  // the last line lost
  write_file(dir.file("short.txt"), short_dump);
  const auto refused = run_spd({"convert", "short.txt", "-o", "out.bin"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err,
            "提示: short.txt 是文本（dimmwand read 打印的十六进制转储），读出 496 字节\n"
            "错误: 读出 496 字节，不是任何数据区的大小（128、256、512、1024 字节）；未写入文件\n"
            "提示: 确实只要这些字节时加 --any-size\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin")));
  const auto any = run_spd({"convert", "short.txt", "-o", "out.bin", "--any-size"}, dir.path());
  EXPECT_EQ(any.status, 0) << any.err;
  EXPECT_EQ(read_file(dir.file("out.bin")), image.substr(0, 496));
}

// A text that shows no dump is never taken for an image's raw bytes.
TEST(TextDumps, ATextThatShowsNoDumpIsNoImage) {
  TempDir dir;
  write_file(dir.file("notes.txt"), "换了 XMP 之后不开机，备份在 U 盘里\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"convert", "notes.txt", "-o", "n.bin"}, {"check", "notes.txt"}, {"info", "notes.txt"}}) {
    const auto r = run_spd(args, dir.path());
    EXPECT_EQ(r.status, 1) << args.front();
    EXPECT_EQ(r.err,
              "错误: notes.txt 是文本，认不出其中的十六进制转储（认得 dimmwand read、i2cdump、hexdump -C、xxd "
              "的输出和十六进制字节），"
              "不是映像\n")
        << args.front();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("n.bin")));
}

TEST(TextDumps, CommandsReadATextAsTheImageItShows) {
  TempDir dir;
  const std::string raw = std::string(DIMMWAND_SAMPLES) + "/spd5.bin";
  write_file(dir.file("spd5.txt"), run_program({"/usr/bin/xxd", raw}).out);
  write_file(dir.file("titled.txt"), "# DDR5 样品\n" + run_program({"/usr/bin/xxd", raw}).out + "# 完\n");
  for (const auto& [text, note] : std::vector<std::pair<std::string, std::string>>{
           {"spd5.txt", "提示: spd5.txt 是文本（xxd 的输出），读出 1024 字节\n"},
           {"titled.txt",
            "提示: titled.txt 是文本（xxd 的输出），读出 1024 字节\n提示: 跳过了转储前后的其他文字（第 1 行、第 66 "
            "行）\n"}}) {
    for (const auto& command :
         std::vector<std::vector<std::string>>{{"check"}, {"info"}, {"info", "--all"}, {"check", "--strict"}}) {
      auto as_text = command;
      as_text.push_back(text);
      auto as_image = command;
      as_image.push_back(raw);
      const auto t = run_spd(as_text, dir.path());
      const auto i = run_spd(as_image, dir.path());
      EXPECT_EQ(t.out, i.out) << command.front();
      EXPECT_EQ(t.status, i.status) << command.front();
      EXPECT_EQ(t.err, note);
      EXPECT_EQ(i.err, "");  // a raw image is read without a word
    }
  }
  const auto same = run_spd({"diff", raw, "spd5.txt"}, dir.path());
  EXPECT_EQ(same.out, "两个映像相同\n");
  EXPECT_EQ(same.status, 0);
  ASSERT_EQ(run_spd({"fix", "spd5.txt", "-o", "fixed.bin"}, dir.path()).status, 0);
  EXPECT_EQ(read_file(dir.file("fixed.bin")), read_file(raw));
}

TEST(TextDumps, ATextThatDoesNotParseWholeIsRefusedNamingItsLine) {
  TempDir dir;
  const std::string raw = std::string(DIMMWAND_SAMPLES) + "/spd4.bin";
  const std::string xxd = run_program({"/usr/bin/xxd", raw}).out;
  std::string lost = xxd;  // a line lost in copying
  lost.erase(lost.find("00000060:"), lost.find("00000070:") - lost.find("00000060:"));
  std::string twice = xxd;  // a line pasted twice
  twice.insert(twice.find("00000030:"),
               twice.substr(twice.find("00000020:"), twice.find("00000030:") - twice.find("00000020:")));
  const std::string cut = xxd.substr(0, xxd.find("00000040:") + 21);  // a paste cut inside a byte
  const std::string image = read_file(raw);
  const std::string header = i2cdump(image).substr(0, i2cdump(image).find('\n') + 1);
  std::string unheaded = i2cdump(image);  // the second page without its header
  unheaded.erase(unheaded.find(header, 1), header.size());
  struct Case {
    std::string text;
    std::string err;
  };
  for (const auto& c : std::vector<Case>{
           {lost, "错误: dump.txt 是文本，像是 xxd 的输出，但第 7 行无法解析（地址跳跃: 0x70，应为 0x60）\n"},
           {twice, "错误: dump.txt 是文本，像是 xxd 的输出，但第 4 行无法解析（地址 0x20 重复（应为 0x30））\n"},
           {cut, fmt::format("错误: dump.txt 是文本，像是 xxd 的输出，但第 5 行无法解析（“{}”不是十六进制字节）\n",
                             cut.back())},
           {unheaded,
            "错误: dump.txt 是文本，像是 i2cdump 的输出，但第 18 行无法解析（地址 0x0 重复（应为 "
            "0x100）；下一页的表前应有 i2cdump 的表头行）\n"},
       }) {
    write_file(dir.file("dump.txt"), c.text);
    for (const char* command : {"check", "convert"}) {
      const auto r = command == std::string("check") ? run_spd({"check", "dump.txt"}, dir.path())
                                                     : run_spd({"convert", "dump.txt", "-o", "out.bin"}, dir.path());
      EXPECT_EQ(r.status, 1) << command;
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, c.err) << command;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin")));
  }
}

TEST(TextDumps, ConvertNeverReplacesAFileAndUsesTheStandardStreams) {
  TempDir dir;
  const std::string raw = std::string(DIMMWAND_SAMPLES) + "/spd3.bin";
  write_file(dir.file("spd3.hex"), run_program({"/usr/bin/hexdump", "-C", raw}).out);
  write_file(dir.file("kept.bin"), "mine");
  const auto refused = run_spd({"convert", "spd3.hex", "-o", "kept.bin"}, dir.path());
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "错误: 输出文件已存在: kept.bin（convert 从不覆盖文件）\n");
  EXPECT_EQ(read_file(dir.file("kept.bin")), "mine");

  const auto piped =
      run_program({"/bin/sh", "-c", fmt::format("'{}' convert - -o - < spd3.hex", DIMMWAND_SPD_TOOL)}, dir.path());
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_TRUE(piped.out == read_file(raw));
  EXPECT_EQ(piped.err, "提示: 标准输入是文本（hexdump -C 的输出），读出 256 字节\n");
}

}  // namespace
}  // namespace dimmwand
