// The programmer as the tool sees it: takes request frames, keeps the module areas, answers.
// No I/O here; the serving loop in line.cpp moves the bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <utility>
#include <span>
#include <string>
#include <vector>

#include "images.hpp"
#include "protocol/frame.hpp"

namespace dimmwand::emu {

struct AnswerStyle {
  bool line_feed = true;          // end answers with a line feed
  bool separators = false;        // a space between the bytes of an answer
  bool lower_case = false;        // lower-case hexadecimal digits
  std::size_t short_by = 0;       // leave this many bytes out of area answers
  std::optional<std::string> fixed;  // answer every request with exactly these bytes
  std::string write_answer = "1";    // the text answer of a byte write
  std::string protect_answer = "OK"; // sent as hexadecimal digits
};

// The module's own faults, and the line's.
struct Faults {
  // DDR3/DDR4 SPD addresses whose byte writes the EEPROM ignores, as its write protection does.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> protected_ranges;
  std::size_t flaky_every = 0;   // every Nth block-read answer has one random bit flipped
  std::uint32_t seed = 1;        // for the flipped bits
  std::set<std::uint16_t> lost_writes;  // byte writes at these addresses never arrive
};

// What happened to one frame.
struct FrameEvent {
  std::chrono::steady_clock::duration at;  // since the programmer started
  std::vector<std::uint8_t> bytes;         // the frame as received (9 bytes, or stray bytes)
  std::string note;                        // what the programmer made of it
  std::optional<std::string> answer;       // bytes to send back, if any
  bool valid = false;
  bool write = false;  // a byte write: its answer waits for the write cycle
};

class Programmer {
 public:
  Programmer(Areas areas, AnswerStyle style, std::chrono::microseconds min_write_gap, Faults faults = {});

  // Takes bytes from the line; returns one event per frame completed (and per run of stray bytes).
  std::vector<FrameEvent> feed(std::span<const std::uint8_t> bytes, std::chrono::steady_clock::time_point now);

  const Areas& areas() const { return areas_; }
  std::chrono::microseconds write_cycle() const { return min_write_gap_; }
  std::size_t frames_too_fast() const { return too_fast_; }

 private:
  FrameEvent handle(const EncodedFrame& frame, std::chrono::steady_clock::time_point now);
  std::string hex_answer(std::span<const std::uint8_t> bytes) const;
  std::string text_answer(const std::string& text) const;
  std::vector<std::uint8_t>* spd_area(std::uint8_t device);
  bool write_protected(std::uint8_t code, std::uint8_t device, std::uint16_t address) const;
  std::vector<std::uint8_t> area_answer(std::span<const std::uint8_t> bytes);

  Areas areas_;
  AnswerStyle style_;
  std::chrono::microseconds min_write_gap_;
  std::chrono::steady_clock::time_point started_;
  std::optional<std::chrono::steady_clock::time_point> last_write_;
  std::optional<std::chrono::steady_clock::time_point> write_before_last_;
  std::vector<std::uint8_t> pending_;
  std::size_t too_fast_ = 0;
  Faults faults_;
  std::size_t block_reads_ = 0;
  std::mt19937 random_;
};

// One line of the frame log: time in seconds, the bytes, and the note.
std::string log_line(const FrameEvent& event);

}  // namespace dimmwand::emu
