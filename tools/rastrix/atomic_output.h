// Outputs appear whole or not at all. The engine writes into a temporary
// file beside the final one, which is renamed over it on success and
// removed on failure, or by a signal handler when the process is stopped.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace rxcli {

// The temporary name for `output` used by process `pid` for task `tag`:
// hidden, in the same folder (so the rename stays on one file system) and
// ending in the output's own extension, so that a save that picks the
// format from the name picks the same one.
std::filesystem::path temp_path_for(const std::filesystem::path& output, pid_t pid, uint64_t tag);

// Removes the pending temporary file on SIGINT, SIGTERM and SIGHUP, then
// lets the signal end the process as it would have.
void install_cleanup_handlers();

enum class CommitResult { Done, Exists, Failed };

// A temporary file the engine is about to write. Unless committed, it is
// removed when this object goes away.
class PendingOutput {
 public:
  explicit PendingOutput(std::filesystem::path temp);
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  const std::filesystem::path& path() const { return temp_; }

  // Renames the file to `final_path`. With `keep_existing` an existing
  // file is left alone (Exists). On Failed, `error` says why.
  CommitResult commit(const std::filesystem::path& final_path, bool keep_existing,
                      std::string& error);

 private:
  std::filesystem::path temp_;
  bool committed_ = false;
};

}  // namespace rxcli
