// The serial line to the host: 115200 baud, 8 data bits, no parity, one stop bit. What arrives is
// kept in a ring by the receive interrupt, so that bytes arriving while a write cycle is waited
// out are not lost; what is sent waits for the transmitter.
#pragma once

#include <stdint.h>

namespace fw {

// Room for 113 frames: what a block write sends ahead while an EEPROM slower than the host's
// pace is still busy (docs/programmer.md has the sum).
constexpr uint16_t kReceiveRing = 1024;

void uart_init();

// The next received byte; false when none is waiting.
bool uart_take(uint8_t& byte);

// Sends one character, waiting for room in the transmitter.
void uart_put(char c);

}  // namespace fw
