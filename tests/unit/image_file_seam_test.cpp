// The image save at the steps that make it safe, watched through its seam: the image is on the
// disk before it is moved into place, and a new file never replaces one that appeared meanwhile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/image_file.hpp"
#include "platform/image_file_seam.hpp"

namespace dimmwand {
namespace {

namespace fs = std::filesystem;

SaveCalls original;
std::vector<std::string> journal;
bool plant = false;  // a file appears at the target just before the move

void planted(const char* target) {
  if (plant) std::ofstream(target) << "appeared meanwhile";
}
int watched_sync(int fd) {
  journal.push_back("sync");
  return original.sync(fd);
}
int watched_replace(const char* temp, const char* target) {
  journal.push_back("replace");
  planted(target);
  return original.replace(temp, target);
}
int watched_move_new(const char* temp, const char* target) {
  journal.push_back("move_new");
  planted(target);
  return original.move_new(temp, target);
}

struct WatchedSave {
  WatchedSave() {
    original = save_calls();
    save_calls() = {watched_sync, watched_replace, watched_move_new};
    journal.clear();
    plant = false;
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~WatchedSave() {
    save_calls() = original;
    fs::remove_all(dir);
  }
  std::string file(const char* name) const { return (dir / name).string(); }
  // One folder a test: ctest runs the tests of this file side by side.
  fs::path dir = fs::temp_directory_path() /
                 (std::string("dimmwand-seam-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

std::string content(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

const std::vector<std::uint8_t> kImage{0x92, 0x13, 0x0B};

TEST(ImageSave, TheImageIsOnTheDiskBeforeItIsMovedIntoPlace) {
  WatchedSave w;
  ASSERT_TRUE(save_image(w.file("a.bin"), kImage));
  EXPECT_EQ(journal, (std::vector<std::string>{"sync", "replace"}));
  journal.clear();
  ASSERT_TRUE(save_new_image(w.file("b.bin"), kImage));
  EXPECT_EQ(journal, (std::vector<std::string>{"sync", "move_new"}));
  EXPECT_EQ(content(w.file("b.bin")), "\x92\x13\x0B");
}

TEST(ImageSave, ABackupNeverReplacesAFileThatAppearedMeanwhile) {
  WatchedSave w;
  plant = true;
  const auto saved = save_new_image(w.file("backup.bin"), kImage);
  ASSERT_FALSE(saved);
  EXPECT_EQ(content(w.file("backup.bin")), "appeared meanwhile");
  EXPECT_EQ(std::distance(fs::directory_iterator(w.dir), {}), 1);  // no temporary file left
}

TEST(ImageSave, APipeIsWrittenThroughNotReplaced) {
  WatchedSave w;
  const std::string fifo = w.file("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The reader is there first, so the save's open does not wait for one.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(save_image(fifo, kImage));
  char got[8] = {};
  const auto n = read(reader, got, sizeof got);
  close(reader);
  EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), "\x92\x13\x0B");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(journal.empty());  // no temporary file, no rename
}

}  // namespace
}  // namespace dimmwand
