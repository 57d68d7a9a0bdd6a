#include "spd/fields.hpp"

#include <span>
#include <string_view>
#include <vector>

namespace dimmwand::spd {
namespace {

struct Field {
  std::size_t from;
  std::size_t to;
  std::string_view name;
};

constexpr Field kDdr3[] = {
    {0, 0, "SPD 字节数与 CRC 范围"}, {1, 1, "SPD 版本"}, {2, 2, "内存类型"}, {3, 3, "模块类型"},
    {4, 4, "颗粒容量与 bank"}, {5, 5, "行列地址"}, {6, 6, "电压"}, {7, 7, "模块组织"}, {8, 8, "总线宽度"},
    {9, 9, "FTB"}, {10, 11, "MTB"}, {12, 12, "tCKmin"}, {14, 15, "CAS 延迟"}, {16, 16, "tAAmin"},
    {17, 17, "tWRmin"}, {18, 18, "tRCDmin"}, {19, 19, "tRRDmin"}, {20, 20, "tRPmin"}, {21, 21, "tRAS/tRC 高位"},
    {22, 22, "tRASmin"}, {23, 23, "tRCmin"}, {24, 25, "tRFCmin"}, {26, 26, "tWTRmin"}, {27, 27, "tRTPmin"},
    {28, 29, "tFAWmin"}, {30, 33, "SDRAM 选项与温度"}, {34, 38, "时序微调"}, {60, 116, "模块专用区"},
    {117, 118, "模块制造商"}, {119, 119, "生产地"}, {120, 121, "生产日期"}, {122, 125, "序列号"},
    {126, 127, "基本区 CRC"}, {128, 145, "型号"}, {146, 147, "模块版本"}, {148, 149, "颗粒制造商"},
    {150, 175, "制造商专用区"}, {176, 254, "XMP / 用户区"},
};

constexpr Field kDdr4[] = {
    {0, 0, "SPD 字节数"}, {1, 1, "SPD 版本"}, {2, 2, "内存类型"}, {3, 3, "模块类型"}, {4, 4, "颗粒容量与 bank"},
    {5, 5, "行列地址"}, {6, 6, "封装"}, {7, 9, "颗粒选项"}, {10, 10, "次封装"}, {11, 11, "电压"},
    {12, 12, "模块组织"}, {13, 13, "总线宽度"}, {14, 14, "温度传感器"}, {15, 15, "扩展模块类型"},
    {17, 17, "时基"}, {18, 18, "tCKAVGmin"}, {19, 19, "tCKAVGmax"}, {20, 23, "CAS 延迟"}, {24, 24, "tAAmin"},
    {25, 25, "tRCDmin"}, {26, 26, "tRPmin"}, {27, 27, "tRAS/tRC 高位"}, {28, 28, "tRASmin"}, {29, 29, "tRCmin"},
    {30, 35, "tRFC"}, {36, 37, "tFAWmin"}, {38, 40, "tRRD/tCCD"}, {41, 45, "tWR/tWTR"}, {60, 77, "引脚映射"},
    {117, 125, "时序微调"}, {126, 127, "基本区 CRC"}, {128, 191, "模块专用区"}, {254, 255, "模块区 CRC"},
    {320, 321, "模块制造商"}, {322, 322, "生产地"}, {323, 324, "生产日期"}, {325, 328, "序列号"},
    {329, 348, "型号"}, {349, 349, "模块版本"}, {350, 351, "颗粒制造商"}, {352, 352, "颗粒步进"},
    {353, 381, "制造商专用区"}, {384, 511, "XMP / 用户区"},
};

constexpr Field kDdr5[] = {
    {0, 0, "SPD 字节数"}, {1, 1, "SPD 版本"}, {2, 2, "内存类型"}, {3, 3, "模块类型"}, {4, 4, "颗粒容量与封装"},
    {5, 5, "行列地址"}, {6, 6, "颗粒位宽"}, {7, 7, "bank 组"}, {8, 11, "次颗粒"}, {12, 15, "颗粒选项"},
    {16, 18, "电压"}, {20, 21, "tCKAVGmin"}, {22, 23, "tCKAVGmax"}, {24, 28, "CAS 延迟"}, {30, 31, "tAAmin"},
    {32, 33, "tRCDmin"}, {34, 35, "tRPmin"}, {36, 37, "tRASmin"}, {38, 39, "tRCmin"}, {40, 41, "tWRmin"},
    {42, 47, "tRFC"}, {48, 127, "其他时序"}, {192, 233, "模块公共区"}, {234, 234, "rank 组织"},
    {235, 235, "通道位宽"}, {236, 447, "模块专用区"}, {510, 511, "基本区 CRC"}, {512, 513, "模块制造商"},
    {514, 514, "生产地"}, {515, 516, "生产日期"}, {517, 520, "序列号"}, {521, 550, "型号"}, {551, 551, "模块版本"},
    {552, 553, "颗粒制造商"}, {554, 554, "颗粒步进"}, {555, 639, "制造商专用区"},
};

// The extension blocks of DDR5 depend on what the image holds.
std::vector<Field> ddr5_extensions(Image image) {
  std::vector<Field> out;
  if (has_xmp3(image)) {
    out.push_back({0x280, 0x2BD, "XMP 3.0 头"});
    out.push_back({0x2BE, 0x2BF, "XMP 3.0 头 CRC"});
    static constexpr std::string_view kProfiles[] = {"XMP 配置 1", "XMP 配置 2", "XMP 配置 3", "XMP 配置 4", "XMP 配置 5"};
    static constexpr std::string_view kCrcs[] = {"XMP 配置 1 CRC", "XMP 配置 2 CRC", "XMP 配置 3 CRC", "XMP 配置 4 CRC",
                                                 "XMP 配置 5 CRC"};
    for (std::size_t n = 0; n < 5; ++n) {
      const std::size_t at = kXmp3Profile + 0x40 * n;
      if (has_expo(image) && (n == 2 || n == 3)) continue;
      out.push_back({at, at + 0x3D, kProfiles[n]});
      out.push_back({at + 0x3E, at + 0x3F, kCrcs[n]});
    }
  }
  if (has_expo(image)) {
    out.push_back({kExpo, kExpo + 0x7D, "EXPO"});
    out.push_back({kExpo + 0x7E, kExpo + 0x7F, "EXPO CRC"});
  }
  if (out.empty()) out.push_back({640, 1023, "XMP / EXPO / 用户区"});
  return out;
}

}  // namespace

std::string field_names(Image image, DeviceType g, std::size_t from, std::size_t to) {
  std::vector<Field> fields;
  switch (g) {
    case DeviceType::DDR3: fields.assign(std::begin(kDdr3), std::end(kDdr3)); break;
    case DeviceType::DDR4: fields.assign(std::begin(kDdr4), std::end(kDdr4)); break;
    case DeviceType::DDR5: {
      fields.assign(std::begin(kDdr5), std::end(kDdr5));
      const auto extra = ddr5_extensions(image);
      fields.insert(fields.end(), extra.begin(), extra.end());
      break;
    }
  }
  std::string names;
  for (const auto& f : fields) {
    if (f.to < from || f.from > to) continue;
    if (!names.empty()) names += "、";
    names += f.name;
  }
  return names;
}

}  // namespace dimmwand::spd
