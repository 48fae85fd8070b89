// POSIX file layer for the native builds (tests, sanitizers, fuzzing, tools).
#include "mpeg/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileHandle file_open_shared_read(const char* path) {
  int fd;
  // Non-blocking so that opening a FIFO does not wait for a writer; only
  // regular files are kept, and for them the flag changes nothing.
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kNoFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return kNoFile;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

uint32_t file_read(FileHandle file, void* buffer, uint32_t size) {
  if (file == kNoFile) return 0;
  uint32_t total = 0;
  while (total < size) {
    ssize_t got = read(static_cast<int>(file), static_cast<char*>(buffer) + total, size - total);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<uint32_t>(got);
  }
  return total;
}

int64_t file_seek(FileHandle file, int64_t distance, FileSeekMethod method) {
  if (file == kNoFile) return -1;
  off_t result = lseek(static_cast<int>(file), static_cast<off_t>(distance),
                       method == FILE_SEEK_BEGIN ? SEEK_SET : SEEK_CUR);
  return result < 0 ? -1 : static_cast<int64_t>(result);
}

int64_t file_size(FileHandle file) {
  struct stat st;
  if (file == kNoFile || fstat(static_cast<int>(file), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int file_close(FileHandle& file) {
  if (file == kNoFile) return 1;
  int ok = close(static_cast<int>(file)) == 0;
  file = kNoFile;
  return ok;
}
