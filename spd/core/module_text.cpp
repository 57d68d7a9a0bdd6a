#include "spd/module_text.hpp"

#include <fmt/format.h>

#include "spd/jep106.hpp"

namespace dimmwand::spd {

std::string capacity_text(unsigned long long megabytes) {
  if (megabytes == 0) return "容量未知";
  return megabytes % 1024 == 0 ? fmt::format("{} GB", megabytes / 1024) : fmt::format("{} MB", megabytes);
}

std::string time_text(double ps) { return fmt::format("{:.3f} ns", ps / 1000.0); }

std::string rate_text(const Facts& f) {
  return f.data_rate == 0 ? std::string("速率未知") : fmt::format("DDR{}-{}", generation(f.generation), f.data_rate);
}

std::string maker_text(const MakerId& m) {
  if (valid_parity(m.bank_byte, m.code_byte)) {
    if (const auto name = maker_name((m.bank_byte & 0x7Fu) + 1, static_cast<std::uint8_t>(m.code_byte & 0x7F))) {
      return std::string(*name);
    }
  }
  return manufacturer(m.bank_byte, m.code_byte);
}

}  // namespace dimmwand::spd
