// Opening what is not a regular file fails at once: a FIFO without a
// writer, a socket, a directory. The engine's loads, and rastrix on top of
// them, report it like any other file that cannot be opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>

#include "platform/kernel.h"
#include "support/engine_fixture.h"

namespace fs = std::filesystem;

namespace {

class SpecialFiles : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    dir_ = fs::temp_directory_path() / ("rx_special_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    fifo_ = (dir_ / "pipe.bmp").string();
    ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
  }
  void TearDown() override {
    done_ = true;
    if (release_.valid()) release_.wait();
    fs::remove_all(dir_);
    EngineTest::TearDown();
  }
  // Opens the FIFO for writing after a while, should an open wait for a
  // writer: a regression then fails the test instead of hanging the suite.
  void guard_against_waiting() {
    release_ = std::async(std::launch::async, [this, path = fifo_] {
      for (int i = 0; i < 300 && !done_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
    });
  }
  std::string socket_path() {
    const std::string path = (dir_ / "sock.bmp").string();
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    close(s);
    return path;
  }
  fs::path dir_;
  std::string fifo_;
  std::future<void> release_;
  std::atomic<bool> done_{false};
};

TEST_F(SpecialFiles, TheKernelRefusesThemWithoutWaiting) {
  guard_against_waiting();
  const auto start = std::chrono::steady_clock::now();
  for (int32_t access : {PK_ACCESS_READ, PK_ACCESS_WRITE, PK_ACCESS_READ_WRITE})
    EXPECT_EQ(pk_file_open(fifo_.c_str(), access), -1) << access;
  EXPECT_EQ(pk_file_create(fifo_.c_str()), -1);
  EXPECT_EQ(pk_file_open(dir_.string().c_str(), PK_ACCESS_READ), -1);
  EXPECT_EQ(pk_file_create(dir_.string().c_str()), -1);
  EXPECT_EQ(pk_file_open(socket_path().c_str(), PK_ACCESS_READ), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3))
      << "an open waited for a writer";
}

TEST_F(SpecialFiles, ALoadOfThemFailsWithTheOpenCode) {
  guard_against_waiting();
  for (const std::string& name : {fifo_, dir_.string()}) {
    RX_HIMAGE image = 0;
    EXPECT_EQ(RX_image_load_file(name.c_str(), &image), 1) << name;
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_FILE_OPEN_FAILED}) << name;
    int32_t format = -1;
    EXPECT_GT(RX_file_info_get(name.c_str(), &format, nullptr, nullptr), 0) << name;
  }
}

}  // namespace
