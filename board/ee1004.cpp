#include "ee1004.hpp"

#include "model/spd_bus.hpp"

namespace dimmwand::board {

Ee1004::Ee1004(std::vector<std::uint8_t>& memory, const SocketPins& pins, SimTime write_cycle,
               std::uint8_t protected_quadrants)
    : memory_(memory), pins_(pins), write_cycle_(write_cycle), protected_(protected_quadrants) {}

void Ee1004::power_up() {
  page_ = 0;
  target_ = Target::None;
  cycle_.discard();
  cycle_.end_cycle();
}

bool Ee1004::quadrant_protected(std::uint16_t address) const {
  return (static_cast<unsigned>(protected_) >> (address / bus::kDdr4QuadrantSize) & 1u) != 0;
}

bool Ee1004::start(std::uint8_t address, bool read, SimTime now) {
  target_ = Target::None;
  address_taken_ = false;
  command_armed_ = false;
  if (cycle_.busy(now)) return false;
  const bool hv = pins_.sa0_high_voltage;
  if (address == (bus::kSpdAddress | (hv ? 1 : 0))) {
    target_ = Target::Memory;
    return true;
  }
  if (!read && (address == bus::kDdr4SetPage0 || address == bus::kDdr4SetPage1)) {
    page_ = address == bus::kDdr4SetPage1 ? 1 : 0;
    target_ = Target::PageSelect;
    return true;
  }
  if (read && address == bus::kDdr4ReadPage) {
    target_ = Target::State;
    return page_ == 0;
  }
  for (std::uint8_t q = 0; q < bus::kDdr4QuadrantCount; ++q) {
    if (address != bus::kDdr4ProtectQuadrant[q]) continue;
    const bool set = (static_cast<unsigned>(protected_) >> q & 1u) != 0;
    if (read) {
      target_ = Target::State;
      return !set;
    }
    if (!hv || set) return false;
    target_ = Target::Protect;
    quadrant_ = q;
    return true;
  }
  if (!read && hv && address == bus::kDdr4ClearProtection) {
    target_ = Target::Clear;
    return true;
  }
  return false;
}

bool Ee1004::write(std::uint8_t byte, SimTime) {
  switch (target_) {
    case Target::Memory: {
      if (!address_taken_) {
        pointer_ = byte;
        address_taken_ = true;
        return true;
      }
      const auto address = static_cast<std::uint16_t>(page_ * bus::kDdr4PageSize + pointer_);
      if (quadrant_protected(address)) return false;
      cycle_.latch(address, byte);
      pointer_ = static_cast<std::uint8_t>(PageWrite::next(pointer_));
      return true;
    }
    case Target::Protect:
    case Target::Clear:
      command_armed_ = true;
      return true;
    default:  // SPA's data byte is don't-care
      return false;
  }
}

std::uint8_t Ee1004::read(SimTime) {
  if (target_ != Target::Memory) return 0xFF;
  const std::uint8_t b = memory_[static_cast<std::size_t>(page_ * bus::kDdr4PageSize + pointer_)];
  pointer_ = static_cast<std::uint8_t>(pointer_ + 1);  // wraps within the page
  return b;
}

void Ee1004::stop(SimTime now) {
  if (target_ == Target::Memory) {
    cycle_.commit(memory_, now, write_cycle_);
  } else if (command_armed_) {
    if (target_ == Target::Protect) protected_ = static_cast<std::uint8_t>(protected_ | 1u << quadrant_);
    if (target_ == Target::Clear) protected_ = 0;
    cycle_.start_cycle(now, write_cycle_);
  }
  target_ = Target::None;
  command_armed_ = false;
}

}  // namespace dimmwand::board
