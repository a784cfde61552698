#include "platform/uFileLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

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

namespace {

// `command` on the one byte at `at`; the lock as it then stands.
bool ByteLock(int fd, off_t at, short type, int command, struct flock& lock) {
  lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = at;
  lock.l_len = 1;
  lock.l_pid = 0;  // must be 0 for OFD locks
  return ::fcntl(fd, command, &lock) == 0;
}

bool SetByteLock(int fd, off_t at, short type) {
  struct flock lock {};
  return ByteLock(fd, at, type, F_OFD_SETLK, lock);
}

}  // namespace

bool TryLockByte(int fd, off_t at, TLockKind kind) {
  return SetByteLock(fd, at, kind == TLockKind::Exclusive ? F_WRLCK : F_RDLCK);
}

bool LockByte(int fd, off_t at, TLockKind kind, int waitMs, off_t unlessHeld) {
  long waitedUs = 0;
  long stepUs = 200;
  while (!TryLockByte(fd, at, kind)) {
    if ((errno != EAGAIN && errno != EACCES) || waitedUs >= waitMs * 1000L) return false;
    if (unlessHeld >= 0 && LockedByOther(fd, unlessHeld)) {
      errno = EAGAIN;
      return false;
    }
    struct timespec pause {0, stepUs * 1000};
    ::nanosleep(&pause, nullptr);
    waitedUs += stepUs;
    if (stepUs < 10000) stepUs *= 2;
  }
  return true;
}

void UnlockByte(int fd, off_t at) { SetByteLock(fd, at, F_UNLCK); }

bool LockedByOther(int fd, off_t at) {
  struct flock lock {};
  return ByteLock(fd, at, F_WRLCK, F_OFD_GETLK, lock) && lock.l_type != F_UNLCK;
}

bool IsSameFile(int fd, const std::string& path) {
  struct stat byFd {};
  struct stat byPath {};
  if (::fstat(fd, &byFd) != 0 || ::stat(path.c_str(), &byPath) != 0) return false;
  return byFd.st_dev == byPath.st_dev && byFd.st_ino == byPath.st_ino;
}

}  // namespace kadrel
