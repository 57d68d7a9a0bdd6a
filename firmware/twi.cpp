#include "twi.hpp"

#include <avr/io.h>
#include <util/delay.h>
#include <util/twi.h>

#include "hardware.hpp"

namespace fw {
namespace {

constexpr uint8_t kSda = _BV(PC4);
constexpr uint8_t kScl = _BV(PC5);
// TWBR for the bus clock, 16 MHz / (16 + 2 TWBR) with the prescaler at 1.
constexpr uint8_t kTwbr100kHz = 72;
constexpr uint8_t kTwbr400kHz = 12;
constexpr uint16_t kStepMs = 3;        // the longest one step (a byte, START, STOP) may take
constexpr uint8_t kFreeingPulses = 9;  // a device stopped mid-byte lets SDA go within nine clocks
constexpr uint16_t kHeldSclMs = 2;     // how long SCL may stay held low by a device

uint8_t g_twbr = kTwbr100kHz;

void enable() {
  TWSR = 0;
  TWBR = g_twbr;
  PORTC |= kSda | kScl;  // the pull-ups beside the board's own
  TWCR = _BV(TWEN);
}

// Waits for the interface to finish a step; false when it does not within kStepMs.
bool wait_step() {
  const uint16_t start = millis();
  while ((TWCR & _BV(TWINT)) == 0) {
    if (static_cast<uint16_t>(millis() - start) > kStepMs) return false;
  }
  return true;
}

uint8_t status() { return TW_STATUS; }

// The interface off, the lines as plain pins, the bus freed: a hung step ends here.
Ack hung() {
  TWCR = 0;
  twi_bus_ready();
  return Ack::Hung;
}

// A line released (its pull-up makes it high) or pulled low; never driven high.
void line(uint8_t pin, bool high) {
  if (high) {
    DDRC &= static_cast<uint8_t>(~pin);
  } else {
    DDRC |= pin;
  }
}

bool line_high(uint8_t pin) { return (PINC & pin) != 0; }

// Half a period of the slowest bus clock.
void half_clock() { _delay_us(5); }

}  // namespace

void twi_init(bool fast) {
  g_twbr = fast ? kTwbr400kHz : kTwbr100kHz;
  enable();
}

bool twi_bus_ready() {
  if (line_high(kSda) && line_high(kScl)) {
    if ((TWCR & _BV(TWEN)) == 0) enable();
    return true;
  }
  TWCR = 0;
  PORTC &= static_cast<uint8_t>(~(kSda | kScl));  // no pull-up: a pin set to output then pulls low
  const uint16_t start = millis();
  while (!line_high(kScl)) {
    if (static_cast<uint16_t>(millis() - start) > kHeldSclMs) {
      enable();
      return false;
    }
  }
  for (uint8_t pulse = 0; pulse < kFreeingPulses && !line_high(kSda); ++pulse) {
    line(kScl, false);
    half_clock();
    line(kScl, true);
    half_clock();
  }
  // A STOP: SDA rises while SCL is high.
  line(kSda, false);
  half_clock();
  line(kSda, true);
  half_clock();
  const bool free = line_high(kSda) && line_high(kScl);
  enable();
  return free;
}

Ack twi_start(uint8_t address, bool read) {
  TWCR = _BV(TWINT) | _BV(TWSTA) | _BV(TWEN);
  if (!wait_step() || (status() != TW_START && status() != TW_REP_START)) return hung();
  TWDR = static_cast<uint8_t>(address << 1 | (read ? 1 : 0));
  TWCR = _BV(TWINT) | _BV(TWEN);
  if (!wait_step()) return hung();
  switch (status()) {
    case TW_MT_SLA_ACK:
    case TW_MR_SLA_ACK:
      return Ack::Yes;
    case TW_MT_SLA_NACK:
    case TW_MR_SLA_NACK:
      return Ack::No;
    default:  // arbitration lost, a bus error: another master or a broken line
      return hung();
  }
}

Ack twi_write(uint8_t byte) {
  TWDR = byte;
  TWCR = _BV(TWINT) | _BV(TWEN);
  if (!wait_step()) return hung();
  if (status() == TW_MT_DATA_ACK) return Ack::Yes;
  if (status() == TW_MT_DATA_NACK) return Ack::No;
  return hung();
}

Ack twi_read(uint8_t& byte, bool more) {
  TWCR = static_cast<uint8_t>(_BV(TWINT) | _BV(TWEN) | (more ? _BV(TWEA) : 0));
  if (!wait_step()) return hung();
  if (status() != TW_MR_DATA_ACK && status() != TW_MR_DATA_NACK) return hung();
  byte = TWDR;
  return Ack::Yes;
}

void twi_stop() {
  TWCR = _BV(TWINT) | _BV(TWEN) | _BV(TWSTO);
  const uint16_t start = millis();
  while ((TWCR & _BV(TWSTO)) != 0) {
    if (static_cast<uint16_t>(millis() - start) > kStepMs) {
      hung();
      return;
    }
  }
}

}  // namespace fw
