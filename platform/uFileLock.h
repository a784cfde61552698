// File descriptors and whole-file locks for the table stream.
//
// Locks are open-file-description (OFD) locks, F_OFD_SETLK. Classic POSIX
// record locks (F_SETLK) would not do: they belong to the process, not to the
// open file, so a second TTableStream of the same process would be granted the
// "exclusive" lock too, and closing any descriptor of the file in the process
// (a reader that opens and closes it, or Pack closing the old file) silently
// drops every lock the process holds on it. An OFD lock belongs to one open()
// and lives exactly as long as that descriptor, so it shuts out other objects
// of the same process as well as other processes.
#pragma once

#include <string>

namespace kadrel {

// Owns one file descriptor; -1 means none.
class TUniqueFd {
 public:
  TUniqueFd() = default;
  explicit TUniqueFd(int fd) : fd_(fd) {}
  ~TUniqueFd() { Reset(); }
  TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.Release()) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept;
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

enum class TLockKind { Shared, Exclusive };

// Takes a whole-file OFD lock without waiting. False (errno kept) when another
// open file description holds a conflicting lock or the call fails.
bool TryLockFile(int fd, TLockKind kind);

// True when `fd` is still the file that `path` names (same device and inode).
// A file renamed over `path` after it was opened is not.
bool IsSameFile(int fd, const std::string& path);

}  // namespace kadrel
