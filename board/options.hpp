// dimmwand-board's command line: the module in each socket, the board's fittings and faults.
#pragma once

#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dimmwand::board {

struct Options {
  std::map<std::string, std::string> images;  // area name (spd3, spd4, spd5, reg5) -> file
  bool save = false;
  std::string log_path;
  std::string firmware;  // empty: dimmwand-fw.elf beside the program
  double write_cycle_ms = 5.0;
  std::optional<std::string> protect3;  // "reversible" or "permanent"
  std::uint8_t protect4 = 0;            // DDR4 quadrants, one bit each
  std::uint16_t protect5 = 0;           // DDR5 blocks, one bit each (MR12/MR13)
  bool no_high_voltage = false;
  unsigned bus_khz = 100;
  std::optional<unsigned> hold_sda;  // clock pulses until the device lets SDA go; 0 never
  bool online = false;               // DDR5: HSA not tied to ground
  std::vector<std::string> command;
};

// Parses the process arguments; everything after the first "--" is the command to run. When
// parsing ends the run (help, version, a rejected command line) the report is printed and the exit
// status comes back instead: 0 for help and version, 2 for a rejection.
std::expected<Options, int> parse_options(int argc, char** argv);

// "0-3,12" as a bit per number, each below `count`; nullopt when a piece is not one.
std::optional<std::uint32_t> parse_blocks(const std::string& text, unsigned count);

}  // namespace dimmwand::board
