#include "uart.hpp"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <util/atomic.h>

namespace fw {
namespace {

// At 16 MHz, 115200 baud is 117647 with the double-speed mode (U2X, divisor 17: +2.1 %) and
// 111111 without it (divisor 8: -3.5 %, too far for a receiver's margin); boards whose USB chip is
// a 16U2 at 16 MHz run the same divisor and so meet exactly.
constexpr uint16_t kBaudDivisor = 16;  // UBRR: 16 MHz / (8 x 17)

volatile uint8_t g_ring[kReceiveRing];
volatile uint16_t g_head = 0;  // where the interrupt puts the next byte
volatile uint16_t g_tail = 0;  // the next byte to take; written with interrupts off, read by the interrupt

}  // namespace

ISR(USART_RX_vect) {
  const uint8_t byte = UDR0;
  const auto next = static_cast<uint16_t>((g_head + 1) & (kReceiveRing - 1));
  if (next != g_tail) {
    g_ring[g_head] = byte;
    g_head = next;
  }
  // A full ring drops the byte: the frame it belonged to fails its checksum and is ignored.
}

void uart_init() {
  UBRR0 = kBaudDivisor;
  UCSR0A = _BV(U2X0);
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00);  // 8N1
  UCSR0B = _BV(RXEN0) | _BV(TXEN0) | _BV(RXCIE0);
}

bool uart_take(uint8_t& byte) {
  uint16_t head = 0;
  ATOMIC_BLOCK(ATOMIC_RESTORESTATE) { head = g_head; }
  if (head == g_tail) return false;
  const uint16_t tail = g_tail;
  byte = g_ring[tail];
  ATOMIC_BLOCK(ATOMIC_RESTORESTATE) { g_tail = static_cast<uint16_t>((tail + 1) & (kReceiveRing - 1)); }
  return true;
}

void uart_put(char c) {
  while ((UCSR0A & _BV(UDRE0)) == 0) {
  }
  UDR0 = static_cast<uint8_t>(c);
}

}  // namespace fw
