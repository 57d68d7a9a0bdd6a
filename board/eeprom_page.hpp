// What the SPD EEPROMs share: a write of one or more bytes is latched into a page buffer of 16
// bytes and written at the STOP, in one write cycle; the word address rolls over within the page.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "chip.hpp"

namespace dimmwand::board {

class PageWrite {
 public:
  static constexpr std::uint16_t kPageBytes = 16;  // AT34C02D and AT34C04: 16-byte page writes

  // A data byte for `address`; the next byte goes to the following address of the same page.
  void latch(std::uint16_t address, std::uint8_t byte) { pending_[address] = byte; }
  static std::uint16_t next(std::uint16_t address) {
    return static_cast<std::uint16_t>((address & ~(kPageBytes - 1)) | ((address + 1) & (kPageBytes - 1)));
  }
  // At the STOP: writes what was latched into `memory` and starts the write cycle (true), or
  // does nothing when no byte was latched.
  bool commit(std::vector<std::uint8_t>& memory, SimTime now, SimTime cycle) {
    if (pending_.empty()) return false;
    for (const auto& [address, byte] : pending_) memory[address] = byte;
    pending_.clear();
    busy_until_ = now + cycle;
    return true;
  }
  void start_cycle(SimTime now, SimTime cycle) { busy_until_ = now + cycle; }
  void discard() { pending_.clear(); }
  bool busy(SimTime now) const { return now < busy_until_; }
  void end_cycle() { busy_until_ = SimTime::zero(); }

 private:
  std::map<std::uint16_t, std::uint8_t> pending_;
  SimTime busy_until_{};
};

}  // namespace dimmwand::board
