// What the board tests share: their fixture (skipped outside the board stage), the modules they
// start from, and comparing images.
#pragma once

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <random>
#include <string>

#include "board.hpp"
#include "files.hpp"

namespace dimmwand::testing {

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!board_tests_wanted()) GTEST_SKIP() << "scripts/test's board stage runs these";
  }
};

// Real modules' dumps, one a generation, and the sample register file.
inline const std::string kSpd3 = dump_path("ddr3-samsung-m378b5173db0-ck0-udimm-1600.bin");
inline const std::string kSpd4 = dump_path("ddr4-kingston-fury-kf3600c18d4-16gx-udimm-3600-xmp.bin");
inline const std::string kSpd5 = dump_path("ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eef6.bin");
inline const std::string kReg5 = sample_path("reg5");
inline constexpr std::size_t kMr48 = 48;
inline constexpr char kOfflineMode = 0x04;  // MR48 bit 2, as the hub in a programmer's socket reports it

inline std::string random_image(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string image(size, '\0');
  for (auto& c : image) c = static_cast<char>(random() & 0xFF);
  return image;
}

// Two images alike, or where they first differ.
inline ::testing::AssertionResult same_bytes(const std::string& got, const std::string& want) {
  if (got == want) return ::testing::AssertionSuccess();
  if (got.size() != want.size()) return ::testing::AssertionFailure() << got.size() << " bytes, not " << want.size();
  std::size_t at = 0;
  while (got[at] == want[at]) ++at;
  std::size_t count = 0;
  for (std::size_t i = 0; i < got.size(); ++i) count += got[i] != want[i] ? 1u : 0u;
  return ::testing::AssertionFailure() << fmt::format("{} bytes differ, the first at {:04X}: {:02X}, not {:02X}", count,
                                                      at, static_cast<unsigned char>(got[at]),
                                                      static_cast<unsigned char>(want[at]));
}

// A copy of `from` in `dir`, for the board to load and save.
inline std::string module_file(const TempDir& dir, const std::string& name, const std::string& from) {
  write_file(dir.file(name), read_file(from));
  return dir.file(name);
}

}  // namespace dimmwand::testing
