// Comparing what was meant to be on a module with what it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dimmwand {

// A run of consecutive differing addresses.
struct DiffRun {
  std::size_t address;
  std::size_t length;
};

struct ImageDiff {
  std::size_t count = 0;      // differing bytes
  std::vector<DiffRun> runs;  // in ascending order
};

// Compares the common length of the two images.
ImageDiff compare_images(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual);

// The runs one a line, "  地址 0010-0011: 写入 12 34，读回 FF FF", at most `max_lines` lines; the
// last line counts the runs left out.
std::string format_runs(const ImageDiff& diff, std::span<const std::uint8_t> expected,
                        std::span<const std::uint8_t> actual, std::size_t max_lines = 16);

}  // namespace dimmwand
