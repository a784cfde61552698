// File descriptors and the locks of the table stream.
//
// Locks are open-file-description (OFD) locks, F_OFD_SETLK. Classic POSIX
// record locks (F_SETLK) would not do: they belong to the process, not to the
// open file, so a second TTableStream of the same process would be granted the
// "exclusive" lock too, and closing any descriptor of the file in the process
// (a reader of the same process that opens and closes it) silently
// drops every lock the process holds on it. An OFD lock belongs to one open()
// and lives exactly as long as that descriptor, so it shuts out other objects
// of the same process as well as other processes.
//
// A table is locked by single bytes far beyond the end of any table (a lock
// needs no data under it), so they do not stand in each other's way:
//   kWriterLockByte   exclusive, held by the one writer for as long as it
//                     has the table open; a second writer is refused, or
//                     waits for it when it is not a session holder.
//   kChangeLockByte   exclusive while the writer changes the file (journal,
//                     table, journal removed), shared by a reader while it
//                     takes its copy of the file; so a reader never sees a
//                     change half-way, and a writer only waits for a read.
//   kSessionLockByte  exclusive, held beside the writer byte by a writer that
//                     keeps the table for a whole session (the GUI). A writer
//                     that would wait looks at it (F_OFD_GETLK, taking
//                     nothing): held, it is refused at once, since a session
//                     ends when a person closes a window; free, the holder is
//                     a short-lived writer (a kadrel-cli command), worth a
//                     wait of a few seconds.
// Readers take nothing else, so they work beside a running writer. An older
// Kadrel's whole-file lock covers every byte and keeps its meaning: it looks
// like a session holder, so nobody waits for it.
// A journal or change record that a writer is still writing also carries its
// writer byte, so that a recovery in another process leaves it alone.
#pragma once

#include <sys/types.h>

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

inline constexpr off_t kWriterLockByte = off_t{1} << 62;
inline constexpr off_t kChangeLockByte = kWriterLockByte + 1;
inline constexpr off_t kSessionLockByte = kWriterLockByte + 2;

// Locks the one byte at `at` without waiting; false (errno kept) on conflict.
bool TryLockByte(int fd, off_t at, TLockKind kind);
// The same, retried for up to `waitMs` milliseconds while another holds a
// conflicting lock. Polls rather than blocks, so a holder that hangs cannot
// hang us too. With `unlessHeld`, gives up at once (EAGAIN) as soon as
// another holds the byte there too.
bool LockByte(int fd, off_t at, TLockKind kind, int waitMs, off_t unlessHeld = -1);
void UnlockByte(int fd, off_t at);
// Whether another open file description holds a lock on the byte at `at`
// (any kind); takes nothing. False also when the call fails.
bool LockedByOther(int fd, off_t at);

// True when `fd` is still the file that `path` names (same device and inode).
// A file renamed over `path` after it was opened is not.
bool IsSameFile(int fd, const std::string& path);

}  // namespace kadrel
