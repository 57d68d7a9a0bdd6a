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
  bool line_feed = true;              // end answers with a line feed
  bool separators = false;            // a space between the bytes of an answer
  bool lower_case = false;            // lower-case hexadecimal digits
  std::size_t short_by = 0;           // leave this many bytes out of area answers
  std::optional<std::string> fixed;   // answer every request with exactly these bytes
  std::string write_answer = "1";     // the text answer of a byte write
  std::string protect_answer = "OK";  // sent as hexadecimal digits
};

// The module's own faults, and the line's.
struct Faults {
  // DDR3/DDR4 SPD addresses whose byte writes the EEPROM ignores, as its write protection does.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> protected_ranges;
  std::size_t flaky_every = 0;          // every Nth block-read answer has one random bit flipped
  std::uint32_t seed = 1;               // for the flipped bits
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
  // With `min_write_gap`, a byte write that comes sooner after the one before is lost (and
  // counted), as on a module still busy with that write. Without it no write is judged: frames are stamped when the
  // serving loop reads them, and a busy machine delays those reads enough to make a well-paced write look too fast.
  //
  // With `only`, one module of that generation is in the slot and a frame naming any generation
  // reaches its bytes, through the addresses of the area the frame names: a DDR3 read of a DDR4
  // module gives its first 256 bytes, a DDR5 read its 512 and then 512 of 0xFF, where nothing
  // answers. Without it each generation's frames reach that generation's own areas.
  Programmer(Areas areas, AnswerStyle style, std::optional<std::chrono::microseconds> min_write_gap, Faults faults = {},
             std::optional<DeviceType> only = std::nullopt);

  // Takes bytes from the line; returns one event per frame completed (and per run of stray bytes).
  std::vector<FrameEvent> feed(std::span<const std::uint8_t> bytes, std::chrono::steady_clock::time_point now);

  const Areas& areas() const { return areas_; }
  Areas& areas() { return areas_; }
  std::size_t frames_too_fast() const { return too_fast_; }

 private:
  // What a frame reaches: the bytes of one of the module's areas, through the addresses of the
  // area the frame names.
  struct Reach {
    std::vector<std::uint8_t>* bytes = nullptr;
    std::size_t span = 0;                  // addresses in the area the frame names
    DeviceType module = DeviceType::DDR5;  // the generation of the module the bytes are on
    bool hub_registers = false;            // the SPD hub's MR0-MR127, not an EEPROM
  };
  std::optional<Reach> reach(std::uint8_t code, std::uint8_t device);
  FrameEvent handle(const EncodedFrame& frame, const RequestFrame& request, std::chrono::steady_clock::time_point now);
  std::string hex_answer(std::span<const std::uint8_t> bytes) const;
  std::string text_answer(const std::string& text) const;
  bool write_protected(const Reach& reach, std::uint16_t address) const;
  std::vector<std::uint8_t> area_answer(std::span<const std::uint8_t> bytes);

  Areas areas_;
  AnswerStyle style_;
  std::optional<std::chrono::microseconds> min_write_gap_;
  std::chrono::steady_clock::time_point started_;
  std::optional<std::chrono::steady_clock::time_point> last_write_;
  std::optional<std::chrono::steady_clock::time_point> write_before_last_;
  std::vector<std::uint8_t> pending_;
  std::size_t too_fast_ = 0;
  Faults faults_;
  std::size_t block_reads_ = 0;
  std::mt19937 random_;
  std::optional<DeviceType> only_;
};

// One line of the frame log: time in seconds, the bytes, and the note.
std::string log_line(const FrameEvent& event);

}  // namespace dimmwand::emu
