#include "spd/registers.hpp"

#include <fmt/format.h>

#include "model/hub.hpp"
#include "spd/jep106.hpp"

namespace dimmwand::spd {
namespace {

std::string celsius(double t) { return fmt::format("{:.2f} °C", t); }

std::string temperature_at(Image r, std::size_t at) { return celsius(hub::temperature(r[at], r[at + 1])); }

std::string bus_interface(std::uint8_t mr18) {
  using namespace hub;
  if ((mr18 & kI3c) == 0) return fmt::format("I2C，最高 1 MHz (MR18 = 0x{:02X})", mr18);
  return fmt::format("I3C Basic，奇偶校验{}，PEC {} (MR18 = 0x{:02X})", (mr18 & kParityDisabled) != 0 ? "关闭" : "启用",
                     (mr18 & kPacketCheck) != 0 ? "启用" : "关闭", mr18);
}

}  // namespace

InfoLines describe_registers(Image r) {
  using namespace hub;
  InfoLines lines{{"类型", fmt::format("DDR5 REG 区（SPD 集线器寄存器 MR0-MR127），{} 字节", r.size())}};
  if (!is_spd5118(r)) {
    lines.push_back({"器件类型", fmt::format("未知 (MR0-MR1 = {:02X} {:02X})，不是 SPD5118 集线器，以下不作解读",
                                             r[kDeviceTypeHigh], r[kDeviceTypeLow])});
    return lines;
  }
  const std::uint16_t blocked = protected_blocks(r);
  const bool sensor = (r[kCapability] & 0x02) != 0;
  const bool sensor_on = sensor && (r[kSensorConfig] & 0x01) == 0;
  const std::uint8_t status = r[kDeviceStatus];
  lines.insert(
      lines.end(),
      {
          {"器件类型", fmt::format("SPD5118 集线器 (MR0-MR1 = {:02X} {:02X})", r[kDeviceTypeHigh], r[kDeviceTypeLow])},
          // The fields as they stand; how they map to a revision number differs between readings.
          {"器件修订", fmt::format("MR2 = 0x{:02X}（主版本字段 {}，次版本字段 {}）", r[kRevision],
                                   r[kRevision] >> 4 & 0x03, r[kRevision] >> 1 & 0x07)},
          {"厂商", manufacturer(r[kVendorBank], r[kVendorCode])},
          {"能力", fmt::format("温度传感器{} (MR5 = 0x{:02X})", sensor ? "：有" : "：无", r[kCapability])},
          {"寻址", (r[kLegacyMode] & 0x08) != 0
                       ? fmt::format("两字节地址 (MR11 = 0x{:02X})", r[kLegacyMode])
                       : fmt::format("单字节地址，当前页 {} (MR11 = 0x{:02X})", r[kLegacyMode] & 0x07, r[kLegacyMode])},
          {"写保护的块", blocked == 0 ? std::string("无") : block_list(blocked)},
          {"未保护的块", blocked == 0xFFFF ? std::string("无") : block_list(static_cast<std::uint16_t>(~blocked))},
          {"写保护寄存器", fmt::format("MR12 = 0x{:02X}，MR13 = 0x{:02X}（位 n 为 1: 块 n、块 8+n 受保护）",
                                       r[kProtectLow], r[kProtectHigh])},
          {"解除写保护", (status & kOverrideAvailable) != 0
                             ? std::string("可以：器件处于脱机模式（HSA 接地），可把 MR12、MR13 的对应位写 0")
                             : std::string("不可以：器件不在脱机模式；需 HSA 引脚接地后重新上电")},
          {"器件状态", fmt::format("MR48 = 0x{:02X}（{}，{}）", status,
                                   (status & kOverrideAvailable) != 0 ? "脱机模式" : "在线模式",
                                   (status & kWriteInProgress) != 0 ? "有写入正在进行" : "无写入进行中")},
          {"总线接口", bus_interface(r[kDeviceConfig])},
          {"接口配置", fmt::format("MR14 = 0x{:02X}", r[kInterface])},
          {"温度传感器", !sensor ? std::string("无")
                                 : fmt::format("{} (MR26 = 0x{:02X})", sensor_on ? "启用" : "关闭", r[kSensorConfig])},
      });
  if (sensor) {
    lines.push_back({"温度限值", fmt::format("高 {}，低 {}，临界高 {}，临界低 {}", temperature_at(r, kLimitHigh),
                                             temperature_at(r, kLimitHigh + 2), temperature_at(r, kLimitHigh + 4),
                                             temperature_at(r, kLimitHigh + 6))});
  }
  if (sensor_on) lines.push_back({"当前温度", temperature_at(r, kTemperature)});
  return lines;
}

}  // namespace dimmwand::spd
