// info --all against Linux's reference decoder: decode-dimms (i2c-tools) decodes the same DDR3
// and DDR4 images, and every field it prints must stand in our decode with the same value, in
// our wording. It is a decoder only; it neither reads nor writes modules.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "process.hpp"
#include "spd/edit.hpp"
#include "spd/image.hpp"

namespace dimmwand {
namespace {

using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kDecodeDimms = "/usr/bin/decode-dimms";

// The image as `hexdump -C` prints it, which decode-dimms -x reads unambiguously.
std::string hexdump_c(const std::string& bytes) {
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 16) {
    out += fmt::format("{:08x}  ", at);
    std::string ascii;
    for (std::size_t i = at; i < at + 16; ++i) {
      const auto b = static_cast<std::uint8_t>(bytes[i]);
      out += fmt::format("{:02x} {}", b, i == at + 7 ? " " : "");
      ascii += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    }
    out += fmt::format(" |{}|\n", ascii);
  }
  return out + fmt::format("{:08x}\n", bytes.size());
}

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r')) s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  return s;
}

// "Label<two or more spaces>Value" lines; a line that starts with spaces continues the value.
Fields decode_dimms_fields(const std::string& text) {
  Fields fields;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.starts_with("---") || line.starts_with("#")) continue;
    if (line.starts_with(" ")) {
      if (!fields.empty()) fields.back().second += "\n" + trim(line);
      continue;
    }
    const auto gap = line.find("  ");
    if (gap == std::string::npos) continue;
    fields.emplace_back(line.substr(0, gap), trim(line.substr(gap)));
  }
  return fields;
}

std::map<std::string, std::string> our_fields(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(": ");
    if (line.starts_with("== ") || colon == std::string::npos) continue;
    fields[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return fields;
}

// decode-dimms' label as we word it; empty for lines that are not fields of the image.
std::string our_label(const std::string& label) {
  static const std::map<std::string, std::string> kLabels{
      {"# of bytes written to SDRAM EEPROM", "已写入字节数"},
      {"Total number of bytes in EEPROM", "EEPROM 总字节数"},
      {"Fundamental Memory type", "内存类型"},
      {"SPD Revision", "SPD 版本"},
      {"Module Type", "模块类型"},
      {"Maximum module speed", "最高速率"},
      {"Size", "容量"},
      {"Banks x Rows x Columns x Bits", "Bank x 行 x 列 x 位"},
      {"Ranks", "Rank 数"},
      {"Rank Mix", "Rank 组合"},
      {"SDRAM Device Width", "颗粒位宽"},
      {"Primary Bus Width", "主总线位宽"},
      {"Bus Width Extension", "总线扩展位宽"},
      {"tCL-tRCD-tRP-tRAS", "tCL-tRCD-tRP-tRAS"},
      {"AA-RCD-RP-RAS (cycles)", "AA-RCD-RP-RAS（周期）"},
      {"Supported CAS Latencies (tCL)", "支持的 CAS 延迟 (tCL)"},
      {"Supported CAS Latencies", "支持的 CAS 延迟"},
      {"Minimum Cycle Time (tCK)", "最小时钟周期 (tCK)"},
      {"Minimum Cycle Time (tCKmin)", "最小时钟周期 (tCKmin)"},
      {"Maximum Cycle Time (tCKmax)", "最大时钟周期 (tCKmax)"},
      {"Minimum CAS Latency Time (tAA)", "最小 CAS 延迟时间 (tAA)"},
      {"Minimum Write Recovery time (tWR)", "最小写恢复时间 (tWR)"},
      {"Minimum Write Recovery Time (tWR)", "最小写恢复时间 (tWR)"},
      {"Minimum RAS# to CAS# Delay (tRCD)", "最小 RAS 到 CAS 延迟 (tRCD)"},
      {"Minimum RAS to CAS Delay (tRCD)", "最小 RAS 到 CAS 延迟 (tRCD)"},
      {"Minimum Row Precharge Delay (tRP)", "最小行预充电延迟 (tRP)"},
      {"Minimum Active to Precharge Delay (tRAS)", "最小激活到预充电延迟 (tRAS)"},
      {"Minimum Active to Auto-Refresh Delay (tRC)", "最小激活到自动刷新延迟 (tRC)"},
      {"Minimum Write to Read CMD Delay (tWTR)", "最小写到读命令延迟 (tWTR)"},
      {"Minimum Read to Pre-charge CMD Delay (tRTP)", "最小读到预充电命令延迟 (tRTP)"},
      {"Minimum Four Activate Window Delay (tFAW)", "最小四激活窗口 (tFAW)"},
      {"Minimum CAS to CAS Delay (tCCD_L)", "最小 CAS 到 CAS 延迟 (tCCD_L)"},
      {"Operable voltages", "可用电压"},
      {"RZQ/6 supported?", "支持 RZQ/6"},
      {"RZQ/7 supported?", "支持 RZQ/7"},
      {"DLL-Off Mode supported?", "支持 DLL-Off 模式"},
      {"Operating temperature range", "工作温度范围"},
      {"Refresh Rate in extended temp range", "扩展温度范围刷新率"},
      {"Auto Self-Refresh?", "自动自刷新"},
      {"On-Die Thermal Sensor readout?", "片上温度传感器读出"},
      {"Partial Array Self-Refresh?", "部分阵列自刷新"},
      {"Module Thermal Sensor", "模块温度传感器"},
      {"SDRAM Device Type", "颗粒类型"},
      {"Maximum Activate Count (MAC)", "最大激活次数 (MAC)"},
      {"Package Type", "封装类型"},
      {"Post Package Repair", "封装后修复 (PPR)"},
      {"Soft PPR", "软 PPR"},
      {"Module Nominal Voltage", "模块标称电压"},
      {"Thermal Sensor", "温度传感器"},
      {"Module Height", "模块高度"},
      {"Module Thickness", "模块厚度"},
      {"Module Width", "模块宽度"},
      {"Module Reference Card", "参考原始卡"},
      {"Rank 1 Mapping", "Rank 1 映射"},
      {"# DRAM Rows", "DRAM 行数"},
      {"# Registers", "寄存器数"},
      {"Register manufacturer", "寄存器制造商"},
      {"Register device type", "寄存器型号"},
      {"Register revision", "寄存器修订"},
      {"Heat spreader", "散热片"},
      {"Mirroring", "镜像"},
      {"Rank Numbering", "Rank 编号"},
      {"Buffer Orientation", "缓冲器方向"},
      {"Buffer Revision", "缓冲器修订"},
      {"Module Manufacturer", "模块制造商"},
      {"DRAM Manufacturer", "颗粒制造商"},
      {"Manufacturing Location Code", "制造地点代码"},
      {"Manufacturing Date", "生产日期"},
      {"Assembly Serial Number", "序列号"},
      {"Part Number", "型号"},
      {"Revision Code", "修订代码"},
  };
  if (const auto it = kLabels.find(label); it != kLabels.end()) return it->second;
  struct Prefix {
    std::string_view theirs, before, after;
  };
  for (const auto& p : std::array<Prefix, 5>{{
           {"EEPROM CRC of bytes ", "EEPROM CRC（字节 ", "）"},
           {"tCL-tRCD-tRP-tRAS as ", "", " 时 tCL-tRCD-tRP-tRAS"},
           {"AA-RCD-RP-RAS (cycles) as ", "", " 时 AA-RCD-RP-RAS（周期）"},
           {"Minimum Recovery Delay ", "最小刷新恢复延迟 ", ""},
           {"Minimum Row Active to Row Active Delay ", "最小行激活到行激活延迟 ", ""},
       }}) {
    if (label.starts_with(p.theirs)) return fmt::format("{}{}{}", p.before, label.substr(p.theirs.size()), p.after);
  }
  if (label.starts_with("Minimum Write to Read Time ")) return "最小写到读时间 " + label.substr(27);
  return {};
}

// decode-dimms' value in our words.
std::string our_value(const std::string& label, std::string v) {
  static const std::map<std::string, std::string> kWhole{
      {"Yes", "是"},           {"No", "否"},
      {"None", "无"},          {"TBD", "待定"},
      {"Unknown", "未知"},     {"Invalid", "无效"},
      {"Undefined", "未定义"}, {"Mirrored", "镜像"},
      {"Standard", "标准"},    {"Odd ranks", "奇数 rank"},
      {"Reserved", "保留"},    {"Even only", "仅偶数"},
      {"Contiguous", "连续"},  {"Horizontal", "水平"},
      {"Vertical", "垂直"},
  };
  if (const auto it = kWhole.find(v); it != kWhole.end()) return it->second;
  static const std::array<std::pair<std::string_view, std::string_view>, 30> kPhrases{{
      {"1.5V tolerant", "1.5 V 耐受"},
      {"1.5V", "1.5 V"},
      {", 1.35V", "，1.35 V"},
      {", 1.2X V", "，1.2X V"},
      {" degrees C", " °C"},
      {" mm front, ", " mm（正面），"},
      {" mm back", " mm（背面）"},
      {" revision ", " 修订 "},
      {"Standard Monolithic", "标准单晶"},
      {"Non-Standard", "非标准"},
      {"\nSingle die", "，单晶粒"},
      {" die", " 晶粒"},
      {"\nMulti load stack", "，多负载堆叠"},
      {"\nSingle load stack", "，单负载堆叠"},
      {"\n", "，"},
      {"Untested", "未测试"},
      {"Unlimited", "无限制"},
      {"Asymmetrical", "非对称"},
      {"Symmetrical", "对称"},
      {"Multi-load stack", "多负载堆叠"},
      {"Monolithic", "单晶"},
      {" dies)", " 晶粒)"},
      {"Not supported", "不支持"},
      {"Not Supported", "不支持"},
      {"Supported", "支持"},
      {"One row per bank group", "每个 bank group 一行"},
      {"Unknown (1.2 V endurant)", "未知（1.2 V 耐久）"},
      {"TSE2004 compliant", "符合 TSE2004"},
      {"15 mm or less", "15 mm 或以下"},
      {"more than 45 mm", "大于 45 mm"},
  }};
  for (const auto& [theirs, ours] : kPhrases) {
    for (std::size_t at; (at = v.find(theirs)) != std::string::npos;) v.replace(at, theirs.size(), ours);
  }
  for (const auto& [theirs, ours] :
       std::array<std::pair<std::string_view, std::string_view>, 5>{{{"OK (0x", "正确 (0x"},
                                                                     {" bits", " 位"},
                                                                     {"Extended type", "扩展类型"},
                                                                     {"Reserved (", "保留 ("},
                                                                     {"No base memory", "无基本内存"}}}) {
    if (const auto at = v.find(theirs); at != std::string::npos) v.replace(at, theirs.size(), ours);
  }
  // decode-dimms truncates 2000 / tCK; we name the rate as modules are sold (the nearest third of
  // 100 MT/s). Both give the same figure for every JEDEC grade; an off-grade cycle time (an XMP
  // profile made the base) names 3600 where decode-dimms says 3603.
  if (label == "Maximum module speed") {
    unsigned rate = 0, gen = 0, pc = 0;
    if (std::sscanf(v.c_str(), "%u MT/s (PC%u-%u)", &rate, &gen, &pc) == 3) {
      const unsigned named = static_cast<unsigned>(std::lround(rate * 3 / 100.0) * 100 / 3);
      if (named != rate) return fmt::format("{} MT/s (PC{}-{})", named, gen, named * 8 / 100 * 100);
    }
  }
  // 2012-W16
  if (label == "Manufacturing Date" && v.size() == 8 && v[4] == '-' && v[5] == 'W') {
    return fmt::format("{} 年第 {} 周", v.substr(0, 4), v.substr(6));
  }
  return v;
}

TEST(DecodeOracle, EveryFieldOfDecodeDimmsHasOurValue) {
  ASSERT_TRUE(std::filesystem::exists(kDecodeDimms)) << "decode-dimms is missing: apt-get install i2c-tools";
  std::vector<std::string> images{std::string(DIMMWAND_SAMPLES) + "/spd3.bin",
                                  std::string(DIMMWAND_SAMPLES) + "/spd4.bin"};
  for (const auto& e : std::filesystem::directory_iterator(DIMMWAND_DUMPS)) {
    const auto name = e.path().filename().string();
    if (name.starts_with("ddr3-") || name.starts_with("ddr4-")) images.push_back(e.path().string());
  }
  ASSERT_EQ(images.size(), 10u);
  TempDir dir;
  // Edited images too: decode-dimms must read what the editor wrote as our decode does.
  const auto edited = [&](const char* name, auto edit) {
    const std::string bytes = read_file(std::string(DIMMWAND_DUMPS) + "/" + name);
    const std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
    const auto e = edit(image, *spd::identify(image, std::nullopt));
    ASSERT_TRUE(e) << name << ": " << e.error();
    const std::string file = dir.file(fmt::format("edited{}.bin", images.size()));
    write_file(file, std::string(e->image.begin(), e->image.end()));
    images.push_back(file);
  };
  using Image = std::span<const std::uint8_t>;
  edited("ddr3-kingston-kvr13ls9s6-2-sodimm-1333.bin",
         [](Image i, DeviceType g) { return spd::edit_rebin(i, g, 1066); });
  edited("ddr3-crucial-blt8g3d1869dt1tx0-udimm-1866-xmp.bin", [](Image i, DeviceType g) {
    return spd::edit_set(i, g,
                         {"serial_number=00C0FFEE", "manufacturing_date=2013-21", "part_number=BLT8G3D1869-REP",
                          "module_maker=Kingston"});
  });
  edited("ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin",
         [](Image i, DeviceType g) { return spd::edit_promote(i, g, "xmp1", true); });
  edited("ddr4-samsung-m393a1g40eb1-cpb-rdimm-2133.bin",
         [](Image i, DeviceType g) { return spd::edit_rebin(i, g, 1866); });
  edited("ddr4-hynix-hma42gr7mfr4n-tf-rdimm-cisco-2133.bin", [](Image i, DeviceType g) {
    return spd::edit_set(i, g, {"taa=14.125", "cl_list=10,11,12,13,14,15,16", "serial_number=12345678"});
  });
  std::size_t compared = 0;
  for (const auto& image : images) {
    write_file(dir.file("image.hex"), hexdump_c(read_file(image)));
    const auto theirs = run_program({kDecodeDimms, "-x", dir.file("image.hex")});
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    const auto ours = run_program({DIMMWAND_SPD_TOOL, "info", "--all", image});
    ASSERT_EQ(ours.status, 0) << ours.err;
    const auto fields = our_fields(ours.out);
    std::size_t decoded = 0;
    for (const auto& [label, value] : decode_dimms_fields(theirs.out)) {
      if (label.starts_with("Decoding EEPROM") || label.starts_with("Number of SDRAM DIMMs")) continue;
      ++decoded;
      const std::string mine = our_label(label);
      ASSERT_FALSE(mine.empty()) << "no wording for decode-dimms' field \"" << label << "\"";
      const auto it = fields.find(mine);
      if (it == fields.end()) {
        ADD_FAILURE() << image << ": no field \"" << mine << "\" for \"" << label << "\" = " << value;
        continue;
      }
      std::string got = it->second;
      if (label.find("anufacturer") != std::string::npos) got = got.substr(0, got.rfind(" (bank "));
      EXPECT_EQ(got, our_value(label, value)) << image << ": " << label << " = " << value;
      ++compared;
    }
    EXPECT_GT(decoded, 40u) << image;  // decode-dimms did decode the image
  }
  EXPECT_GT(compared, 500u);
}

}  // namespace
}  // namespace dimmwand
