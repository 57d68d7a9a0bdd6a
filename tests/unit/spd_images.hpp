// Hand-made SPD images of each generation whose values and checksums are known, for the SPD tests.
#pragma once

#include <string_view>
#include <vector>

#include "model/crc16.hpp"

namespace dimmwand::testing {

using Bytes = std::vector<std::uint8_t>;

inline void put_crc(Bytes& s, std::size_t from, std::size_t to, std::size_t at) {
  const auto crc = model::crc16(std::span(s).subspan(from, to - from + 1));
  s[at] = static_cast<std::uint8_t>(crc & 0xFF);
  s[at + 1] = static_cast<std::uint8_t>(crc >> 8);
}

inline Bytes ddr3(bool crc_to_116 = false) {
  Bytes s(256, 0);
  s[0] = crc_to_116 ? 0x92 : 0x12;
  s[2] = 0x0B;
  put_crc(s, 0, crc_to_116 ? 116 : 125, 126);
  return s;
}

inline Bytes ddr4() {
  Bytes s(512, 0);
  s[2] = 0x0C;
  put_crc(s, 0, 125, 126);
  put_crc(s, 128, 253, 254);
  return s;
}

// DDR5 with an XMP 3.0 block (profiles 1 and 2 enabled, a user profile 5) and, optionally, EXPO.
inline Bytes ddr5(bool expo = false) {
  Bytes s(1024, 0);
  s[2] = 0x12;
  put_crc(s, 0, 509, 510);
  s[0x280] = 0x0C;
  s[0x281] = 0x4A;
  s[0x282] = 0x30;
  s[0x283] = 0x03;
  put_crc(s, 0x280, 0x2BD, 0x2BE);
  for (const std::size_t at : {std::size_t{0x2C0}, std::size_t{0x300}, std::size_t{0x3C0}}) {
    s[at + 1] = 0x28;
    put_crc(s, at, at + 0x3D, at + 0x3E);
  }
  if (expo) {
    const std::string_view magic = "EXPO";
    std::copy(magic.begin(), magic.end(), s.begin() + 0x340);
    s[0x344] = 0x10;
    s[0x346] = 0x01;
    put_crc(s, 0x340, 0x3BD, 0x3BE);
  }
  return s;
}

}  // namespace dimmwand::testing
