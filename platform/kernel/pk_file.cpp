// Files on POSIX descriptors. Opens take an advisory exclusive lock to stand
// in for "no sharing"; the lock goes away with the descriptor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/kernel.h"

namespace {

int32_t lock_or_close(int fd) {
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  if (fd > INT32_MAX) {  // cannot happen on Linux, but the handle is 32-bit
    close(fd);
    return -1;
  }
  return static_cast<int32_t>(fd);
}

// Only regular files are opened. The open itself never waits: a FIFO
// without a writer would block it for good, so it is opened non-blocking,
// then refused with the directory, socket or device it may turn out to be.
int open_retrying(const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = open(name, flags | O_CLOEXEC | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  const int status = fcntl(fd, F_GETFL);
  if (status != -1) fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}

}  // namespace

extern "C" int32_t pk_file_create(const char* name) {
  if (name == nullptr || *name == '\0') return -1;
  // Take the lock before truncating, so that a file another handle holds is
  // not emptied under it.
  int fd = open_retrying(name, O_RDWR | O_CREAT, 0666);
  int32_t file = lock_or_close(fd);
  if (file < 0) return -1;
  if (ftruncate(file, 0) != 0) {
    close(file);
    return -1;
  }
  return file;
}

extern "C" int32_t pk_file_open(const char* name, int32_t access) {
  if (name == nullptr || *name == '\0') return -1;
  int flags = O_RDONLY;
  if (access == PK_ACCESS_WRITE) flags = O_WRONLY | O_CREAT;
  if (access == PK_ACCESS_READ_WRITE) flags = O_RDWR | O_CREAT;
  return lock_or_close(open_retrying(name, flags, 0666));
}

extern "C" int32_t pk_file_close(int32_t file) {
  if (file < 0) return -1;
  return close(file) == 0 ? 0 : -1;
}

extern "C" int32_t pk_file_seek(int32_t file, int32_t offset, int32_t origin) {
  int whence = SEEK_SET;
  if (origin == PK_SEEK_CUR) whence = SEEK_CUR;
  else if (origin == PK_SEEK_END) whence = SEEK_END;
  else if (origin != PK_SEEK_SET) return -1;
  off_t pos = lseek(file, offset, whence);
  // Stream positions are 32-bit signed; a file beyond that cannot be used.
  if (pos < 0 || pos > INT32_MAX) return -1;
  return static_cast<int32_t>(pos);
}

extern "C" int32_t pk_file_read(int32_t file, void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  auto* p = static_cast<char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = read(file, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

extern "C" int32_t pk_file_write(int32_t file, const void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return 0;
  auto* p = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = write(file, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}
