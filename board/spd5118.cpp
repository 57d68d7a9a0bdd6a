#include "spd5118.hpp"

#include "model/hub.hpp"
#include "model/spd_bus.hpp"

namespace dimmwand::board {
namespace {

constexpr std::uint8_t kLastReadOnlyId = 5;  // MR0-MR5: type, revision, vendor, capabilities
constexpr std::uint8_t kFirstStatus = 48;    // MR48-MR52: status, temperature
constexpr std::uint8_t kLastStatus = 52;
constexpr std::uint8_t kLegacyModeBits = 0x0F;  // MR11: the page and two-byte addressing
constexpr std::uint16_t kRegisterCount = 128;

}  // namespace

Spd5118::Spd5118(std::vector<std::uint8_t>& nvm, std::vector<std::uint8_t>& registers, SimTime write_cycle,
                 bool offline)
    : nvm_(nvm), registers_(registers), write_cycle_(write_cycle), offline_(offline) {}

void Spd5118::power_up() {
  registers_[bus::kHubLegacyMode] = 0;
  selected_ = false;
  cycle_.discard();
  cycle_.end_cycle();
}

std::uint8_t Spd5118::page() const { return registers_[bus::kHubLegacyMode] & bus::kHubPageMask; }

bool Spd5118::block_protected(std::uint16_t offset) const {
  const unsigned blocks =
      static_cast<unsigned>(registers_[bus::kHubProtectHigh] << 8 | registers_[bus::kHubProtectLow]);
  return (blocks >> (offset / bus::kHubBlockSize) & 1u) != 0;
}

bool Spd5118::start(std::uint8_t address, bool read, SimTime) {
  selected_ = address == bus::kSpdAddress;
  // A read without an address byte goes on from the address counter.
  address_taken_ = read;
  return selected_;
}

bool Spd5118::write(std::uint8_t byte, SimTime now) {
  if (!selected_) return false;
  if (!address_taken_) {
    address_taken_ = true;
    memory_ = (byte & bus::kHubMemoryBit) != 0;
    if (memory_ && cycle_.busy(now)) {
      selected_ = false;
      return false;
    }
    pointer_ = memory_ ? static_cast<std::uint16_t>(page() * bus::kHubPageSize + (byte & ~bus::kHubMemoryBit))
                       : static_cast<std::uint16_t>(byte);
    return true;
  }
  if (memory_) {
    if (!block_protected(pointer_)) cycle_.latch(pointer_, byte);
    pointer_ = PageWrite::next(pointer_);
  } else {
    write_register(static_cast<std::uint8_t>(pointer_), byte);
    pointer_ = static_cast<std::uint16_t>((pointer_ + 1) % kRegisterCount);
  }
  return true;
}

std::uint8_t Spd5118::read(SimTime now) {
  if (!selected_) return 0xFF;
  if (!memory_) {
    const std::uint8_t b = read_register(static_cast<std::uint8_t>(pointer_), now);
    pointer_ = static_cast<std::uint16_t>((pointer_ + 1) % kRegisterCount);
    return b;
  }
  const std::uint8_t b = nvm_[pointer_];
  const auto page_start = static_cast<std::uint16_t>(pointer_ - pointer_ % bus::kHubPageSize);
  pointer_ = static_cast<std::uint16_t>(page_start + (pointer_ + 1) % bus::kHubPageSize);
  return b;
}

std::uint8_t Spd5118::read_register(std::uint8_t mr, SimTime now) const {
  if (mr != bus::kHubLegacyMode && page() != 0) return 0;
  if (mr == bus::kHubDeviceStatus) {
    auto status = static_cast<std::uint8_t>(registers_[mr] & ~(bus::kHubWriteInProgress | hub::kOverrideAvailable));
    if (offline_) status |= hub::kOverrideAvailable;
    if (cycle_.busy(now)) status |= bus::kHubWriteInProgress;
    return status;
  }
  return registers_[mr];
}

void Spd5118::write_register(std::uint8_t mr, std::uint8_t value) {
  if (mr == bus::kHubLegacyMode) {
    registers_[mr] = static_cast<std::uint8_t>(value & kLegacyModeBits);
    return;
  }
  if (page() != 0 || mr <= kLastReadOnlyId || (mr >= kFirstStatus && mr <= kLastStatus)) return;
  if ((mr == bus::kHubProtectLow || mr == bus::kHubProtectHigh) && !offline_) {
    value = static_cast<std::uint8_t>(value | registers_[mr]);  // set, never cleared online
  }
  registers_[mr] = value;
}

void Spd5118::stop(SimTime now) {
  if (selected_ && memory_) cycle_.commit(nvm_, now, write_cycle_);
  selected_ = false;
}

}  // namespace dimmwand::board
