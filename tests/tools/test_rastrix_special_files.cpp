// rastrix on a FIFO, a directory or a socket where a file should be: each
// is reported as a file that cannot be opened, at once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "tools/cli_runner.h"

namespace {

class RastrixSpecialFiles : public CliTest {
 protected:
  void TearDown() override {
    done_ = true;
    if (writer_.valid()) writer_.wait();
    CliTest::TearDown();
  }
  // Should rastrix wait for a writer, one comes after three seconds, so a
  // regression fails the test instead of hanging the suite.
  void make_fifo(const std::string& name) {
    const std::string path = at(name).string();
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    writer_ = std::async(std::launch::async, [this, path] {
      for (int i = 0; i < 300 && !done_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
    });
  }
  std::future<void> writer_;
  std::atomic<bool> done_{false};
};

TEST_F(RastrixSpecialFiles, InfoAndConvertReportAFifoAtOnce) {
  make_fifo("pipe.bmp");
  const auto start = std::chrono::steady_clock::now();
  const CliRun info = run({"info", "pipe.bmp"});
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("code -2030"), std::string::npos) << info.err;
  for (const char* page : {"1", "2"}) {
    const CliRun convert = run({"convert", "-p", page, "pipe.bmp", "out.jpg"});
    EXPECT_EQ(convert.status, 1) << page;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3))
      << "rastrix waited for a writer";
}

TEST_F(RastrixSpecialFiles, InfoReportsADirectoryAsUnopenable) {
  std::filesystem::create_directory(at("folder.bmp"));
  const CliRun info = run({"info", "folder.bmp"});
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("code -2030"), std::string::npos) << info.err;
}

}  // namespace
