// dimmwand's programmer: an ATmega328P at 16 MHz between the host's serial line and the module's
// SPD bus. It takes the request frames of docs/protocol.md one after another and answers each
// with one line; what the firmware defines beyond that document (the protection codes, the words
// of its answers) is described there too.
#include <avr/interrupt.h>

#include "hardware.hpp"
#include "protect_ops.hpp"
#include "spd.hpp"
#include "twi.hpp"
#include "uart.hpp"
#include "wire.hpp"

namespace fw {
namespace {

constexpr uint8_t kChunk = 16;  // bytes read from the module per transaction of a block read

const HexWriter kOut(uart_put);

void word_line(const char* word) {
  kOut.text(word);
  kOut.end_line();
}

const char* failure_word(Outcome o) { return o == Outcome::Hung ? kHung : kNothing; }

// ReadSpd and ReadReg: the area as hex digits, streamed as it is read; a failure ends the line
// early with its word, so the host sees an answer shorter than the area.
void read_area(const Area& area) {
  uint8_t chunk[kChunk];
  for (uint16_t address = 0; address < area.size; address = static_cast<uint16_t>(address + kChunk)) {
    const Outcome o = read_bytes(area, address, chunk, kChunk);
    if (o != Outcome::Ok) {
      if (address > 0) uart_put(' ');
      return word_line(failure_word(o));
    }
    for (const uint8_t b : chunk) kOut.byte(b);
    feed_watchdog();
  }
  kOut.end_line();
}

void read_one(const Area& area, uint16_t address) {
  uint8_t b = 0;
  const Outcome o = address < area.size ? read_bytes(area, address, &b, 1) : Outcome::Absent;
  if (o != Outcome::Ok) return word_line(failure_word(o));
  kOut.byte(b);
  kOut.end_line();
}

// "1" when the byte was written and reads back; "0" when it was not, whatever the reason (a hung
// bus included: the tool takes "0" as a failed write, where another word would pass for success).
void write_one(const Area& area, uint16_t address, uint16_t value) {
  const Outcome o =
      address < area.size && value <= 0xFF ? write_byte(area, address, static_cast<uint8_t>(value)) : Outcome::Refused;
  word_line(o == Outcome::Ok ? "1" : "0");
}

void protection(uint8_t device, uint16_t code) {
  char text[kStatusTextSize];
  run_protection(device, code, text);
  kOut.text_as_hex(text);
  kOut.end_line();
}

// Frames this firmware does not know (another command code, a generation other than 3-5, REG
// requests for DDR3 and DDR4) are ignored, as unknown requests are on the emulator.
void serve(const Frame& f) {
  const bool registers = f.command == kReadReg || f.command == kWriteRegByte;
  const bool known = f.command == kReadByte || f.command == kWriteByte || f.command == kWriteProtect ||
                     f.command == kReadSpd || registers;
  Area area = {};
  if (!known || !find_area(f.device, registers, area)) return;
  if (f.command == kWriteProtect) return protection(f.device, f.value);
  power(area);
  switch (f.command) {
    case kReadByte:
      return read_one(area, f.address);
    case kWriteByte:
    case kWriteRegByte:
      return write_one(area, f.address, f.value);
    default:  // ReadSpd, ReadReg
      return read_area(area);
  }
}

}  // namespace
}  // namespace fw

int main() {
  using namespace fw;
  hardware_init();
  uart_init();
  twi_init(fast_bus_jumper());
  sei();
  FrameParser parser;
  for (;;) {
    feed_watchdog();
    uint8_t byte = 0;
    if (!uart_take(byte)) {
      idle();  // until a byte arrives or the clock ticks
      continue;
    }
    if (!parser.feed(byte)) continue;
    led(true);
    serve(parser.frame());
    led(false);
  }
}
