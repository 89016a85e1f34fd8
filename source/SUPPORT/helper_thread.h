// A second thread for pure computation on buffers the caller owns, so that
// an operation can overlap two stages of its work (a codec transforming one
// band while the caller's thread codes the previous one).
//
// Only the caller's thread ever calls into the engine or into the
// application: the helper runs the one job it is given and touches nothing
// else. The thread lives exactly as long as the object, which the operation
// keeps on its stack, so no thread outlives the call that made it (the
// engine may sit in a library that is unloaded after the call returns).
// When no thread can be had, jobs run on the caller's thread at post()
// time, with the same results.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace rx {

class HelperThread {
 public:
  using Job = void (*)(void* arg);

  HelperThread() = default;
  ~HelperThread();  // waits for the job in hand, then joins
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Starts the thread; false (and jobs run inline) when the system has none
  // to give.
  bool start();
  bool running() const { return thread_.joinable(); }

  // Hands over one job. The previous job must have been waited for.
  void post(Job job, void* arg);
  // Returns once the job posted last has finished; everything it wrote is
  // then visible to the caller.
  void wait();

 private:
  void loop();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Job job_ = nullptr;
  void* arg_ = nullptr;
  bool busy_ = false;
  bool quit_ = false;
};

}  // namespace rx
