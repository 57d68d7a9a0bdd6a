// The emulator's default images are the shipped samples, with valid checksums.
#include <gtest/gtest.h>

#include "images.hpp"
#include "model/crc16.hpp"
#include "files.hpp"

namespace dimmwand::emu {
namespace {

TEST(Images, DefaultsCarryValidChecksumsAndMatchTheShippedSamples) {
  const Areas a = default_areas();
  const auto stored = [](const std::vector<std::uint8_t>& s, std::size_t at) {
    return static_cast<std::uint16_t>(s[at] | s[at + 1] << 8);
  };
  EXPECT_EQ(stored(a.spd3, 126), model::crc16(std::span(a.spd3).first(117)));
  EXPECT_EQ(stored(a.spd4, 126), model::crc16(std::span(a.spd4).first(126)));
  EXPECT_EQ(stored(a.spd4, 254), model::crc16(std::span(a.spd4).subspan(128, 126)));
  EXPECT_EQ(stored(a.spd5, 510), model::crc16(std::span(a.spd5).first(510)));
  for (const auto& area : kAreaNames) {
    const auto sample = testing::read_file(testing::sample_path(std::string(area.name)));
    EXPECT_EQ(std::vector<std::uint8_t>(sample.begin(), sample.end()), a.*area.member) << area.name;
  }
}

}  // namespace
}  // namespace dimmwand::emu
