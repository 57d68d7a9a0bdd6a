#include "emulator.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "process.hpp"

extern char** environ;

namespace dimmwand::testing {
namespace {

// The emulator answers a byte write once its write cycle is over, as a programmer does; on a
// loaded machine that answer can come late enough to join the answer to the next request. The
// tests have it answer at once unless they ask for a write cycle.
std::vector<std::string> with_defaults(std::vector<std::string> options) {
  if (std::find(options.begin(), options.end(), "--write-cycle") == options.end()) {
    options.insert(options.begin(), {"--write-cycle", "0"});
  }
  return options;
}

std::string unique_log_path() {
  static int counter = 0;
  return "/tmp/dimmwand-emu-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".log";
}

}  // namespace

Emulator::Emulator(std::vector<std::string> options) : log_path_(unique_log_path()) {
  std::vector<std::string> argv{emulator_path(), "--log", log_path_};
  options = with_defaults(std::move(options));
  argv.insert(argv.end(), options.begin(), options.end());
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) throw std::runtime_error("spawn emu");
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') port_ += c;
  close(out[0]);
  if (port_.empty()) throw std::runtime_error("the emulator printed no port");
}

std::string Emulator::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::string log = read_file(log_path_);
  unlink(log_path_.c_str());
  return log;
}

Emulator::~Emulator() { stop(); }

bool Emulator::wait_for_frames(std::size_t n) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (frames_seen_ < n) {
    const std::string log = read_file(log_path_);
    // Whole lines only: the emulator may be writing the next one.
    const std::size_t end = log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1;
    for (std::size_t at = log_read_; at < end; at = log.find('\n', at) + 1) {
      if (log[at] != '#') ++frames_seen_;
    }
    log_read_ = std::max(log_read_, end);
    if (frames_seen_ >= n) break;
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool Emulator::wait_for_notes(const std::string& note, std::size_t n) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  const std::string line = "# " + note + "\n";
  for (;;) {
    const std::string log = read_file(log_path_);
    std::size_t count = 0;
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    if (count >= n) return true;
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

EmulatedRun run_with_emulator(const std::vector<std::string>& emulator_options,
                              const std::vector<std::string>& tool_args, const std::string& cwd) {
  const std::string log_path = unique_log_path();
  std::vector<std::string> argv{emulator_path(), "--log", log_path};
  const auto options = with_defaults(emulator_options);
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("--");
  argv.push_back(tool_path());
  argv.insert(argv.end(), tool_args.begin(), tool_args.end());
  const RunResult r = run_program(argv, cwd);
  EmulatedRun run{r.status, r.out, r.err, read_file(log_path)};
  unlink(log_path.c_str());
  return run;
}

std::string port_named(std::string text) {
  static const std::regex kPseudoTerminal("/dev/pts/[0-9]+");
  return std::regex_replace(text, kPseudoTerminal, "{port}");
}

std::vector<std::string> logged_frames(const std::string& log) {
  std::vector<std::string> frames;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto first = line.find(' ');
    if (first == std::string::npos || line.size() < first + 1 + 26) continue;
    frames.push_back(line.substr(first + 1, 26));
  }
  return frames;
}

std::vector<std::string> written_bytes(const std::string& log) {
  std::vector<std::string> writes;
  for (const auto& f : logged_frames(log)) {
    if (f.substr(6, 2) == "02" || f.substr(6, 2) == "07") writes.push_back(f.substr(12, 5) + ":" + f.substr(21, 2));
  }
  return writes;
}

}  // namespace dimmwand::testing
