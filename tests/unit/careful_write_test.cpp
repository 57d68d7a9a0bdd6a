// What the careful write refuses before its first frame, and what it says after a failure: the
// image's checksums and protection bits, the module's own generation, a backup a noisy line
// cannot spoil, and the count of bytes that went out.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "commands/commands.hpp"
#include "commands/image_checks.hpp"
#include "model/hub.hpp"
#include "model/spd_image.hpp"
#include "files.hpp"
#include "programmer_port.hpp"
#include "spd_images.hpp"

namespace dimmwand {
namespace {

using testing::Bench;
using testing::faults;
using testing::TempFile;
using testing::write_args;
using Bytes = std::vector<std::uint8_t>;

std::string file_content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every checksum the image carries is judged, not only the first: a byte changed under any of
// them is refused, naming that checksum.
TEST(WriteCheck, EveryChecksumOfTheImageIsJudged) {
  for (const auto& [device, image] :
       std::vector<std::pair<DeviceType, Bytes>>{{DeviceType::DDR3, testing::ddr3()},
                                                 {DeviceType::DDR4, testing::ddr4()},
                                                 {DeviceType::DDR5, testing::ddr5(true)}}) {
    const auto sums = model::checksums(image, device);
    ASSERT_GE(sums.size(), device == DeviceType::DDR3 ? 1u : 2u);
    ASSERT_TRUE(check_spd_image(image, device));
    for (const auto& c : sums) {
      Bytes damaged = image;
      damaged[c.to] ^= 0x01;  // the last byte a checksum covers is still covered
      // A user profile is known by its checksum holding: damaged, it is no profile to judge.
      const auto still = model::checksums(damaged, device);
      if (std::none_of(still.begin(), still.end(), [&](const auto& s) { return s.name == c.name; })) continue;
      const auto r = check_spd_image(damaged, device);
      ASSERT_FALSE(r) << c.name;
      EXPECT_NE(r.error().find(c.name + " 错误"), std::string::npos) << r.error();
    }
  }
}

TEST(WriteCheck, ProtectionBitsAreNewOnlyWhenTheModuleLacksThem) {
  const auto regs = [](std::uint8_t mr12, std::uint8_t mr13) {
    Bytes r = emu::default_areas().reg5;
    r[hub::kProtectLow] = mr12;
    r[hub::kProtectHigh] = mr13;
    return r;
  };
  struct Case {
    Bytes image, module;
    bool allowed, refused;
  };
  const std::vector<Case> cases{
      {regs(0x01, 0x00), regs(0x00, 0x00), false, true},
      {regs(0x00, 0x80), regs(0x00, 0x00), false, true},   // block 15: a bit of MR13
      {regs(0x80, 0x01), regs(0x80, 0x01), false, false},  // the module's own dump written back
      {regs(0x81, 0x01), regs(0x80, 0x01), false, true},
      {regs(0x81, 0x01), regs(0x80, 0x01), true, false},  // --protect
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(!check_reg_protection(c.image, c.module, c.allowed), c.refused) << "case " << i;
  }
}

// At the gate of a REG write: an image that protects block 15 alone (a bit of MR13) onto a hub
// that protects nothing is judged against the module's registers, and refused.
TEST(WriteCheck, AnMr13BitAloneIsJudgedAtTheGate) {
  Bytes image = emu::default_areas().reg5;
  image[hub::kProtectHigh] = 0x80;
  TempFile input("mr13.bin", image);
  Bench bench;
  auto args = write_args(DeviceType::DDR5, input.path);
  args.common.mode = DataMode::Reg;
  args.check = true;
  const auto r = run_write(args, bench.context());
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with("映像检查未通过: 映像会把块 15 设为写保护")) << r.error().display();
  EXPECT_TRUE(bench.frames(CommandCode::WriteRegByte).empty());
}

// Text in a local code page (GBK) is refused like any other text; no real image is taken for text.
TEST(WriteCheck, TextInAnyEncodingIsRefusedAndNoImageIs) {
  WriteArgs args = write_args(DeviceType::DDR4, "t.txt");
  const std::string gbk =
      "\xC4\xDA\xB4\xE6\xCC\xF5 SPD \xB1\xB8\xB7\xDD\n000000  23 11 0C 02\n";  // "内存条 SPD 备份" in GBK
  const auto r = refuse_text_dump(std::vector<std::uint8_t>(gbk.begin(), gbk.end()), args);
  ASSERT_FALSE(r);
  EXPECT_TRUE(r.error().display().starts_with("t.txt 是文本（不是 UTF-8、UTF-16 或 UTF-32")) << r.error().display();
  auto paths = testing::dump_paths();
  for (const auto* area : {"spd3", "spd4", "spd5", "reg5"}) paths.push_back(testing::sample_path(area));
  for (const auto& path : paths) {
    const std::string bytes = testing::read_file(path);
    EXPECT_TRUE(refuse_text_dump(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), args)) << path;
  }
}

// A DDR4 module in the slot while the command line says DDR3: its first 256 bytes are what a
// DDR3 read reaches, and its byte 2 says DDR4.
TEST(WriteCheck, TheModulesOwnGenerationMustBeTheOneTyped) {
  auto areas = emu::default_areas();
  areas.spd3.assign(areas.spd4.begin(), areas.spd4.begin() + 256);
  TempFile input("ddr3-on-ddr4.bin", emu::default_areas().spd3);
  for (const bool changed : {false, true}) {
    Bench bench(areas);
    auto args = write_args(DeviceType::DDR3, input.path);
    args.check = true;
    args.changed = changed;
    const auto r = run_write(args, bench.context());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().display(),
              "映像检查未通过: 模块的字节 2（内存类型）为 0x0C，是 DDR4 内存条，命令行给的是 DDR3；未写入任何字节");
    EXPECT_TRUE(bench.frames(CommandCode::WriteByte).empty());
    // Without --changed one byte read says it; with it, the area read already has.
    EXPECT_EQ(bench.frames(CommandCode::ReadByte).size(), changed ? 0u : 1u);
  }
}

TEST(WriteBackup, ReadUntilTwoReadsAgree) {
  const Bytes module = emu::default_areas().spd4;
  Bytes image = module;
  image[0x140] ^= 0xFF;
  TempFile input("agree-image.bin", image);
  struct Case {
    std::size_t flaky_every;  // every Nth area read has a bit flipped
    std::size_t reads;
    bool agreed;
  };
  for (const auto& c : std::vector<Case>{{0, 2, true}, {2, 3, true}, {1, 3, false}}) {
    Bench bench(emu::default_areas(), faults([&](auto& f) { f.flaky_every = c.flaky_every; }));
    TempFile backup(fmt::format("agree-backup-{}.bin", c.flaky_every));
    auto args = write_args(DeviceType::DDR4, input.path);
    args.backup = backup.path;
    const auto r = run_write(args, bench.context());
    EXPECT_EQ(bench.frames(CommandCode::ReadSpd).size(), c.reads) << c.flaky_every;
    if (!c.agreed) {
      ASSERT_FALSE(r);
      EXPECT_EQ(r.error().display(), "两次读出的内容不一致，线路可能有干扰；未写入");
      EXPECT_TRUE(bench.frames(CommandCode::WriteByte).empty());
      EXPECT_FALSE(std::filesystem::exists(backup.path));
      continue;
    }
    ASSERT_TRUE(r) << r.error().display();
    EXPECT_EQ(file_content(backup.path), std::string(module.begin(), module.end())) << c.flaky_every;
  }
}

TEST(WriteBackup, AModuleWhoseChecksumFailsIsSavedAndSaid) {
  auto areas = emu::default_areas();
  areas.spd4[0x10] ^= 0x01;
  TempFile input("damaged-image.bin", emu::default_areas().spd4);
  TempFile backup("damaged-backup.bin");
  Bench bench(areas);
  auto args = write_args(DeviceType::DDR4, input.path);
  args.backup = backup.path;
  ASSERT_TRUE(run_write(args, bench.context()));
  EXPECT_EQ(file_content(backup.path), std::string(areas.spd4.begin(), areas.spd4.end()));
  EXPECT_TRUE(bench.output.err_text.starts_with("注意: 模块现有内容的基本区 CRC 不符")) << bench.output.err_text;
  EXPECT_NE(bench.output.err_text.find("（字节 0-125，"), std::string::npos) << bench.output.err_text;
}

// Answers to the byte writes that arrive only after the read-back's request would shift its bytes:
// they are drained first, and the module verifies.
TEST(WriteVerify, LateAnswersToTheWritesDoNotShiftTheReadBack) {
  Bytes image = emu::default_areas().spd4;
  image[0x140] ^= 0xFF;
  image[0x141] ^= 0xFF;
  TempFile input("late-image.bin", image);
  Bench bench;
  bench.late_write_answers = true;
  auto args = write_args(DeviceType::DDR4, input.path);
  args.changed = true;
  args.verify = true;
  const auto r = run_write(args, bench.context());
  ASSERT_TRUE(r) << r.error().display();
  EXPECT_TRUE(bench.output.out_text.ends_with("校验通过\n")) << bench.output.out_text;
}

// Any careful option earns the count of bytes that went out; a plain write's error stays as it is.
TEST(WriteFailure, TheCountFollowsEveryCarefulOption) {
  const Bytes image = emu::default_areas().spd4;
  Bytes changed_image = image;
  for (std::size_t i = 0x150; i < 0x160; ++i) changed_image[i] ^= 0xFF;
  TempFile input("count-image.bin", changed_image);
  for (const std::string option : {"", "--check", "--changed", "--backup", "--verify"}) {
    Bench bench;
    auto args = write_args(DeviceType::DDR4, input.path);
    args.check = option == "--check";
    args.changed = option == "--changed";
    args.verify = option == "--verify";
    TempFile backup("count-backup.bin");
    if (option == "--backup") args.backup = backup.path;
    const std::size_t before = option == "--check" ? 1 : option == "--changed" ? 1 : option == "--backup" ? 2 : 0;
    bench.unplug_after = before + 3;  // three byte writes, then the cable is pulled
    const auto r = run_write(args, bench.context());
    ASSERT_FALSE(r) << option;
    const std::size_t total = option == "--changed" ? 16 : 512;
    const std::string count = fmt::format("已写入 3 / {} 字节", total);
    EXPECT_EQ(r.error().display().find(count) != std::string::npos, !option.empty())
        << option << ": " << r.error().display();
  }
}

}  // namespace
}  // namespace dimmwand
