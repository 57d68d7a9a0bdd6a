// What a person checks before writing an image onto a module, decoded from the JEDEC layout.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "spd/image.hpp"

namespace dimmwand::spd {

// Label and value, in the order to show them.
using InfoLines = std::vector<std::pair<std::string, std::string>>;

// A JEP106 maker as stored: continuation count and code, each with its parity bit.
struct MakerId {
  std::uint8_t bank_byte = 0;
  std::uint8_t code_byte = 0;
};

// An overclocking profile (XMP 1.x, 2.0, 3.0 or EXPO).
struct Profile {
  std::string kind;  // "XMP" or "EXPO"
  unsigned number = 0;
  std::string name;  // XMP 3.0 only
  double tck_ps = 0, taa_ps = 0, trcd_ps = 0, trp_ps = 0;
  double volts = 0;
};

// The essentials of an SPD image, as numbers where they are numbers. Times are in ps.
struct Facts {
  DeviceType generation = DeviceType::DDR4;
  std::size_t size = 0;
  std::string module_type;
  unsigned long long capacity_mb = 0;  // 0: unknown
  unsigned ranks = 0, device_width = 0, bus_width = 0, sub_channels = 1;
  bool ecc = false;
  double tck_ps = 0, taa_ps = 0, trcd_ps = 0, trp_ps = 0, tras_ps = 0;
  std::string organisation;  // the capacity's breakdown as shown
  MakerId module_maker, dram_maker;
  std::string part_number, serial_number;
  std::optional<std::pair<unsigned, unsigned>> date;  // year, week
  std::string spd_revision;
  std::optional<std::string> xmp_version, expo_version;  // present blocks
  std::vector<Profile> profiles;
};

Facts facts(Image image, DeviceType g);

// The summary lines of the facts.
InfoLines describe(Image image, DeviceType g);

// The volts of an XMP 1.x (DDR3), XMP 3.0 or EXPO (DDR5) voltage byte: bits 6-5 whole volts,
// bits 4-0 twentieths.
double xmp_volts(std::uint8_t b);

// Clock cycles for a time, with the rounding (guard band) of the generation.
unsigned clocks(unsigned time_ps, unsigned cycle_ps, DeviceType g);

// The CAS latency of a time: clocks, and on DDR5 the next even number.
unsigned cas_latency(unsigned time_ps, unsigned cycle_ps, DeviceType g);

// The data rate of a clock period: the standard grade within 1 %, otherwise rounded.
unsigned data_rate(unsigned cycle_ps);

}  // namespace dimmwand::spd
