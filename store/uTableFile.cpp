#include "store/uTableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace kadrel {
namespace {

constexpr const char* kInUse = "in use by another writer (a running Kadrel or a kadrel-cli write command)";
constexpr const char* kBusy = "busy: another program is reading or changing it; try again";

TTableError Busy() { return TTableError::Of(TTableFault::Busy, kBusy); }
// The system took fewer bytes than it was given: on a regular file, the disk is full.
TTableError ShortWrite(std::string text) { return TTableError::Of(TTableFault::NoSpace, std::move(text)); }
TTableError Kept() { return TTableError::Of(TTableFault::Exists, "it already exists; it was kept as it is"); }

std::string NotRegularText(mode_t mode) {
  const char* what = S_ISFIFO(mode)  ? "a FIFO"
                     : S_ISCHR(mode) ? "a character device"
                     : S_ISBLK(mode) ? "a block device"
                     : S_ISDIR(mode) ? "a folder"
                     : S_ISSOCK(mode) ? "a socket"
                                      : "not a plain file";
  return std::string("not a regular file (") + what + ")";
}

TTableError NotRegular(mode_t mode) {
  TTableError e = TTableError::Of(TTableFault::NotRegular, NotRegularText(mode));
  e.FileType = static_cast<std::uint32_t>(mode & S_IFMT);
  return e;
}

TTableError JournalUnusable(const std::string& name, std::string text) {
  TTableError e = TTableError::Damaged(TDamage::Journal, std::move(text));
  e.Name = name;
  return e;
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

TTableError NotOursIn(const std::string& journal) {
  const std::string name = BaseName(journal);
  return JournalUnusable(name, "the journal " + name +
                                   " does not belong to this table (it would not give back the table it was "
                                   "written for); move it away");
}


bool ReadAll(int fd, std::int64_t offset, unsigned char* out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      if (r == 0) errno = EIO;
      return false;
    }
    got += static_cast<std::size_t>(r);
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

TTableError TTableFile::NotOurs() const { return NotOursIn(JournalPath(realPath_)); }

bool TTableFile::Fail(TTableError why) {
  error_ = std::move(why);
  return false;
}

bool TTableFile::Amend(std::string_view more) {
  error_.Text += more;
  return false;
}

bool TTableFile::FailSystem(TTableFault otherwise, std::string_view what) {
  return Fail(TTableError::System(errno, otherwise, what));
}

std::int64_t TTableFile::Length() const {
  if (hasCopy_) return copyLength_;
  struct stat st {};
  if (!fd_.Valid() || ::fstat(fd_.Get(), &st) != 0) return -1;
  return st.st_size;
}

bool TTableFile::Resolve(const std::string& name, bool mayBeMissing) {
  if (char* real = ::realpath(name.c_str(), nullptr)) {
    realPath_ = real;
    std::free(real);
    return true;
  }
  if (errno != ENOENT || !mayBeMissing) return FailSystem(TTableFault::CannotOpen, "cannot open");
  // A new file: its folder must exist; the name is taken as given.
  char* folder = ::realpath(FolderOf(name).c_str(), nullptr);
  if (!folder) return FailSystem(TTableFault::CannotOpen, "cannot create");
  std::string dir = folder;
  std::free(folder);
  realPath_ = (dir == "/" ? dir : dir + "/") + BaseName(name);
  return true;
}

// Opens the resolved file without ever blocking, and only if it is a regular file.
bool TTableFile::OpenRegular(int flags, TUniqueFd& out) {
  struct stat st {};
  if (::stat(realPath_.c_str(), &st) != 0) return FailSystem(TTableFault::CannotOpen, "cannot open");
  if (!S_ISREG(st.st_mode)) return Fail(NotRegular(st.st_mode));
  TUniqueFd f(::open(realPath_.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!f.Valid()) return FailSystem(TTableFault::CannotOpen, "cannot open");
  if (::fstat(f.Get(), &st) != 0) return FailSystem(TTableFault::CannotOpen, "cannot open");
  if (!S_ISREG(st.st_mode)) return Fail(NotRegular(st.st_mode));
  ::fcntl(f.Get(), F_SETFL, ::fcntl(f.Get(), F_GETFL) & ~O_NONBLOCK);
  out = std::move(f);
  return true;
}

bool TTableFile::Open(const std::string& name, bool write) {
  Close();
  error_ = {};
  if (!Resolve(name, false)) return false;
  // A writer of another table may put a new file in place of this one
  // between our open and our lock; then the lock is on a file that is no
  // longer the table: try again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    TUniqueFd f;
    if (!OpenRegular(write ? O_RDWR : O_RDONLY, f)) return false;
    if (write && !TryLockByte(f.Get(), kWriterLockByte, TLockKind::Exclusive)) {
      if (errno == EAGAIN || errno == EACCES) return Fail(TTableError::Of(TTableFault::InUse, kInUse));
      return FailSystem(TTableFault::CannotOpen, "cannot lock");
    }
    if (!IsSameFile(f.Get(), realPath_)) continue;
    fd_ = std::move(f);
    writable_ = write;
    bool ok = write ? Recover() : TakeCopy();
    if (!ok) {
      TTableError why = error_;
      Close();
      error_ = why;
      return false;
    }
    if (write) CleanStaleTemps();
    crcKnown_ = false;
    return true;
  }
  return Fail(TTableError::Damaged(TDamage::Replaced, "the file keeps being replaced"));
}

// found: whether a journal lies beside the table; journal: its contents when
// it is whole. False (with the error) for a journal that cannot be read or
// is not one of ours.
bool TTableFile::ReadJournal(std::int64_t tableLength, bool& found, TJournal& journal) {
  found = false;
  const std::string path = JournalPath(realPath_);
  const std::string name = BaseName(path);
  TUniqueFd j(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!j.Valid()) {
    if (errno == ENOENT) return true;
    if (errno == ELOOP) return Fail(JournalUnusable(name, "the journal " + name + " is a symbolic link; move it away"));
    return FailSystem(TTableFault::IoError, "cannot read the journal " + name);
  }
  struct stat st {};
  if (::fstat(j.Get(), &st) != 0) return FailSystem(TTableFault::IoError, "cannot read the journal " + name);
  if (!S_ISREG(st.st_mode)) {
    return Fail(JournalUnusable(name, "the journal " + name + " is " + NotRegularText(st.st_mode) + "; move it away"));
  }
  if (st.st_size > kMaxJournalBytes) {
    return Fail(JournalUnusable(name, "the journal " + name + " is far too large to be one; move it away"));
  }
  Bytes bytes(static_cast<std::size_t>(st.st_size));
  if (!bytes.empty() && !ReadAll(j.Get(), 0, bytes.data(), bytes.size())) {
    return FailSystem(TTableFault::IoError, "cannot read the journal " + name);
  }
  std::string why;
  TJournalState state = DecodeJournal(bytes.data(), bytes.size(), tableLength, journal, why);
  if (state == TJournalState::Damaged) {
    return Fail(
        JournalUnusable(name, "the journal " + name + " does not belong to this table (" + why + "); move it away"));
  }
  found = true;
  if (state == TJournalState::Torn) journal = {};
  journal.OldLength = state == TJournalState::Valid ? journal.OldLength : -1;
  return true;
}

// A writer's Open: a change interrupted by a crash is undone, a journal that
// was still being written is dropped.
bool TTableFile::Recover() {
  if (!LockByte(fd_.Get(), kChangeLockByte, TLockKind::Exclusive, kLockWaitMs)) return Fail(Busy());
  bool found = false;
  TJournal journal;
  std::int64_t length = Length();
  bool ok = length >= 0 ? ReadJournal(length, found, journal) : FailSystem(TTableFault::IoError, "cannot read");
  if (ok && found && journal.OldLength >= 0) {
    // Worked out in memory first: only a journal that gives back exactly
    // the table it was written for is applied.
    Bytes image;
    if (length > kMaxReadBytes || !ReadRange(0, length, image)) {
      ok = FailSystem(TTableFault::IoError, "cannot read the table to undo an interrupted change");
    } else if (!ApplyJournal(journal, image)) {
      ok = Fail(NotOurs());
    } else if (!PutBack(journal)) {
      // The system's error stays with it; the file is what is wrong now.
      TTableError why = error_;
      why.Kind = TTableFault::Damaged;
      why.Damage = TDamage::CannotUndo;
      why.Text = "cannot undo a change that a crash interrupted: " + why.Text;
      ok = Fail(std::move(why));
    }
  }
  // A journal that is gone, or whose old bytes are back, can be dropped; if
  // dropping it fails it is harmless (it matches the table) and goes later.
  if (ok && found) ops_->Unlink(JournalPath(realPath_).c_str());
  UnlockByte(fd_.Get(), kChangeLockByte);
  return ok;
}

bool TTableFile::TakeCopy() {
  if (!LockByte(fd_.Get(), kChangeLockByte, TLockKind::Shared, kLockWaitMs)) return Fail(Busy());
  bool ok = true;
  std::int64_t length = Length();
  if (length < 0) ok = FailSystem(TTableFault::IoError, "cannot read");
  if (ok && length > kMaxReadBytes) {
    ok = Fail(TTableError::Damaged(TDamage::TooLarge,
                                   "the file is too large to read (" + std::to_string(length) + " bytes)", length));
  }
  if (ok) {
    copy_.resize(static_cast<std::size_t>(length));
    if (length > 0 && !ReadAll(fd_.Get(), 0, copy_.data(), copy_.size())) {
      ok = FailSystem(TTableFault::IoError, "cannot read");
    }
  }
  bool found = false;
  TJournal journal;
  ok = ok && ReadJournal(length, found, journal);
  UnlockByte(fd_.Get(), kChangeLockByte);
  if (!ok) return false;
  if (found && journal.OldLength >= 0 && !ApplyJournal(journal, copy_)) return Fail(NotOurs());
  copyLength_ = static_cast<std::int64_t>(copy_.size());
  hasCopy_ = true;
  return true;
}

bool TTableFile::ReadRange(std::int64_t offset, std::int64_t n, Bytes& out) const {
  out.assign(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)), 0);
  return out.empty() || ReadAll(fd_.Get(), offset, out.data(), out.size());
}

bool TTableFile::WriteJournal(const TJournal& journal) {
  const std::string path = JournalPath(realPath_);
  const Bytes bytes = EncodeJournal(journal);
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0) return FailSystem(TTableFault::IoError, "cannot read");
  // It holds the table's old bytes: nobody may read it who may not read the table.
  TUniqueFd j(ops_->Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                         st.st_mode & 0600));
  if (!j.Valid()) return FailSystem(TTableFault::IoError, "cannot create the journal " + BaseName(path));
  CopyOwnerAndMode(fd_.Get(), j.Get());
  ssize_t r = ops_->Write(j.Get(), bytes.data(), bytes.size(), 0);
  if (r < 0) return FailSystem(TTableFault::IoError, "writing the journal failed");
  if (static_cast<std::size_t>(r) != bytes.size()) return Fail(ShortWrite("short write of the journal (disk full?)"));
  if (ops_->Sync(j.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing the journal failed");
  if (SyncFolderOf(*ops_, path) != 0) return FailSystem(TTableFault::IoError, "flushing the folder failed");
  return true;
}

bool TTableFile::ApplyWrites(const std::vector<TWrite>& writes, std::int64_t oldLength, std::int64_t newLength) {
  for (const auto& w : writes) {
    ssize_t r = ops_->Write(fd_.Get(), w.Data.data(), w.Data.size(), static_cast<off_t>(w.Offset));
    if (r < 0) return FailSystem(TTableFault::IoError, "write failed");
    if (static_cast<std::size_t>(r) != w.Data.size()) return Fail(ShortWrite("short write (disk full?)"));
  }
  if (newLength != oldLength && Length() != newLength &&
      ops_->Truncate(fd_.Get(), static_cast<off_t>(newLength)) != 0) {
    return FailSystem(TTableFault::IoError, "truncate failed");
  }
  if (ops_->Sync(fd_.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing to disk failed");
  return true;
}

// The table's old bytes and length, written back and fsynced.
bool TTableFile::PutBack(const TJournal& journal) {
  for (const auto& r : journal.Regions) {
    ssize_t n = ops_->Write(fd_.Get(), r.Old.data(), r.Old.size(), static_cast<off_t>(r.Offset));
    if (n < 0 || static_cast<std::size_t>(n) != r.Old.size()) return FailSystem(TTableFault::IoError, "write failed");
  }
  if (Length() != journal.OldLength && ops_->Truncate(fd_.Get(), static_cast<off_t>(journal.OldLength)) != 0) {
    return FailSystem(TTableFault::IoError, "truncate failed");
  }
  if (ops_->Sync(fd_.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing to disk failed");
  return true;
}

bool TTableFile::Commit(std::vector<TWrite> writes, std::int64_t newLength) {
  if (!writable_ || creating_) return Fail(TTableError::Of(TTableFault::Refused, "the table is not open for writing"));
  if (poisoned_) {
    return Fail(TTableError::Damaged(
        TDamage::CannotUndo, "an earlier change could not be undone; the table must be opened again, which undoes it"));
  }
  const std::int64_t oldLength = Length();
  if (oldLength < 0) return FailSystem(TTableFault::IoError, "cannot read");
  if (!crcKnown_ && !ComputeCrc()) return FailSystem(TTableFault::IoError, "cannot read");
  TJournal journal;
  journal.OldLength = oldLength;
  journal.OldCrc = crc_;
  std::vector<TWrite> changed;
  for (auto& w : writes) {
    Bytes old;
    const std::int64_t within = std::min<std::int64_t>(static_cast<std::int64_t>(w.Data.size()), oldLength - w.Offset);
    if (!ReadRange(w.Offset, within, old)) return FailSystem(TTableFault::IoError, "cannot read");
    if (old == w.Data) continue;
    if (!old.empty()) journal.Regions.push_back({w.Offset, std::move(old)});
    changed.push_back(std::move(w));
  }
  if (newLength < oldLength) {
    Bytes cut;
    if (!ReadRange(newLength, oldLength - newLength, cut)) return FailSystem(TTableFault::IoError, "cannot read");
    journal.Regions.push_back({newLength, std::move(cut)});
  }
  if (changed.empty() && newLength == oldLength) return true;

  if (!LockByte(fd_.Get(), kChangeLockByte, TLockKind::Exclusive, kLockWaitMs)) return Fail(Busy());
  const std::string path = JournalPath(realPath_);
  bool ok = true;
  if (!WriteJournal(journal)) {
    // The table was not touched.
    ops_->Unlink(path.c_str());
    ok = Amend("; nothing was changed");
  } else {
    // Removing the journal is the commit; until then a crash undoes the change.
    bool committed = ApplyWrites(changed, oldLength, newLength);
    if (committed && ops_->Unlink(path.c_str()) != 0) {
      committed = FailSystem(TTableFault::IoError, "cannot remove the journal");
    }
    if (committed) UpdateCrc(changed, journal, newLength);
    if (!committed) {
      // What went wrong is the change's failure, not the putting back's.
      const TTableError why = error_;
      const bool putBack = PutBack(journal);
      error_ = why;
      if (putBack) {
        ops_->Unlink(path.c_str());  // if this fails too, it matches the table and is harmless
        ok = Amend("; nothing was changed");
      } else {
        Poison(journal);
        ok = Amend("; the old bytes could not be put back yet, the next open of the table does it");
      }
    }
  }
  UnlockByte(fd_.Get(), kChangeLockByte);
  return ok;
}

// From now on the file may hold half a change that only the journal can
// undo: no more changes, and reads come from a copy with the journal applied
// (when the file can still be read), so even this process never sees it.
void TTableFile::Poison(const TJournal& journal) {
  poisoned_ = true;
  const std::int64_t length = Length();
  Bytes image;
  if (length < 0 || length > kMaxReadBytes || !ReadRange(0, length, image)) return;
  ApplyJournal(journal, image);
  copy_ = std::move(image);
  copyLength_ = static_cast<std::int64_t>(copy_.size());
  hasCopy_ = true;
}

bool TTableFile::ComputeCrc() {
  const std::int64_t length = Length();
  if (length < 0) return false;
  Bytes chunk;
  std::uint64_t crc = 0;
  for (std::int64_t at = 0; at < length; at += static_cast<std::int64_t>(chunk.size())) {
    if (!ReadRange(at, std::min<std::int64_t>(length - at, 1 << 20), chunk)) return false;
    crc = Crc64(chunk.data(), chunk.size(), crc);
  }
  crc_ = crc;
  crcKnown_ = true;
  return true;
}

// After a committed change: an overwrite changes the CRC by its difference
// moved past the bytes after it, an append extends it; a cut is worked out
// afresh by the next change.
void TTableFile::UpdateCrc(const std::vector<TWrite>& writes, const TJournal& journal, std::int64_t newLength) {
  std::int64_t length = journal.OldLength;
  std::size_t region = 0;
  for (const auto& w : writes) {
    const auto n = static_cast<std::int64_t>(w.Data.size());
    if (w.Offset + n <= length && region < journal.Regions.size() && journal.Regions[region].Offset == w.Offset &&
        journal.Regions[region].Old.size() == w.Data.size()) {
      Bytes diff = journal.Regions[region++].Old;
      for (std::size_t i = 0; i < diff.size(); ++i) diff[i] ^= w.Data[i];
      const Bytes zeros(diff.size(), 0);
      const std::uint64_t raw = Crc64(diff.data(), diff.size()) ^ Crc64(zeros.data(), zeros.size());
      crc_ ^= Crc64Combine(raw, 0, static_cast<std::uint64_t>(length - w.Offset - n));
    } else if (w.Offset == length) {
      crc_ = Crc64Combine(crc_, Crc64(w.Data.data(), w.Data.size()), static_cast<std::uint64_t>(n));
      length += n;
    } else {
      crcKnown_ = false;
      return;
    }
  }
  if (newLength != length) crcKnown_ = false;
}

void TTableFile::CleanStaleTemps() {
  namespace fs = std::filesystem;
  const std::string base = BaseName(realPath_);
  std::error_code ec;
  for (fs::directory_iterator it(FolderOf(realPath_), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    bool temp = false;
    for (const char* kind : {".new-", ".pack-"}) {
      const std::string prefix = base + kind;
      temp = temp || (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0);
    }
    if (!temp) continue;
    // One still being built is held by its writer; only a crashed one's is
    // free. A creation that crashed after linking the new table in leaves a
    // second name of the table itself, which we hold: that name goes too.
    TUniqueFd f(::open(it->path().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat found {}, table {};
    const bool ours = f.Valid() && fd_.Valid() && ::fstat(f.Get(), &found) == 0 && ::fstat(fd_.Get(), &table) == 0 &&
                      found.st_dev == table.st_dev && found.st_ino == table.st_ino;
    if (f.Valid() && (ours || TryLockByte(f.Get(), kWriterLockByte, TLockKind::Exclusive))) {
      ops_->Unlink(it->path().c_str());
    }
  }
}

bool TTableFile::Create(const std::string& name, TCreate mode) {
  Close();
  error_ = {};
  if (name.empty()) return Fail(TTableError::Of(TTableFault::CannotOpen, "no file name given"));
  if (!Resolve(name, true)) return false;
  if (mode == TCreate::Replace && Exists(realPath_)) {
    if (!OpenRegular(O_RDWR, fd_)) return false;
    if (!TryLockByte(fd_.Get(), kWriterLockByte, TLockKind::Exclusive)) {
      fd_.Reset();
      return Fail(TTableError::Of(TTableFault::InUse, kInUse));
    }
    // A change a crash interrupted is undone first: should this creation be
    // interrupted too, the old table must be whole without its journal.
    const bool recovered = Recover();
    replaced_ = std::move(fd_);
    if (!recovered) {
      replaced_.Reset();
      return false;
    }
  }
  CleanStaleTemps();
  static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100 && !fd_.Valid(); ++attempt) {
    tempPath_ = realPath_ + ".new-";
    for (int i = 0; i < 6; ++i) tempPath_ += kChars[random() % (sizeof kChars - 1)];
    fd_.Reset(ops_->Open(tempPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd_.Valid() && errno != EEXIST) break;
  }
  if (!fd_.Valid()) {
    replaced_.Reset();
    return FailSystem(TTableFault::CannotOpen, "cannot create");
  }
  TryLockByte(fd_.Get(), kWriterLockByte, TLockKind::Exclusive);  // a new file: nobody else has it
  if (replaced_.Valid()) CopyOwnerAndMode(replaced_.Get(), fd_.Get());
  creating_ = true;
  createMode_ = mode;
  writable_ = true;
  return true;
}

bool TTableFile::Finish(const Bytes& content) {
  if (!creating_) return Fail(TTableError::Of(TTableFault::Refused, "no table is being created"));
  bool ok = true;
  ssize_t r = ops_->Write(fd_.Get(), content.data(), content.size(), 0);
  if (r < 0) ok = FailSystem(TTableFault::IoError, "write failed");
  if (ok && static_cast<std::size_t>(r) != content.size()) ok = Fail(ShortWrite("short write (disk full?)"));
  if (ok && ops_->Sync(fd_.Get()) != 0) ok = FailSystem(TTableFault::IoError, "flushing to disk failed");
  ok = ok && Place();
  if (!ok && !tempPath_.empty()) ops_->Unlink(tempPath_.c_str());
  tempPath_.clear();
  creating_ = false;
  replaced_.Reset();
  return ok;
}

// The new file takes the table's name.
bool TTableFile::Place() {
  const std::string journal = JournalPath(realPath_);
  if (createMode_ == TCreate::KeepExisting) {
    if (ops_->Link(tempPath_.c_str(), realPath_.c_str()) != 0) {
      if (errno != EEXIST) return FailSystem(TTableFault::CannotOpen, "cannot create");
      return ReplaceEmpty();
    }
    ops_->Unlink(tempPath_.c_str());  // a leftover second name is removed by a later Open
    tempPath_.clear();
  } else {
    // The old table's journal must never be applied to the new one.
    if (Exists(journal) && (ops_->Unlink(journal.c_str()) != 0 || SyncFolderOf(*ops_, journal) != 0)) {
      return FailSystem(TTableFault::IoError, "cannot remove the old table's journal");
    }
    if (ops_->Rename(tempPath_.c_str(), realPath_.c_str()) != 0) {
      return FailSystem(TTableFault::IoError, "cannot put the new file in place");
    }
    tempPath_.clear();
  }
  // The new file is in place; a folder that cannot be flushed only risks that
  // a power cut takes the new, empty table away again.
  SyncFolderOf(*ops_, realPath_);
  return true;
}

// The name exists: an empty file that nobody holds is what an interrupted
// creation of an older version leaves, and is replaced; anything else stays.
bool TTableFile::ReplaceEmpty() {
  TUniqueFd existing;
  if (!OpenRegular(O_RDWR, existing)) {
    error_.Text = "it already exists and " + error_.Text;
    return false;
  }
  struct stat st {};
  if (::fstat(existing.Get(), &st) != 0 || st.st_size != 0) return Fail(Kept());
  if (!TryLockByte(existing.Get(), kWriterLockByte, TLockKind::Exclusive)) {
    return Fail(TTableError::Of(TTableFault::InUse, kInUse));
  }
  // Under the lock: still empty, and still the file the name gives.
  if (::fstat(existing.Get(), &st) != 0 || st.st_size != 0 || !IsSameFile(existing.Get(), realPath_)) {
    return Fail(Kept());
  }
  CopyOwnerAndMode(existing.Get(), fd_.Get());
  const std::string journal = JournalPath(realPath_);
  if (Exists(journal) && (ops_->Unlink(journal.c_str()) != 0 || SyncFolderOf(*ops_, journal) != 0)) {
    return FailSystem(TTableFault::IoError, "cannot remove a stale journal");
  }
  if (ops_->Rename(tempPath_.c_str(), realPath_.c_str()) != 0) {
    return FailSystem(TTableFault::IoError, "cannot put the new file in place");
  }
  tempPath_.clear();
  // The new file is in place; a folder that cannot be flushed only risks that
  // a power cut takes the new, empty table away again.
  SyncFolderOf(*ops_, realPath_);
  return true;
}

void TTableFile::Close() {
  fd_.Reset();
  replaced_.Reset();
  writable_ = false;
  poisoned_ = false;
  creating_ = false;
  tempPath_.clear();
  Bytes().swap(copy_);
  hasCopy_ = false;
  crcKnown_ = false;
}

}  // namespace kadrel
