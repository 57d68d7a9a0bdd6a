// The built program's exit statuses and exact texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "cli/cli.hpp"
#include "process.hpp"

namespace dimmwand {
namespace {

using testing::run_program;
using testing::tool_path;

TEST(Entry, ExitStatusesAndStreams) {
  struct Case {
    std::vector<std::string> words;
    int status;
    bool prints_out;
    bool prints_err;
  };
  for (const auto& c : std::vector<Case>{
           {{"--help"}, 0, true, false},
           {{"-h"}, 0, true, false},
           {{"help"}, 0, true, false},
           {{"help", "WriteByte"}, 0, true, false},
           {{"help", "writebyte"}, 0, true, false},
           {{"ReadByte", "-h"}, 0, true, false},
           {{"write-protect", "--help"}, 0, true, false},
           {{"scan", "-h"}, 0, true, false},
           {{"Readbyte", "COM3", "5", "0003"}, 2, false, true},
           {{"read", "COM3", "3", "-x"}, 2, false, true},
           {{"-V", "read"}, 0, true, false},
           {{"ReadByte", "/nonexistent/port", "5", "12G4"}, 2, false, true},
       }) {
    std::vector<std::string> argv{tool_path()};
    argv.insert(argv.end(), c.words.begin(), c.words.end());
    const auto r = run_program(argv);
    EXPECT_EQ(r.status, c.status) << c.words.front() << r.err;
    EXPECT_EQ(!r.out.empty(), c.prints_out) << c.words.front();
    EXPECT_EQ(!r.err.empty(), c.prints_err) << c.words.front();
  }
}

TEST(Entry, NoArgumentsPrintsHelpAndAnEmptyLine) {
  const auto r = run_program({tool_path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, top_level_help() + "\n");
  EXPECT_TRUE(r.out.ends_with("//设置写保护码\n\n"));
  EXPECT_EQ(r.err, "");
}

TEST(Entry, VersionAndHelpTextsAreExact) {
  // The version, then the commit of a build from a git checkout: "dimmwand 0.1.0 (git 0123456789ab)".
  const std::string version = run_program({tool_path(), "--version"}).out;
  EXPECT_TRUE(version == "dimmwand 0.1.0\n" ||
              (version.starts_with("dimmwand 0.1.0 (git ") && version.ends_with(")\n") && version.size() >= 34))
      << version;
  EXPECT_EQ(run_program({tool_path(), "-V"}).out, version);
  EXPECT_EQ(run_program({DIMMWAND_SPD_TOOL, "--version"}).out, "dimmwand-spd" + version.substr(8));
  EXPECT_EQ(run_program({tool_path(), "--help"}).out, top_level_help());
  EXPECT_EQ(run_program({tool_path(), "help"}).out, top_level_help());
  EXPECT_EQ(run_program({tool_path(), "help", "read"}).out, run_program({tool_path(), "read", "-h"}).out);
}

TEST(Entry, BadOptionValueCreatesNoFile) {
  testing::TempDir dir;
  const auto r = run_program({tool_path(), "read", "COM3", "3", "-o", "-t", "spd"}, dir.path());
  EXPECT_EQ(r.status, 2);
  const auto w = run_program({tool_path(), "read", "/dev/null", "-o", "-t", "3"}, dir.path());
  EXPECT_EQ(w.status, 2);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace dimmwand
