#include "commands/compare.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace dimmwand {
namespace {

constexpr std::size_t kBytesShown = 8;  // of a longer run, only the first bytes are shown

std::string bytes_of(std::span<const std::uint8_t> image, const DiffRun& run) {
  const auto shown = image.subspan(run.address, std::min(run.length, kBytesShown));
  return fmt::format("{:02X}{}", fmt::join(shown, " "), run.length > kBytesShown ? " …" : "");
}

}  // namespace

ImageDiff compare_images(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> actual) {
  ImageDiff diff;
  const std::size_t n = std::min(expected.size(), actual.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (expected[i] == actual[i]) continue;
    ++diff.count;
    if (!diff.runs.empty() && diff.runs.back().address + diff.runs.back().length == i) {
      ++diff.runs.back().length;
    } else {
      diff.runs.push_back({i, 1});
    }
  }
  return diff;
}

std::string format_runs(const ImageDiff& diff, std::span<const std::uint8_t> expected,
                        std::span<const std::uint8_t> actual, std::size_t max_lines) {
  const std::size_t listed = diff.runs.size() <= max_lines ? diff.runs.size() : max_lines - 1;
  std::string out;
  for (std::size_t r = 0; r < listed; ++r) {
    const auto& run = diff.runs[r];
    const std::string where = run.length == 1 ? fmt::format("{:04X}", run.address)
                                              : fmt::format("{:04X}-{:04X}", run.address, run.address + run.length - 1);
    out += fmt::format("  地址 {}: 写入 {}，读回 {}\n", where, bytes_of(expected, run), bytes_of(actual, run));
  }
  if (listed < diff.runs.size()) out += fmt::format("  …… 另有 {} 处不符\n", diff.runs.size() - listed);
  return out;
}

}  // namespace dimmwand
