// Values technicians act on, each on a real dump or an image varied from one (bytes changed, the
// checksums recomputed): rate names, fine corrections, the profiles that exist, the headline CAS
// latency, capacities, the newer module kinds and short or foreign images.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "process.hpp"
#include "spd/decode.hpp"
#include "spd/image.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Edit {
  std::size_t at;
  Bytes bytes;
};

Bytes dump(const std::string& name) {
  const std::string bytes = testing::read_file(testing::dump_path(name));
  return {bytes.begin(), bytes.end()};
}

// The summary and the full listing as "label: value" lines.
std::string decoded(const Bytes& s) {
  const auto g = identify(s, std::nullopt);
  if (!g) return "错误: " + g.error().display();
  const Decode d = decode(s, *g);
  std::string out;
  for (const auto& [label, value] : summary(d)) out += fmt::format("{}: {}\n", label, value);
  for (const auto& section : d.sections) {
    out += fmt::format("== {} ==\n", section.title);
    for (const auto& [label, value] : section.lines) out += fmt::format("{}: {}\n", label, value);
  }
  return out;
}

constexpr const char* kMicron = "ddr5-micron-mtc40f2046s1rc48ba1-rdimm-4800.bin";
constexpr const char* kTeam = "ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin";
constexpr const char* kCrucial = "ddr3-crucial-blt8g3d1869dt1tx0-udimm-1866-xmp.bin";
constexpr const char* kFury = "ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin";

Bytes le16(unsigned v) { return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)}; }

TEST(DecodeCases, WhatTheDecodeSays) {
  struct Case {
    std::string what;
    const char* file;
    std::vector<Edit> edits;
    std::vector<std::string> present;
    std::vector<std::string> absent = {};
  };
  const Bytes ckd{0x80, 0xB3, 0x80, 0x10};  // a clock driver: maker, present DDR5CK01, revision 1.0
  for (const auto& c : std::vector<Case>{
           // Rates named as sold, in the base and in every kind of profile.
           {"XMP 303 ps", kTeam, {{0x2C5, le16(303)}}, {"配置 1 \"TG-6000-38-38-78\": DDR5-6600 "}},
           {"XMP 285 ps", kTeam, {{0x2C5, le16(285)}}, {"配置 1 速率: DDR5-7000 (tCK 0.285 ns)"}},
           {"EXPO 270 ps", kTeam, {{0x34E, le16(270)}}, {"EXPO 1.0；配置 1: DDR5-7400 "}},
           {"base 243 ps", kMicron, {{20, le16(243)}}, {"速率: DDR5-8200 (tCK 0.243 ns)", "最高速率: DDR5-8200"}},
           {"DDR4 XMP", kFury, {}, {"XMP 2.0；配置 1: DDR4-3600 CL18-22-22 1.35 V", "配置 2 速率: DDR4-3000 "}},
           // XMP 1.3: 7 × 1/8 ns less 42 ps is DDR3-2400, not 2286.
           {"XMP 1.3 fine", kCrucial, {{180, {0x01, 0x08}}, {186, {0x07}}, {211, {0xD6}}}, {"配置 1: DDR3-2400 "}},
           // EXPO: enable bits in 0x345; a profile without a cycle time is no profile.
           {"EXPO 2 off",
            kTeam,
            {{0x345, {0x03}}},
            {"EXPO 1.0；配置 1: DDR5-6000 CL38-38-38 1.25 V\n"},
            {"EXPO 1.0；配置 1: DDR5-6000 CL38-38-38 1.25 V；"}},
           {"EXPO 0x346 not read",
            kTeam,
            {{0x345, {0x01}}, {0x346, {0x11}}},
            {"EXPO 1.0；配置 1: DDR5-6000 CL38-38-38 1.25 V\n"}},
           {"EXPO 2 emptied",
            kTeam,
            {{0x376, le16(0)}},
            {"EXPO 1.0；配置 1: DDR5-6000 CL38-38-38 1.25 V\n"},
            {"时钟周期为 0"}},
           {"XMP 2 emptied",
            kTeam,
            {{0x305, le16(0)}},
            {"XMP 3.0；配置 1 \"TG-6000-38-38-78\": DDR5-6000 CL38-38-38 1.25 V\n"}},
           // The headline CL is a supported one: tAA 15.5 ns needs 38, the list goes 36, 40.
           {"base CL", kMicron, {{30, le16(15500)}}, {"时序: CL40-"}},
           {"XMP CL", kTeam, {{0x2CD, le16(12000)}}, {"配置 1 时序: CL38-"}},
           // Capacity: asymmetric ranks, a dual-die package, the largest densities.
           {"asymmetric",
            kMicron,
            {{234, {0x48}}, {8, {0x02}}, {10, {0x20}}},
            {"容量: 40 GB (2 rank，偶数 rank x4 颗粒 16 Gb，奇数 rank x8 颗粒 8 Gb"}},
           {"DDP", kMicron, {{4, {0x24}}}, {"容量: 128 GB (2 rank，x4 颗粒 16 Gb，双晶封装"}},
           {"48 Gb", kMicron, {{4, {0x07}}}, {"容量: 192 GB"}},
           {"64 Gb", kMicron, {{4, {0x08}}}, {"容量: 256 GB"}},
           // Labels and flags.
           {"tCCD_M",
            kMicron,
            {{94, {0x88, 0x13, 0x08}}},
            {"同 bank group 不同 bank 读到读 (tCCD_M): 5.000 ns，至少 8 nCK"}},
           {"PPR",
            kMicron,
            {{12, {0xA3}}},
            {"hPPR 与 sPPR 支持；粒度: 每个 bank 一行；sPPR 撤销/锁定支持；MBIST/mPPR 支持；mPPR/hPPR 中止 支持"}},
           {"sensors, MR15",
            kMicron,
            {},
            {"温度传感器: TS5111 × 2（TS0、TS1）", "x4 RMW/ECS 写回抑制: 支持，由 MR15 控制"}},
           {"MR9", kMicron, {{14, {0x05}}}, {"x4 RMW/ECS 写回抑制: 支持，由 MR9 控制"}},
           // Secondary timings and the command rate.
           {"EXPO secondaries",
            kTeam,
            {},
            {"配置 1 其他时序: tRRD_L 5.000 ns，tCCD_L 5.000 ns，tCCD_L_WR 20.000 ns，tCCD_L_WR2 10.000 ns，tFAW "
             "10.666 ns"}},
           {"XMP secondaries",
            kTeam,
            {{0x2DF, {0x88, 0x13, 0x08}}, {0x2EE, {0xC4, 0x09, 0x04}}, {0x2FC, {0x01}}},
            {"配置 1 其他时序: tCCD_L 5.000 ns（至少 8 nCK），tRRD_L 2.500 ns（至少 4 nCK）", "配置 1 命令速率: 1N"}},
           {"DDR4 XMP section", kFury, {}, {"== XMP 2.0 ==", "配置 2 参数: tAAmin 10.672 ns"}},
           // Module kinds sold today, and module revisions compared with ≥.
           {"CUDIMM 1.1",
            kTeam,
            {{3, {0x05}}, {192, {0x11}}, {0xF0, ckd}, {0xF4, {0x30, 0x24, 0x11}}},
            {"模块类型: CUDIMM", "时钟驱动器 (CKD): DDR5CK01，制造商 IDT",
             "QCK 输出 (CKD RW00): A QCK0 关，A QCK1 关，B QCK0 开，B QCK1 开",
             "QCK 驱动强度 (CKD RW02): A QCK0 轻，A QCK1 中等，B QCK0 强，B QCK1 轻",
             "QCK 压摆率 (CKD RW03): 通道 A 快速，通道 B 快速"}},
           {"CSODIMM 1.2",
            kTeam,
            {{3, {0x06}}, {192, {0x12}}, {0xF0, ckd}, {0xF4, {0x80}}},
            {"模块类型: CSODIMM", "B QCK1 关"}},
           {"CUDIMM 1.0", kTeam, {{3, {0x05}}, {0xF0, ckd}}, {"时钟驱动器 (CKD): DDR5CK01"}, {"QCK 输出"}},
           {"CAMM2",
            kTeam,
            {{3, {0x08}}, {0xF0, ckd}, {0xF4, ckd}},
            {"模块类型: CAMM2", "时钟驱动器 0 (CKD0): DDR5CK01", "时钟驱动器 1 (CKD1): DDR5CK01"}},
           {"MRDIMM",
            kMicron,
            {{3, {0x07}}, {192, {0x11}}, {0xF4, {0x80, 0x32, 0x81, 0x10}}, {0xFA, {0x55}}},
            {"模块类型: MRDIMM", "多路寄存时钟驱动器 (MRCD): MRCD01", "多路数据缓冲器 (MDB): MDB02",
             "QCK 驱动强度 (RW0A): QACK 中等"}},
           {"DDIMM", kMicron, {{3, {0x0A}}}, {"模块类型: DDIMM", "差分内存缓冲器 (DMB): DMB501"}},
           {"solder-down", kMicron, {{3, {0x0B}}}, {"模块类型: 焊接颗粒", "焊接颗粒：无模块专用字节"}},
           {"RDIMM 1.0", kMicron, {}, {"QCK 驱动强度 (RW0A): QACK 14 Ω"}},
           {"RDIMM 1Rx8",
            "ddr5-advantech-aqd-d5v16gr48-sb-rdimm-4800.bin",
            {},
            {"容量: 16 GB (1 rank，x8 颗粒 16 Gb，2 × 32 位 + ECC)",
             "时钟输出 (RW08): QACK 开，QBCK 关，QCCK 关，QDCK 关",
             "地址/控制输出 (RW09): QACA 开，QBCA 关，QxCS 关，BCS 关，QxCA13 开，QACS 开，QBCS 关",
             "输出压摆率 (RW0E): QCK 中速，QCA 慢速，QCS 慢速", "温度传感器: TS5110 × 2（TS0、TS1）"}},
           {"RDIMM 1.1",
            kMicron,
            {{192, {0x11}}},
            {"QCK 驱动强度 (RW0A): QACK 中等", "QxCS/QxCA 驱动强度 (RW0C): QxCS 轻，QxCA 中等"}},
           // Foreign and short images.
           {"LPDDR5", kMicron, {{2, {0x13}}}, {"错误: 内存类型为 LPDDR5（字节 2 = 0x13）：不支持解读"}},
           {"LPDDR5X", kMicron, {{2, {0x15}}}, {"错误: 内存类型为 LPDDR5X"}},
       }) {
    Bytes s = dump(c.file);
    for (const auto& e : c.edits)
      std::copy(e.bytes.begin(), e.bytes.end(), s.begin() + static_cast<std::ptrdiff_t>(e.at));
    if (const auto g = identify(s, std::nullopt)) model::fix_checksums(s, *g);
    const std::string text = decoded(s);
    for (const auto& line : c.present)
      EXPECT_NE(text.find(line), std::string::npos) << c.what << ": " << line << "\n" << text;
    for (const auto& line : c.absent) EXPECT_EQ(text.find(line), std::string::npos) << c.what << ": " << line;
  }
}

// The first 512 bytes of a DDR5 SPD: decoded, its base CRC checked, the rest said to be absent.
TEST(DecodeCases, AHalfDdr5ImageSaysWhatItLacks) {
  testing::TempDir dir;
  const Bytes whole = dump(kTeam);
  testing::write_file(dir.file("half.bin"), std::string(whole.begin(), whole.begin() + 512));
  const auto info = testing::run_program({DIMMWAND_SPD_TOOL, "info", dir.file("half.bin")});
  EXPECT_EQ(info.status, 0) << info.err;
  for (const auto* line :
       {"类型: DDR5 SDRAM，SPD 512 字节\n", "速率: DDR5-4800", "型号: 映像中没有\n", "XMP: 映像中没有\n"}) {
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
  }
  const auto check = testing::run_program({DIMMWAND_SPD_TOOL, "check", dir.file("half.bin")});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out,
            "DDR5 SPD，512 字节（由大小与内存类型字节判断）\n"
            "基本区 CRC: 字节 0-509，存于 510-511: 存储 0x8021，计算 0x8021，正确\n"
            "字节 512-1023（制造信息、XMP 与 EXPO 区）: 映像中没有\n");
  const auto all = testing::run_program({DIMMWAND_SPD_TOOL, "info", "--all", dir.file("half.bin")});
  EXPECT_EQ(all.status, 0);
  EXPECT_NE(all.out.find("制造信息: 映像中没有"), std::string::npos);
}

}  // namespace
}  // namespace dimmwand::spd
