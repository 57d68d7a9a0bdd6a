#include "board.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "files.hpp"

extern char** environ;

namespace dimmwand::testing {
namespace {

std::string unique_log_path() {
  static int counter = 0;
  return "/tmp/dimmwand-board-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".log";
}

std::string with_port(std::string arg, const std::string& port) {
  for (std::size_t at; (at = arg.find("{port}")) != std::string::npos;) arg.replace(at, 6, port);
  return arg;
}

}  // namespace

bool board_tests_wanted() {
  const char* wanted = std::getenv("DIMMWAND_BOARD_TESTS");
  return wanted != nullptr && std::string(wanted) == "1";
}

Board::Board(std::vector<std::string> options) : log_path_(unique_log_path()) {
  std::vector<std::string> argv{DIMMWAND_BOARD, "--log", log_path_};
  argv.insert(argv.end(), options.begin(), options.end());
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  const int failed = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed != 0) throw std::runtime_error("spawn dimmwand-board");
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') port_ += c;
  close(out[0]);
  if (port_.empty()) throw std::runtime_error("dimmwand-board printed no port");
}

Board::~Board() { stop(); }

RunResult Board::tool(std::vector<std::string> args) const {
  for (auto& a : args) a = with_port(a, port_);
  args.insert(args.begin(), tool_path());
  return run_program(args);
}

std::string Board::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::string log = read_file(log_path_);
  unlink(log_path_.c_str());
  return log;
}

BoardRun run_board(std::vector<std::string> options, const std::vector<std::string>& command) {
  const std::string log_path = unique_log_path();
  options.insert(options.begin(), {DIMMWAND_BOARD, "--log", log_path});
  options.push_back("--");
  options.insert(options.end(), command.begin(), command.end());
  BoardRun run{run_program(options), read_file(log_path)};
  unlink(log_path.c_str());
  return run;
}

std::size_t count_notes(const std::string& log, const std::string& text) {
  std::size_t n = 0;
  for (std::size_t at = 0; at < log.size(); at = log.find('\n', at) + 1) {
    const std::size_t end = log.find('\n', at);
    const std::string line = log.substr(at, end - at);
    if (line.starts_with("# ") && line.find(text) != std::string::npos) ++n;
    if (end == std::string::npos) break;
  }
  return n;
}

}  // namespace dimmwand::testing
