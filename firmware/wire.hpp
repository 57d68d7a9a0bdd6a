// The line as the firmware speaks it: request frames found in the bytes that arrive, and bytes
// written back as upper-case hexadecimal digits. Plain C++14 without the standard library, so
// that avr-g++ builds it for the board and the host compiler for the unit tests.
#pragma once

#include <stdint.h>

namespace fw {

constexpr uint8_t kFrameSize = 9;
constexpr uint8_t kHeader0 = 0xAA;
constexpr uint8_t kHeader1 = 0x55;

// The request codes of docs/protocol.md.
enum Command : uint8_t {
  kReadByte = 0x01,
  kWriteByte = 0x02,
  kWriteProtect = 0x03,
  kReadSpd = 0x05,
  kReadReg = 0x06,
  kWriteRegByte = 0x07,
};

struct Frame {
  uint8_t command;
  uint8_t device;  // the DDR generation: 3, 4 or 5
  uint16_t address;
  uint16_t value;
};

// CRC-8/ROHC (polynomial 0x07 reflected, initial 0xFF, no final XOR), bit by bit: a table would
// cost 256 bytes of the board's memory for six bytes a frame.
uint8_t crc8_rohc(const uint8_t* bytes, uint8_t count);

// Finds frames byte by byte. Bytes before AA 55 are noise and dropped; a frame whose checksum is
// wrong is dropped from its first byte only, and the search for AA 55 starts again after it (the
// header may itself have been noise inside a real frame's bytes).
class FrameParser {
 public:
  // True when `byte` completed a frame with a good checksum; it is then in frame().
  bool feed(uint8_t byte);
  const Frame& frame() const { return frame_; }
  // Frames dropped for their checksum since the start.
  uint16_t rejected() const { return rejected_; }

 private:
  void drop(uint8_t count);

  uint8_t window_[kFrameSize] = {};
  uint8_t fill_ = 0;
  uint16_t rejected_ = 0;
  Frame frame_ = {};
};

// The digit of a nibble (0-15), upper case.
char hex_digit(uint8_t nibble);

// Writes bytes as text through a character sink: hex digits, or a text's characters.
class HexWriter {
 public:
  using Sink = void (*)(char);
  explicit HexWriter(Sink sink) : sink_(sink) {}
  void byte(uint8_t b) const;
  // Each character of `text` as two hex digits: how a write-protect answer carries its words.
  void text_as_hex(const char* text) const;
  void text(const char* text) const;
  void end_line() const { sink_('\n'); }

 private:
  Sink sink_;
};

}  // namespace fw
