// Converts one file: load a page, save it under a temporary name, rename
// it into place. Used alike by a single conversion and by batch workers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "rastrix/rx_codes.h"
#include "operations.h"
#include "task_result.h"

namespace rxcli {

struct ConvertJob {
  std::filesystem::path input;
  std::filesystem::path output;
  int32_t page = 1;
  uint32_t format = RX_FORMAT_UNKNOWN;  // by the output's extension
  std::optional<uint32_t> quality;
  uint64_t max_pixels = 0;        // the load limit; 0: the engine's own
  std::vector<Operation> operations;  // applied in order between load and save
  bool keep_existing = false;     // an existing output is skipped, never replaced
  bool make_directories = false;  // create the output's folder when missing
  uint64_t temp_tag = 0;          // makes the temporary name unique within the process
};

// Never leaves anything at `output` unless the whole conversion worked.
TaskResult convert_file(const ConvertJob& job);

// Whether `output` already exists and is the very file `input` names.
bool is_same_file(const std::filesystem::path& input, const std::filesystem::path& output);

}  // namespace rxcli
