// The emulator's command line: what it is asked to play, as typed and as parsed.
#pragma once

#include <cstddef>
#include <expected>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "programmer.hpp"

namespace dimmwand::emu {

struct Options {
  std::map<std::string, std::string> images;  // area name -> file
  bool save = false;
  std::string log_path;
  bool silent = false;
  std::size_t chunk = 0;
  unsigned chunk_delay_ms = 20;
  std::string stale;
  std::size_t hangup_after = 0;
  std::string babble;
  bool hangup_mid_answer = false;
  double write_cycle_ms = 5.0;             // a byte write is answered once it is over
  std::optional<double> min_write_gap_ms;  // none: byte writes are never judged too fast
  std::string export_dir;
  std::string swap_file;  // a second module, plugged in place of the first on SIGUSR1
  AnswerStyle style;
  Faults faults;
  std::optional<DeviceType> only;  // one module of this generation in the slot
  std::string protect_blocks;      // DDR5 blocks to protect in MR12/MR13, e.g. "0-7,12"
  bool line_rate = false;
  double read_time_ms = 0;
  std::size_t interrupt_after = 0;
  std::vector<std::string> command;
};

// Parses the process arguments; everything after the first "--" is the command to run. When
// parsing ends the run (help, version, a rejected command line), the report is printed and the
// exit status comes back instead: 0 for help and version, 2 for a rejection.
std::expected<Options, int> parse_options(int argc, char** argv);

// Turns \n, \r, \t, \\ and \xHH into bytes, so that tests can ask for any answer.
std::string unescape(const std::string& s);

// "0-7,12" as numbers in `base`; nullopt when a piece is not a number or a range is reversed.
std::optional<std::vector<std::pair<unsigned long, unsigned long>>> parse_ranges(const std::string& text, int base);

}  // namespace dimmwand::emu
