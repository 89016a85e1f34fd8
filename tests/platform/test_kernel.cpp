// Our platform layer's kernel: files with UTF-8 names and exclusive opens,
// the debug channel, the date stamp and module loading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/kernel.h"

namespace fs = std::filesystem;

class KernelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("rx_kernel_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const char* name) { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(KernelFiles, CreateWriteSeekReadWithAJapaneseName) {
  const std::string name = path("\xE5\x86\x99\xE7\x9C\x9F.bmp");  // "写真.bmp"
  int32_t f = pk_file_create(name.c_str());
  ASSERT_GE(f, 0);
  EXPECT_EQ(pk_file_write(f, "hello world", 11), 11);
  EXPECT_EQ(pk_file_seek(f, 6, PK_SEEK_SET), 6);
  char buf[16] = {};
  EXPECT_EQ(pk_file_read(f, buf, 16), 5);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(pk_file_seek(f, 0, PK_SEEK_END), 11);
  EXPECT_EQ(pk_file_seek(f, -1, PK_SEEK_SET), -1);
  EXPECT_EQ(pk_file_seek(f, 0, 7), -1);
  EXPECT_EQ(pk_file_close(f), 0);
  EXPECT_EQ(fs::file_size(fs::u8path(name)), 11u);
}

TEST_F(KernelFiles, OpenModes) {
  EXPECT_LT(pk_file_open(path("missing").c_str(), PK_ACCESS_READ), 0);
  int32_t w = pk_file_open(path("made").c_str(), PK_ACCESS_READ_WRITE);
  ASSERT_GE(w, 0) << "write access opens or creates";
  pk_file_write(w, "abc", 3);
  pk_file_close(w);
  int32_t again = pk_file_open(path("made").c_str(), PK_ACCESS_READ_WRITE);
  EXPECT_EQ(pk_file_seek(again, 0, PK_SEEK_END), 3) << "open never truncates";
  pk_file_close(again);
  int32_t c = pk_file_create(path("made").c_str());
  EXPECT_EQ(pk_file_seek(c, 0, PK_SEEK_END), 0) << "create always starts empty";
  pk_file_close(c);
  EXPECT_LT(pk_file_open("", PK_ACCESS_READ), 0);
  EXPECT_LT(pk_file_create(nullptr), 0);
}

TEST_F(KernelFiles, NoSharingWhileOpen) {
  int32_t a = pk_file_create(path("locked").c_str());
  ASSERT_GE(a, 0);
  pk_file_write(a, "data", 4);
  EXPECT_LT(pk_file_open(path("locked").c_str(), PK_ACCESS_READ), 0);
  EXPECT_LT(pk_file_create(path("locked").c_str()), 0);
  pk_file_close(a);
  int32_t b = pk_file_open(path("locked").c_str(), PK_ACCESS_READ);
  EXPECT_GE(b, 0);
  EXPECT_EQ(pk_file_seek(b, 0, PK_SEEK_END), 4) << "the refused create did not truncate";
  pk_file_close(b);
}

static void collect(void* user, const char* text) { *static_cast<std::string*>(user) += text; }

TEST(KernelDebug, SilentUntilASinkIsInstalled) {
  pk_debug_printf("nobody hears %d", 1);
  std::string got;
  pk_debug_sink_set(collect, &got);
  pk_debug_printf("value %d", 42);
  pk_debug_sink_set(nullptr, nullptr);
  pk_debug_printf("dropped");
  EXPECT_EQ(got, "value 42");
}

TEST(KernelTime, DateStampAndTicks) {
  char stamp[21];
  std::memset(stamp, 'x', sizeof stamp);
  pk_date_stamp(stamp);
  EXPECT_EQ(std::strlen(stamp), 20u);
  EXPECT_EQ(stamp[15], ' ');
  EXPECT_EQ(stamp[9], ':');
  pk_local_time t{};
  pk_time_local(&t);
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  uint32_t a = pk_tick_count();
  usleep(20000);
  EXPECT_GE(pk_tick_count() - a, 15u);
}

TEST(KernelModules, LoadsASystemLibraryAndFindsASymbol) {
  void* m = pk_module_load("libm.so.6");
  ASSERT_NE(m, nullptr) << pk_module_error();
  EXPECT_NE(pk_module_symbol(m, "cos"), nullptr);
  EXPECT_EQ(pk_module_symbol(m, "no_such_symbol_here"), nullptr);
  pk_module_free(m);
  EXPECT_EQ(pk_module_load("/nonexistent/lib.so"), nullptr);
  EXPECT_STRNE(pk_module_error(), "");
}
