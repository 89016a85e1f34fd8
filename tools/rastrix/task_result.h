// The outcome of converting one file, as a worker hands it back.
#pragma once

#include <cstdint>
#include <string>

namespace rxcli {

enum class Outcome : uint32_t { Converted = 0, Skipped = 1, Failed = 2 };

struct TaskResult {
  Outcome outcome = Outcome::Failed;
  std::string report;  // printed to standard error as is; may be empty
};

}  // namespace rxcli
