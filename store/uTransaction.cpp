#include "store/uTransaction.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "platform/uFileLock.h"
#include "platform/uFileOps.h"
#include "store/uJournal.h"
#include "store/uTableFile.h"
#include "store/uTableHold.h"
#include "store/uTableStream.h"

namespace kadrel {
namespace {

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// How a file in one folder names a file in another: by its bare name when
// they share the folder, else by its whole path.
std::string PathFrom(const std::string& folder, const std::string& path) {
  return FolderOf(path) == folder ? BaseName(path) : path;
}

std::uint64_t NewNonce() {
  static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
  std::uint64_t nonce = 0;
  while (nonce == 0) nonce = random();
  return nonce;
}

std::string Hex(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

// The real path of a table's name, also when the table is missing (then
// its folder's real path and the bare name); empty when the folder is missing.
std::string RealPathOf(const std::string& path) {
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string out = real;
    std::free(real);
    return out;
  }
  char* folder = ::realpath(FolderOf(path).c_str(), nullptr);
  if (!folder) return {};
  std::string dir = folder;
  std::free(folder);
  return (dir == "/" ? dir : dir + "/") + BaseName(path);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

struct TTableTransaction::Impl : TTableHolder {
  std::vector<TTableStream*> tables;
  std::vector<std::unique_ptr<TTableFile>> adopted;
  bool active = false;
  TFileOps* ops = &TFileOps::System();
  TTableError error;
  std::string errorText;

  void Adopt(std::unique_ptr<TTableFile> file) override { adopted.push_back(std::move(file)); }
  void Forget(TTableStream& table) override { std::erase(tables, &table); }

  bool Fail(TTableError why, const std::string& file = {}) {
    error = std::move(why);
    if (!file.empty()) error.Name = BaseName(file);
    errorText = error.Name.empty() ? error.Text : error.Name + ": " + error.Text;
    return false;
  }
  bool FailOf(TTableFile& file) { return Fail(file.Error(), file.RealPath()); }
  void End(bool reload) {
    for (TTableStream* t : tables) {
      TTableHold::Leave(*t);
      if (reload) TTableHold::Reload(*t);
    }
    tables.clear();
    adopted.clear();  // a created table not linked in goes with its temporary file
    active = false;
  }
  bool Write(std::vector<TTableFile*> parts);
  bool WriteTogether(std::vector<TTableFile*>& parts);
};

// Every part is locked and prepared; those that change are written as one.
bool TTableTransaction::Impl::WriteTogether(std::vector<TTableFile*>& parts) {
  std::erase_if(parts, [](TTableFile* p) {
    const bool changes = p->Changes();
    if (!changes) p->Discard();
    return !changes;
  });
  if (parts.empty()) return true;
  if (parts.size() == 1) return parts[0]->WritePrepared() || FailOf(*parts[0]);

  const std::uint64_t nonce = NewNonce();
  const std::string folder = FolderOf(parts[0]->RealPath());
  const std::string recordPath = folder + "/" + kChangeRecordPrefix + Hex(nonce);
  TChangeRecord record;
  record.Nonce = nonce;
  std::set<std::string> folders = {folder};
  for (TTableFile* p : parts) {
    p->NameRecord(nonce, PathFrom(FolderOf(p->JournalFile()), recordPath));
    record.Journals.push_back(PathFrom(folder, p->JournalFile()));
    folders.insert(FolderOf(p->JournalFile()));
  }
  std::size_t journals = 0;
  bool ok = true;
  for (TTableFile* p : parts) {
    if (!p->WriteJournal(false)) {
      ok = FailOf(*p);
      break;
    }
    ++journals;
  }
  TUniqueFd recordFd;
  const std::vector<unsigned char> bytes = EncodeChangeRecord(record);
  if (ok) {
    recordFd.Reset(ops->Open(recordPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    // Held until the change is over, so that no other writer takes it for a leftover.
    if (recordFd.Valid()) TryLockByte(recordFd.Get(), kWriterLockByte, TLockKind::Exclusive);
    const bool written = recordFd.Valid() && ops->Write(recordFd.Get(), bytes.data(), bytes.size(), 0) ==
                                                 static_cast<ssize_t>(bytes.size());
    if (!written || ops->Sync(recordFd.Get()) != 0) {
      ok = Fail(TTableError::System(errno ? errno : ENOSPC, TTableFault::IoError, "cannot write the change record"));
    }
  }
  for (const std::string& f : folders) {
    if (ok && SyncFolderOf(*ops, f + "/.") != 0) ok = Fail(TTableError::System(errno, TTableFault::IoError, "flushing the folder failed"));
  }
  // From here on a crash undoes all of it.
  for (TTableFile* p : parts) {
    if (ok && !p->WriteChange()) ok = FailOf(*p);
  }
  if (ok) {
    // Emptied and synced, the record makes every journal stale: the commit.
    if (ops->Truncate(recordFd.Get(), 0) != 0) {
      ok = Fail(TTableError::System(errno, TTableFault::IoError, "cannot empty the change record"));
    } else if (ops->Sync(recordFd.Get()) != 0) {
      ok = Fail(TTableError::System(errno, TTableFault::IoError, "flushing the change record failed"));
      // Whether the emptying lasts is unknown: the record is written again,
      // so that putting the old bytes back is safe against a crash once more.
      if (ops->Write(recordFd.Get(), bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size())) {
        ops->Sync(recordFd.Get());
      }
    }
  }
  if (ok) {
    ops->Unlink(recordPath.c_str());
    for (TTableFile* p : parts) p->Finished();
    return true;
  }
  bool undone = true;
  for (std::size_t i = 0; i < journals; ++i) undone = parts[i]->Undo() && undone;
  for (std::size_t i = journals; i < parts.size(); ++i) parts[i]->Discard();
  // While a table could not be put back, the record keeps its journal hot.
  if (recordFd.Valid() && undone) ops->Unlink(recordPath.c_str());
  const char* more = undone ? "; nothing was changed" : "; the next open of the tables undoes the change";
  error.Text += more;
  errorText += more;
  return false;
}

bool TTableTransaction::Impl::Write(std::vector<TTableFile*> parts) {
  if (parts.empty()) return true;
  if (parts.size() == 1) return parts[0]->WriteAlone() || FailOf(*parts[0]);
  // One order for everyone who takes several change locks: no two wait on
  // each other.
  std::sort(parts.begin(), parts.end(), [](TTableFile* a, TTableFile* b) { return a->RealPath() < b->RealPath(); });
  std::size_t locked = 0;
  bool ok = true;
  for (TTableFile* p : parts) {
    if (!p->LockChange()) {
      ok = FailOf(*p);
      break;
    }
    ++locked;
  }
  for (TTableFile* p : parts) {
    if (ok && !(p->StillAtItsName() && p->Prepare())) ok = FailOf(*p);
  }
  std::vector<TTableFile*> writing = parts;
  if (ok) {
    ok = WriteTogether(writing);
  } else {
    for (TTableFile* p : parts) p->Discard();
  }
  for (std::size_t i = 0; i < locked; ++i) parts[i]->UnlockChange();
  return ok;
}

TTableTransaction::TTableTransaction() : d_(std::make_unique<Impl>()) {}

TTableTransaction::~TTableTransaction() { Rollback(); }

bool TTableTransaction::Begin(std::initializer_list<TTableStream*> tables) {
  return Begin(std::span<TTableStream* const>(tables.begin(), tables.size()));
}

bool TTableTransaction::Begin(std::span<TTableStream* const> tables) {
  Impl& d = *d_;
  d.error = {};
  d.errorText.clear();
  if (d.active) return d.Fail(TTableError::Of(TTableFault::Refused, "a transaction is already running"));
  for (TTableStream* t : tables) {
    if (!t || std::find(d.tables.begin(), d.tables.end(), t) != d.tables.end()) continue;
    if (!TTableHold::Join(*t, &d)) {
      d.End(false);
      return d.Fail(TTableError::Of(TTableFault::Refused,
                                    "a table of a transaction must be open for writing, or closed, and in no other"),
                    t->FileName());
    }
    d.tables.push_back(t);
  }
  d.active = true;
  return true;
}

bool TTableTransaction::Commit() {
  Impl& d = *d_;
  d.error = {};
  d.errorText.clear();
  if (!d.active) return d.Fail(TTableError::Of(TTableFault::Refused, "no transaction is running"));
  std::vector<TTableFile*> parts;
  for (TTableStream* t : d.tables) {
    if (TTableFile* f = TTableHold::File(*t); f && f->Staged()) parts.push_back(f);
  }
  for (auto& f : d.adopted) parts.push_back(f.get());
  const bool ok = d.Write(parts);
  d.End(!ok);
  return ok;
}

void TTableTransaction::Rollback() {
  if (d_->active) d_->End(true);
}

bool TTableTransaction::Active() const { return d_->active; }
const TTableError& TTableTransaction::Error() const { return d_->error; }
const std::string& TTableTransaction::ErrorString() const { return d_->errorText; }
void TTableTransaction::SetFileOps(TFileOps* ops) { d_->ops = ops ? ops : &TFileOps::System(); }

bool OpenTablesTogether(std::span<TTableStream* const> tables, std::span<const std::string> paths) {
  // Shared change locks on all of them first, in the writers' order: no
  // change of several of them can then come between two copies.
  std::map<std::string, TUniqueFd> locks;
  for (const std::string& path : paths) {
    const std::string real = RealPathOf(path);
    if (real.empty() || locks.count(real)) continue;
    TUniqueFd fd(::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.Valid() && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode)) locks.emplace(real, std::move(fd));
  }
  for (auto& [real, fd] : locks) {
    if (!LockByte(fd.Get(), kChangeLockByte, TLockKind::Shared, TTableFile::kLockWaitMs)) fd.Reset();
  }
  const std::size_t n = std::min(tables.size(), paths.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (!tables[i]->Open(paths[i])) return false;
  }
  return true;
}

bool RecoverTables(std::span<const std::string> paths, TRecoveryReport& report, TTableError& error, TFileOps* ops) {
  TFileOps& fileOps = ops ? *ops : TFileOps::System();
  bool ok = true;
  auto fail = [&](TTableError why, const std::string& name) {
    if (ok) {
      error = std::move(why);
      error.Name = name;
    }
    ok = false;
  };
  std::map<std::string, std::vector<std::string>> folders;  // real folder: bare table names
  for (const std::string& path : paths) {
    const std::string real = RealPathOf(path);
    if (real.empty()) continue;
    const std::string name = BaseName(real);
    folders[FolderOf(real)].push_back(name);
    const std::string journal = JournalPath(real);
    if (!Exists(journal)) continue;
    if (!Exists(real)) {
      // A creation that never linked its table in: nothing to undo, unless
      // its writer still lives.
      TUniqueFd j(::open(journal.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
      if (j.Valid() && !TryLockByte(j.Get(), kWriterLockByte, TLockKind::Exclusive)) {
        report.Held.push_back(name);
      } else if (fileOps.Unlink(journal.c_str()) == 0) {
        report.Discarded.push_back(BaseName(journal));
      }
      continue;
    }
    TTableFile file;
    file.SetOps(&fileOps);
    file.SetFit(TableJournalFit);
    const bool opened = file.Open(path, true);
    const TTableError why = file.Error();
    if (file.Recovered() == TTableFile::TRecovery::RolledBack) report.RolledBack.push_back(name);
    if (file.Recovered() == TTableFile::TRecovery::Discarded) report.Discarded.push_back(BaseName(journal));
    report.Removed.insert(report.Removed.end(), file.Removed().begin(), file.Removed().end());
    file.Close();
    if (opened || file.Recovered() == TTableFile::TRecovery::RolledBack) continue;
    if (why.Kind == TTableFault::InUse || why.Kind == TTableFault::Busy) {
      report.Held.push_back(name);
    } else {
      fail(why, name);
    }
  }
  for (const auto& [folder, names] : folders) {
    for (std::string& removed : TTableFile::RemoveLeftovers(folder, names, -1, fileOps)) {
      report.Removed.push_back(std::move(removed));
    }
  }
  return ok;
}

}  // namespace kadrel
