// dimmwand-spd host on fake sysfs trees: the kernel's drivers' folders with real modules' dumps
// as their eeprom files, another EEPROM on the bus, a file that cannot be read, and machines
// where no driver is loaded or none has found a module.
#include <gtest/gtest.h>

#include <filesystem>

#include "process.hpp"

namespace dimmwand {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

std::string dump(const char* name) { return read_file(std::string(DIMMWAND_DUMPS) + "/" + name + ".bin"); }

testing::RunResult host(const std::string& cwd, std::vector<std::string> args) {
  args.insert(args.begin(), {DIMMWAND_SPD_TOOL, "host", "--sysfs", "sys"});
  return run_program(args, cwd);
}

// Puts `content` where `driver` shows the device `device` ("0-0050").
void eeprom(const TempDir& dir, const char* driver, const char* device, const std::string& content) {
  const fs::path folder = fs::path(dir.path()) / "sys/bus/i2c/drivers" / driver / device;
  fs::create_directories(folder);
  write_file((folder / "eeprom").string(), content);
}

const char* const kDdr3 = "ddr3-samsung-m378b5173db0-ck0-udimm-1600";
const char* const kDdr4 = "ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp";
const char* const kDdr5 = "ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800";

TEST(Host, ListsEachModuleAndSavesItsImageWithoutReplacingAnything) {
  TempDir dir;
  eeprom(dir, "at24", "0-0052", dump(kDdr3));
  eeprom(dir, "ee1004", "0-0050", dump(kDdr4));
  eeprom(dir, "spd5118", "1-0051", dump(kDdr5));
  eeprom(dir, "at24", "3-0050", std::string(256, '\x5A'));                     // a board's EEPROM, no SPD
  fs::create_directories(dir.file("sys/bus/i2c/drivers/at24/3-0036"));         // not an SPD address
  fs::create_directories(dir.file("sys/bus/i2c/drivers/at24/2-0053/eeprom"));  // unreadable, even by root
  write_file(dir.file("sys/bus/i2c/drivers/at24/bind"), "");
  const std::string lines =
      "总线 0 地址 0x50（ee1004）: DDR4 UDIMM，16 GB，DDR4-2400，Kingston，KF3600C18D4/16GX，序列号 "
      "5D5AC798，校验和正确\n"
      "总线 0 地址 0x52（at24）: DDR3 UDIMM，4 GB，DDR3-1600，Samsung，M378B5173DB0-CK0，序列号 15EBF5E9，校验和正确\n"
      "总线 1 地址 0x51（spd5118）: DDR5 RDIMM，64 GB，DDR5-4800，Micron Technology，MTC40F2046S1RC48BA1，序列号 "
      "3BF239F8，校验和正确\n";
  const std::string other =
      "总线 3 地址 0x50（at24）: 不是内存条的 SPD（256 字节，字节 2 为 0x5A，不是 DDR3、DDR4、DDR5 的内存类型）\n";
  const auto listed = host(dir.path(), {});
  EXPECT_EQ(listed.status, 1);
  EXPECT_EQ(
      listed.out,
      lines +
          "总线 2 地址 0x53（at24）: 无法读取 sys/bus/i2c/drivers/at24/2-0053/eeprom: 是文件夹（Is a directory）\n" +
          other);
  EXPECT_EQ(listed.err,
            "错误: 1 个 EEPROM 无法读取\n提示: at24 与 spd5118 的 eeprom 文件通常只有 root 可读：用 sudo dimmwand-spd "
            "host\n");

  fs::remove_all(dir.file("sys/bus/i2c/drivers/at24/2-0053"));
  write_file(dir.file("mine.bin"), "mine");
  fs::create_directories(dir.file("backup"));
  fs::copy_file(dir.file("mine.bin"),
                dir.file("backup/M378B5173DB0-CK0_15EBF5E9.bin"));  // another image under that name
  const auto saved = host(dir.path(), {"--save", "backup"});
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_NE(
      saved.out.find(
          "  已保存: backup/M378B5173DB0-CK0_15EBF5E9_0-0052.bin（M378B5173DB0-CK0_15EBF5E9.bin 已存在，内容不同）\n"),
      std::string::npos)
      << saved.out;
  EXPECT_EQ(read_file(dir.file("backup/M378B5173DB0-CK0_15EBF5E9.bin")), "mine");
  EXPECT_EQ(read_file(dir.file("backup/M378B5173DB0-CK0_15EBF5E9_0-0052.bin")), dump(kDdr3));
  EXPECT_EQ(read_file(dir.file("backup/KF3600C18D4-16GX_5D5AC798.bin")), dump(kDdr4));
  EXPECT_EQ(read_file(dir.file("backup/MTC40F2046S1RC48BA1_3BF239F8.bin")), dump(kDdr5));

  fs::remove(dir.file("backup/M378B5173DB0-CK0_15EBF5E9.bin"));
  const auto again = host(dir.path(), {"--save", "backup"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.out.find("序列号 5D5AC798，校验和正确\n  已有同样的映像: backup/KF3600C18D4-16GX_5D5AC798.bin\n"),
            std::string::npos);
  EXPECT_NE(again.out.find("序列号 15EBF5E9，校验和正确\n  已保存: backup/M378B5173DB0-CK0_15EBF5E9.bin\n"),
            std::string::npos);
  EXPECT_EQ(read_file(dir.file("backup/M378B5173DB0-CK0_15EBF5E9.bin")), dump(kDdr3));

  const auto json = host(dir.path(), {"--json"});
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find(R"("bus":0,"address":80,"driver":"ee1004",)"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find(R"("part_number":"KF3600C18D4/16GX","serial_number":"5D5AC798","checksums_ok":true)"),
            std::string::npos);
  EXPECT_NE(json.out.find(R"("readable":true,"spd":false,"error":"256 字节)"), std::string::npos);
}

// Two modules of one part number, both without a serial (00000000): each saved under its slot.
TEST(Host, ModulesOfOnePartWithoutASerialAreSavedApart) {
  TempDir dir;
  std::string module = dump(kDdr4);
  module.replace(325, 4, std::string(4, '\0'));  // serial 00000000
  eeprom(dir, "ee1004", "0-0050", module);
  eeprom(dir, "ee1004", "0-0051", module);
  const auto r = host(dir.path(), {"--save", "backup"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("backup/KF3600C18D4-16GX_00000000_0-0050.bin")), module);
  EXPECT_EQ(read_file(dir.file("backup/KF3600C18D4-16GX_00000000_0-0051.bin")), module);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("backup")), {}), 2);
}

// Modules without a part number or serial (cheap ones, or erased) are told apart by their slot,
// and every one of them is saved, each time under the name it had.
TEST(Host, ModulesWithoutPartOrSerialAreSavedByTheirSlot) {
  TempDir dir;
  std::string blank = dump(kDdr4);
  blank.replace(325, 4, std::string(4, '\0'));   // serial 00000000
  blank.replace(329, 20, std::string(20, ' '));  // no part number
  std::string other = blank;
  other[384] = static_cast<char>(other[384] ^ 0x01);  // the same but for one byte, outside the checksums
  eeprom(dir, "ee1004", "0-0050", blank);
  eeprom(dir, "ee1004", "0-0057", other);  // the last slot of the bus
  eeprom(dir, "ee1004", "0-0058", blank);  // no memory slot answers there
  for (int run = 0; run < 2; ++run) {
    const auto r = host(dir.path(), {"--save", "backup"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string done = run == 0 ? "已保存" : "已有同样的映像";
    EXPECT_EQ(
        r.out,
        "总线 0 地址 0x50（ee1004）: DDR4 UDIMM，16 GB，DDR4-2400，Kingston，型号未记录，序列号 00000000，校验和正确\n"
        "  " +
            done +
            ": backup/spd_00000000_0-0050.bin\n"
            "总线 0 地址 0x57（ee1004）: DDR4 UDIMM，16 GB，DDR4-2400，Kingston，型号未记录，序列号 "
            "00000000，校验和正确\n"
            "  " +
            done + ": backup/spd_00000000_0-0057.bin\n");
  }
  EXPECT_EQ(read_file(dir.file("backup/spd_00000000_0-0050.bin")), blank);
  EXPECT_EQ(read_file(dir.file("backup/spd_00000000_0-0057.bin")), other);

  // The module in a slot changed since its backup (written, or swapped): the backup stays.
  write_file(dir.file("sys/bus/i2c/drivers/ee1004/0-0050/eeprom"), other);
  const auto changed = host(dir.path(), {"--save", "backup"});
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_NE(
      changed.out.find("  已保存: backup/spd_00000000_0-0050_2.bin（spd_00000000_0-0050.bin 已存在，内容不同）\n"),
      std::string::npos)
      << changed.out;
  EXPECT_EQ(read_file(dir.file("backup/spd_00000000_0-0050.bin")), blank);
  EXPECT_EQ(read_file(dir.file("backup/spd_00000000_0-0050_2.bin")), other);
}

TEST(Host, AMachineWithoutTheDriversIsToldWhatToLoad) {
  TempDir dir;
  const auto none = host(dir.path(), {});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err,
            "错误: 没有加载读取内存条 SPD 的内核驱动（sys/bus/i2c/drivers 下没有 ee1004、spd5118、at24、eeprom）\n"
            "提示: DDR4: sudo modprobe ee1004；DDR5: sudo modprobe spd5118；DDR3: sudo modprobe at24；之后再运行 "
            "dimmwand-spd host\n");
  fs::create_directories(dir.file("sys/bus/i2c/drivers/ee1004"));
  const auto unbound = host(dir.path(), {"--save", "backup"});
  EXPECT_EQ(unbound.status, 1);
  EXPECT_TRUE(
      unbound.err.starts_with("错误: 已加载 ee1004，但没有内存条的 EEPROM（地址 0x50-0x57）由它读取\n"
                              "提示: DDR5: sudo modprobe spd5118；DDR3: sudo modprobe at24；"))
      << unbound.err;
  EXPECT_FALSE(fs::exists(dir.file("backup")));  // nothing to save, nothing made
}

}  // namespace
}  // namespace dimmwand
