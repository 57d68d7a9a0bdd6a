#include "spd/detail_common.hpp"

#include <algorithm>
#include <array>

#include "spd/jep106.hpp"

namespace dimmwand::spd::detail_format {

bool written(Image bytes) {
  const bool zeros = std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x00; });
  const bool ones = std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
  return !zeros && !ones;
}

std::string maker_field(Image s, std::size_t at) {
  if (!written(s.subspan(at, 2))) return "未定义";
  return manufacturer(s[at], s[at + 1]);
}

std::optional<std::pair<unsigned, unsigned>> manufacturing_week(Image year_week) {
  if (year_week.size() < 2 || !written(year_week)) return std::nullopt;
  const unsigned year = year_week[0];
  const unsigned week = year_week[1];
  const bool bcd = (year & 0xF0) <= 0x90 && (year & 0x0F) <= 0x09 && (week & 0xF0) <= 0x90 && (week & 0x0F) <= 0x09;
  if (bcd) {
    const unsigned y = (year >> 4) * 10 + (year & 0x0F);
    return std::pair((year >= 0x80 ? 1900 : 2000) + y, (week >> 4) * 10 + (week & 0x0F));
  }
  if (year <= 99 && week >= 1 && week <= 53) return std::pair((year >= 80 ? 1900 : 2000) + year, week);
  return std::nullopt;
}

std::string date_text(const std::optional<std::pair<unsigned, unsigned>>& date, Image year_week) {
  if (date) return fmt::format("{} 年第 {:02} 周", date->first, date->second);
  return fmt::format("0x{:02X}", fmt::join(year_week, ""));
}

std::string location_code(std::uint8_t code) {
  const bool alnum =
      (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') || code == '_';
  return alnum ? std::string(1, static_cast<char>(code)) : fmt::format("0x{:02X}", code);
}

std::string part_text(Image bytes) {
  std::string s;
  for (const std::uint8_t b : bytes) {
    if (b < 32 || b >= 127) break;
    s += static_cast<char>(b);
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string cas_list(const std::vector<unsigned>& latencies) {
  if (latencies.empty()) return "无";
  std::vector<unsigned> sorted = latencies;
  std::sort(sorted.rbegin(), sorted.rend());
  std::string out;
  for (const unsigned cl : sorted) out += fmt::format("{}{}T", out.empty() ? "" : ", ", cl);
  return out;
}

std::string reference_card(std::uint8_t card, std::uint8_t extension) {
  static constexpr std::string_view kLetters = "ABCDEFGHJKLMNPRTUVWY";
  unsigned ref = card & 0x1Fu;
  if (ref == 0x1F) return "ZZ";
  unsigned revision = extension >> 5;
  if ((card & 0x80) != 0) ref += 0x1F;
  if (revision == 0) revision = (card >> 5) & 0x03u;
  std::string name;
  if (ref < kLetters.size()) {
    name = kLetters[ref];
  } else {
    name = {kLetters[ref / kLetters.size()], kLetters[ref % kLetters.size()]};
  }
  return fmt::format("{} 修订 {}", name, revision);
}

const char* max_activate_count(unsigned code) {
  static constexpr std::array<const char*, 9> kNames{"未测试", "700 K", "600 K", "500 K", "400 K",
                                                     "300 K",  "200 K", nullptr, "无限制"};
  return code < kNames.size() ? kNames[code] : nullptr;
}

std::string revision_number(std::uint8_t b) {
  const unsigned high = b >> 4;
  const unsigned low = b & 0x0Fu;
  if (high == 0) return fmt::format("{}", low);
  if (high < 0xA) return fmt::format("{}.{}", high, low);
  return fmt::format("{}{}", static_cast<char>('A' + high - 0xA), low);
}

}  // namespace dimmwand::spd::detail_format
