#include "hardware.hpp"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <avr/wdt.h>
#include <util/atomic.h>

namespace fw {
namespace {

constexpr uint8_t kHighVoltage = _BV(PD2);
constexpr uint8_t kHighVoltageSense = _BV(PD3);
constexpr uint8_t kSa1 = _BV(PD4);
constexpr uint8_t kSupplies = _BV(PD5) | _BV(PD6) | _BV(PD7);
constexpr uint8_t kBusJumper = _BV(PB0);
constexpr uint8_t kLed = _BV(PB5);

constexpr uint16_t kPowerOffMs = 20;    // for the old socket's supply to fall before another rises
constexpr uint16_t kPowerUpMs = 50;     // for a module to come up: DDR5's PMIC and hub take longest
constexpr uint16_t kHighVoltageMs = 2;  // for the high voltage to settle on SA0, and to fall again
constexpr uint8_t kTimerTop = 249;      // 16 MHz / 64 / 250 = one tick a millisecond

volatile uint16_t g_ms = 0;
uint8_t g_powered = 0;  // the generation whose socket is powered, 0 for none

uint8_t supply_pin(uint8_t device) { return static_cast<uint8_t>(_BV(PD5) << (device - 3)); }

}  // namespace

ISR(TIMER0_COMPA_vect) { g_ms = static_cast<uint16_t>(g_ms + 1); }

void hardware_init() {
  DDRD |= kHighVoltage | kSa1 | kSupplies;
  PORTD &= static_cast<uint8_t>(~(kHighVoltage | kSa1 | kSupplies | kHighVoltageSense));
  DDRB |= kLed;
  PORTB |= kBusJumper;  // its pull-up: open reads high
  TCCR0A = _BV(WGM01);  // clear on compare match: a tick each time the counter reaches the top
  TCCR0B = _BV(CS01) | _BV(CS00);
  OCR0A = kTimerTop;
  TIMSK0 = _BV(OCIE0A);
  SMCR = 0;  // sleep mode idle: the UART and the timer wake it
  wdt_enable(WDTO_1S);
}

uint16_t millis() {
  uint16_t now = 0;
  ATOMIC_BLOCK(ATOMIC_RESTORESTATE) { now = g_ms; }
  return now;
}

void idle() {
  sleep_enable();
  sleep_cpu();
  sleep_disable();
}

void wait_ms(uint16_t ms) {
  const uint16_t start = millis();
  while (static_cast<uint16_t>(millis() - start) < ms) {
    feed_watchdog();
    idle();
  }
}

void feed_watchdog() { wdt_reset(); }

bool fast_bus_jumper() { return (PINB & kBusJumper) == 0; }

bool power_socket(uint8_t device) {
  if (g_powered == device) return true;
  if (g_powered != 0) {
    PORTD &= static_cast<uint8_t>(~kSupplies);
    wait_ms(kPowerOffMs);
  }
  PORTD = static_cast<uint8_t>(PORTD | supply_pin(device));
  g_powered = device;
  wait_ms(kPowerUpMs);
  return false;
}

bool high_voltage(bool on) {
  if (on) {
    PORTD |= kHighVoltage;
  } else {
    PORTD &= static_cast<uint8_t>(~kHighVoltage);
  }
  wait_ms(kHighVoltageMs);
  return ((PIND & kHighVoltageSense) != 0) == on;
}

void lift_sa1(bool on) {
  if (on) {
    PORTD |= kSa1;
  } else {
    PORTD &= static_cast<uint8_t>(~kSa1);
  }
}

void led(bool on) {
  if (on) {
    PORTB |= kLed;
  } else {
    PORTB &= static_cast<uint8_t>(~kLed);
  }
}

}  // namespace fw

// After a reset by the watchdog, the watchdog stays on at its shortest time-out: turn it off
// before anything else runs, or the board would reset again before main() could feed it.
extern "C" void early_watchdog_off() __attribute__((naked, used, section(".init3")));
extern "C" void early_watchdog_off() {
  MCUSR = 0;
  wdt_disable();
}
