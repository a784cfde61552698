#include "platform/uFileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kadrel {

ssize_t TFileOps::Write(int fd, const void* data, std::size_t size, off_t offset) {
  return ::pwrite(fd, data, size, offset);
}

int TFileOps::Sync(int fd) { return ::fsync(fd); }

int TFileOps::Truncate(int fd, off_t length) { return ::ftruncate(fd, length); }

int TFileOps::Rename(const char* from, const char* to) { return std::rename(from, to); }

int TFileOps::Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

int TFileOps::Unlink(const char* path) { return ::unlink(path); }

int TFileOps::Link(const char* from, const char* to) { return ::link(from, to); }

TFileOps& TFileOps::System() {
  static TFileOps ops;
  return ops;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

int SyncFolderOf(TFileOps& ops, const std::string& path) {
  int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return -1;
  int rc = ops.Sync(dir);
  int err = errno;
  ::close(dir);
  errno = err;
  return rc;
}

void CopyOwnerAndMode(int from, int to) {
  struct stat st {};
  if (::fstat(from, &st) != 0) return;
  if (::fchown(to, st.st_uid, st.st_gid) != 0) (void)!::fchown(to, static_cast<uid_t>(-1), st.st_gid);
  ::fchmod(to, st.st_mode & 07777);
}

}  // namespace kadrel
