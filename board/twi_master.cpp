#include "twi_master.hpp"

#include <simavr/sim_cycle_timers.h>
#include <simavr/sim_time.h>

#include <fmt/format.h>

namespace dimmwand::board {
namespace {

// The interface's registers (data addresses) and TWCR's bits.
constexpr std::uint16_t kTwbr = 0xB8;
constexpr std::uint16_t kTwsr = 0xB9;
constexpr std::uint16_t kTwar = 0xBA;
constexpr std::uint16_t kTwdr = 0xBB;
constexpr std::uint16_t kTwcr = 0xBC;
constexpr std::uint16_t kTwamr = 0xBD;
constexpr std::uint8_t kTwint = 0x80;
constexpr std::uint8_t kTwea = 0x40;
constexpr std::uint8_t kTwsta = 0x20;
constexpr std::uint8_t kTwsto = 0x10;
constexpr std::uint8_t kTwwc = 0x08;
constexpr std::uint8_t kTwen = 0x04;
constexpr std::uint8_t kPrescalerBits = 0x03;  // TWPS in TWSR; the rest is the status

// Status codes, tables 21-3 and 21-4.
constexpr std::uint8_t kStart = 0x08;
constexpr std::uint8_t kRepeatedStart = 0x10;
constexpr std::uint8_t kAddressWriteAck = 0x18;
constexpr std::uint8_t kAddressWriteNack = 0x20;
constexpr std::uint8_t kDataWriteAck = 0x28;
constexpr std::uint8_t kDataWriteNack = 0x30;
constexpr std::uint8_t kAddressReadAck = 0x40;
constexpr std::uint8_t kAddressReadNack = 0x48;
constexpr std::uint8_t kDataReadAck = 0x50;
constexpr std::uint8_t kDataReadNack = 0x58;
constexpr std::uint8_t kNoState = 0xF8;

constexpr unsigned kByteBitTimes = 9;  // eight bits and the acknowledge
constexpr unsigned kConditionBitTimes = 1;

}  // namespace

TwiMaster::TwiMaster(avr_t* avr, Bus& bus) : avr_(avr), bus_(bus) {}

void TwiMaster::install() {
  for (const std::uint16_t r : {kTwbr, kTwsr, kTwar, kTwdr, kTwcr, kTwamr}) {
    auto& io = avr_->io[AVR_DATA_TO_IO(r)];
    io.r.c = nullptr;  // the register reads as it is stored
    io.r.param = nullptr;
    io.w.c = on_register_write;
    io.w.param = this;
  }
  hook_.io.kind = "dimmwand-twi";
  hook_.io.reset = on_reset;
  hook_.self = this;
  avr_register_io(avr_, &hook_.io);
  reset();
}

void TwiMaster::on_reset(avr_io_t* io) {
  auto* self = reinterpret_cast<ResetHook*>(io)->self;
  self->bus_.note(self->now(), "the AVR was reset (its watchdog, or a jump to the reset vector)");
  self->reset();
}

void TwiMaster::reset() {
  avr_cycle_timer_cancel(avr_, on_step_done, this);
  if (owner_) bus_.abandon(now());
  phase_ = Phase::Idle;
  owner_ = false;
  stepping_ = false;
  read_pending_ = false;
  reg(kTwsr) = kNoState;
  reg(kTwcr) = 0;
  reg(kTwdr) = 0xFF;
}

SimTime TwiMaster::now() const { return SimTime(avr_cycles_to_nsec(avr_, avr_->cycle)); }

// One SCL period: CPU clock / (16 + 2 TWBR 4^TWPS).
avr_cycle_count_t TwiMaster::bit_time() const {
  const unsigned prescaler = 1u << (2 * (reg(kTwsr) & kPrescalerBits));
  return 16 + 2ull * reg(kTwbr) * prescaler;
}

void TwiMaster::on_register_write(avr_t*, avr_io_addr_t addr, std::uint8_t value, void* param) {
  auto* self = static_cast<TwiMaster*>(param);
  switch (addr) {
    case kTwcr:
      self->control(value);
      break;
    case kTwsr:  // only the prescaler is written; the status is the interface's
      self->reg(kTwsr) = static_cast<std::uint8_t>((self->reg(kTwsr) & ~kPrescalerBits) | (value & kPrescalerBits));
      break;
    case kTwdr:  // written only between steps, else a write collision
      if ((self->reg(kTwcr) & kTwint) != 0) {
        self->reg(kTwdr) = value;
        self->reg(kTwcr) &= static_cast<std::uint8_t>(~kTwwc);
      } else {
        self->reg(kTwcr) |= kTwwc;
      }
      break;
    default:
      self->reg(addr) = value;
  }
}

void TwiMaster::begin_step(unsigned bit_times, std::uint8_t status) {
  stepping_ = true;
  next_status_ = status;
  avr_cycle_timer_register(avr_, bit_times * bit_time(), on_step_done, this);
}

avr_cycle_count_t TwiMaster::on_step_done(avr_t*, avr_cycle_count_t, void* param) {
  auto* self = static_cast<TwiMaster*>(param);
  self->stepping_ = false;
  if (self->read_pending_) self->reg(kTwdr) = self->received_;
  self->read_pending_ = false;
  self->reg(kTwsr) = static_cast<std::uint8_t>((self->reg(kTwsr) & kPrescalerBits) | self->next_status_);
  self->reg(kTwcr) |= kTwint;
  return 0;
}

void TwiMaster::control(std::uint8_t value) {
  const std::uint8_t old = reg(kTwcr);
  if ((value & kTwen) == 0) {
    // Off: the pins are plain pins again, whatever was under way.
    avr_cycle_timer_cancel(avr_, on_step_done, this);
    if (owner_) bus_.abandon(now());
    owner_ = false;
    stepping_ = false;
    read_pending_ = false;
    phase_ = Phase::Idle;
    reg(kTwcr) = static_cast<std::uint8_t>(value & ~(kTwint | kTwsta | kTwsto));
    reg(kTwsr) = static_cast<std::uint8_t>((reg(kTwsr) & kPrescalerBits) | kNoState);
    return;
  }
  // The control bits are stored; TWINT only the interface sets, and writing it as one clears it
  // and starts the next step (the first START included, TWINT being clear then).
  reg(kTwcr) = static_cast<std::uint8_t>((value & ~(kTwint | kTwwc)) | (old & (kTwint | kTwwc)));
  if ((value & kTwint) == 0 || stepping_) return;
  reg(kTwcr) &= static_cast<std::uint8_t>(~kTwint);
  if ((value & kTwsto) != 0) {
    if (owner_) bus_.stop(now());
    owner_ = false;
    phase_ = Phase::Idle;
    reg(kTwcr) &= static_cast<std::uint8_t>(~kTwsto);  // the STOP is out
    reg(kTwsr) = static_cast<std::uint8_t>((reg(kTwsr) & kPrescalerBits) | kNoState);
    if ((value & kTwsta) == 0) return;
  }
  if ((value & kTwsta) != 0) {
    if (bus_.sda_held()) {
      stepping_ = true;  // the bus is not free: the START waits, and TWINT with it
      return;
    }
    const std::uint8_t status = owner_ ? kRepeatedStart : kStart;
    if (const auto khz = static_cast<unsigned>(avr_->frequency / bit_time() / 1000); khz != clock_khz_) {
      clock_khz_ = khz;
      bus_.note(now(), fmt::format("bus clock {} kHz", khz));
    }
    owner_ = true;
    phase_ = Phase::Started;
    return begin_step(kConditionBitTimes, status);
  }
  const std::uint8_t data = reg(kTwdr);
  switch (phase_) {
    case Phase::Started: {
      const bool read = (data & 1) != 0;
      const bool ack = bus_.start(static_cast<std::uint8_t>(data >> 1), read, now());
      phase_ = !ack ? Phase::Ended : read ? Phase::Receive : Phase::Transmit;
      return begin_step(kByteBitTimes, read ? (ack ? kAddressReadAck : kAddressReadNack)
                                            : (ack ? kAddressWriteAck : kAddressWriteNack));
    }
    case Phase::Transmit: {
      const bool ack = bus_.write(data, now());
      if (!ack) phase_ = Phase::Ended;
      return begin_step(kByteBitTimes, ack ? kDataWriteAck : kDataWriteNack);
    }
    case Phase::Receive: {
      const bool more = (value & kTwea) != 0;
      received_ = bus_.read(more, now());
      read_pending_ = true;
      if (!more) phase_ = Phase::Ended;
      return begin_step(kByteBitTimes, more ? kDataReadAck : kDataReadNack);
    }
    default:  // nothing the data sheet defines: the interface waits for a START or a STOP
      return;
  }
}

}  // namespace dimmwand::board
