// The live "sent/total" counter of a block write, on a terminal only.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "commands/context.hpp"

namespace dimmwand {

// Drawn after the progress text and erased again before anything else is printed, so the line
// ends as if it had never been there.
class LiveProgress {
 public:
  LiveProgress(std::size_t total, Output& output)
      : total_(total), enabled_(output.err_is_terminal()), output_(output) {}
  ~LiveProgress() { erase(); }
  LiveProgress(const LiveProgress&) = delete;
  LiveProgress& operator=(const LiveProgress&) = delete;

  void update(std::size_t sent);
  void erase();

 private:
  void put(const std::string& s) { output_.err(s); }

  std::size_t total_;
  bool enabled_;
  Output& output_;
  std::size_t shown_ = 0;  // characters of the counter now on the screen
  std::chrono::steady_clock::time_point last_drawn_{};
};

}  // namespace dimmwand
