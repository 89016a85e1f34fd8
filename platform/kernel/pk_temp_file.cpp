// Scratch files: made in the temporary folder without a name (O_TMPFILE),
// or, where the file system cannot do that, under a unique name that is
// unlinked at once. Either way nothing is left behind once the descriptor
// is closed, and no other process can swap the file for another.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/kernel.h"

namespace {

std::string temp_folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string("/tmp");
}

int unnamed_create(const std::string& folder) {
#ifdef O_TMPFILE
  int fd;
  do {
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

// mkstemp makes the name with O_EXCL and mode 0600, so it cannot be
// pre-empted by a file or link someone else put there.
int named_create(const std::string& folder) {
  std::string pattern = folder + "/rastrix-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return -1;
  if (unlink(pattern.c_str()) != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}

}  // namespace

extern "C" int32_t pk_file_temp_create(void) {
  const std::string folder = temp_folder();
  int fd = unnamed_create(folder);
  // A folder that is not there, or not ours to write, fails both ways; only
  // a file system without unnamed files is worth the second try.
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
    fd = named_create(folder);
  if (fd < 0) return -1;
  if (fd > INT32_MAX) {
    close(fd);
    return -1;
  }
  return static_cast<int32_t>(fd);
}

extern "C" int32_t pk_file_read_at(int32_t file, int64_t offset, void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr || offset < 0) return 0;
  auto* p = static_cast<char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = pread(file, p + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

extern "C" int32_t pk_file_write_at(int32_t file, int64_t offset, const void* buffer,
                                    int32_t count) {
  if (count <= 0 || buffer == nullptr || offset < 0) return 0;
  auto* p = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = pwrite(file, p + done, static_cast<size_t>(count - done), offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}
