// The seam through which the table stream and the exporters change files:
// every call that creates, writes, flushes, truncates, links, renames or
// removes a file goes through a TFileOps, so that tests can make any one of
// them fail (or write short), or stop all I/O at any point as a crash or a
// power cut would, and check that nothing is lost.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

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
  // rename(2): replaces `to` atomically.
  virtual int Rename(const char* from, const char* to);
  // open(2) of a file that is to be written or may be created; opens for
  // reading only go straight to the system.
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual int Unlink(const char* path);
  // link(2): gives `from`'s file the name `to`; fails with EEXIST, replacing
  // nothing, when `to` exists.
  virtual int Link(const char* from, const char* to);

  // The real thing, shared by every table that was given no other.
  static TFileOps& System();
};

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path);
// The part after the last slash.
std::string BaseNameOf(const std::string& path);

// Whether `a` and `b` are the same existing file (device and inode), every
// symbolic link followed: a hard link of a file is the same file.
bool SameFile(const std::string& a, const std::string& b);

// fsyncs the folder that holds `path`, so that a name created, removed or
// renamed there survives a power cut. 0, or -1 with errno set.
int SyncFolderOf(TFileOps& ops, const std::string& path);

// Gives `to` the owner, group and permission bits of `from`; best effort,
// since only root may give a file away (the group is kept when we belong to it).
void CopyOwnerAndMode(int from, int to);

}  // namespace kadrel
