#include "spd.hpp"

#include "hardware.hpp"
#include "model/spd_bus.hpp"
#include "twi.hpp"

namespace fw {

using namespace dimmwand::bus;

// A generation's SPD device: its size, how many bytes one page select reaches, how a page is
// selected, and what the address byte carries besides the offset.
struct Generation {
  uint8_t device;
  uint16_t spd_size;
  uint16_t page_size;
  Outcome (*select_page)(uint8_t page);
  uint8_t memory_bit;
};

namespace {

constexpr uint8_t kNoPage = 0xFF;
// Waiting for the device to take a byte: it may still be coming up (kFirstAckMs); and for its
// write cycle to end: ten times the data sheets' 5 ms, so that a slow part still gets its byte.
constexpr uint16_t kFirstAckMs = 10;
constexpr uint16_t kWriteCycleMs = 50;

uint8_t g_page = kNoPage;  // the page the powered module has selected, as far as we know

Outcome outcome(Ack a) { return a == Ack::Yes ? Outcome::Ok : a == Ack::No ? Outcome::Refused : Outcome::Hung; }

// DDR3: 256 bytes, one page.
Outcome no_pages(uint8_t) { return Outcome::Ok; }

// DDR4: SPA0 or SPA1, then RPA to confirm: some modules select the page without acknowledging
// the command (ee1004.c says as much).
Outcome ee1004_page(uint8_t page) {
  const Outcome set = transfer(page == 0 ? kDdr4SetPage0 : kDdr4SetPage1, nullptr, 0, nullptr);
  if (set == Outcome::Hung) return set;
  if (!twi_bus_ready()) return Outcome::Hung;
  const Ack a = twi_start(kDdr4ReadPage, true);
  if (a == Ack::Hung) return Outcome::Hung;
  if (a == Ack::Yes) {
    uint8_t ignored = 0;
    if (twi_read(ignored, false) == Ack::Hung) return Outcome::Hung;
  }
  twi_stop();
  const uint8_t now = a == Ack::Yes ? 0 : 1;  // acknowledged: page 0
  return now == page ? Outcome::Ok : Outcome::Refused;
}

// DDR5: MR11's page bits, one-byte addressing kept; read back to confirm.
Outcome hub_page(uint8_t page) {
  const uint8_t write[2] = {kHubLegacyMode, page};
  const Outcome set = transfer(kSpdAddress, write, 2, nullptr);
  if (set != Outcome::Ok) return set;
  uint8_t now = 0;
  const Outcome back = transfer(kSpdAddress, write, 1, &now);
  if (back != Outcome::Ok) return back;
  return (now & (kHubPageMask | kHubTwoByteMode)) == page ? Outcome::Ok : Outcome::Refused;
}

const Generation kGenerations[] = {
    {3, kDdr3SpdSize, kDdr3SpdSize, no_pages, 0},
    {4, kDdr4PageSize* kDdr4PageCount, kDdr4PageSize, ee1004_page, 0},
    {5, kHubPageSize* kHubPageCount, kHubPageSize, hub_page, kHubMemoryBit},
};

// Where an address of an area lies: its page, and the byte that addresses it in that page.
struct Place {
  uint8_t page;
  uint8_t byte;
};

Place place(const Area& area, uint16_t address) {
  if (area.registers) return {0, static_cast<uint8_t>(address)};  // the hub's registers answer in page 0
  const Generation& g = *area.generation;
  return {static_cast<uint8_t>(address / g.page_size), static_cast<uint8_t>((address % g.page_size) | g.memory_bit)};
}

Outcome select(const Area& area, uint8_t page) {
  if (g_page == page) return Outcome::Ok;
  const Outcome o = area.generation->select_page(page);
  g_page = o == Outcome::Ok ? page : kNoPage;
  return o;
}

}  // namespace

bool find_area(uint8_t device, bool registers, Area& area) {
  for (const Generation& g : kGenerations) {
    if (g.device != device) continue;
    if (registers && device != 5) return false;
    area = {&g, registers, registers ? kHubRegisterCount : g.spd_size};
    return true;
  }
  return false;
}

uint8_t device_of(const Area& area) { return area.generation->device; }

void power(const Area& area) {
  if (!power_socket(area.generation->device)) g_page = kNoPage;
}

Outcome transfer(uint8_t address, const uint8_t* bytes, uint8_t count, uint8_t* read, uint8_t* taken) {
  if (!twi_bus_ready()) return Outcome::Hung;
  Ack a = twi_start(address, false);
  if (a == Ack::No) {
    twi_stop();
    return Outcome::Absent;
  }
  uint8_t written = 0;
  for (; a == Ack::Yes && written < count; ++written) a = twi_write(bytes[written]);
  if (taken != nullptr) *taken = a == Ack::Yes ? written : static_cast<uint8_t>(written - 1);
  if (a == Ack::Yes && read != nullptr) {
    a = twi_start(address, true);
    if (a == Ack::Yes) a = twi_read(*read, false);
  }
  if (a != Ack::Hung) twi_stop();
  return outcome(a);
}

Outcome present(const Area&) { return transfer(kSpdAddress, nullptr, 0, nullptr); }

Outcome wait_ready() {
  for (const uint16_t start = millis();;) {
    const Outcome o = transfer(kSpdAddress, nullptr, 0, nullptr);
    if (o != Outcome::Absent || static_cast<uint16_t>(millis() - start) > kWriteCycleMs) return o;
    wait_ms(1);
  }
}

Outcome read_bytes(const Area& area, uint16_t address, uint8_t* out, uint8_t count) {
  const Place at = place(area, address);
  const Outcome paged = select(area, at.page);
  if (paged != Outcome::Ok) return paged;
  if (!twi_bus_ready()) return Outcome::Hung;
  Ack a = twi_start(kSpdAddress, false);
  if (a == Ack::No) {
    twi_stop();
    return Outcome::Absent;
  }
  if (a == Ack::Yes) a = twi_write(at.byte);
  if (a == Ack::Yes) a = twi_start(kSpdAddress, true);
  for (uint8_t i = 0; a == Ack::Yes && i < count; ++i) a = twi_read(out[i], i + 1 < count);
  if (a != Ack::Hung) twi_stop();
  return outcome(a);
}

namespace {

Outcome write_in_place(const Area& area, const Place& at, uint8_t value) {
  const Outcome paged = select(area, at.page);
  if (paged != Outcome::Ok) return paged;
  // The byte. The device may not yet acknowledge its address (coming up, or DDR5's hub its NVM's
  // address byte while busy): try again for a while. A protected byte is refused at its data.
  const uint8_t bytes[2] = {at.byte, value};
  Outcome o = Outcome::Absent;
  for (const uint16_t start = millis();;) {
    uint8_t taken = 0;
    o = transfer(kSpdAddress, bytes, 2, nullptr, &taken);
    if (o == Outcome::Ok || o == Outcome::Hung || (o == Outcome::Refused && taken == 1)) break;
    if (static_cast<uint16_t>(millis() - start) > kFirstAckMs) return o;
    wait_ms(1);
  }
  if (o != Outcome::Ok) return o;
  // The write cycle: the device refuses its address (DDR5: the NVM's address byte) until it is
  // over; then the byte is read back. Asked again each clock tick: a write cycle takes a few ms.
  for (const uint16_t start = millis();;) {
    uint8_t back = 0;
    o = transfer(kSpdAddress, bytes, 1, &back);
    if (o == Outcome::Ok) return back == value ? Outcome::Ok : Outcome::Refused;
    if (o == Outcome::Hung) return o;
    if (static_cast<uint16_t>(millis() - start) > kWriteCycleMs) return Outcome::Refused;
    wait_ms(1);
  }
}

}  // namespace

Outcome write_byte(const Area& area, uint16_t address, uint8_t value) {
  const Place at = place(area, address);
  if (!area.registers || at.byte != kHubLegacyMode) return write_in_place(area, at, value);
  // MR11 itself: its two-byte addressing would cut the hub off from one-byte requests, so it is
  // never set; and the page is the host's now, not the one last selected.
  const Outcome o = write_in_place(area, at, static_cast<uint8_t>(value & ~kHubTwoByteMode));
  g_page = kNoPage;
  return o == Outcome::Ok && (value & kHubTwoByteMode) != 0 ? Outcome::Refused : o;
}

}  // namespace fw
