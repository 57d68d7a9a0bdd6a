// A running dimmwand-emu in serving mode, for tests that talk to it through the protocol layer.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace dimmwand::testing {

class Emulator {
 public:
  explicit Emulator(std::vector<std::string> options = {});
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  const std::string& port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Ends the emulator (as an interrupt would) and returns its frame log.
  std::string stop();
  // Waits (up to 10 s) until the emulator has answered `n` frames since it started: then no
  // answer to them can still reach the next command.
  bool wait_for_frames(std::size_t n);
  // Waits (up to 10 s) until the log holds `n` notes "# NOTE" in all.
  bool wait_for_notes(const std::string& note, std::size_t n);

 private:
  pid_t pid_ = -1;
  std::string port_;
  std::string log_path_;
  std::size_t log_read_ = 0;     // bytes of the log counted so far
  std::size_t frames_seen_ = 0;  // frame lines among them
};

struct EmulatedRun {
  int status = -1;
  std::string out;  // the tool's standard output
  std::string err;  // the tool's standard error (and the emulator's, which says nothing when all is well)
  std::string log;  // the emulator's frame log
};

// Runs `dimmwand-emu OPTIONS -- dimmwand TOOL_ARGS` with {port} in TOOL_ARGS standing for the port.
EmulatedRun run_with_emulator(const std::vector<std::string>& emulator_options,
                              const std::vector<std::string>& tool_args, const std::string& cwd = {});

// The text with the emulator's pseudo-terminal written as "{port}", as the tests expect it.
std::string port_named(std::string text);

// The log's frame lines reduced to their bytes, e.g. "AA 55 05 03 00 00 00 00 E4".
std::vector<std::string> logged_frames(const std::string& log);

// The log's byte-write frames, as "address:value" in hexadecimal, e.g. "0x010:5A".
std::vector<std::string> written_bytes(const std::string& log);

}  // namespace dimmwand::testing
