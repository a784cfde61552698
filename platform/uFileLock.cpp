#include "platform/uFileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kadrel {

TUniqueFd& TUniqueFd::operator=(TUniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int TUniqueFd::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void TUniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

bool TryLockFile(int fd, TLockKind kind) {
  struct flock lock {};
  lock.l_type = kind == TLockKind::Exclusive ? F_WRLCK : F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end of the file, however long it grows
  lock.l_pid = 0;  // must be 0 for OFD locks
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool IsSameFile(int fd, const std::string& path) {
  struct stat byFd {};
  struct stat byPath {};
  if (::fstat(fd, &byFd) != 0 || ::stat(path.c_str(), &byPath) != 0) return false;
  return byFd.st_dev == byPath.st_dev && byFd.st_ino == byPath.st_ino;
}

}  // namespace kadrel
