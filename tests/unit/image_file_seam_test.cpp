// The image save at the steps that make it safe, watched through its seam: the image is on the
// disk before it is moved into place, and a new file never replaces one that appeared meanwhile.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace dimmwand
