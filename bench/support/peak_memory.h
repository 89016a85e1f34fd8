// The peak memory of one load, measured in a fresh process: the benchmark
// runs itself as `PROGRAM --memory FILE`, and the child resets the peak,
// loads FILE and prints how far the peak rose above where it started.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

// A figure in KiB from /proc/self/status ("VmRSS:", "VmHWM:"), or -1.
inline long status_kb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

// In the child: resets the peak and returns the memory in use now.
inline long peak_reset() {
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  return status_kb("VmRSS:");
}

// In the child: the rise of the peak above `start` (from peak_reset).
inline long peak_rise_kb(long start) { return status_kb("VmHWM:") - start; }

// In the parent: writes `bytes` to a temporary file and runs `program
// --memory FILE`; *kb is the number the child prints, or -1. False when
// the temporary file cannot be written.
inline bool child_peak_kb(const char* program, const std::vector<uint8_t>& bytes, long* kb) {
  char path[] = "/tmp/rx_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return false;
  const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  ::close(fd);
  *kb = -1;
  if (written) {
    const std::string cmd = std::string("'") + program + "' --memory " + path;
    FILE* child = popen(cmd.c_str(), "r");
    if (child != nullptr && std::fscanf(child, "%ld", kb) != 1) *kb = -1;
    if (child != nullptr) pclose(child);
  }
  ::unlink(path);
  return written;
}

}  // namespace bench
