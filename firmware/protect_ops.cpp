#include "protect_ops.hpp"

#include "hardware.hpp"
#include "model/spd_bus.hpp"
#include "spd.hpp"
#include "twi.hpp"

namespace fw {

const char kNothing[] = "NOTHING";
const char kHung[] = "HUNG";
const char kNoHighVoltage[] = "NO HIGH VOLTAGE";
const char kUnknownCode[] = "UNKNOWN CODE";

using namespace dimmwand::bus;

namespace {

// What the device reports of its protection.
struct State {
  Outcome outcome;
  uint16_t blocks;  // bit n: block n protected
  bool permanent;   // DDR3: the lower half can no longer be cleared
  bool voltage;     // false when the high voltage the reading needs did not arrive
};

// The protection commands' "don't care" address and data bytes.
const uint8_t kDummy[2] = {0, 0};

// Reads the state of a protection command: the device acknowledges its address when the
// protection is not set. A read must take a byte once the address is acknowledged.
Outcome acknowledged(uint8_t address) {
  if (!twi_bus_ready()) return Outcome::Hung;
  const Ack a = twi_start(address, true);
  if (a == Ack::Yes) {
    uint8_t ignored = 0;
    if (twi_read(ignored, false) == Ack::Hung) return Outcome::Hung;
  }
  if (a == Ack::Hung) return Outcome::Hung;
  twi_stop();
  return a == Ack::Yes ? Outcome::Ok : Outcome::Absent;
}

State ddr3_state() {
  State s = {Outcome::Ok, 0, false, true};
  Outcome o = acknowledged(kDdr3PermanentProtect);
  if (o == Outcome::Hung) return {o, 0, false, true};
  s.permanent = o == Outcome::Absent;
  // The reversible protection reads only with VHV on SA0.
  if (!high_voltage(true)) {
    high_voltage(false);
    return {Outcome::Ok, 0, false, false};
  }
  o = acknowledged(kDdr3SetReversible);
  high_voltage(false);
  if (o == Outcome::Hung) return {o, 0, false, true};
  if (s.permanent || o == Outcome::Absent) s.blocks = 1;
  return s;
}

State ddr4_state() {
  State s = {Outcome::Ok, 0, false, true};
  for (uint8_t q = 0; q < kDdr4QuadrantCount; ++q) {
    const Outcome o = acknowledged(kDdr4ProtectQuadrant[q]);
    if (o == Outcome::Hung) return {o, 0, false, true};
    if (o == Outcome::Absent) s.blocks = static_cast<uint16_t>(s.blocks | 1u << q);
  }
  return s;
}

State ddr5_state(const Area& registers) {
  uint8_t mr[2] = {0, 0};
  const Outcome o = read_bytes(registers, kHubProtectLow, mr, 2);
  return {o, static_cast<uint16_t>(mr[1] << 8 | mr[0]), false, true};
}

State state(const Area& spd) {
  Area registers = {};
  switch (device_of(spd)) {
    case 3:
      return ddr3_state();
    case 4:
      return ddr4_state();
    default:
      find_area(5, true, registers);
      return ddr5_state(registers);
  }
}

// A protection command of DDR3 or DDR4 with VHV on SA0 (and DDR3's SA1 lifted to clear), then
// the write cycle it starts. Outcome::Refused for a command not acknowledged; kNoHighVoltage's
// case is `voltage` false.
Outcome high_voltage_command(uint8_t address, bool sa1, bool& voltage) {
  lift_sa1(sa1);
  voltage = high_voltage(true);
  Outcome o = Outcome::Refused;
  if (voltage) o = transfer(address, kDummy, 2, nullptr);
  high_voltage(false);
  lift_sa1(false);
  if (o == Outcome::Ok) {
    const Outcome ready = wait_ready();
    if (ready != Outcome::Ok) return ready;
  }
  return o == Outcome::Absent ? Outcome::Refused : o;
}

// DDR5: MR12 or MR13 with one block's bit set or cleared, or both cleared.
Outcome hub_protection(uint16_t blocks) {
  Area registers = {};
  find_area(5, true, registers);
  Outcome o = write_byte(registers, kHubProtectLow, static_cast<uint8_t>(blocks & 0xFF));
  if (o == Outcome::Ok || o == Outcome::Refused) {
    const Outcome high = write_byte(registers, kHubProtectHigh, static_cast<uint8_t>(blocks >> 8));
    if (high != Outcome::Ok) o = high;
  }
  return o;
}

// Carries out a change; `wanted` is the blocks protected afterwards if the chip takes it.
Outcome change(const Area& spd, const ProtectRequest& r, uint16_t now, uint16_t& wanted, bool& voltage) {
  const uint8_t device = device_of(spd);
  const auto bit = static_cast<uint16_t>(1u << r.block);
  wanted = r.action == Protect::Set          ? static_cast<uint16_t>(now | bit)
           : r.action == Protect::ClearBlock ? static_cast<uint16_t>(now & ~bit)
                                             : 0;
  voltage = true;
  if (wanted == now) return Outcome::Ok;  // nothing to do: protecting a protected block
  if (device == 5) return hub_protection(wanted);
  if (r.action == Protect::ClearAll) {
    return high_voltage_command(device == 3 ? kDdr3ClearReversible : kDdr4ClearProtection, device == 3, voltage);
  }
  return high_voltage_command(device == 3 ? kDdr3SetReversible : kDdr4ProtectQuadrant[r.block], false, voltage);
}

void copy(const char* word, char* out) {
  while ((*out++ = *word++) != '\0') {
  }
}

}  // namespace

void run_protection(uint8_t device, uint16_t code, char* out) {
  const ProtectRequest r = decode_protect(device, code);
  Area spd = {};
  if (r.action == Protect::Unknown || !find_area(device, false, spd)) return copy(kUnknownCode, out);
  power(spd);
  const Outcome there = present(spd);
  if (there != Outcome::Ok) return copy(there == Outcome::Hung ? kHung : kNothing, out);
  State s = state(spd);
  if (s.outcome == Outcome::Hung) return copy(kHung, out);
  if (!s.voltage) return copy(kNoHighVoltage, out);
  bool refused = false;
  if (r.action != Protect::Status) {
    uint16_t wanted = 0;
    bool voltage = true;
    const Outcome o = change(spd, r, s.blocks, wanted, voltage);
    if (o == Outcome::Hung) return copy(kHung, out);
    if (!voltage) return copy(kNoHighVoltage, out);
    s = state(spd);
    if (s.outcome == Outcome::Hung) return copy(kHung, out);
    if (!s.voltage) return copy(kNoHighVoltage, out);
    refused = s.blocks != wanted;
  }
  status_text(s.blocks, s.permanent, refused, out);
}

}  // namespace fw
