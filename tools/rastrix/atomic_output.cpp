#include "atomic_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace rxcli {
namespace {

// What the signal handler may read: a fixed buffer and a flag, no heap.
char g_pending[4096];
volatile sig_atomic_t g_armed = 0;

void on_stop_signal(int signal_number) {
  if (g_armed) unlink(g_pending);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void arm(const std::filesystem::path& temp) {
  g_armed = 0;
  const std::string& name = temp.native();
  if (name.size() >= sizeof g_pending) return;  // too long to hold: left unguarded
  std::memcpy(g_pending, name.c_str(), name.size() + 1);
  g_armed = 1;
}

void disarm() { g_armed = 0; }

// Rename that refuses to replace; falls back to link and unlink on file
// systems that do not support the flag.
int rename_no_replace(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (link(from, to) != 0) return -1;
  unlink(from);
  return 0;
}

}  // namespace

std::filesystem::path temp_path_for(const std::filesystem::path& output, pid_t pid, uint64_t tag) {
  const std::string name = ".rastrix-tmp-" + std::to_string(pid) + "-" + std::to_string(tag) +
                           output.extension().native();
  return output.parent_path() / name;
}

void install_cleanup_handlers() {
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, on_stop_signal);
}

PendingOutput::PendingOutput(std::filesystem::path temp) : temp_(std::move(temp)) { arm(temp_); }

PendingOutput::~PendingOutput() {
  disarm();
  if (!committed_) unlink(temp_.c_str());
}

CommitResult PendingOutput::commit(const std::filesystem::path& final_path, bool keep_existing,
                                   std::string& error) {
  const int rc = keep_existing ? rename_no_replace(temp_.c_str(), final_path.c_str())
                               : std::rename(temp_.c_str(), final_path.c_str());
  if (rc == 0) {
    committed_ = true;
    disarm();
    return CommitResult::Done;
  }
  if (keep_existing && errno == EEXIST) return CommitResult::Exists;
  error = std::strerror(errno);
  return CommitResult::Failed;
}

}  // namespace rxcli
