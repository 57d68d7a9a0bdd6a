// The READMEs' examples, run as shown: every "$ command" line of a text block, from a copy of the
// repository's samples and dumps, the programs of this build on the PATH and the emulator
// standing in for the programmer, must print what the README shows under it ("..." stands for
// any lines).
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "process.hpp"

namespace dimmwand {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::TempDir;
using testing::write_file;

struct Example {
  std::size_t line;     // in the README, 1-based
  std::string command;  // without the "$ " and the comment
  std::vector<std::string> shown;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<Example> examples_in(const std::string& readme) {
  std::vector<Example> out;
  bool in_text = false;
  bool in_example = false;  // the lines that follow a "$ " line in the same block are its output
  const auto lines = lines_of(readme);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.starts_with("```")) {
      in_text = !in_text && line == "```text";
      in_example = false;
      continue;
    }
    if (!in_text) continue;
    if (line.starts_with("$ ")) {
      std::string command =
          line.substr(2, line.find(" #") == std::string::npos ? std::string::npos : line.find(" #") - 2);
      while (command.ends_with(' ')) command.pop_back();
      out.push_back({i + 1, command, {}});
      in_example = true;
    } else if (in_example) {
      out.back().shown.push_back(line);
    }
  }
  return out;
}

// The shown lines against the printed ones; "..." matches any run of lines.
bool matches(const std::vector<std::string>& shown, std::size_t s, const std::vector<std::string>& got, std::size_t g) {
  if (s == shown.size()) return g == got.size();
  if (shown[s] == "...") {
    for (std::size_t k = g; k <= got.size(); ++k) {
      if (matches(shown, s + 1, got, k)) return true;
    }
    return false;
  }
  return g < got.size() && shown[s] == got[g] && matches(shown, s + 1, got, g + 1);
}

// What the emulator plays for an example, by its command and, where the same command stands more
// than once, by its turn. Module images are named relative to the fixture's "module" folder.
const std::map<std::pair<std::string, int>, std::vector<std::string>>& settings() {
  static const std::map<std::pair<std::string, int>, std::vector<std::string>> kSettings{
      {{"dimmwand read COM3 5 -o spd5.bin", 1}, {"--spd5", "module/broken5.bin"}},
      {{"dimmwand write COM3 5 -i fixed.bin --check --backup spd5-backup.bin --changed --verify", 1},
       {"--spd5", "module/broken5.bin"}},
      {{"dimmwand write COM3 5 -i fixed.bin --check --changed --verify", 1},
       {"--spd5", "module/broken5.bin", "--lose-writes", "1FF"}},
      {{"dimmwand write COM3 5 -i fixed.bin --check --changed --verify", 2},
       {"--spd5", "module/broken5.bin", "--protect-blocks", "7"}},
      {{"dimmwand read COM3 5 --verify -o spd5.bin", 1}, {"--flaky", "2"}},
      {{"dimmwand read COM3 5 -o rgb.bin", 1}, {"--spd5", "module/rgb5.bin"}},
      {{"dimmwand write COM3 5 -i repaired.bin --check --backup rgb-backup.bin --changed --verify", 1},
       {"--spd5", "module/rgb5.bin"}},
  };
  return kSettings;
}

// The ports and the installed modules a machine has are its own: these examples are shown, not
// run (host's lines are checked on fake trees in host_test).
bool machine_specific(const std::string& command) {
  return command.starts_with("dimmwand scan") || command.starts_with("dimmwand-spd host") ||
         command.starts_with("sudo ");
}

void run_examples(const std::string& readme_name) {
  const fs::path source(DIMMWAND_SOURCE);
  TempDir dir;
  const fs::path root(dir.path());
  fs::copy(source / "samples", root / "samples");
  fs::create_directories(root / "tests/data");
  fs::copy(source / "tests/data/spd-dumps", root / "tests/data/spd-dumps");
  fs::create_directories(root / "module");
  // A module whose SPD checksum went bad: the README's repair story.
  std::string broken = read_file((source / "samples/spd5.bin").string());
  broken[0x1FE] = broken[0x1FF] = '\0';
  write_file((root / "module/broken5.bin").string(), broken);
  // A DDR5 module whose SPD vendor software overwrote in part, the sibling of a real dump.
  std::string overwritten = read_file(
      (source / "tests/data/spd-dumps/ddr5-teamgroup-tcreate-expert-6000-cl38-udimm-sn0104eeff.bin").string());
  std::fill_n(overwritten.begin() + 0xC0, 16, '\xFF');
  write_file((root / "module/rgb5.bin").string(), overwritten);

  std::map<std::string, int> turns;
  const std::regex pseudo_terminal("/dev/pts/[0-9]+");
  for (const auto& ex : examples_in(read_file((source / readme_name).string()))) {
    if (machine_specific(ex.command)) continue;
    const int turn = ++turns[ex.command];
    std::string command = ex.command;
    std::vector<std::string> argv;
    std::string port;
    static const std::regex kDeviceCommand("^dimmwand (read|write|ReadByte|WriteByte|write-protect) (\\S+) ");
    if (std::smatch m; std::regex_search(command, m, kDeviceCommand)) {
      port = m[2];
      command.replace(static_cast<std::size_t>(m.position(2)), port.size(), "{port}");
      argv = {testing::emulator_path(), "--write-cycle", "0"};  // as the other end-to-end tests, see emulator.cpp
      if (const auto s = settings().find({ex.command, turn}); s != settings().end()) {
        argv.insert(argv.end(), s->second.begin(), s->second.end());
      }
      argv.push_back("--");
    }
    argv.insert(argv.end(), {"/bin/bash", "-c", "exec 2>&1; " + command});
    const auto r = run_program(argv, dir.path());
    std::string printed = port.empty() ? r.out : std::regex_replace(r.out, pseudo_terminal, port);
    EXPECT_TRUE(matches(ex.shown, 0, lines_of(printed), 0))
        << readme_name << ":" << ex.line << ": $ " << ex.command << "\n--- printed\n"
        << printed << "--- shown\n"
        << fmt::format("{}\n", fmt::join(ex.shown, "\n")) << r.err;
  }
}

class ReadmeExamples : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    // This build's programs first, as an installation would put them on the PATH.
    const std::string bin = fs::path(testing::tool_path()).parent_path().string();
    const char* path = std::getenv("PATH");
    setenv("PATH", (bin + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
  }
};

TEST_P(ReadmeExamples, RunAsShown) { run_examples(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Both, ReadmeExamples, ::testing::Values("README.md", "README.en.md"),
                         [](const auto& p) { return std::string(p.param) == "README.md" ? "Chinese" : "English"; });

}  // namespace
}  // namespace dimmwand
