// TAtomicFile: the one way a whole new file takes a name, for every writer
// that must never leave half a file behind (an export, a new table file).
//
// What it guarantees, in every mode:
//  1. Links. Begin resolves the name first: a symbolic link, and a link to a
//     link, up to kMaxLinkHops, is followed to the file it names; that real
//     path (TargetPath) is the name that is replaced or created, so a link is
//     never replaced by a regular file and keeps pointing where it did. A link
//     to a missing file creates that file. A loop of links fails with ELOOP.
//     Only the last part of the name is followed by hand; folders on the way
//     are resolved by the system as usual.
//  2. Temporary names. The bytes go to a new file "<real path>.new-XXXXXX"
//     (six characters of [A-Za-z0-9]) in the real file's folder, created with
//     O_EXCL | O_NOFOLLOW, so it can be neither an existing file nor a link
//     put there beforehand. Abandon and the destructor remove it unless it
//     was placed (WriteWhole does on any failure). While it is open here it
//     holds the writer lock byte (platform/uFileLock.h). A crash leaves it;
//     whoever keeps the folder may remove the names IsAtomicTemporaryOf
//     knows whose lock nobody holds (the table store does, on every writer's
//     open), and no other names.
//  3. Kinds of target. An existing target that is not a regular file (a
//     folder, a FIFO, a device, a socket) is refused by stat alone
//     (TAtomicFault::NotRegular); it is never opened, so nothing can block on
//     a FIFO and no device sees a byte. Placing by rename never opens the
//     target either.
//  4. Owner and mode. The file a placement replaces passes its owner, group
//     and permission bits (07777) to the new file, as far as the system lets
//     us: the owner only for root, the group when we belong to it. One there
//     at Begin passes them then; one that appeared since passes them when
//     Place(Replace) replaces it, while the file is still open here. A new
//     file gets `NewMode` less the process's umask.
//  5. Hard links. Nothing is ever written into an existing file. Replacing a
//     file that has other names gives the new bytes to this name only; the
//     other names keep the old file.
//  6. Placing. TPlace::Replace renames the temporary over the name: other
//     processes see the old file or the new one, never a mix, and never no
//     file. TPlace::KeepExisting links the temporary to the name, which fails
//     with EEXIST and changes nothing when the name exists, however recently
//     it appeared; the temporary then stays, so the caller may still decide
//     to Place(Replace) or Abandon.
//  7. Durability. Flush fsyncs the temporary; Place fsyncs the folder after
//     the name changed. Once Place has returned true after a Flush, a power
//     cut leaves the name with the new bytes, on file systems whose folder
//     fsync succeeds; a folder that refuses to be fsynced is not a failure
//     (the new file is already what everyone sees) but FolderSynced() says
//     so, and FolderSyncErrno() why: a caller whose own commit depends on
//     the name lasting treats it as one.
//  8. The seam. Creating, writing, fsyncing, renaming, linking and removing go
//     through the TFileOps given, so that tests can make any of them fail.
//  9. Errors. Every failure leaves the target as it was (Place's rename and
//     link are all or nothing) and is described by Error(): the errno and
//     the step, so that each caller can word it for its own reader.
//
// Not covered: the object is for one thread; it holds no lock on the target,
// so two writers of one name both succeed and the last Place wins.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "platform/uFileLock.h"
#include "platform/uFileOps.h"

namespace kadrel {

enum class TAtomicPlace { Replace, KeepExisting };

enum class TAtomicFault {
  None,
  NotRegular,  // the target exists and is not a regular file; FileType says what it is
  Exists,      // KeepExisting found the name taken (Errno is EEXIST)
  System,      // a call failed; Errno says why
};

struct TAtomicFileError {
  TAtomicFault Fault = TAtomicFault::None;
  int Errno = 0;
  mode_t FileType = 0;  // the S_IFMT bits of a target that is not a regular file
};

inline constexpr int kMaxLinkHops = 40;

// Whether the bare `name` is one of the temporaries Begin makes for a file
// whose bare name is `base`.
bool IsAtomicTemporaryOf(std::string_view name, std::string_view base);

// `path` with every symbolic link of its last part followed, as guarantee 1
// describes; the file need not exist. Empty, with errno ELOOP, for a loop.
std::string FollowLinks(std::string path);

class TAtomicFile {
 public:
  explicit TAtomicFile(TFileOps& ops = TFileOps::System()) : ops_(&ops) {}
  ~TAtomicFile() { Abandon(); }
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void SetOps(TFileOps& ops) { ops_ = &ops; }

  // Resolves `target`, checks it and creates the temporary, mode `newMode`
  // (less umask) when the target does not exist yet.
  bool Begin(const std::string& target, mode_t newMode = 0644);
  // Appends to the temporary; a short write is carried on, a write that
  // makes no progress fails.
  bool Write(std::string_view bytes);
  bool Flush();
  bool Place(TAtomicPlace how);
  // Removes the temporary unless it was placed, and closes it.
  void Abandon();

  // Write, Flush, close (whose error counts, as some file systems report a
  // failed write only then) and Place, in one; the target as it was on failure.
  bool WriteWhole(std::string_view bytes, TAtomicPlace how = TAtomicPlace::Replace);

  // The temporary while it is being written, the new file once placed: a
  // caller may lock it or write to it itself. -1 when closed.
  int Fd() const { return fd_.Get(); }
  // Hands the open file over to the caller, who keeps it after Place.
  TUniqueFd TakeFd() { return std::move(fd_); }
  const std::string& TargetPath() const { return target_; }
  const std::string& TempPath() const { return temp_; }
  bool TargetExisted() const { return existed_; }
  bool FolderSynced() const { return folderSyncErrno_ == 0; }
  int FolderSyncErrno() const { return folderSyncErrno_; }
  const TAtomicFileError& Error() const { return error_; }

 private:
  bool Fail(TAtomicFault fault, int err, mode_t type = 0);
  bool CreateTemporary(mode_t newMode);
  void TakeOwnerAndMode();
  // A target that appeared after Begin, about to be replaced.
  void TakeOwnerAndModeOfNewcomer();

  TFileOps* ops_;
  TUniqueFd fd_;
  std::string target_;
  std::string temp_;  // empty once placed or removed
  off_t written_ = 0;
  bool existed_ = false;
  int folderSyncErrno_ = 0;
  // The replaced file's owner, group and permission bits.
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  mode_t mode_ = 0;
  TAtomicFileError error_;
};

}  // namespace kadrel
