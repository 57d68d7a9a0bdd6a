// The decode of hand-made images: clock counts and rate names, the summary's values, the fields a
// diff names, and every time of each layout read, shown and settable.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <bit>
#include <string_view>

#include "images.hpp"
#include "spd/codec.hpp"
#include "spd/decode.hpp"
#include "spd/fields.hpp"
#include "spd/profile_layout.hpp"
#include "spd/settable.hpp"
#include "spd/timing.hpp"
#include "spd_images.hpp"

namespace dimmwand::spd {
namespace {

using Bytes = testing::Bytes;
using testing::ddr3;
using testing::ddr4;
using testing::ddr5;

TEST(Timing, ClocksAndGrades) {
  EXPECT_EQ(clocks(13125, 1250, DeviceType::DDR3), 11u);  // 10.5 clocks round up
  EXPECT_EQ(clocks(13750, 625, DeviceType::DDR4), 22u);   // exactly 22
  EXPECT_EQ(clocks(13760, 625, DeviceType::DDR4), 22u);   // within the guard band
  EXPECT_EQ(clocks(14000, 625, DeviceType::DDR4), 23u);
  EXPECT_EQ(clocks(16000, 416, DeviceType::DDR5), 39u);
  EXPECT_EQ(clocks(100, 0, DeviceType::DDR5), 0u);
}

// Rates named as modules are sold: DDR5 to 100 MT/s, DDR3 and DDR4 to a third of 100.
TEST(Timing, RatesAreNamedAsSold) {
  struct Case {
    double ps;
    DeviceType g;
    unsigned rate;
  };
  for (const auto& c : std::vector<Case>{
           {303, DeviceType::DDR5, 6600},
           {285, DeviceType::DDR5, 7000},
           {270, DeviceType::DDR5, 7400},
           {243, DeviceType::DDR5, 8200},
           {416, DeviceType::DDR5, 4800},
           {357, DeviceType::DDR5, 5600},
           {1250, DeviceType::DDR3, 1600},
           {1071, DeviceType::DDR3, 1866},
           {833, DeviceType::DDR3, 2400},
           {875, DeviceType::DDR3, 2300},
           {938, DeviceType::DDR4, 2133},
           {750, DeviceType::DDR4, 2666},
           {484, DeviceType::DDR4, 4133},
           {469, DeviceType::DDR4, 4266},
           {555, DeviceType::DDR4, 3600},
           {0, DeviceType::DDR5, 0},
           {0, DeviceType::DDR4, 0},
       }) {
    EXPECT_EQ(data_rate(c.ps, c.g), c.rate) << c.ps << " ps";
  }
}

TEST(Describe, DecodesKnownValues) {
  Bytes s = ddr4();
  s[3] = 0x03;                   // SO-DIMM
  s[4] = 0x46;                   // 16 Gb, 8 banks... in 2 bank groups
  s[12] = 0x0A;                  // x16, 2 package ranks
  s[13] = 0x0B;                  // 64 bits + ECC
  s[18] = 0x06;                  // 0.750 ns: DDR4-2666
  s[24] = s[25] = s[26] = 0x72;  // 14.250 ns
  s[27] = 0x01;
  s[28] = 0x00;  // tRAS 32 ns
  s[320] = 0x01;
  s[321] = 0x98;  // Kingston
  const std::string part = "KSM26SED8/16";
  std::copy(part.begin(), part.end(), s.begin() + 329);
  s[323] = 0x23;
  s[324] = 0x07;
  const auto lines = summary(decode(s, DeviceType::DDR4));
  const auto value = [&](std::string_view label) {
    for (const auto& [l, v] : lines) {
      if (l == label) return v;
    }
    return std::string("<none>");
  };
  EXPECT_EQ(value("模块类型"), "SO-DIMM");
  EXPECT_EQ(value("容量"), "16 GB (2 rank，x16 颗粒 16 Gb，64 位 + 8 位 ECC)");
  EXPECT_EQ(value("速率"), "DDR4-2666 (tCK 0.750 ns)");
  EXPECT_EQ(value("时序"), "CL19-19-19-43 (tAA 14.250 ns, tRCD 14.250 ns, tRP 14.250 ns, tRAS 32.000 ns)");
  EXPECT_EQ(value("模块制造商"), "Kingston (bank 2, 0x98)");
  EXPECT_EQ(value("型号"), "KSM26SED8/16");
  EXPECT_EQ(value("生产日期"), "2023 年第 07 周");
  EXPECT_EQ(value("XMP"), "无");
}

TEST(Describe, NonsenseNeverCrashesOrDividesByZero) {
  for (const auto g : {DeviceType::DDR3, DeviceType::DDR4, DeviceType::DDR5}) {
    for (const int fill : {0x00, 0xFF, 0x80}) {
      const Bytes s(g == DeviceType::DDR3 ? 256 : g == DeviceType::DDR4 ? 512 : 1024, static_cast<std::uint8_t>(fill));
      const auto lines = summary(decode(s, g));
      EXPECT_GT(lines.size(), 5u);
    }
  }
}

// A diff names the fields whose value changed, from the layout; an area where no field does.
TEST(Fields, NamesTheFieldsWhoseValueChanged) {
  struct Case {
    Bytes image;
    DeviceType g;
    std::vector<std::size_t> changed;  // bytes, each xored with 0x01
    std::string names;
  };
  for (const auto& c : std::vector<Case>{
           {ddr4(), DeviceType::DDR4, {126, 127}, "基本区 CRC"},
           {ddr4(), DeviceType::DDR4, {325, 326, 327, 328, 329, 330}, "序列号、型号"},
           {ddr4(), DeviceType::DDR4, {3}, "模块类型"},      // bits 3-0 only: not the hybrid bits
           {ddr4(), DeviceType::DDR4, {200}, "模块专用区"},  // no finer field there
           {ddr3(), DeviceType::DDR3, {13}, ""},             // reserved
           {ddr5(), DeviceType::DDR5, {0x2FE, 0x2FF}, "XMP 配置 1 CRC"},
           {ddr5(true), DeviceType::DDR5, {0x350}, "EXPO"},
           {Bytes(1024, 0), DeviceType::DDR5, {0x300}, "XMP / EXPO / 用户区"},
       }) {
    Bytes b = c.image;
    for (const auto at : c.changed) b[at] ^= 0x01;
    EXPECT_EQ(field_names(c.image, b, c.g, c.changed.front(), c.changed.back()), c.names) << c.changed.front();
  }
}

// The CAS bit maps, read and written: DDR3 from CL 4, DDR4 from CL 7 or, with bit 31, from CL 23,
// DDR5 even latencies from CL 20. Writing keeps the bits the map does not use.
TEST(Codecs, CasMapsReadAndWrite) {
  struct Case {
    const CasMap& map;
    std::uint64_t stored;
    std::vector<unsigned> cls;
  };
  for (const auto& c : std::vector<Case>{
           {kCasDdr3, 0x01FE, {5, 6, 7, 8, 9, 10, 11, 12}},
           {kCasDdr3, 0x8001, {4}},  // bit 15 is no latency, and stays
           {kCasDdr4, 0x0002BFF8, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 22, 24}},
           {kCasDdr4, 0x80100001, {23, 43}},  // the high range
           {kCasDdr5, 0x15, {20, 24, 28}},
           {kCasDdr5, 1ull << 39, {98}},
       }) {
    EXPECT_EQ(cas_decode(c.stored, c.map), c.cls) << c.stored;
    const auto again = cas_encode(c.stored, c.cls, c.map);
    ASSERT_TRUE(again) << c.stored;
    EXPECT_EQ(*again, c.stored);
  }
  EXPECT_EQ(cas_encode(0, {7, 40}, kCasDdr4).error(), 7u);  // CL 40 is the high range's, which has no CL 7
  EXPECT_EQ(*cas_encode(0, {23, 24}, kCasDdr4), 0x30000u);  // both ranges hold them: the low one
  EXPECT_EQ(cas_encode(0, {21}, kCasDdr5).error(), 21u);
  EXPECT_EQ(cas_encode(0, {19}, kCasDdr3).error(), 19u);
}

// Every time field of each layout is decoded into the full listing, read by the editor, and
// settable: one more coarse unit stored in it changes both.
TEST(Layouts, EveryTimeIsDecodedShownAndSettable) {
  // The high bits of a 12-bit time belong to that time; a change of them is the time's.
  const auto is_time = [](const Field& f) {
    return (f.unit == Unit::Mtb || f.unit == Unit::Ps || f.unit == Unit::Ns) && !f.key.ends_with("_high");
  };
  const auto listing = [](Image image, DeviceType g) {
    std::string out;
    for (const auto& section : decode(image, g).sections) {
      for (const auto& [label, value] : section.lines) out += label + "=" + value + "\n";
    }
    return out;
  };
  const emu::Areas areas = emu::default_areas();
  std::vector<Field> xmp3{xmp::ddr5::kTck};
  xmp3.insert(xmp3.end(), xmp::ddr5::kTimes.begin(), xmp::ddr5::kTimes.end());
  struct Table {
    DeviceType g;
    const Bytes& image;
    Layout fields;
    std::size_t base;    // where a profile's fields count from
    std::string prefix;  // its settable keys'
  };
  for (const auto& t : {Table{DeviceType::DDR3, areas.spd3, layout_of(DeviceType::DDR3), 0, ""},
                        Table{DeviceType::DDR4, areas.spd4, layout_of(DeviceType::DDR4), 0, ""},
                        Table{DeviceType::DDR5, areas.spd5, layout_of(DeviceType::DDR5), 0, ""},
                        Table{DeviceType::DDR5, areas.spd5, xmp3, model::xmp3_profile(1).from, "xmp1."}}) {
    const auto all = settables(t.image, t.g);
    const std::string shown = listing(t.image, t.g);
    for (const Field& row : t.fields) {
      if (!is_time(row)) continue;
      const Field f = at(t.base, row);
      const std::string what = fmt::format("DDR{} {}{}", generation(t.g), t.prefix, f.key);
      const Settable* s = find_settable(all, t.prefix + std::string(f.key));
      if (s == nullptr) {
        ADD_FAILURE() << what << " is not settable";
        continue;
      }
      Bytes changed = t.image;
      const std::uint32_t top =
          f.mask == 0 ? (f.length >= 4 ? ~0u : (1u << (8 * f.length)) - 1) : f.mask >> std::countr_zero(f.mask);
      const std::uint32_t v = (get(t.image, f) + 1) & top;
      for (std::size_t i = 0; i < f.length; ++i) {
        const unsigned bits = bits_at(f, f.offset + i);
        const unsigned shifted = (f.mask == 0 ? v : v << std::countr_zero(f.mask)) >> (8 * i);
        changed[f.offset + i] = static_cast<std::uint8_t>((changed[f.offset + i] & ~bits) | (shifted & bits));
      }
      EXPECT_NE(read_value(changed, *s), read_value(t.image, *s)) << what << " is not read by the editor";
      EXPECT_NE(listing(changed, t.g), shown) << what << " is not shown";
    }
  }
}

}  // namespace
}  // namespace dimmwand::spd
