#include "ddr3_eeprom.hpp"

#include "model/spd_bus.hpp"

namespace dimmwand::board {

Ddr3Eeprom::Ddr3Eeprom(std::vector<std::uint8_t>& memory, const SocketPins& pins, SimTime write_cycle,
                       Protection protection)
    : memory_(memory),
      pins_(pins),
      write_cycle_(write_cycle),
      permanent_(protection == Protection::Permanent),
      reversible_(protection == Protection::Reversible) {}

void Ddr3Eeprom::power_up() {
  target_ = Target::None;
  cycle_.discard();
  cycle_.end_cycle();
}

bool Ddr3Eeprom::start(std::uint8_t address, bool read, SimTime now) {
  target_ = Target::None;
  address_taken_ = false;
  command_armed_ = false;
  if (cycle_.busy(now)) return false;
  const bool hv = pins_.sa0_high_voltage;
  const auto pins = static_cast<std::uint8_t>((pins_.sa1_high ? 2 : 0) | (hv ? 1 : 0));
  if (address == (bus::kSpdAddress | pins)) {
    target_ = Target::Memory;
    return true;
  }
  const bool protection_locked = permanent_;
  if (hv && address == bus::kDdr3SetReversible && !pins_.sa1_high) {
    if (read) {
      target_ = Target::State;
      return !reversible_;
    }
    if (protection_locked || reversible_) return false;
    target_ = Target::SetReversible;
    return true;
  }
  if (hv && address == bus::kDdr3ClearReversible && pins_.sa1_high) {
    if (read || protection_locked) return false;
    target_ = Target::ClearReversible;
    return true;
  }
  if (!hv && address == (bus::kDdr3PermanentProtect | pins)) {
    if (read) {
      target_ = Target::State;
      return !permanent_;
    }
    if (permanent_) return false;
    target_ = Target::SetPermanent;
    return true;
  }
  return false;
}

bool Ddr3Eeprom::write(std::uint8_t byte, SimTime) {
  switch (target_) {
    case Target::Memory:
      if (!address_taken_) {
        pointer_ = byte;
        address_taken_ = true;
        return true;
      }
      if (pointer_ < bus::kDdr3ProtectedSpan && (permanent_ || reversible_)) return false;
      cycle_.latch(pointer_, byte);
      pointer_ = PageWrite::next(pointer_);
      return true;
    case Target::SetPermanent:
    case Target::SetReversible:
    case Target::ClearReversible:
      // The word address and data byte of a protection command are don't-care.
      command_armed_ = true;
      return true;
    default:
      return false;
  }
}

std::uint8_t Ddr3Eeprom::read(SimTime) {
  if (target_ != Target::Memory) return 0xFF;
  const std::uint8_t b = memory_[pointer_];
  pointer_ = static_cast<std::uint16_t>((pointer_ + 1) % memory_.size());
  return b;
}

void Ddr3Eeprom::stop(SimTime now) {
  if (target_ == Target::Memory) {
    cycle_.commit(memory_, now, write_cycle_);
  } else if (command_armed_) {
    if (target_ == Target::SetPermanent) permanent_ = true;
    if (target_ == Target::SetReversible) reversible_ = true;
    if (target_ == Target::ClearReversible) reversible_ = false;
    cycle_.start_cycle(now, write_cycle_);
  }
  target_ = Target::None;
  command_armed_ = false;
}

}  // namespace dimmwand::board
