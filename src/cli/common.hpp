// What the command lines of both programs share, without the parser library: values as typed,
// and why parsing stopped.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dimmwand {

// A value of an enumerated argument as typed on the command line, with its help text.
struct ValueText {
  std::string_view text;
  std::string_view help;
};

// The generations and data areas as typed after DEVICE and -t, in the order the help lists them.
inline constexpr std::array<ValueText, 3> kDeviceValues{{{"3", "DDR3"}, {"4", "DDR4"}, {"5", "DDR5"}}};
inline constexpr std::array<ValueText, 2> kModeValues{{{"spd", "SPD 数据区"}, {"reg", "REG 数据区（仅 DDR5）"}}};

// Why parsing did not yield a command line: the requested help or version, or a rejected command line.
// `report` is the complete text to print, ending with a newline.
struct ParseStop {
  enum class Kind { Help, Version, Error };
  Kind kind;
  std::string report;
};

}  // namespace dimmwand
