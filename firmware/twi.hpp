// The module's bus, driven by the ATmega328P's two-wire interface as a master. Every wait is
// bounded: a bus that does not move is freed with clock pulses, and reported when it stays held.
#pragma once

#include <stdint.h>

namespace fw {

// How a step on the bus ended: the device acknowledged, it did not, or the bus hung.
enum class Ack : uint8_t { Yes, No, Hung };

// 100 kHz, or 400 kHz when `fast`.
void twi_init(bool fast);

// Before a transaction: true when both lines are high, after freeing SDA with up to nine clock
// pulses and a STOP if a device held it low (one stopped in the middle of a byte).
bool twi_bus_ready();

// START (a repeated START inside a transaction) and the seven-bit address with R/W.
Ack twi_start(uint8_t address, bool read);
Ack twi_write(uint8_t byte);
// Receives a byte, acknowledging it when `more` are to follow.
Ack twi_read(uint8_t& byte, bool more);
// STOP: ends the transaction and leaves the bus idle.
void twi_stop();

}  // namespace fw
