// One decode of an SPD image, of which the summary (info), the full listing (info --all) and the
// JSON document are three views: the values they share are computed once, here, so that they
// cannot disagree.
#pragma once

#include <optional>
#include <string_view>
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

// A time of a profile beyond its cycle time, named as its layout names it. Its clock count at
// the profile's cycle time; `min_nck` the lower limit in clocks where the profile stores one.
struct ProfileTime {
  std::string_view key;    // "taa", as info --json and the editor name it
  std::string_view label;  // "tAA"
  double ps = 0;
  unsigned min_nck = 0;
  unsigned clocks = 0;
};

struct ProfileVoltage {
  std::string_view key;    // "vdd"
  std::string_view label;  // "VDD"
  double volts = 0;
};

// An overclocking profile (XMP 1.x, 2.0, 3.0 or EXPO) with a cycle time: a profile without one is
// no profile and is not listed. Times in ps.
struct Profile {
  model::ProfileKind kind = model::ProfileKind::Xmp;
  unsigned number = 0;
  std::string name;  // XMP 3.0 only
  double tck_ps = 0, taa_ps = 0, trcd_ps = 0, trp_ps = 0, tras_ps = 0;
  double volts = 0;        // VDD
  unsigned data_rate = 0;  // named by timing::data_rate
  Clocks clocks;
  std::vector<unsigned> cas;             // the supported CAS latencies, where the profile lists them
  std::vector<ProfileTime> times;        // every time after tCK, tAA first
  std::vector<ProfileVoltage> voltages;  // every voltage, VDD first
  unsigned command_rate = 0;             // XMP 3.0: 1-3 for 1N-3N; 0 not stored
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
  // The parts a short image lacks (a 512-byte DDR5 image: its manufacturing data and profiles),
  // in the user's words; empty for a whole image.
  std::string absent;
  // Why the times cannot be read (a reserved timebase, a divisor of 0), in the user's words: the
  // base section's, and each enabled profile's ("XMP 配置 1: …"). Every view says each once and
  // shows no time read from it; empty where they can be read.
  std::string unreadable;
  std::vector<std::string> unreadable_profiles;
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
