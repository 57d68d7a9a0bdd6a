// dimmwand-board for the tests: serving on its pseudo-terminal while the tool's commands run
// against it, or running one command itself.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "process.hpp"

namespace dimmwand::testing {

// The board tests run in scripts/test's board stage, which sets DIMMWAND_BOARD_TESTS=1; elsewhere
// (the native stage's ctest) they are skipped, as they run the simulated AVR in real time.
bool board_tests_wanted();

class Board {
 public:
  explicit Board(std::vector<std::string> options = {});
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // dimmwand with `args`, "{port}" standing for the board's port.
  RunResult tool(std::vector<std::string> args) const;
  // Ends the board as an interrupt would (it finishes what it was sent, then saves) and returns
  // its log.
  std::string stop();

 private:
  pid_t pid_ = -1;
  std::string port_;
  std::string log_path_;
};

struct BoardRun {
  RunResult result;
  std::string log;
};

// dimmwand-board OPTIONS -- COMMAND...
BoardRun run_board(std::vector<std::string> options, const std::vector<std::string>& command);

// The log's lines that are a note holding `text`.
std::size_t count_notes(const std::string& log, const std::string& text);

}  // namespace dimmwand::testing
