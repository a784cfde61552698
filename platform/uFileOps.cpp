#include "platform/uFileOps.h"

#include <cstdio>
#include <unistd.h>

namespace kadrel {

ssize_t TFileOps::Write(int fd, const void* data, std::size_t size, off_t offset) {
  return ::pwrite(fd, data, size, offset);
}

int TFileOps::Sync(int fd) { return ::fsync(fd); }

int TFileOps::Truncate(int fd, off_t length) { return ::ftruncate(fd, length); }

int TFileOps::Rename(const char* from, const char* to) { return std::rename(from, to); }

TFileOps& TFileOps::System() {
  static TFileOps ops;
  return ops;
}

}  // namespace kadrel
