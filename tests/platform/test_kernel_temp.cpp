// Scratch files of the kernel layer: made where TMPDIR says, never visible
// there by name, gone when closed, refused when the folder is not there;
// and reads and writes at positions beyond 31 bits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/kernel.h"

namespace {

namespace fs = std::filesystem;

// Points TMPDIR at a folder of its own for the test and puts it back.
class TempFolder {
 public:
  TempFolder() {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    dir_ = fs::temp_directory_path() / ("rx_scratch_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  ~TempFolder() {
    if (had_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
    fs::remove_all(dir_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& dir() const { return dir_; }
  bool empty() const { return fs::is_empty(dir_); }

 private:
  fs::path dir_;
  std::string old_;
  bool had_ = false;
};

TEST(KernelTempFile, NamelessAndGoneWhenClosed) {
  TempFolder folder;
  const int32_t f = pk_file_temp_create();
  ASSERT_GE(f, 0);
  EXPECT_TRUE(folder.empty()) << "a scratch file has no name in the folder";
  EXPECT_EQ(pk_file_write_at(f, 10, "abc", 3), 3);
  char back[4] = {};
  EXPECT_EQ(pk_file_read_at(f, 10, back, 3), 3);
  EXPECT_STREQ(back, "abc");
  EXPECT_EQ(pk_file_read_at(f, 12, back, 3), 1) << "reads stop at the end";
  EXPECT_EQ(pk_file_seek(f, 0, PK_SEEK_CUR), 0) << "positioned transfers leave the position alone";
  const int32_t g = pk_file_temp_create();
  ASSERT_GE(g, 0);
  EXPECT_NE(f, g);
  EXPECT_EQ(pk_file_read_at(g, 0, back, 3), 0) << "each call makes a new file";
  EXPECT_EQ(pk_file_close(f), 0);
  EXPECT_EQ(pk_file_close(g), 0);
  EXPECT_TRUE(folder.empty());
}

TEST(KernelTempFile, PositionsBeyond31Bits) {
  TempFolder folder;
  const int32_t f = pk_file_temp_create();
  ASSERT_GE(f, 0);
  const int64_t far = (int64_t{1} << 32) + 5;  // a sparse file: no space is used
  EXPECT_EQ(pk_file_write_at(f, far, "xyz", 3), 3);
  char back[4] = {};
  EXPECT_EQ(pk_file_read_at(f, far, back, 3), 3);
  EXPECT_STREQ(back, "xyz");
  EXPECT_EQ(pk_file_read_at(f, -1, back, 3), 0);
  EXPECT_EQ(pk_file_write_at(f, -1, back, 3), 0);
  pk_file_close(f);
}

TEST(KernelTempFile, RefusedWithoutItsFolder) {
  TempFolder folder;
  setenv("TMPDIR", (folder.dir() / "missing").c_str(), 1);
  EXPECT_EQ(pk_file_temp_create(), -1);
  // A file where the folder should be is no folder either.
  const fs::path file = folder.dir() / "plain";
  const int32_t f = pk_file_create(file.c_str());
  ASSERT_GE(f, 0);
  pk_file_close(f);
  setenv("TMPDIR", file.c_str(), 1);
  EXPECT_EQ(pk_file_temp_create(), -1);
}

}  // namespace
