// Runs a batch's tasks, either in this process or spread over worker
// processes. Workers are forked so each has its own engine; they take the
// next task as soon as they finish one. A worker that dies loses only the
// task it held: the parent reports it, cleans up after it and forks a
// replacement for the remaining work.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

#include "task_result.h"

namespace rxcli {

struct PoolHooks {
  std::function<bool()> start;              // once per process before its first task
  std::function<TaskResult(size_t)> run;    // one task
  std::function<void()> stop;               // once per process after its last task
  // In the parent, for a task whose worker died: clean up after process
  // `pid` and return the report for `reason`.
  std::function<std::string(size_t, pid_t, const std::string& reason)> lost;
};

using ResultSink = std::function<void(size_t, const TaskResult&)>;

// `workers` of 1 runs every task here; more forks that many processes
// (never more than there are tasks). The sink is called in this process,
// once per task, in completion order.
void run_tasks(size_t count, int workers, const PoolHooks& hooks, const ResultSink& sink);

}  // namespace rxcli
