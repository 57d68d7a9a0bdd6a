// The module's data areas on its bus: each generation's SPD device with its pages (none on
// DDR3, EE1004's two on DDR4, the SPD5118 hub's eight on DDR5) and the hub's registers.
#pragma once

#include <stdint.h>

namespace fw {

// How a request to the module ended.
enum class Outcome : uint8_t {
  Ok,
  Refused,  // the device did not take it: a protected byte, a read-only register, a write that reads back otherwise
  Absent,   // nothing acknowledged the module's address
  Hung,     // the bus stayed held
};

struct Generation;

// One data area: a generation's SPD area, or the DDR5 hub's registers.
struct Area {
  const Generation* generation;
  bool registers;
  uint16_t size;
};

// The area a request names; false when the generation is not 3-5, or has no registers.
bool find_area(uint8_t device, bool registers, Area& area);

// Powers the area's socket (and no other) and forgets the page when the module is new.
void power(const Area& area);

// Reads `count` bytes from `address` on; they must lie in one page (16 at an address divisible
// by 16 always do).
Outcome read_bytes(const Area& area, uint16_t address, uint8_t* out, uint8_t count);

// Writes one byte and waits out the write cycle by polling; Ok when the byte then reads back.
Outcome write_byte(const Area& area, uint16_t address, uint8_t value);

// True when something acknowledges the SPD device's address.
Outcome present(const Area& area);

// The generation's number: 3, 4 or 5.
uint8_t device_of(const Area& area);

// A transaction at a seven-bit address with `count` bytes written and then, when `read` is not
// null, one byte read after a repeated START. Ok when every step was acknowledged; Absent when
// the address was not, Refused when a byte was not (`taken` then says how many were).
Outcome transfer(uint8_t address, const uint8_t* bytes, uint8_t count, uint8_t* read, uint8_t* taken = nullptr);

// Polls the SPD device's address until it acknowledges again after a write cycle; Absent when it
// does not within the longest write cycle.
Outcome wait_ready();

}  // namespace fw
