// The DDR5 module: its devices (hub, PMICs, thermal sensor, and by module type the RCD, data
// buffer or clock driver), its size and attributes, and its manufacturing data.
#include <fmt/format.h>

#include <array>

#include "spd/ddr5_layout.hpp"
#include "spd/ddr5_parts.hpp"
#include "spd/detail_common.hpp"

namespace dimmwand::spd::ddr5 {
namespace {

using namespace detail_format;

// One device of the module: four bytes of maker, type and revision; bit 7 of the type byte says
// it is there.
void add_device(InfoLines& lines, Image s, const Field& device, const std::string& name,
                std::span<const char* const> types) {
  const std::size_t at = device.offset;
  if ((s[at + 2] & 0x80) == 0) {
    lines.push_back({name, "无"});
    return;
  }
  lines.push_back({name, fmt::format("{}，制造商 {}，修订 {}", pick(types, s[at + 2] & 0x0Fu), maker_field(s, at),
                                     revision_number(s[at + 3]))});
}

const char* on_off(unsigned bits, unsigned bit) { return (bits & bit) != 0 ? "关" : "开"; }

}  // namespace

void module_sections(std::vector<InfoSection>& out, Image s, const Facts& f) {
  static constexpr std::array<const char*, 2> kHubTypes{"SPD5118", "ESPD5216"};
  static constexpr std::array<const char*, 3> kPmic{"PMIC5000", "PMIC5010", "PMIC5100"};
  static constexpr std::array<const char*, 2> kSensor{"TS5111", "TS5110"};
  static constexpr std::array<const char*, 9> kTemperature{"A1T", "A2T", "A3T", "IT", "ST", "ET", "RT", "NT", "XT"};
  static constexpr std::array<const char*, 4> kDramRows{"未定义", "1", "2", "保留"};
  const unsigned type = get(s, kModuleType);
  const unsigned attributes = get(s, kAttributes);
  const unsigned thickness = get(s, kThickness);
  InfoSection module{"模块", {}};
  add_device(module.lines, s, kHub, "SPD 集线器", kHubTypes);
  add_device(module.lines, s, kPmic0, "PMIC 0", kPmic);
  add_device(module.lines, s, kPmic1, "PMIC 1", kPmic);
  add_device(module.lines, s, kPmic2, "PMIC 2", kPmic);
  add_device(module.lines, s, kThermalSensor, "温度传感器", kSensor);
  module.lines.insert(module.lines.end(), {
      {"模块高度", fmt::format("{} mm", get(s, kHeight) + 15)},
      {"模块厚度", fmt::format("{} mm（正面），{} mm（背面）", (thickness & 0x0F) + 1, (thickness >> 4) + 1)},
      {"参考原始卡", reference_card(static_cast<std::uint8_t>(s[kRawCard.offset] & 0x1F), s[kRawCard.offset])},
      {"工作温度范围", pick(kTemperature, attributes >> 4)},
      {"散热片", yes_no((attributes & 0x04) != 0)},
      {"DRAM 行数", pick(kDramRows, attributes & 3u)},
  });
  // The module-specific section, by module type: RDIMM and LRDIMM carry an RCD (and an LRDIMM
  // data buffers) and its settings; the unbuffered kinds a clock driver.
  const auto settings = [&](std::size_t i) -> unsigned { return s[kModuleSettings.offset + i]; };
  if (type == 1 || type == 4) {
    static constexpr std::array<const char*, 3> kRcd{"RCD01", "RCD02", "RCD03"};
    static constexpr std::array<const char*, 2> kDb{"DB01", "DB02"};
    add_device(module.lines, s, kModuleDevice, "寄存时钟驱动器 (RCD)", kRcd);
    if (type == 4) add_device(module.lines, s, kSecondDevice, "数据缓冲器 (DB)", kDb);
    const unsigned clocks = settings(0);  // RW08: a bit set turns its clock output off
    module.lines.push_back({"RCD 时钟输出", fmt::format("QACK {}，QBCK {}，QCCK {}，QDCK {}，BCK {}", on_off(clocks, 1),
                                                      on_off(clocks, 2), on_off(clocks, 4), on_off(clocks, 8),
                                                      on_off(clocks, 0x20))});
    module.lines.push_back({"RCD 输出配置", fmt::format("RW09 = 0x{:02X}，驱动 RW0A = 0x{:02X}，RW0C = 0x{:02X}，压摆率 RW0E = 0x{:02X}",
                                                       settings(1), settings(2), settings(4), settings(6))});
  } else if (type == 2 || type == 3 || type == 5 || type == 6) {
    static constexpr std::array<const char*, 1> kClock{"DDR5CK01"};
    add_device(module.lines, s, kModuleDevice, "时钟驱动器", kClock);
  }
  out.push_back(module);

  InfoSection maker{"制造信息", {}};
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
  out.push_back(maker);
}

}  // namespace dimmwand::spd::ddr5
