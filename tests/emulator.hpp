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
  // Ends the emulator (as an interrupt would) and returns its frame log.
  std::string stop();

 private:
  pid_t pid_ = -1;
  std::string port_;
  std::string log_path_;
};

// The log's frame lines reduced to their bytes, e.g. "AA 55 05 03 00 00 00 00 E4".
std::vector<std::string> logged_frames(const std::string& log);

}  // namespace dimmwand::testing
