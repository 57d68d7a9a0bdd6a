#include "text/nearest.hpp"

#include <algorithm>
#include <vector>

namespace dimmwand::text {
namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (fold(a[i - 1]) == fold(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::optional<std::string> nearest(std::string_view typed, std::span<const std::string> known) {
  const std::size_t allowed = std::max<std::size_t>(2, typed.size() / 3);
  std::optional<std::string> best;
  std::size_t best_distance = 0;
  for (const auto& name : known) {
    const std::size_t d = edit_distance(typed, name);
    const bool prefix =
        typed.size() >= 3 && name.size() > typed.size() && same_name(name.substr(0, typed.size()), typed);
    if (d > allowed && !prefix) continue;
    if (!best || d < best_distance) {
      best = name;
      best_distance = d;
    }
  }
  return best;
}

}  // namespace dimmwand::text
