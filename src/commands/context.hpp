// What a command takes from the world: the port, the pause between frames, and the two output
// streams. The tool hands it the real ones; the unit tests a fake port, a fake clock and strings.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "error/device_error.hpp"
#include "protocol/link.hpp"

namespace dimmwand {

// Standard output and standard error, in the order things are said.
class Output {
 public:
  virtual ~Output() = default;
  virtual void out(std::string_view text) = 0;
  virtual void err(std::string_view text) = 0;
  // True when standard error is shown on a terminal, where a live counter may be drawn.
  virtual bool err_is_terminal() const { return false; }
  // Frames of a block write sent so far, for a front end that draws its own progress.
  virtual void progress(std::size_t /*done*/, std::size_t /*total*/) {}
};

struct Context {
  std::function<Result<SerialLink>(const std::string& port)> open_link;
  std::function<void(std::chrono::microseconds)> pause;
  Output& output;

  void out(std::string_view text) const { output.out(text); }
  void err(std::string_view text) const { output.err(text); }
};

// The process's own streams: each text is written and flushed at once, so that standard output
// and standard error interleave on a console as they were said.
Output& standard_output();

// The real port (opened with the given cancellation, e.g. the user's Ctrl-C), the precise pause
// and the process's streams.
Context system_context(std::function<bool()> cancelled);

}  // namespace dimmwand
