// The seam through which the table stream changes files: every write, flush,
// truncation and rename goes through a TFileOps, so that tests can make any
// one of them fail (or write short) and check that nothing is lost.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kadrel {

class TFileOps {
 public:
  virtual ~TFileOps() = default;

  // pwrite(2): the number of bytes written, or -1 with errno set. Callers
  // treat anything short of `size` as a failure.
  virtual ssize_t Write(int fd, const void* data, std::size_t size, off_t offset);
  // fsync(2) of a file or a directory: 0, or -1 with errno set.
  virtual int Sync(int fd);
  virtual int Truncate(int fd, off_t length);
  virtual int Rename(const char* from, const char* to);

  // The real thing, shared by every table that was given no other.
  static TFileOps& System();
};

}  // namespace kadrel
