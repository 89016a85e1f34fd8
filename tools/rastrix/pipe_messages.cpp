#include "pipe_messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rxcli {
namespace {

// Far beyond any report; a larger length means the stream is damaged.
constexpr uint32_t kMaxReport = 1u << 20;

struct ResultHeader {
  uint64_t index;
  uint32_t outcome;
  uint32_t report_size;
};

bool write_all(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool read_all(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool send_task(int fd, uint64_t index) { return write_all(fd, &index, sizeof index); }

std::optional<uint64_t> receive_task(int fd) {
  uint64_t index = 0;
  if (!read_all(fd, &index, sizeof index)) return std::nullopt;
  return index;
}

bool send_result(int fd, uint64_t index, const TaskResult& result) {
  const uint32_t size = result.report.size() < kMaxReport
                            ? static_cast<uint32_t>(result.report.size())
                            : kMaxReport;
  const ResultHeader header{index, static_cast<uint32_t>(result.outcome), size};
  return write_all(fd, &header, sizeof header) && write_all(fd, result.report.data(), size);
}

std::optional<std::pair<uint64_t, TaskResult>> receive_result(int fd) {
  ResultHeader header{};
  if (!read_all(fd, &header, sizeof header)) return std::nullopt;
  if (header.report_size > kMaxReport || header.outcome > static_cast<uint32_t>(Outcome::Failed))
    return std::nullopt;
  TaskResult result{static_cast<Outcome>(header.outcome), std::string(header.report_size, '\0')};
  if (!read_all(fd, result.report.data(), header.report_size)) return std::nullopt;
  return std::pair{header.index, std::move(result)};
}

}  // namespace rxcli
