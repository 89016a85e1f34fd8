// The messages between the batch process and its workers: task indexes
// go down one pipe per worker, results come back up another. Each pipe has
// one writer, so messages never interleave.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "task_result.h"

namespace rxcli {

bool send_task(int fd, uint64_t index);
// Nothing at end of file: the parent has no more work.
std::optional<uint64_t> receive_task(int fd);

bool send_result(int fd, uint64_t index, const TaskResult& result);
// Nothing at end of file or on a damaged message: the worker is gone.
std::optional<std::pair<uint64_t, TaskResult>> receive_result(int fd);

}  // namespace rxcli
