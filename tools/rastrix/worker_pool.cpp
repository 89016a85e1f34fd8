#include "worker_pool.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "engine_session.h"
#include "pipe_messages.h"

namespace rxcli {
namespace {

TaskResult cannot_start(const char* reason) { return {Outcome::Failed, reason}; }

void run_inline(size_t count, const PoolHooks& hooks, const ResultSink& sink) {
  const bool started = hooks.start();
  for (size_t i = 0; i < count; ++i)
    sink(i, started ? hooks.run(i) : cannot_start(kEngineStartFailed));
  if (started) hooks.stop();
}

struct Worker {
  pid_t pid = -1;
  int task_fd = -1;    // parent writes task indexes here
  int result_fd = -1;  // parent reads results here
  std::optional<size_t> task;
};

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

[[noreturn]] void worker_main(int task_fd, int result_fd, pid_t parent, const PoolHooks& hooks) {
  // A worker outliving its parent would finish work nobody collects; the
  // signal lets its cleanup handler remove a half-written output first.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(0);
  const bool started = hooks.start();
  while (const std::optional<uint64_t> index = receive_task(task_fd)) {
    const TaskResult r = started ? hooks.run(*index) : cannot_start(kEngineStartFailed);
    if (!send_result(result_fd, *index, r)) break;
  }
  if (started) hooks.stop();
  // Skip exit handlers and stdio flushing: they belong to the parent.
  _exit(0);
}

class Pool {
 public:
  Pool(size_t count, int workers, const PoolHooks& hooks, const ResultSink& sink)
      : count_(count), spawns_left_(count + static_cast<size_t>(workers)), hooks_(hooks),
        sink_(sink) {
    // Workers are never removed, and references to them must survive a
    // replacement being forked, so the vector never reallocates.
    workers_.reserve(spawns_left_);
  }
  ~Pool();

  void run(int workers);

 private:
  bool spawn();
  void assign(Worker& w);
  void serve_ready(std::vector<pollfd>& fds);
  void receive(Worker& w);
  void lose(Worker& w);
  void fail_remaining(const char* reason);
  void abandon(const char* reason);
  bool busy() const;

  size_t count_;
  size_t next_ = 0;
  size_t spawns_left_;  // bounds forking when workers keep dying
  const PoolHooks& hooks_;
  const ResultSink& sink_;
  std::vector<Worker> workers_;
  bool stopping_ = false;  // no replacements once the pool gives up
};

Pool::~Pool() {
  for (Worker& w : workers_) {
    close_fd(w.task_fd);  // end of tasks: the worker finishes and exits
    close_fd(w.result_fd);
  }
  for (Worker& w : workers_)
    if (w.pid > 0) waitpid(w.pid, nullptr, 0);
}

bool Pool::spawn() {
  if (spawns_left_ == 0) return false;
  --spawns_left_;
  int down[2], up[2];
  if (pipe(down) != 0) return false;
  if (pipe(up) != 0) {
    close(down[0]);
    close(down[1]);
    return false;
  }
  std::fflush(nullptr);  // nothing buffered may be written twice
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    close(down[1]);
    close(up[0]);
    // Holding a sibling's pipe would keep it from ever seeing end of file.
    for (Worker& w : workers_) {
      close_fd(w.task_fd);
      close_fd(w.result_fd);
    }
    worker_main(down[0], up[1], parent, hooks_);
  }
  close(down[0]);
  close(up[1]);
  if (pid < 0) {
    close(down[1]);
    close(up[0]);
    return false;
  }
  workers_.push_back(Worker{pid, down[1], up[0], std::nullopt});
  assign(workers_.back());
  return true;
}

void Pool::assign(Worker& w) {
  if (next_ >= count_) {
    close_fd(w.task_fd);
    return;
  }
  if (!send_task(w.task_fd, next_)) return lose(w);
  w.task = next_++;
}

void Pool::run(int workers) {
  for (int k = 0; k < workers && next_ < count_; ++k)
    if (!spawn()) break;
  if (workers_.empty()) return fail_remaining("rastrix: cannot start a worker process\n");
  while (busy()) {
    std::vector<pollfd> fds;
    for (const Worker& w : workers_)
      fds.push_back(pollfd{w.task ? w.result_fd : -1, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return abandon("rastrix: waiting for the workers failed\n");
    }
    serve_ready(fds);
  }
}

void Pool::serve_ready(std::vector<pollfd>& fds) {
  // Indexes, not references: a replacement worker may grow the vector.
  for (size_t k = 0; k < fds.size(); ++k)
    if (fds[k].fd >= 0 && fds[k].revents != 0) receive(workers_[k]);
}

void Pool::receive(Worker& w) {
  auto message = receive_result(w.result_fd);
  if (!message || message->first != *w.task) return lose(w);
  const size_t index = *w.task;
  w.task.reset();
  sink_(index, message->second);
  assign(w);
}

std::string death_of(pid_t pid) {
  int status = 0;
  kill(pid, SIGKILL);  // in case it is alive but talking nonsense
  if (waitpid(pid, &status, 0) < 0) return "the worker process vanished";
  if (WIFSIGNALED(status))
    return std::string("the worker process was stopped by signal ") +
           std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
  return "the worker process ended early with status " + std::to_string(WEXITSTATUS(status));
}

void Pool::lose(Worker& w) {
  close_fd(w.task_fd);
  close_fd(w.result_fd);
  const pid_t pid = w.pid;
  const std::string reason = death_of(pid);
  w.pid = -1;
  if (const std::optional<size_t> task = w.task) {
    w.task.reset();
    sink_(*task, {Outcome::Failed, hooks_.lost(*task, pid, reason)});
  }
  if (!stopping_ && next_ < count_ && !spawn() && !busy())
    fail_remaining("rastrix: cannot start a worker process\n");
}

// Stops every worker; their tasks and all those not yet given out fail.
void Pool::abandon(const char* reason) {
  stopping_ = true;
  for (Worker& w : workers_)
    if (w.task) lose(w);
  fail_remaining(reason);
}

void Pool::fail_remaining(const char* reason) {
  for (; next_ < count_; ++next_) sink_(next_, {Outcome::Failed, reason});
}

bool Pool::busy() const {
  for (const Worker& w : workers_)
    if (w.task) return true;
  return false;
}

}  // namespace

void run_tasks(size_t count, int workers, const PoolHooks& hooks, const ResultSink& sink) {
  if (count == 0) return;
  if (workers <= 1 || count == 1) return run_inline(count, hooks, sink);
  Pool pool(count, workers, hooks, sink);
  pool.run(workers);
}

}  // namespace rxcli
