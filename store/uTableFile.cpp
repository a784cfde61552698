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

namespace kadrel {
namespace {

constexpr const char* kInUse = "in use by another writer (a running Kadrel or a kadrel-cli write command)";
constexpr const char* kBusy = "busy: another program is reading or changing it; try again";
constexpr std::int64_t S = kSectorBytes;

TTableError Busy() { return TTableError::Of(TTableFault::Busy, kBusy); }
// The system took fewer bytes than it was given: on a regular file, the disk is full.
TTableError ShortWrite(std::string text) { return TTableError::Of(TTableFault::NoSpace, std::move(text)); }
TTableError Kept() { return TTableError::Of(TTableFault::Exists, "it already exists; it was kept as it is"); }
// What a table whose creation was undone gives its opener: none.
TTableError Uncreated() {
  TTableError gone = TTableError::Of(TTableFault::CannotOpen, "no such file (its creation was interrupted)");
  gone.Errno = ENOENT;
  return gone;
}
// No change of several tables names so many journals.
constexpr std::int64_t kMaxRecordBytes = std::int64_t{1} << 20;

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

bool WriteAll(TFileOps& ops, int fd, const unsigned char* data, std::size_t n, std::int64_t offset, bool& shortWrite) {
  ssize_t r = ops.Write(fd, data, n, static_cast<off_t>(offset));
  shortWrite = r >= 0 && static_cast<std::size_t>(r) != n;
  return r >= 0 && !shortWrite;
}

// A file's bytes, or nothing when it cannot be read; never more than `limit`.
std::optional<TTableFile::Bytes> Slurp(const std::string& path, std::int64_t limit) {
  TUniqueFd f(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!f.Valid() || ::fstat(f.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) return std::nullopt;
  TTableFile::Bytes b(static_cast<std::size_t>(st.st_size));
  if (!b.empty() && !ReadAll(f.Get(), 0, b.data(), b.size())) return std::nullopt;
  return b;
}

// Where a journal finds the change record it names.
std::string RecordPath(const std::string& journalPath, const std::string& record) {
  if (!record.empty() && record.front() == '/') return record;
  return FolderOf(journalPath) + "/" + record;
}

// The nonce in the header of the journal file at `path`; 0 when there is
// none, or no whole header. Its body was synced before its change record
// was made, so the header is enough.
std::uint64_t JournalNonceOf(const std::string& path) {
  TUniqueFd f(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  unsigned char head[kJournalHeaderBytes];
  if (!f.Valid() || !ReadAll(f.Get(), 0, head, sizeof head)) return 0;
  return JournalNonce(head, sizeof head);
}

// A change record keeps its meaning while one of its journals still names
// it; emptied, torn, or with none left, it is over.
bool ChangeRecordWaits(const std::string& path) {
  std::optional<TTableFile::Bytes> bytes = Slurp(path, kMaxRecordBytes);
  TChangeRecord r;
  if (!bytes || !DecodeChangeRecord(bytes->data(), bytes->size(), r)) return false;
  for (const auto& journal : r.Journals) {
    if (JournalNonceOf(RecordPath(path, journal)) == r.Nonce) return true;
  }
  return false;
}


}  // namespace

TTableFile::~TTableFile() { Close(); }

TTableError TTableFile::NotOurs(const std::string& why) const {
  const std::string name = BaseName(JournalFile());
  return JournalUnusable(name, "the journal " + name + " does not belong to this table (" + why +
                                   "): it was written for the table as it was before, and a copy, a backup or "
                                   "another program has changed the table since; if the table is as it should be, "
                                   "move the journal away");
}

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

void TTableFile::SetWaits(int changeMs, int writerMs, bool session) {
  changeWaitMs_ = std::max(changeMs, 0);
  writerWaitMs_ = std::max(writerMs, 0);
  session_ = session;
}

std::int64_t TTableFile::Length() const {
  if (hasCopy_) return copyLength_;
  if (staged_) return stagedLength_;
  struct stat st {};
  if (Fd() < 0 || ::fstat(Fd(), &st) != 0) return -1;
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

// Another writer that holds the session byte keeps the table until a person
// closes it: refused at once. Any other is a command that ends by itself:
// waited for.
bool TTableFile::TakeWriterLock(int fd) {
  if (!LockByte(fd, kWriterLockByte, TLockKind::Exclusive, writerWaitMs_, kSessionLockByte)) {
    if (errno != EAGAIN && errno != EACCES) return FailSystem(TTableFault::CannotOpen, "cannot lock");
    if (writerWaitMs_ == 0 || LockedByOther(fd, kSessionLockByte)) return Fail(TTableError::Of(TTableFault::InUse, kInUse));
    return Fail(TTableError::Of(TTableFault::Busy, "busy: another writer (a kadrel-cli write command) held it for " +
                                                       std::to_string(writerWaitMs_) + " ms; try again"));
  }
  if (session_) TryLockByte(fd, kSessionLockByte, TLockKind::Exclusive);
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
    if (write && !TakeWriterLock(f.Get())) return false;
    if (!IsSameFile(f.Get(), realPath_)) continue;
    fd_ = std::move(f);
    state_ = write ? TState::Writing : TState::Reading;
    bool ok = write ? Recover() : TakeCopy();
    if (!ok) {
      TTableError why = error_;
      Close();
      error_ = why;
      return false;
    }
    crcKnown_ = false;
    crc_ = 0;
    crcAt_ = 0;
    if (write) {
      CleanStaleTemps();
      Cache();
    }
    return true;
  }
  return Fail(TTableError::Damaged(TDamage::Replaced, "the file keeps being replaced"));
}

// found: whether a journal lies beside the table (an empty file is none);
// journal: its contents when it is whole, OldLength -2 when it is not. False
// (with the error) for a journal that cannot be read or is not one of ours.
// The header decides first, so that a file far too large is never read.
bool TTableFile::ReadJournal(std::int64_t tableLength, bool& found, TJournal& journal) {
  found = false;
  journal = {};
  const std::string path = JournalFile();
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
  found = true;
  if (st.st_size == 0) {
    journal.OldLength = -2;  // emptied: the change committed
    return true;
  }
  Bytes head(static_cast<std::size_t>(std::min<std::int64_t>(st.st_size, kJournalHeaderBytes)));
  if (!ReadAll(j.Get(), 0, head.data(), head.size())) return FailSystem(TTableFault::IoError, "cannot read the journal " + name);
  std::string why;
  TJournalState state = PeekJournal(head.data(), head.size(), st.st_size, tableLength, why);
  if (state == TJournalState::Valid) {
    Bytes bytes(static_cast<std::size_t>(st.st_size));
    if (!ReadAll(j.Get(), 0, bytes.data(), bytes.size())) {
      return FailSystem(TTableFault::IoError, "cannot read the journal " + name);
    }
    state = DecodeJournal(bytes.data(), bytes.size(), tableLength, journal, why);
  }
  if (state == TJournalState::Damaged) return Fail(NotOurs(why));
  if (state == TJournalState::Torn) journal.OldLength = -2;
  return true;
}

// A journal that names a change record is hot only while that record is
// there, whole, and of its nonce: an emptied or missing record means the
// change committed, or never wrote a table.
bool TTableFile::Hot(const TJournal& journal) const {
  if (journal.OldLength == -2) return false;
  if (journal.Nonce == 0) return true;
  std::optional<Bytes> record = Slurp(RecordPath(JournalFile(), journal.Record), kMaxRecordBytes);
  TChangeRecord parsed;
  return record && DecodeChangeRecord(record->data(), record->size(), parsed) && parsed.Nonce == journal.Nonce;
}

// The table as the journal gives it back, in `image` (the table now, `length`
// long, on entry), only when that is exactly the table the journal was
// written for and the table's format lets one change lead from there to now.
bool TTableFile::Fits(const TJournal& journal, Bytes& image, std::int64_t length) {
  if (!ApplyJournal(journal, image)) return Fail(NotOurs("the table it gives back is not the one it was written for"));
  if (fit_) {
    // A journal that states the length its change leaves has held the table
    // to it already, and one change of a transaction may add many records:
    // only an older journal leaves the growth to the format's judgement.
    const std::int64_t judged =
        journal.NewLength >= 0 ? std::min(length, static_cast<std::int64_t>(image.size())) : length;
    if (std::string why = fit_(image, judged); !why.empty()) return Fail(NotOurs(why));
  }
  return true;
}

// A writer's Open: a change interrupted by a crash is undone, a journal that
// was still being written is dropped.
bool TTableFile::Recover() {
  recovered_ = TRecovery::None;
  if (!LockByte(fd_.Get(), kChangeLockByte, TLockKind::Exclusive, changeWaitMs_)) return Fail(Busy());
  const std::string path = JournalFile();
  bool found = false;
  TJournal journal;
  std::int64_t length = Length();
  bool ok = length >= 0 ? ReadJournal(length, found, journal) : FailSystem(TTableFault::IoError, "cannot read");
  const bool hot = ok && found && Hot(journal);
  if (hot && journal.Creates()) {
    ok = Uncreate(journal);
  } else if (hot) {
    // Worked out in memory first: only a journal that gives back exactly
    // the table it was written for is applied.
    Bytes image;
    if (length > kMaxReadBytes || !ReadRange(0, length, image)) {
      ok = FailSystem(TTableFault::IoError, "cannot read the table to undo an interrupted change");
    } else if (!Fits(journal, image, length)) {
      ok = false;
    } else if (!PutBack(journal)) {
      // The system's error stays with it; the file is what is wrong now.
      TTableError why = error_;
      why.Kind = TTableFault::Damaged;
      why.Damage = TDamage::CannotUndo;
      why.Text = "cannot undo a change that a crash interrupted: " + why.Text;
      ok = Fail(why);
    }
  }
  // Removed only once the old bytes are back on disk: until then the
  // journal is what undoes them. No sync: should the removal not last,
  // the journal is applied again, to the same effect, or is stale.
  if (ok && found && ops_->Unlink(path.c_str()) != 0 && errno != ENOENT) {
    ok = FailSystem(TTableFault::IoError, "cannot remove the journal");
  }
  if (ok && found) recovered_ = hot ? TRecovery::RolledBack : TRecovery::Discarded;
  UnlockByte(fd_.Get(), kChangeLockByte);
  // The table is gone again, with all its transaction made.
  if (ok && hot && journal.Creates()) return Fail(Uncreated());
  return ok;
}

// The undoing of a table's creation: its name goes again, but only while it
// holds exactly the table that was created.
bool TTableFile::Uncreate(const TJournal& journal) {
  const std::int64_t length = Length();
  Bytes image;
  if (length != journal.NewLength || length > kMaxReadBytes || !ReadRange(0, length, image) ||
      Crc64(image.data(), image.size()) != journal.NewCrc) {
    return Fail(NotOurs("the table is not the one its creation wrote"));
  }
  if (!IsSameFile(fd_.Get(), realPath_) || ops_->Unlink(realPath_.c_str()) != 0) {
    return FailSystem(TTableFault::IoError, "cannot undo the interrupted creation of the table");
  }
  // The name must be gone for good before the journal, and with it the
  // change record, can go.
  if (SyncFolderOf(*ops_, realPath_) != 0) return FailSystem(TTableFault::IoError, "flushing the folder failed");
  return true;
}

// A reader's Open: the whole file, with a hot journal applied, copied under
// the shared change lock.
bool TTableFile::TakeCopy() {
  readThrough_ = false;
  if (!LockByte(fd_.Get(), kChangeLockByte, TLockKind::Shared, changeWaitMs_)) return Fail(Busy());
  const std::int64_t length = Length();
  bool ok = length >= 0 || FailSystem(TTableFault::IoError, "cannot read");
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
  const bool hot = ok && found && Hot(journal);
  UnlockByte(fd_.Get(), kChangeLockByte);
  if (!ok) return false;
  if (hot && journal.Creates()) return Fail(Uncreated());
  if (hot && !Fits(journal, copy_, length)) return false;
  readThrough_ = hot;
  copyLength_ = static_cast<std::int64_t>(copy_.size());
  hasCopy_ = true;
  return true;
}

bool TTableFile::ReadRange(std::int64_t offset, std::int64_t n, Bytes& out) const {
  out.assign(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)), 0);
  return out.empty() || ReadAll(fd_.Get(), offset, out.data(), out.size());
}

bool TTableFile::ReadCommitted(std::int64_t offset, std::int64_t n, Bytes& out) const {
  if (!cached_) return ReadRange(offset, n, out);
  out.clear();
  if (n <= 0) return true;
  if (offset < 0 || offset + n > length_) {
    errno = EIO;
    return false;
  }
  out.assign(image_.begin() + offset, image_.begin() + offset + n);
  return true;
}

// A session's table read once, with its CRC, so that neither a read nor a
// change needs the file again; room is left for it to grow. A command that
// makes one change reads what it needs, and takes the CRC at that change:
// filling a fresh copy of the whole table costs it more than reading twice.
void TTableFile::Cache() {
  struct stat st {};
  length_ = ::fstat(fd_.Get(), &st) == 0 ? st.st_size : 0;
  if (!session_ || length_ > kMaxReadBytes) return;
  image_.reserve(static_cast<std::size_t>(length_ + length_ / 8 + S));
  if (!ReadRange(0, length_, image_)) {
    Bytes().swap(image_);
    return;
  }
  cached_ = true;
  crc_ = Crc64(image_.data(), image_.size());
  crcKnown_ = true;
}

std::span<const unsigned char> TTableFile::Whole() const {
  if (!cached_ || staged_) return {};
  return image_;
}

bool TTableFile::Read(std::int64_t offset, unsigned char* out, std::size_t n) {
  const auto end = offset + static_cast<std::int64_t>(n);
  if (offset < 0 || end > Length()) return false;
  if (hasCopy_) {
    std::memcpy(out, copy_.data() + offset, n);
    return true;
  }
  const std::int64_t onDisk = staged_ ? std::min(length_, zeroFrom_) : end;
  const std::int64_t fromDisk = std::clamp<std::int64_t>(onDisk - offset, 0, static_cast<std::int64_t>(n));
  if (fromDisk > 0 && cached_) {
    std::memcpy(out, image_.data() + offset, static_cast<std::size_t>(fromDisk));
  } else if (fromDisk > 0 && !ReadAll(fd_.Get(), offset, out, static_cast<std::size_t>(fromDisk))) {
    return false;
  }
  if (!crcKnown_ && !staged_) FeedCrc(offset, out, fromDisk);
  std::memset(out + fromDisk, 0, n - static_cast<std::size_t>(fromDisk));
  if (!staged_) return true;
  for (auto it = shadow_.lower_bound(offset / S); it != shadow_.end() && it->first * S < end; ++it) {
    const std::int64_t from = std::max(offset, it->first * S);
    const std::int64_t to = std::min(end, (it->first + 1) * S);
    std::memcpy(out + (from - offset), it->second.Now.data() + (from - it->first * S), static_cast<std::size_t>(to - from));
  }
  return true;
}

// ---- staging ---------------------------------------------------------------

bool TTableFile::LoadSector(std::int64_t index, std::map<std::int64_t, TSector>& into) {
  if (shadow_.count(index) || into.count(index)) return true;
  TSector s;
  const std::int64_t at = index * S;
  if (!ReadCommitted(at, std::clamp<std::int64_t>(length_ - at, 0, S), s.Old)) return false;
  s.Now.assign(static_cast<std::size_t>(S), 0);
  const std::int64_t visible = staged_ ? std::min(zeroFrom_, stagedLength_) : length_;
  const auto keep = static_cast<std::size_t>(std::clamp<std::int64_t>(visible - at, 0, static_cast<std::int64_t>(s.Old.size())));
  std::copy(s.Old.begin(), s.Old.begin() + static_cast<std::ptrdiff_t>(keep), s.Now.begin());
  into.emplace(index, std::move(s));
  return true;
}

// The writes, then the length, into the sectors held in memory; every
// sector is read before anything changes, so a failed read stages nothing.
bool TTableFile::Stage(const std::vector<TWrite>& writes, std::int64_t newLength) {
  std::map<std::int64_t, TSector> loaded;
  for (const auto& w : writes) {
    if (w.Data.empty()) continue;
    const std::int64_t last = (w.Offset + static_cast<std::int64_t>(w.Data.size()) - 1) / S;
    for (std::int64_t i = w.Offset / S; i <= last; ++i) {
      if (!LoadSector(i, loaded)) return FailSystem(TTableFault::IoError, "cannot read");
    }
  }
  if (!staged_) {
    staged_ = true;
    stagedLength_ = length_;
    zeroFrom_ = length_;
  }
  shadow_.merge(loaded);
  for (const auto& w : writes) {
    for (std::size_t done = 0; done < w.Data.size();) {
      const std::int64_t at = w.Offset + static_cast<std::int64_t>(done);
      TSector& s = shadow_.at(at / S);
      const auto within = static_cast<std::size_t>(at % S);
      const std::size_t n = std::min(w.Data.size() - done, static_cast<std::size_t>(S) - within);
      std::copy_n(w.Data.begin() + static_cast<std::ptrdiff_t>(done), n, s.Now.begin() + static_cast<std::ptrdiff_t>(within));
      done += n;
    }
    stagedLength_ = std::max(stagedLength_, w.Offset + static_cast<std::int64_t>(w.Data.size()));
  }
  if (newLength < stagedLength_) {
    zeroFrom_ = std::min(zeroFrom_, newLength);
    shadow_.erase(shadow_.lower_bound((newLength + S - 1) / S), shadow_.end());
    if (auto it = shadow_.find(newLength / S); it != shadow_.end()) {
      std::fill(it->second.Now.begin() + static_cast<std::ptrdiff_t>(newLength % S), it->second.Now.end(), 0);
    }
  }
  stagedLength_ = newLength;
  return true;
}

void TTableFile::Discard() {
  shadow_.clear();
  staged_ = false;
  prepared_ = false;
  creates_ = false;
  change_ = {};
  journal_.Reset();
}

bool TTableFile::Commit(std::vector<TWrite> writes, std::int64_t newLength) {
  if (state_ != TState::Writing && state_ != TState::Poisoned) {
    return Fail(TTableError::Of(TTableFault::Refused, "the table is not open for writing"));
  }
  if (Poisoned()) {
    return Fail(TTableError::Damaged(
        TDamage::CannotUndo, "an earlier change could not be undone; the table must be opened again, which undoes it"));
  }
  if (!Stage(writes, newLength)) return false;
  return held_ || Flush();
}

// ---- writing a staged change -----------------------------------------------

bool TTableFile::LockChange() {
  return LockByte(Fd(), kChangeLockByte, TLockKind::Exclusive, changeWaitMs_) || Fail(Busy());
}

void TTableFile::UnlockChange() { UnlockByte(Fd(), kChangeLockByte); }

bool TTableFile::StillAtItsName() {
  if (state_ == TState::Created || IsSameFile(fd_.Get(), realPath_)) return true;
  return Fail(TTableError::Of(TTableFault::Moved,
                              "the file was replaced or moved while Kadrel had it open (by a copy, a sync or a "
                              "restore); nothing was written to it; open the table again"));
}

// The CRC of the staged table, from the committed one and what changes: a
// cut takes the cut bytes off, a changed sector adds its difference moved
// past the bytes after it, a growth appends.
std::uint64_t TTableFile::NewCrc(std::int64_t oldLength, const Bytes& cut) const {
  const std::int64_t newLength = stagedLength_;
  const std::int64_t common = std::min(oldLength, newLength);
  std::uint64_t crc = crc_;
  if (newLength < oldLength) crc = Crc64Uncombine(crc, Crc64(cut.data(), cut.size()), cut.size());
  static const Bytes zeros(static_cast<std::size_t>(S), 0);
  Bytes diff;
  for (const auto& [index, s] : shadow_) {
    const std::int64_t at = index * S;
    const std::int64_t end = std::min(at + S, common);
    if (end <= at) break;
    const auto n = static_cast<std::size_t>(end - at);
    diff.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) diff[i] = s.Old[i] ^ s.Now[i];
    const std::uint64_t raw = Crc64(diff.data(), n) ^ Crc64(zeros.data(), n);
    crc ^= Crc64Combine(raw, 0, static_cast<std::uint64_t>(common - end));
  }
  if (newLength > oldLength) {
    // From the old end on: the staged sectors, zeros between them.
    std::uint64_t tail = 0;
    for (std::int64_t at = oldLength; at < newLength;) {
      const std::int64_t index = at / S;
      const std::int64_t to = std::min((index + 1) * S, newLength);
      auto it = shadow_.find(index);
      const unsigned char* p = it != shadow_.end() ? it->second.Now.data() + (at - index * S) : zeros.data();
      tail = Crc64(p, static_cast<std::size_t>(to - at), tail);
      at = to;
    }
    crc = Crc64Combine(crc, tail, static_cast<std::uint64_t>(newLength - oldLength));
  }
  return crc;
}

bool TTableFile::Prepare() {
  prepared_ = true;
  change_ = {};
  if (state_ == TState::Created) {
    creates_ = true;
    change_.Journal.OldLength = -1;
    change_.Journal.NewLength = length_;
    change_.Journal.NewCrc = createdCrc_;
    return true;
  }
  if (!staged_) return true;
  if (!crcKnown_ && !ComputeCrc()) return FailSystem(TTableFault::IoError, "cannot read");
  // Bytes that a cut made zero and a growth brought back are written too.
  std::map<std::int64_t, TSector> loaded;
  for (std::int64_t i = zeroFrom_ / S; i * S < std::min(stagedLength_, length_); ++i) {
    if (!LoadSector(i, loaded)) return FailSystem(TTableFault::IoError, "cannot read");
  }
  shadow_.merge(loaded);
  const std::int64_t oldLength = length_;
  const std::int64_t newLength = stagedLength_;
  TJournal& j = change_.Journal;
  j.OldLength = oldLength;
  j.OldCrc = crc_;
  j.NewLength = newLength;
  auto keepOld = [&j](std::int64_t at, const unsigned char* p, std::size_t n) {
    if (n == 0) return;
    TJournalRegion* last = j.Regions.empty() ? nullptr : &j.Regions.back();
    if (last && last->Offset + static_cast<std::int64_t>(last->Old.size()) == at) {
      last->Old.insert(last->Old.end(), p, p + n);
    } else {
      j.Regions.push_back({at, Bytes(p, p + n)});
    }
  };
  for (const auto& [index, s] : shadow_) {
    const std::int64_t at = index * S;
    if (at >= newLength) break;
    const auto n = static_cast<std::size_t>(std::min(S, newLength - at));
    if (n == s.Old.size() && std::equal(s.Old.begin(), s.Old.end(), s.Now.begin())) continue;
    TWrite* last = change_.Writes.empty() ? nullptr : &change_.Writes.back();
    if (last && last->Offset + static_cast<std::int64_t>(last->Data.size()) == at) {
      last->Data.insert(last->Data.end(), s.Now.begin(), s.Now.begin() + static_cast<std::ptrdiff_t>(n));
    } else {
      change_.Writes.push_back({at, Bytes(s.Now.begin(), s.Now.begin() + static_cast<std::ptrdiff_t>(n))});
    }
    // The cut part below is kept whole from its first sector on.
    if (newLength >= oldLength || at < newLength / S * S) keepOld(at, s.Old.data(), s.Old.size());
  }
  Bytes cut;
  if (newLength < oldLength) {
    const std::int64_t from = newLength / S * S;
    Bytes part;
    if (!ReadCommitted(from, oldLength - from, part)) return FailSystem(TTableFault::IoError, "cannot read");
    // Sectors before `from` were kept above; regions stay in order.
    keepOld(from, part.data(), part.size());
    cut.assign(part.begin() + (newLength - from), part.end());
  }
  change_.Resize = newLength != oldLength;
  j.NewCrc = NewCrc(oldLength, cut);
  return true;
}

void TTableFile::NameRecord(std::uint64_t nonce, std::string path) {
  change_.Journal.Nonce = nonce;
  change_.Journal.Record = std::move(path);
}

bool TTableFile::WriteJournal(bool syncFolder) {
  const std::string path = JournalFile();
  const Bytes bytes = EncodeJournal(change_.Journal);
  // It holds the table's old bytes: nobody may read it who may not read the table.
  struct stat st {};
  if (::fstat(Fd(), &st) != 0) return FailSystem(TTableFault::IoError, "cannot read");
  journal_.Reset(ops_->Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                            st.st_mode & 0600));
  if (!journal_.Valid()) return FailSystem(TTableFault::IoError, "cannot create the journal " + BaseName(path));
  TryLockByte(journal_.Get(), kWriterLockByte, TLockKind::Exclusive);
  CopyOwnerAndMode(Fd(), journal_.Get());
  bool shortWrite = false;
  if (!WriteAll(*ops_, journal_.Get(), bytes.data(), bytes.size(), 0, shortWrite)) {
    return shortWrite ? Fail(ShortWrite("short write of the journal (disk full?)"))
                      : FailSystem(TTableFault::IoError, "writing the journal failed");
  }
  if (ops_->Sync(journal_.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing the journal failed");
  if (syncFolder && SyncFolderOf(*ops_, path) != 0) return FailSystem(TTableFault::IoError, "flushing the folder failed");
  return true;
}

bool TTableFile::WriteChange() {
  change_.Written = true;
  if (state_ == TState::Created) return LinkCreated();
  for (const auto& w : change_.Writes) {
    bool shortWrite = false;
    if (!WriteAll(*ops_, fd_.Get(), w.Data.data(), w.Data.size(), w.Offset, shortWrite)) {
      return shortWrite ? Fail(ShortWrite("short write (disk full?)")) : FailSystem(TTableFault::IoError, "write failed");
    }
  }
  struct stat st {};
  if (change_.Resize && (::fstat(fd_.Get(), &st) != 0 || st.st_size != change_.Journal.NewLength) &&
      ops_->Truncate(fd_.Get(), static_cast<off_t>(change_.Journal.NewLength)) != 0) {
    return FailSystem(TTableFault::IoError, "truncate failed");
  }
  if (ops_->Sync(fd_.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing to disk failed");
  return true;
}

// Emptied and synced, the journal undoes nothing any more: the commit.
bool TTableFile::MarkCommitted() {
  if (ops_->Truncate(journal_.Get(), 0) != 0) return FailSystem(TTableFault::IoError, "cannot empty the journal");
  if (ops_->Sync(journal_.Get()) == 0) return true;
  FailSystem(TTableFault::IoError, "flushing the emptied journal failed");
  // Whether the emptying lasts is unknown: the journal is written again, so
  // that putting the old bytes back is safe against a crash once more.
  const Bytes bytes = EncodeJournal(change_.Journal);
  bool shortWrite = false;
  if (!WriteAll(*ops_, journal_.Get(), bytes.data(), bytes.size(), 0, shortWrite) || ops_->Sync(journal_.Get()) != 0) {
    change_.Uncertain = true;
    Poison(change_.Journal);
  }
  return false;
}

void TTableFile::Finished() {
  if (state_ != TState::Created) {
    crc_ = change_.Journal.NewCrc;
    crcKnown_ = true;
    length_ = change_.Journal.NewLength;
    if (cached_) {
      image_.resize(static_cast<std::size_t>(length_), 0);
      for (const auto& w : change_.Writes) std::copy(w.Data.begin(), w.Data.end(), image_.begin() + w.Offset);
    }
  }
  ops_->Unlink(JournalFile().c_str());
  Discard();
}

bool TTableFile::Undo() {
  const TTableError why = error_;
  bool ok = true;
  if (Poisoned()) {
    ok = false;
  } else if (change_.Written && state_ == TState::Created) {
    // Only the link that was made goes again.
    const bool linked = IsSameFile(Fd(), realPath_);
    ok = !linked || (ops_->Unlink(realPath_.c_str()) == 0 && SyncFolderOf(*ops_, realPath_) == 0);
  } else if (change_.Written) {
    ok = PutBack(change_.Journal);
    if (!ok) Poison(change_.Journal);
  }
  error_ = why;
  if (ok) {
    if (journal_.Valid()) ops_->Unlink(JournalFile().c_str());  // if this fails too, it matches the table and is harmless
    Amend("; nothing was changed");
    Discard();
  } else if (change_.Uncertain) {
    Amend("; the change may have been saved: open the table again to see");
    journal_.Reset();
  } else {
    Amend("; the old bytes could not be put back yet, the next open of the table does it");
    journal_.Reset();
  }
  return ok;
}

bool TTableFile::Flush() {
  if (!LockChange()) {
    Discard();
    return false;
  }
  const bool ok = StillAtItsName() && Prepare() ? WritePrepared() : (Discard(), false);
  UnlockChange();
  return ok;
}

// Journal, table, journal emptied; on failure the old bytes go back.
bool TTableFile::WritePrepared() {
  bool ok = true;
  if (!Changes()) {
    // Nothing to write.
  } else if (!WriteJournal(true)) {
    // The table was not touched.
    if (journal_.Valid()) ops_->Unlink(JournalFile().c_str());
    ok = Amend("; nothing was changed");
  } else if (WriteChange() && MarkCommitted()) {
    Finished();
  } else {
    ok = false;
    Undo();
  }
  if (!Poisoned()) Discard();
  return ok;
}

// The table's old bytes and length, written back and fsynced.
bool TTableFile::PutBack(const TJournal& journal) {
  for (const auto& r : journal.Regions) {
    ssize_t n = ops_->Write(fd_.Get(), r.Old.data(), r.Old.size(), static_cast<off_t>(r.Offset));
    if (n < 0 || static_cast<std::size_t>(n) != r.Old.size()) return FailSystem(TTableFault::IoError, "write failed");
  }
  struct stat st {};
  if ((::fstat(fd_.Get(), &st) != 0 || st.st_size != journal.OldLength) &&
      ops_->Truncate(fd_.Get(), static_cast<off_t>(journal.OldLength)) != 0) {
    return FailSystem(TTableFault::IoError, "truncate failed");
  }
  if (ops_->Sync(fd_.Get()) != 0) return FailSystem(TTableFault::IoError, "flushing to disk failed");
  return true;
}

// From now on the file may hold half a change that only the journal can
// undo: no more changes, and reads come from a copy with the journal applied
// (when the file can still be read), so even this process never sees it.
void TTableFile::Poison(const TJournal& journal) {
  state_ = TState::Poisoned;
  staged_ = false;
  shadow_.clear();
  struct stat st {};
  const std::int64_t length = ::fstat(fd_.Get(), &st) == 0 ? st.st_size : -1;
  Bytes image;
  if (length < 0 || length > kMaxReadBytes || !ReadRange(0, length, image)) return;
  ApplyJournal(journal, image);
  copy_ = std::move(image);
  copyLength_ = static_cast<std::int64_t>(copy_.size());
  hasCopy_ = true;
}

bool TTableFile::ComputeCrc() {
  constexpr std::int64_t kChunk = 256 * 1024;
  Bytes chunk(static_cast<std::size_t>(std::min(length_, kChunk)));
  std::uint64_t crc = 0;
  for (std::int64_t at = 0; at < length_; at += kChunk) {
    const auto n = static_cast<std::size_t>(std::min(length_ - at, kChunk));
    if (!ReadAll(fd_.Get(), at, chunk.data(), n)) return false;
    crc = Crc64(chunk.data(), n, crc);
  }
  crc_ = crc;
  crcKnown_ = true;
  return true;
}

// The validation at Open reads the whole committed table in order: its CRC
// is taken on the way, so that the first change need not read it again.
// Reads that overlap what was fed, or skip ahead, are harmless.
void TTableFile::FeedCrc(std::int64_t offset, const unsigned char* p, std::int64_t n) {
  if (offset > crcAt_ || offset + n <= crcAt_) return;
  crc_ = Crc64(p + (crcAt_ - offset), static_cast<std::size_t>(offset + n - crcAt_), crc_);
  crcAt_ = offset + n;
  crcKnown_ = crcAt_ == length_;
}

// ---- leftovers -------------------------------------------------------------

void TTableFile::CleanStaleTemps() { removed_ = RemoveLeftovers(FolderOf(realPath_), {BaseName(realPath_)}, fd_.Get(), *ops_); }

std::vector<std::string> TTableFile::RemoveLeftovers(const std::string& folder, const std::vector<std::string>& tables,
                                                     int heldFd, TFileOps& ops) {
  namespace fs = std::filesystem;
  std::vector<std::string> removed;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    bool temp = false;
    for (const std::string& base : tables) {
      // Older versions packed a table through "<table>.pack-XXXXXX".
      const std::string pack = base + ".pack-";
      temp = temp || IsAtomicTemporaryOf(name, base) ||
             (name.size() == pack.size() + 6 && name.compare(0, pack.size(), pack) == 0);
    }
    const bool record = name.starts_with(kChangeRecordPrefix);
    if (!temp && !record) continue;
    // One still being built is held by its writer; only a crashed one's is
    // free. A creation that crashed after linking the new table in leaves a
    // second name of the table itself, which we may hold: that name goes too.
    TUniqueFd f(::open(it->path().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat found {}, table {};
    const bool ours = temp && f.Valid() && heldFd >= 0 && ::fstat(f.Get(), &found) == 0 &&
                      ::fstat(heldFd, &table) == 0 && found.st_dev == table.st_dev && found.st_ino == table.st_ino;
    if (!f.Valid() || !(ours || TryLockByte(f.Get(), kWriterLockByte, TLockKind::Exclusive))) continue;
    if (record && ChangeRecordWaits(it->path().string())) continue;
    if (ops.Unlink(it->path().c_str()) == 0) removed.push_back(name);
  }
  return removed;
}

// ---- creation ----------------------------------------------------------------

bool TTableFile::Create(const std::string& name, TCreate mode) {
  Close();
  error_ = {};
  if (name.empty()) return Fail(TTableError::Of(TTableFault::CannotOpen, "no file name given"));
  if (held_ && mode == TCreate::Replace) {
    return Fail(TTableError::Of(TTableFault::Refused, "a table is replaced only outside a transaction"));
  }
  if (!Resolve(name, true)) return false;
  const char* taken = mode == TCreate::KeepExisting ? "it already exists and " : "";
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
  creation_.SetOps(*ops_);
  if (!creation_.Begin(realPath_, 0666)) {
    replaced_.Reset();
    const TAtomicFileError& why = creation_.Error();
    if (why.Fault == TAtomicFault::NotRegular) {
      Fail(NotRegular(why.FileType));
      return PrefixError(taken);
    }
    errno = why.Errno;
    return FailSystem(TTableFault::CannotOpen, "cannot create");
  }
  // realpath() left the name as it was given only when nothing is there; a
  // link to a missing file is not followed to create what it names.
  if (creation_.TargetPath() != realPath_) {
    creation_.Abandon();
    replaced_.Reset();
    errno = ENOENT;
    return FailSystem(TTableFault::CannotOpen, std::string(taken) + "cannot open");
  }
  state_ = TState::Creating;
  createMode_ = mode;
  return true;
}

bool TTableFile::Finish(const Bytes& content) {
  if (!Creating()) return Fail(TTableError::Of(TTableFault::Refused, "no table is being created"));
  bool ok = true;
  bool shortWrite = false;
  if (!WriteAll(*ops_, Fd(), content.data(), content.size(), 0, shortWrite)) {
    ok = shortWrite ? Fail(ShortWrite("short write (disk full?)")) : FailSystem(TTableFault::IoError, "write failed");
  }
  if (ok && !creation_.Flush()) ok = FailCreation(TTableFault::IoError, "flushing to disk failed");
  if (ok && held_) {
    // The transaction links it in, with the others.
    state_ = TState::Created;
    length_ = static_cast<std::int64_t>(content.size());
    createdCrc_ = Crc64(content.data(), content.size());
    return true;
  }
  ok = ok && Place();
  creation_.Abandon();
  state_ = TState::Closed;
  replaced_.Reset();
  return ok;
}

// The new file takes the table's name, and nothing that was there is lost:
// Replace puts it over the old table; KeepExisting only over what an older
// version's crash during creation leaves. A folder that cannot be flushed
// only risks that a power cut takes the new, empty table away again.
bool TTableFile::Place() {
  if (createMode_ == TCreate::KeepExisting) {
    if (creation_.Place(TAtomicPlace::KeepExisting)) return true;
    if (creation_.Error().Fault != TAtomicFault::Exists) return FailCreation(TTableFault::CannotOpen, "cannot create");
    TUniqueFd leftover;
    if (!EmptyLeftover(leftover)) return false;
  }
  // The old table's journal must never be applied to the new one.
  const std::string journal = JournalFile();
  if (Exists(journal) && (ops_->Unlink(journal.c_str()) != 0 || SyncFolderOf(*ops_, journal) != 0)) {
    return FailSystem(TTableFault::IoError, createMode_ == TCreate::Replace ? "cannot remove the old table's journal"
                                                                             : "cannot remove a stale journal");
  }
  return creation_.Place(TAtomicPlace::Replace) || FailCreation(TTableFault::IoError, "cannot put the new file in place");
}

// Inside a transaction: linked in at the name, which must be free (or hold
// an empty leftover); the journal already says how to undo it. The name
// must last before the commit does, or a power cut could keep the commit
// and lose the table.
bool TTableFile::LinkCreated() {
  bool placed = creation_.Place(TAtomicPlace::KeepExisting);
  if (!placed) {
    if (creation_.Error().Fault != TAtomicFault::Exists) return FailCreation(TTableFault::CannotOpen, "cannot create");
    TUniqueFd leftover;
    if (!EmptyLeftover(leftover)) return Fail(Kept());
    if (!creation_.Place(TAtomicPlace::Replace)) return FailCreation(TTableFault::CannotOpen, "cannot create");
  }
  if (creation_.FolderSynced()) return true;
  errno = creation_.FolderSyncErrno();
  return FailSystem(TTableFault::IoError, "flushing the folder failed");
}

// The name is taken. An empty file that nobody holds is what an interrupted
// creation of an older version leaves, and may be replaced: `held` keeps it
// locked meanwhile. Anything else stays.
bool TTableFile::EmptyLeftover(TUniqueFd& held) {
  if (!OpenRegular(O_RDWR, held)) return PrefixError("it already exists and ");
  struct stat st {};
  if (::fstat(held.Get(), &st) != 0 || st.st_size != 0) return Fail(Kept());
  if (!TryLockByte(held.Get(), kWriterLockByte, TLockKind::Exclusive)) {
    return Fail(TTableError::Of(TTableFault::InUse, kInUse));
  }
  // Under the lock: still empty, and still the file the name gives.
  if (::fstat(held.Get(), &st) != 0 || st.st_size != 0 || !IsSameFile(held.Get(), realPath_)) return Fail(Kept());
  return true;
}

bool TTableFile::PrefixError(std::string_view prefix) {
  error_.Text.insert(0, prefix);
  return false;
}

bool TTableFile::FailCreation(TTableFault otherwise, std::string_view what) {
  return Fail(TTableError::System(creation_.Error().Errno, otherwise, what));
}

void TTableFile::Close() {
  creation_.Abandon();
  Discard();
  Bytes().swap(image_);
  cached_ = false;
  fd_.Reset();
  replaced_.Reset();
  state_ = TState::Closed;
  Bytes().swap(copy_);
  hasCopy_ = false;
  crcKnown_ = false;
  crc_ = 0;
  crcAt_ = 0;
  readThrough_ = false;
}

}  // namespace kadrel
