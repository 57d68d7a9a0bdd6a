// The serving loop: frames in from the pseudo-terminal, answers out, and the line's faults.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "options.hpp"
#include "programmer.hpp"
#include "pty.hpp"

namespace dimmwand::emu {

// Routes SIGINT, SIGTERM and SIGCHLD into the serving loop and ignores SIGPIPE; false when the
// pipe that carries them cannot be made.
bool route_signals();

class Server {
 public:
  // Takes the frame log (nullptr for none) and closes it when done.
  Server(Options options, Pty pty, Programmer programmer, std::FILE* log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Serves until a signal ends it, or until the command ends; returns the exit status.
  int run(std::optional<pid_t> child);

  const Programmer& programmer() const { return programmer_; }

  // A second module of the generation whose area `member` is, swapped with the one in the slot
  // on each SIGUSR1.
  void hold_second_module(std::vector<std::uint8_t> Areas::* member, std::vector<std::uint8_t> module);
  // Puts the first module back in the slot; returns the second, as it was last held or written.
  const std::vector<std::uint8_t>& second_module();

 private:
  void take_input();
  void answer(std::string_view text);
  void log_note(std::string_view note);
  void log_text(const std::string& line);
  void flush_log();
  void send_stale();

  Options o_;
  Pty pty_;
  Programmer programmer_;
  std::FILE* log_ = nullptr;
  std::size_t frames_ = 0;
  bool babbling_ = false;
  std::optional<pid_t> child_;
  std::vector<std::uint8_t> Areas::* swap_area_ = nullptr;
  std::vector<std::uint8_t> held_;  // the module out of the slot
  bool swapped_ = false;
};

}  // namespace dimmwand::emu
