// dimmwand-emu itself: the files it is given, the write pacing it judges when asked, and one
// module of one generation in the slot.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <string>
#include <vector>

#include "emulator.hpp"
#include "images.hpp"
#include "process.hpp"
#include "protocol/frame.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

std::string text_of(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Every file the emulator reads or writes: a failure says which file and the system's reason,
// and never aborts.
TEST(Emulator, FilesItCannotUseAreRefusedWithTheReason) {
  TempDir dir;
  const std::string missing = dir.file("missing.bin");
  write_file(dir.file("short.bin"), std::string(100, '\0'));
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string err;
  };
  std::vector<Case> cases;
  for (const auto& a : emu::kAreaNames) {
    const std::string option = fmt::format("--{}", a.name);
    cases.push_back(
        {{option, dir.path()}, 2, fmt::format("dimmwand-emu: 读取 {} 失败: 是文件夹（Is a directory）\n", dir.path())});
    cases.push_back(
        {{option, missing},
         2,
         fmt::format("dimmwand-emu: 读取 {} 失败: 找不到文件或文件夹（No such file or directory）\n", missing)});
    cases.push_back({{option, dir.file("short.bin")},
                     2,
                     fmt::format("dimmwand-emu: {} 有 100 字节，该数据区为 {} 字节\n", dir.file("short.bin"), a.size)});
  }
  cases.push_back({{"--spd3", "/dev/zero"}, 2, "dimmwand-emu: /dev/zero 超过 65536 字节，该数据区为 256 字节\n"});
  cases.push_back({{"--log", dir.file("no/such.log")},
                   1,
                   fmt::format("dimmwand-emu: 写入 {} 失败: 找不到文件或文件夹（No such file or directory）\n",
                               dir.file("no/such.log"))});
  cases.push_back(
      {{"--export", dir.file("short.bin/no")},
       1,
       fmt::format("dimmwand-emu: 建立文件夹 {} 失败: 不是文件夹（Not a directory）\n", dir.file("short.bin/no"))});
  for (const auto& c : cases) {
    std::vector<std::string> argv{testing::emulator_path()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), {"--", "true"});
    const auto r = run_program(argv);
    EXPECT_EQ(r.status, c.status) << c.options.front() << " " << c.options.back();
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(Emulator, ExportsTheAreasItServes) {
  TempDir dir;
  const auto r = run_program({testing::emulator_path(), "--export", dir.file("new/images")});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto areas = emu::default_areas();
  for (const auto& a : emu::kAreaNames) {
    EXPECT_EQ(read_file(dir.file(fmt::format("new/images/{}.bin", a.name))), text_of(areas.*a.member)) << a.name;
  }
}

// Four byte writes in one burst, far faster than any EEPROM takes them: lost and counted only
// when the gap is asked to be judged; otherwise a loaded machine, which delays the emulator's
// reads, could make a well-paced write look as fast as this.
TEST(Emulator, JudgesTheGapBetweenWritesOnlyWhenAsked) {
  struct Case {
    std::vector<std::string> options;
    std::string err;
    std::string stored;
  };
  for (const auto& c : std::vector<Case>{
           {{}, "", "\xA5\xA5\xA5\xA5"},
           {{"--min-write-gap", "5"},
            "dimmwand-emu: 3 次字节写入早于写周期到达，已丢失\n",
            std::string("\xA5\0\0\0", 4)},
       }) {
    TempDir dir;
    std::string burst;
    for (std::uint16_t at = 0x40; at < 0x44; ++at) {
      const auto f = encode_frame({CommandCode::WriteByte, 3, at, 0xA5});
      burst.append(f.begin(), f.end());
    }
    write_file(dir.file("burst"), burst);
    const auto spd3 = emu::default_areas().spd3;
    write_file(dir.file("spd3.bin"), text_of(spd3));
    std::vector<std::string> argv{testing::emulator_path(), "--spd3", dir.file("spd3.bin"), "--save"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    // The command stays until the four answers came: the emulator has taken every frame.
    argv.insert(argv.end(),
                {"--", "sh", "-c", "cat \"$0\" > {port}; timeout 10 head -c 8 {port} > /dev/null", dir.file("burst")});
    const auto r = run_program(argv);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(read_file(dir.file("spd3.bin")).substr(0x40, 4), c.stored);
  }
}

// A byte write is answered once the EEPROM's write cycle is over, as the option asks.
TEST(Emulator, AnswersAByteWriteAfterTheWriteCycle) {
  const auto r = run_program({testing::emulator_path(), "--write-cycle", "400", "--", testing::tool_path(), "WriteByte",
                              "{port}", "3", "10", "AA"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_GE(r.seconds, 0.4);
}

// With one module in the slot, naming the wrong generation reads what the bench would show.
TEST(Emulator, OneModuleInTheSlotShowsTheWrongGeneration) {
  TempDir dir;
  const auto areas = emu::default_areas();
  struct Case {
    std::string only;
    std::vector<std::string> args;
    std::string out;
    std::string file;  // what -o saved, when it is given
  };
  const std::string image = dir.file("out.bin");
  const std::string spd3_read_as_ddr4 = text_of(areas.spd3) + std::string(256, '\xFF');
  for (const auto& c : std::vector<Case>{
           {"4",
            {"read", "{port}", "3", "-o", image},
            "已保存 256 字节: " + image + "\n",
            text_of(areas.spd4).substr(0, 256)},
           {"3", {"read", "{port}", "4", "-o", image}, "已保存 512 字节: " + image + "\n", spd3_read_as_ddr4},
           {"5", {"ReadByte", "{port}", "4", "2"}, "12\n", ""},
           {"3", {"ReadByte", "{port}", "3", "2"}, "0B\n", ""},
       }) {
    const auto r = testing::run_with_emulator({"--only", c.only}, c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (!c.file.empty()) {
      EXPECT_EQ(read_file(image), c.file);
    }
  }
}

}  // namespace
}  // namespace dimmwand
