#include "load_page.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "error_report.h"

namespace rxcli {
namespace {

// Closes a descriptor on scope exit.
struct FileDescriptor {
  int fd;
  ~FileDescriptor() {
    if (fd >= 0) close(fd);
  }
};

bool read_fully(int fd, std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // the file shrank while we read it
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return true;
}

// The whole file, or nothing with `error` set. The engine takes blocks of
// at most 2 GiB.
std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path, std::string& error) {
  // Non-blocking, so that a FIFO without a writer is refused below
  // instead of holding the open for good.
  const FileDescriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  struct stat st {};
  if (file.fd < 0 || fstat(file.fd, &st) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode) || st.st_size > std::numeric_limits<int32_t>::max()) {
    error = S_ISREG(st.st_mode) ? "the file is too large to load a page from (2 GiB at most)"
                                : "not a regular file";
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  if (!read_fully(file.fd, bytes)) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  return bytes;
}

std::string load_headline(const std::string& path, int32_t page) {
  return "cannot load page " + std::to_string(page) + " of " + quote_name(path);
}

// Some readers of one-page formats ignore the page number, so a page past
// the end is refused here rather than quietly giving page 1.
std::optional<std::string> check_page(const std::vector<uint8_t>& bytes, const std::string& path,
                                      int32_t page) {
  int32_t count = 0;
  const int32_t errors =
      RX_memory_page_count_get(bytes.data(), static_cast<int32_t>(bytes.size()), &count);
  if (errors != 0) return engine_report(load_headline(path, page), errors);
  if (page <= count) return std::nullopt;
  return plain_report(load_headline(path, page),
                      "the file has " + std::to_string(count) + (count == 1 ? " page" : " pages"));
}

Image load_from_memory(const std::string& path, int32_t page, std::string& report) {
  std::string error;
  const auto bytes = read_whole_file(path, error);
  if (!bytes) {
    report = plain_report(load_headline(path, page), error);
    return Image();
  }
  if (auto problem = check_page(*bytes, path, page)) {
    report = *problem;
    return Image();
  }
  RX_HIMAGE handle = 0;
  const int32_t errors =
      RX_image_load_memory(bytes->data(), static_cast<int32_t>(bytes->size()), page, 1, &handle);
  Image image(handle);
  if (errors != 0 || !image) {
    report = engine_report(load_headline(path, page), errors);
    return Image();
  }
  return image;
}

}  // namespace

Image::~Image() {
  if (handle_ != 0) RX_image_delete(handle_);
}

Image load_page(const std::string& path, int32_t page, std::string& report) {
  if (page != 1) return load_from_memory(path, page, report);
  RX_HIMAGE handle = 0;
  const int32_t errors = RX_image_load_file(path.c_str(), &handle);
  Image image(handle);
  if (errors == 0 && image) return image;
  report = engine_report(load_headline(path, page), errors);
  return Image();
}

}  // namespace rxcli
