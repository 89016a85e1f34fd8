// The helper thread: jobs run one at a time and their results are there
// after wait(); the thread is joined by the destructor even with a job in
// hand; without a thread, jobs run at post() on the caller's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SUPPORT/helper_thread.h"

namespace {

struct Work {
  std::thread::id ran_on;
  int64_t sum = 0;
  int64_t upto = 0;
};

void add_up(void* arg) {
  auto* w = static_cast<Work*>(arg);
  w->ran_on = std::this_thread::get_id();
  for (int64_t i = 1; i <= w->upto; ++i) w->sum += i;
}

TEST(HelperThread, JobsRunOnTheHelperAndTheirResultsAreThereAfterWait) {
  rx::HelperThread helper;
  ASSERT_TRUE(helper.start());
  EXPECT_TRUE(helper.running());
  for (int64_t n : {0, 1, 100, 100000}) {
    Work w{};
    w.upto = n;
    helper.post(add_up, &w);
    helper.wait();
    EXPECT_EQ(w.sum, n * (n + 1) / 2);
    EXPECT_NE(w.ran_on, std::this_thread::get_id());
  }
}

TEST(HelperThread, WithoutAThreadJobsRunAtPost) {
  rx::HelperThread helper;  // never started
  Work w{};
  w.upto = 10;
  helper.post(add_up, &w);
  EXPECT_EQ(w.sum, 55) << "done before post returns";
  EXPECT_EQ(w.ran_on, std::this_thread::get_id());
  helper.wait();
}

void slow(void* arg) {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  static_cast<std::atomic<bool>*>(arg)->store(true);
}

TEST(HelperThread, DestructorFinishesTheJobInHandAndJoins) {
  std::atomic<bool> done{false};
  {
    rx::HelperThread helper;
    ASSERT_TRUE(helper.start());
    helper.post(slow, &done);
  }
  EXPECT_TRUE(done.load()) << "the job was not cut short";
}

}  // namespace
