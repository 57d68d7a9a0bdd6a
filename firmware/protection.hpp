// The write-protection codes this firmware defines (docs/protocol.md lists them), and the text of
// its answers to them. Plain C++14, built for the board and for the host's unit tests.
//
// A code is an operation in its high byte and a block in its low byte:
//   0000  report which blocks are protected
//   01bb  protect block bb
//   0200  clear the protection of every block
//   03bb  clear the protection of block bb (DDR5 only: its hub clears blocks one by one)
// A block is what one protection command covers: DDR3 has one (bytes 00-7F), DDR4 four quadrants
// of 128 bytes, DDR5 sixteen blocks of 64.
#pragma once

#include <stdint.h>

namespace fw {

enum class Protect : uint8_t { Status, Set, ClearAll, ClearBlock, Unknown };

struct ProtectRequest {
  Protect action;
  uint8_t block;
};

// How many protection blocks a generation's SPD has: 1, 4 or 16; 0 for no generation.
uint8_t protection_blocks(uint8_t device);

// What `code` asks of a module of generation `device`: Unknown for a code this firmware does not
// define, or a block or an operation the generation lacks.
ProtectRequest decode_protect(uint8_t device, uint16_t code);

// Room for the longest status text and its terminating zero.
constexpr uint8_t kStatusTextSize = 56;

// The answer to a protection code: "WP NONE" or "WP " and the protected blocks ("WP 0-1, 3"),
// " PERMANENT" after it when DDR3's protection can no longer be cleared, and "REFUSED " before it
// when the chip did not do what was asked. Written into `out`.
void status_text(uint16_t blocks, bool permanent, bool refused, char* out);

}  // namespace fw
