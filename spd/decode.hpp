// One decode of an SPD image, of which the summary (info), the full listing (info --all) and the
// JSON document are three views: the values they share are computed once, here, so that they
// cannot disagree.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "spd/layout.hpp"

namespace dimmwand::spd {

// Label and value, in the order to show them.
using InfoLines = std::vector<std::pair<std::string, std::string>>;

struct InfoSection {
  std::string title;
  InfoLines lines;
};

// A JEP106 maker as stored: continuation count and code, each with its parity bit.
struct MakerId {
  std::uint8_t bank_byte = 0;
  std::uint8_t code_byte = 0;
};

// Clock counts at a cycle time: CL (a supported latency where the image lists them), tRCD, tRP,
// tRAS. All 0 when the cycle time is unknown.
struct Clocks {
  unsigned cl = 0, trcd = 0, trp = 0, tras = 0;
};

// An overclocking profile (XMP 1.x, 2.0, 3.0 or EXPO). Times in ps.
struct Profile {
  std::string kind;  // "XMP" or "EXPO"
  unsigned number = 0;
  std::string name;  // XMP 3.0 only
  double tck_ps = 0, taa_ps = 0, trcd_ps = 0, trp_ps = 0;
  double volts = 0;
  unsigned data_rate = 0;  // 0: no cycle time
  Clocks clocks;
};

// The essentials, as numbers where they are numbers. Times in ps.
struct Facts {
  DeviceType generation = DeviceType::DDR4;
  std::size_t size = 0;
  std::uint8_t key_byte = 0;
  std::string module_type;
  unsigned long long capacity_mb = 0;  // 0: unknown
  unsigned ranks = 0, device_width = 0, bus_width = 0, sub_channels = 1;
  bool ecc = false;
  double tck_ps = 0, taa_ps = 0, trcd_ps = 0, trp_ps = 0, tras_ps = 0;
  unsigned data_rate = 0;  // 0: no cycle time
  Clocks clocks;
  std::string organisation;  // the capacity's breakdown as shown
  MakerId module_maker, dram_maker;
  std::string part_number, serial_number;
  std::optional<std::pair<unsigned, unsigned>> date;  // year, week
  std::string spd_revision;
  std::optional<std::string> xmp_version, expo_version;  // present blocks
  std::vector<Profile> profiles;
};

struct Decode {
  Facts facts;
  std::vector<InfoSection> sections;  // every field, in sections
};

Decode decode(Image image, DeviceType g);

// The summary of a decode: the lines info shows without --all.
InfoLines summary(const Decode& d);

}  // namespace dimmwand::spd
