#include "spd/values.hpp"

#include <fmt/format.h>

#include "cli/parse_support.hpp"

namespace dimmwand::spd {

// "DDR4", "ddr4" or "d4" as users write a generation: its number. Anything else stays as typed,
// for the check to refuse in the user's own words.
std::string generation_number(std::string typed) {
  const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); };
  std::string folded;
  for (const char c : typed) folded += lower(c);
  for (const std::string_view prefix : {"ddr", "d"}) {
    const std::string digit = folded.substr(std::min(prefix.size(), folded.size()));
    if (folded.starts_with(prefix) && (digit == "3" || digit == "4" || digit == "5")) return digit;
  }
  return typed;
}

// A field to set, as NAME=VALUE.
CLI::Validator assignment() {
  return {[](std::string& v) -> std::string {
            const auto eq = v.find('=');
            if (eq != std::string::npos && eq > 0) return {};
            return fmt::format("“{}”应写成 字段=值，如 part_number=ABC 或 taa=13.75（字段见 dimmwand-spd fields FILE）",
                               cli::shown(v));
          },
          ""};
}

// A data rate in MT/s, as the speed grades are named.
CLI::Validator speed_value() {
  return {[](std::string& v) -> std::string {
            const bool digits = !v.empty() && v.size() <= 5 && v.find_first_not_of("0123456789") == std::string::npos;
            if (digits && std::stoul(v) > 0) return {};
            return fmt::format("<N> 的值“{}”无效：应为以 MT/s 计的速率，如 1066、2666、4800", cli::shown(v));
          },
          ""};
}

}  // namespace dimmwand::spd
