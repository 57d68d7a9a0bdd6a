// The board around the ATmega328P: its pins as docs/programmer.md wires them (Arduino names in
// brackets), the millisecond clock, the watchdog, the sockets' supplies and the high voltage.
#pragma once

#include <stdint.h>

namespace fw {

// PD2 (D2): high switches the high voltage (VHV, 7-10 V) onto SA0 of the DDR3 and DDR4 sockets.
// PD3 (D3): reads high while the high voltage is on SA0 (a divider from SA0).
// PD4 (D4): high lifts SA1 of the DDR3 socket, as clearing its reversible protection needs.
// PD5, PD6, PD7 (D5, D6, D7): high powers the DDR3, DDR4, DDR5 socket.
// PB0 (D8): a jumper to ground runs the module's bus at 400 kHz; open, 100 kHz.
// PB5 (D13): the LED, lit while a request is served.
// PC4, PC5 (A4, A5): SDA and SCL of the module's bus (twi.cpp).

// Sets up the pins, the clock and the watchdog; interrupts are enabled afterwards.
void hardware_init();

// Milliseconds since the start, wrapping at 65536.
uint16_t millis();

// Waits `ms` milliseconds asleep between clock ticks, keeping the watchdog fed.
void wait_ms(uint16_t ms);

// Sleeps until the next interrupt (a received byte, a clock tick).
void idle();

// Tells the watchdog the firmware still runs; it resets the board after a second without.
void feed_watchdog();

// True when the jumper asks for 400 kHz on the module's bus.
bool fast_bus_jumper();

// Powers the socket of generation 3, 4 or 5 and no other, waiting for a module in it to come up
// when it was off; true when it was already on (a module keeps its state, such as its page).
bool power_socket(uint8_t device);

// The high voltage on SA0 (on: true when it arrived); SA1 of the DDR3 socket.
bool high_voltage(bool on);
void lift_sa1(bool on);

void led(bool on);

}  // namespace fw
