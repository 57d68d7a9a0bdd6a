// The DDR5 module: its devices (hub, PMICs, thermal sensors, and by module type the RCD, data
// buffers, clock drivers or memory buffer), its size and attributes, the settings of its module
// type, and its manufacturing data. Module types and their sections: JESD400-5 annex A as
// illumos libjedec's DDR5 definitions give it (spd_ddr5.h, written against JESD400-5A.01 and
// its revision 1.2 of the module sections), with decode-dimms' DDR5 patches and the public DDR5
// SPD editors as cross-checks.
#include <fmt/format.h>

#include <array>

#include "spd/ddr5_layout.hpp"
#include "spd/ddr5_parts.hpp"
#include "spd/detail_common.hpp"

namespace dimmwand::spd::ddr5 {
namespace {

using namespace detail_format;

enum ModuleType : unsigned { Rdimm = 1, Udimm, Sodimm, Lrdimm, Cudimm, Csodimm, Mrdimm, Camm2, Ddimm = 10, SolderDown };

// One device of the module: four bytes of maker, type and revision; bit 7 of the type byte says
// it is there.
std::string device_text(Image s, std::size_t at, std::span<const char* const> types) {
  if ((s[at + 2] & 0x80) == 0) return "无";
  return fmt::format("{}，制造商 {}，修订 {}", pick(types, s[at + 2] & 0x0Fu), maker_field(s, at),
                     revision_number(s[at + 3]));
}

void add_device(InfoLines& lines, Image s, std::size_t at, const std::string& name,
                std::span<const char* const> types) {
  lines.push_back({name, device_text(s, at, types)});
}

// Enable bits where a set bit turns its output off: "QACK 开，QBCK 关".
std::string enables(unsigned bits, std::span<const std::pair<unsigned, const char*>> outputs) {
  std::vector<std::string> parts;
  for (const auto& [bit, name] : outputs) parts.push_back(fmt::format("{} {}", name, (bits & bit) != 0 ? "关" : "开"));
  return fmt::format("{}", fmt::join(parts, "，"));
}

// Two-bit codes, each at its shift: "QACK 中等，QBCK 强".
std::string codes(unsigned byte, std::span<const std::pair<unsigned, const char*>> fields,
                  std::span<const char* const> names) {
  std::vector<std::string> parts;
  for (const auto& [shift, name] : fields) parts.push_back(fmt::format("{} {}", name, pick(names, byte >> shift & 3u)));
  return fmt::format("{}", fmt::join(parts, "，"));
}

// Drive strengths: module revision 1.0 of RDIMM and LRDIMM named them by impedance; from 1.1 the
// same codes are relative strengths.
constexpr std::array<const char*, 3> kDriveOhms{"20 Ω", "14 Ω", "10 Ω"};
constexpr std::array<const char*, 3> kDriveRelative{"轻", "中等", "强"};
constexpr std::array<const char*, 3> kSlew{"中速", "快速", "慢速"};

// The registering devices' settings (RCD, MRCD): clock and output enables, drive strengths and
// slew rates, RW08 to RW0F.
void register_settings(InfoLines& lines, Image s, unsigned type, unsigned revision) {
  const auto b = [&](std::size_t at) -> unsigned { return s[at]; };
  const bool buffered = type == Lrdimm || type == Mrdimm;
  const auto drive =
      revision >= 0x11 ? std::span<const char* const>(kDriveRelative) : std::span<const char* const>(kDriveOhms);
  static constexpr std::array<std::pair<unsigned, const char*>, 5> kClocks{
      {{0x01, "QACK"}, {0x02, "QBCK"}, {0x04, "QCCK"}, {0x08, "QDCK"}, {0x20, "BCK"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 7> kOutputs{{{0x01, "QACA"},
                                                                             {0x02, "QBCA"},
                                                                             {0x04, "QxCS"},
                                                                             {0x08, "BCS"},
                                                                             {0x10, "QxCA13"},
                                                                             {0x20, "QACS"},
                                                                             {0x40, "QBCS"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 4> kQck{
      {{0, "QACK"}, {2, "QBCK"}, {4, "QCCK"}, {6, "QDCK"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 2> kCsCa{{{4, "QxCS"}, {0, "QxCA"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 2> kBcom{{{3, "BCK"}, {0, "BCOM"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 3> kSlewRcd{{{0, "QCK"}, {2, "QCA"}, {4, "QCS"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 2> kSlewDb{{{2, "BCK"}, {0, "BCOM"}}};
  lines.push_back({"时钟输出 (RW08)", enables(b(0xF8), std::span(kClocks).first(buffered ? 5 : 4))});
  lines.push_back({"地址/控制输出 (RW09)", enables(b(0xF9), kOutputs)});
  lines.push_back({"QCK 驱动强度 (RW0A)", codes(b(0xFA), kQck, drive)});
  lines.push_back({"QxCS/QxCA 驱动强度 (RW0C)", codes(b(0xFC), kCsCa, drive)});
  if (buffered) lines.push_back({"BCK/BCOM 驱动强度 (RW0D)", codes(b(0xFD), kBcom, drive)});
  lines.push_back({"输出压摆率 (RW0E)", codes(b(0xFE), kSlewRcd, kSlew)});
  if (buffered) lines.push_back({"BCK/BCOM 压摆率 (RW0F)", codes(b(0xFF), kSlewDb, kSlew)});
}

// The client clock driver's settings (CUDIMM, CSODIMM; module revision 1.1 on): which QCK
// outputs run, their drive and their slew rate.
void clock_driver_settings(InfoLines& lines, Image s) {
  static constexpr std::array<std::pair<unsigned, const char*>, 4> kOutputs{
      {{0x10, "A QCK0"}, {0x20, "A QCK1"}, {0x40, "B QCK0"}, {0x80, "B QCK1"}}};
  static constexpr std::array<std::pair<unsigned, const char*>, 4> kDrive{
      {{0, "A QCK0"}, {2, "A QCK1"}, {4, "B QCK0"}, {6, "B QCK1"}}};
  static constexpr std::array<const char*, 4> kStrength{"轻", "中等", "强", "弱"};
  static constexpr std::array<std::pair<unsigned, const char*>, 2> kChannels{{{0, "通道 A"}, {4, "通道 B"}}};
  static constexpr std::array<const char*, 2> kCkdSlew{"中速", "快速"};
  lines.push_back({"QCK 输出 (CKD RW00)", enables(s[0xF4], kOutputs)});
  lines.push_back({"QCK 驱动强度 (CKD RW02)", codes(s[0xF5], kDrive, kStrength)});
  lines.push_back({"QCK 压摆率 (CKD RW03)", codes(s[0xF6], kChannels, kCkdSlew)});
}

// The thermal sensors: one device description for both; byte 212 bit 7 says TS0 is there,
// bit 6 TS1 (the second sensor of RDIMMs).
std::string sensors(Image s) {
  static constexpr std::array<const char*, 4> kSensor{"TS5111", "TS5110", "TS5211", "TS5210"};
  const std::size_t at = kThermalSensor.offset;
  const bool ts0 = (s[at + 2] & 0x80) != 0;
  const bool ts1 = (s[at + 2] & 0x40) != 0;
  if (!ts0 && !ts1) return "无";
  return fmt::format("{} × {}（{}），制造商 {}，修订 {}", pick(kSensor, s[at + 2] & 0x0Fu), ts0 && ts1 ? 2 : 1,
                     ts0 && ts1 ? "TS0、TS1"
                     : ts0      ? "TS0"
                                : "TS1",
                     maker_field(s, at), revision_number(s[at + 3]));
}

void module_specific(InfoLines& lines, Image s, unsigned type) {
  const unsigned revision = get(s, kModuleRevision);
  static constexpr std::array<const char*, 5> kRcd{"RCD01", "RCD02", "RCD03", "RCD04", "RCD05"};
  static constexpr std::array<const char*, 2> kDb{"DB01", "DB02"};
  static constexpr std::array<const char*, 1> kClock{"DDR5CK01"};
  const std::size_t first = kModuleDevice.offset;
  const std::size_t second = kSecondDevice.offset;
  switch (type) {
    case Rdimm:
    case Lrdimm:
      add_device(lines, s, first, "寄存时钟驱动器 (RCD)", kRcd);
      if (type == Lrdimm) add_device(lines, s, second, "数据缓冲器 (DB)", kDb);
      register_settings(lines, s, type, revision);
      if (type == Lrdimm) {
        static constexpr std::array<const char*, 8> kPark{"关",   "240 Ω", "120 Ω", "80 Ω",
                                                          "60 Ω", "48 Ω",  "40 Ω",  "34 Ω"};
        lines.push_back({"DQS RTT_PARK (DB RW86)", pick(kPark, s[0x100] & 7u)});
      }
      break;
    case Mrdimm: {
      static constexpr std::array<const char*, 2> kMrcd{"MRCD01", "MRCD02"};
      static constexpr std::array<const char*, 2> kMdb{"MDB01", "MDB02"};
      add_device(lines, s, first, "多路寄存时钟驱动器 (MRCD)", kMrcd);
      add_device(lines, s, second, "多路数据缓冲器 (MDB)", kMdb);
      if (revision >= 0x11) {
        register_settings(lines, s, type, revision);
        static constexpr std::array<const char*, 3> kQcs1{"正常", "关闭", "静态低电平"};
        lines.push_back({"QCS1 输出 (RW0C)", pick(kQcs1, s[0xFC] >> 6)});
        lines.push_back({"MDB DCA 配置", fmt::format("{}", s[0x100] & 1u)});
        lines.push_back({"MDB DRAM 接口接收器", (s[0x101] & 1u) != 0 ? "匹配型" : "非匹配型"});
      }
      break;
    }
    case Udimm:
    case Sodimm:
    case Cudimm:
    case Csodimm:
      add_device(lines, s, first, "时钟驱动器 (CKD)", kClock);
      if (revision >= 0x11 && (s[first + 2] & 0x80) != 0) clock_driver_settings(lines, s);
      break;
    case Camm2:
      add_device(lines, s, first, "时钟驱动器 0 (CKD0)", kClock);
      add_device(lines, s, second, "时钟驱动器 1 (CKD1)", kClock);
      break;
    case Ddimm: {
      static constexpr std::array<const char*, 1> kDmb{"DMB501"};
      add_device(lines, s, first, "差分内存缓冲器 (DMB)", kDmb);
      break;
    }
    case SolderDown:
      lines.push_back({"模块专用区", "焊接颗粒：无模块专用字节"});
      break;
    default:
      break;
  }
}

}  // namespace

void module_sections(std::vector<InfoSection>& out, Image s, const Facts& f) {
  static constexpr std::array<const char*, 2> kHubTypes{"SPD5118", "ESPD5216"};
  static constexpr std::array<const char*, 7> kPmic{"PMIC5000", "PMIC5010", "PMIC5100", "PMIC5020",
                                                    "PMIC5120", "PMIC5200", "PMIC5030"};
  static constexpr std::array<const char*, 9> kTemperature{"A1T", "A2T", "A3T", "IT", "ST", "ET", "RT", "NT", "XT"};
  static constexpr std::array<const char*, 4> kDramRows{"未定义", "1", "2", "保留"};
  const unsigned attributes = get(s, kAttributes);
  const unsigned thickness = get(s, kThickness);
  InfoSection module{"模块", {}};
  add_device(module.lines, s, kHub.offset, "SPD 集线器", kHubTypes);
  add_device(module.lines, s, kPmic0.offset, "PMIC 0", kPmic);
  add_device(module.lines, s, kPmic1.offset, "PMIC 1", kPmic);
  add_device(module.lines, s, kPmic2.offset, "PMIC 2", kPmic);
  module.lines.push_back({"温度传感器", sensors(s)});
  module.lines.insert(
      module.lines.end(),
      {
          {"模块高度", fmt::format("{} mm", get(s, kHeight) + 15)},
          {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (thickness & 0x0F) + 1, (thickness >> 4) + 1)},
          {"参考原始卡", reference_card(static_cast<std::uint8_t>(s[kRawCard.offset] & 0x1F), s[kRawCard.offset])},
          {"工作温度范围", pick(kTemperature, attributes >> 4)},
          {"散热片", yes_no((attributes & 0x04) != 0)},
          {"DRAM 行数", pick(kDramRows, attributes & 3u)},
      });
  module_specific(module.lines, s, get(s, kModuleType));
  out.push_back(module);

  InfoSection maker{"制造信息", {}};
  if (!f.absent.empty()) {
    maker.lines.push_back({"制造信息", "映像中没有（" + f.absent + "）"});
  } else {
    maker.lines = {
        {"模块制造商", maker_field(s, kModuleMaker.offset)},
        {"颗粒制造商", maker_field(s, kDramMaker.offset)},
        {"制造地点代码", location_code(s[kLocation.offset])},
        {"生产日期", written(bytes_of(s, kDate)) ? date_text(f.date, bytes_of(s, kDate)) : std::string("未定义")},
        {"序列号", "0x" + f.serial_number},
        {"型号", f.part_number.empty() ? std::string("未定义") : f.part_number},
        {"模块修订代码", fmt::format("0x{:02X}", get(s, kModuleRevisionCode))},
        {"颗粒步进", fmt::format("0x{:02X}", get(s, kDramStepping))},
    };
  }
  out.push_back(maker);
}

}  // namespace dimmwand::spd::ddr5
