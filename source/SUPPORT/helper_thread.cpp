// The helper thread: one job at a time, handed over under a mutex.
#include "SUPPORT/helper_thread.h"

#include <system_error>

namespace rx {

HelperThread::~HelperThread() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    quit_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

bool HelperThread::start() {
  if (thread_.joinable()) return true;
  try {
    thread_ = std::thread(&HelperThread::loop, this);
  } catch (const std::system_error&) {
    return false;  // no thread to be had: jobs run inline
  }
  return true;
}

void HelperThread::post(Job job, void* arg) {
  if (!thread_.joinable()) {
    job(arg);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = job;
    arg_ = arg;
    busy_ = true;
  }
  wake_.notify_one();
}

void HelperThread::wait() {
  if (!thread_.joinable()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return !busy_; });
}

void HelperThread::loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return job_ != nullptr || quit_; });
    if (job_ == nullptr) return;  // quit with nothing left to do
    const Job job = job_;
    void* const arg = arg_;
    job_ = nullptr;
    lock.unlock();
    job(arg);
    lock.lock();
    busy_ = false;
    done_.notify_one();
  }
}

}  // namespace rx
