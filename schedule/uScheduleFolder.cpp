#include "schedule/uScheduleFolder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/uFileLock.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uTableSchema.h"
#include "schedule/uSyncFiles.h"
#include "store/uJournal.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

std::function<bool(const std::string&)>& WriteAccess() {
  static std::function<bool(const std::string&)> access = [](const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  };
  return access;
}

// Why an existing file did not open. The store refuses what is not a
// regular file before opening it, so nothing here looks at the file again.
TOpenFault FaultOfExisting(const TTableError& why) {
  switch (why.Kind) {
    case TTableFault::NotRegular: return TOpenFault::NotRegular;
    case TTableFault::InUse:
    case TTableFault::Busy: return TOpenFault::InUse;
    case TTableFault::NoPermission: return TOpenFault::NoPermission;
    default: return TOpenFault::Damaged;
  }
}

TOpenFailure FailureOf(TOpenFault fault, TScheduleFile file, const TScheduleError& error, bool creating) {
  TOpenFailure failure{fault, ScheduleFileName(file), error.Table, creating};
  // The reason may say more than the store did ("cannot create: ...").
  if (!error.Reason.empty()) failure.Why.Text = error.Reason;
  return failure;
}

// A reader's failure: a file that is not there is missing, whatever the
// store made of the attempt.
TOpenFailure ReadFailure(TScheduleFile file, const std::string& path, const TScheduleError& error) {
  const TOpenFault fault = ScheduleFileMissing(path) ? TOpenFault::Missing : FaultOfExisting(error.Table);
  return FailureOf(fault, file, error, false);
}

TOpenFailure NoDataFailure() {
  return {TOpenFault::NoData, {}, TTableError::Of(TTableFault::CannotOpen, "none of the data files exists"), false};
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// What a crash may have left beside a table: its journal and its
// temporaries ("<table>.new-XXXXXX", and ".pack-XXXXXX" from older
// versions). They lie beside the real file when the table's name is a link.
struct TLeftovers {
  std::string Journal;  // empty when there is none
  std::vector<std::string> Temporaries;
};

TLeftovers FindLeftovers(const std::string& tablePath) {
  std::error_code ec;
  fs::path real = fs::canonical(tablePath, ec);
  if (ec) real = tablePath;
  TLeftovers found;
  if (Exists(JournalPath(real.string()))) found.Journal = JournalPath(real.string());
  const std::string base = real.filename().string();
  const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    for (const char* kind : {".new-", ".pack-"}) {
      const std::string prefix = base + kind;
      if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
        found.Temporaries.push_back(it->path().string());
      }
    }
  }
  return found;
}

std::string BareName(const std::string& path) { return fs::path(path).filename().string(); }

// A temporary's writer holds it from its creation until it has taken the
// table's name, so one nobody holds is what a crashed writer left. The
// store's writer Open removes those of its table too, but a table whose
// creation was cut short has no file to open.
void RemoveIfOrphaned(const std::string& path) {
  TUniqueFd f(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (f.Valid() && TryLockByte(f.Get(), kWriterLockByte, TLockKind::Exclusive)) ::unlink(path.c_str());
}

// Every slot read, which proves more than Open can: that each slot is
// readable where the header says it is.
bool ScanTable(TTableStream& table, TTableCounts& counts, std::string& problem) {
  std::int32_t slots = 0, live = 0;
  if (table.RecordCount() > 0) {
    for (table.First(); !table.Eof(); table.Next()) {
      ++slots;
      if (!table.IsDeleted()) ++live;
    }
  }
  if (slots != table.RecordCount()) {
    problem = "only " + std::to_string(slots) + " of " + std::to_string(table.RecordCount()) + " slots could be read";
    return false;
  }
  if (live != LiveRecordCount(table)) {
    problem = std::to_string(table.RecordCount() - live) + " slots are marked deleted, but the header counts " +
              std::to_string(table.DeletedCount());
    return false;
  }
  counts.Slots = slots;
  counts.Live = live;
  counts.Appended = table.AppendedCount();
  return true;
}

bool IsRequired(TScheduleFile file) {
  for (const TFolderTable& t : kFolderTables) {
    if (t.File == file) return t.Required;
  }
  return false;
}

struct TTableLeftovers {
  TScheduleFile File;
  TLeftovers Found;
  bool HeldByWriter = false;
  TTableError Unrecovered;  // why a writer could not open it, when it is no live writer's
};

// The one place that recovers the folder apart from opening it for a
// change. The store recovers a table when a writer opens it, so opening
// each table as its writer and closing it again, which writes nothing,
// rolls back a hot journal and removes the temporaries nobody holds; a
// recovery of the whole folder at once belongs here, and then before
// OpenExisting too. A table that no writer could open for another reason
// than another writer or the system's refusal keeps why, to be told in its
// turn.
void Recover(const std::string& dir, std::vector<TTableLeftovers>& tables, TFolderCheck& report) {
  // Every change a crash interrupted is undone here at once, the change
  // records of several tables included, which no table's own open removes.
  std::vector<std::string> paths;
  for (const TTableLeftovers& t : tables) paths.push_back(SchedulePath(dir, t.File));
  TRecoveryReport recovered;
  TTableError ignored;  // the table's own open below tells why
  RecoverTables(paths, recovered, ignored);
  for (const std::string& name : recovered.Removed) {
    if (name.starts_with(kChangeRecordPrefix)) report.Leftovers.push_back({TLeftover::RemovedTemporary, name});
  }
  for (TTableLeftovers& t : tables) {
    const std::string path = SchedulePath(dir, t.File);
    if (ScheduleFileMissing(path)) continue;
    TTableStream table(TTableStream::kModeReadWrite);
    const bool opened = table.Open(path);
    const TTableError why = table.Error();
    table.Close();
    if (opened) continue;
    // A live writer's journal is a change in flight and its temporaries are
    // its own; it recovered the table when it opened it.
    t.HeldByWriter = FaultOfExisting(why) == TOpenFault::InUse;
    if (!t.HeldByWriter && why.Kind != TTableFault::NoPermission) t.Unrecovered = why;
  }
}

// What was there before and is gone after is what the recovery cleared. A
// temporary that is still there in a folder that may be written is held: a
// creation in progress.
void NoteLeftovers(const std::string& dir, const std::vector<TTableLeftovers>& tables, bool mayWrite,
                   TFolderCheck& report) {
  for (const TTableLeftovers& t : tables) {
    if (!t.HeldByWriter && !t.Found.Journal.empty() && !ScheduleFileMissing(SchedulePath(dir, t.File))) {
      const bool undone = !Exists(t.Found.Journal);
      report.Leftovers.push_back(
          {undone ? TLeftover::UndoneChange : TLeftover::JournalReadThrough, ScheduleFileName(t.File)});
    }
    for (const std::string& temp : t.Found.Temporaries) {
      if (!Exists(temp)) {
        report.Leftovers.push_back({TLeftover::RemovedTemporary, BareName(temp)});
      } else if (!mayWrite) {
        report.Leftovers.push_back({TLeftover::KeptTemporary, BareName(temp)});
      }
    }
  }
}

}  // namespace

std::string TOpenFailure::Text() const { return File.empty() ? Why.Text : File + ": " + Why.Text; }

bool MayWrite(const std::string& path) { return WriteAccess()(path); }

TWriteAccessOverride::TWriteAccessOverride(std::function<bool(const std::string&)> mayWrite)
    : TScopedOverride(WriteAccess(), std::move(mayWrite)) {}

TScheduleFolder::TScheduleFolder(std::string dir) : dir_(std::move(dir)) {}

TScheduleFolder::~TScheduleFolder() = default;

bool TScheduleFolder::HoldsAnyFile(const std::string& dir) {
  for (const TFolderTable& t : kFolderTables) {
    std::error_code ec;
    if (t.Required && fs::status(SchedulePath(dir, t.File), ec).type() != fs::file_type::not_found) return true;
  }
  return false;
}

std::string TScheduleFolder::Path(TScheduleFile file) const { return SchedulePath(dir_, file); }

std::vector<std::string> TScheduleFolder::TablePaths() const {
  std::vector<std::string> paths;
  for (const TFolderTable& t : kFolderTables) paths.push_back(Path(t.File));
  return paths;
}

bool TScheduleFolder::HoldsData() const {
  for (const TFolderTable& t : kFolderTables) {
    if (t.Required && !ScheduleFileMissing(Path(t.File))) return true;
  }
  return false;
}

// Changes need the files and a journal beside them in the folder.
bool TScheduleFolder::FolderMayBeWritten() const {
  if (!MayWrite(dir_.empty() ? "." : dir_)) return false;
  for (const TFolderTable& t : kFolderTables) {
    if (!ScheduleFileMissing(Path(t.File)) && !MayWrite(Path(t.File))) return false;
  }
  return true;
}

void TScheduleFolder::Release() {
  snapshot_.reset();
  rota_.reset();
  records_.reset();
  tables_.reset();  // without a write
  readOnly_ = false;
}

TScheduleRecords& TScheduleFolder::Records() {
  assert(records_);
  return *records_;
}

TRotaRecords& TScheduleFolder::Rota() {
  assert(rota_);
  return *rota_;
}

std::shared_ptr<const TRotaSnapshot> TScheduleFolder::Snapshot() {
  if (!snapshot_ || snapshotWrites_ != Rota().Writes()) return RebuildSnapshot();
  return snapshot_;
}

std::shared_ptr<const TRotaSnapshot> TScheduleFolder::RebuildSnapshot() {
  snapshot_ = TRotaSnapshot::Build(Records(), tables_->Exceptions, tables_->History);
  snapshotWrites_ = Rota().Writes();
  return snapshot_;
}

bool TScheduleFolder::TFrame::Begin(std::span<const TScheduleFile> tables, TScheduleError& error) {
  if (depth_ > 0) {
    ++depth_;  // part of the change around it
    return true;
  }
  if (folder_.readOnly_) return error.Fail(TEditFault::CannotOpen, "the data is open for viewing only");
  std::vector<TTableStream*> held;
  for (TScheduleFile file : tables) {
    TTableStream& table = folder_.tables_->Table(file);
    if (!table.IsOpen()) {
      if (IsRequired(file)) {
        return error.Fail(TEditFault::CannotOpen, "the data file is not open", ScheduleFileName(file));
      }
      // Made in a commit of its own, before the change: a table that holds
      // nothing reads as its absence did, so a crash in between loses nothing.
      if (!OpenOrCreateRotaFile(table, file, folder_.dir_, error)) return false;
    }
    held.push_back(&table);
  }
  if (!transaction_.Begin(held)) {
    return error.Fail(TEditFault::WriteFailed, transaction_.Error().Text, transaction_.Error().Name,
                      transaction_.Error());
  }
  depth_ = 1;
  return true;
}

bool TScheduleFolder::TFrame::Commit(TScheduleError& error) {
  if (depth_ > 1) {
    --depth_;
    return true;
  }
  depth_ = 0;
  if (transaction_.Commit()) return error.Succeed();
  return error.Fail(TEditFault::WriteFailed, "saving the change failed: " + transaction_.Error().Text,
                    transaction_.Error().Name, transaction_.Error());
}

void TScheduleFolder::TFrame::Rollback() {
  if (depth_ == 0) return;
  depth_ = 0;
  transaction_.Rollback();
}

TScheduleTables& TScheduleFolder::Tables() {
  assert(tables_);
  return *tables_;
}

bool TScheduleFolder::OpenForChange(TScheduleFile file, TScheduleError& error) {
  assert(tables_);
  TTableStream& table = tables_->Table(file);
  if (readOnly_) return error.Fail(TEditFault::CannotOpen, "the data is open for viewing only", ScheduleFileName(file));
  if (table.IsOpen()) return error.Succeed();
  if (IsRequired(file)) return error.Fail(TEditFault::CannotOpen, "the data file is not open", ScheduleFileName(file));
  return OpenOrCreateScheduleFile(table, file, Path(file), error);
}

std::optional<std::string> TScheduleFolder::CalendarKey(std::string_view user, TScheduleError& error) {
  assert(tables_);
  if (auto key = FindUserKey(tables_->Keys, user)) return key;
  if (!OpenForChange(TScheduleFile::Keys, error)) return std::nullopt;
  // The file may have come since the folder was opened; now it is ours.
  if (auto key = FindUserKey(tables_->Keys, user)) return key;
  std::string key;
  if (!AddUserKey(tables_->Keys, user, key, error)) return std::nullopt;
  return key;
}

bool TScheduleFolder::KeepCalendarKey(std::string_view user, const std::string& key, TScheduleError& error) {
  assert(tables_);
  if (!OpenForChange(TScheduleFile::Keys, error)) return false;
  if (const auto kept = FindUserKey(tables_->Keys, user)) {
    if (*kept == key) return error.Succeed();
    return error.Fail(TEditFault::Duplicate, "the user's calendar key was made elsewhere meanwhile; try again",
                      kKeysFileName);
  }
  return StoreUserKey(tables_->Keys, user, key, error);
}

TOpenFailure TScheduleFolder::Open(const TFolderOpen& how) {
  Release();
  tables_ = std::make_unique<TScheduleTables>();
  waits_ = {};
  waits_.WriterMs = how.WriterWaitMs;
  waits_.Session = how.Session;
  for (const TFolderTable& t : kFolderTables) tables_->Table(t.File).SetWaits(waits_);
  TOpenFailure failure =
      how.Access == TFolderAccess::Read ? OpenRead() : OpenWrite(how.Access == TFolderAccess::WriteElseView);
  if (failure.Failed()) {
    Release();
    return failure;
  }
  readOnly_ = readOnly_ || how.Access == TFolderAccess::Read;
  records_ = std::make_unique<TScheduleRecords>(*tables_, how.Policy, &frame_);
  rota_ = std::make_unique<TRotaRecords>(*records_, tables_->Exceptions, tables_->History, &frame_, &tables_->Ledger,
                                         &tables_->Keys);
  return failure;
}

TOpenFailure TScheduleFolder::OpenRead() {
  if (!HoldsData()) return NoDataFailure();
  for (const TFolderTable& t : kFolderTables) {
    const std::string path = Path(t.File);
    if (!t.Required && ScheduleFileMissing(path)) continue;
    TScheduleError error;
    if (!OpenScheduleFile(tables_->Table(t.File), t.File, path, TTableStream::kModeReadShared, error)) {
      return ReadFailure(t.File, path, error);
    }
  }
  return {};
}

TOpenFailure TScheduleFolder::OpenWrite(bool elseView) {
  const bool folderWritable = MayWrite(dir_.empty() ? "." : dir_);
  readOnly_ = elseView && !FolderMayBeWritten();
  if (!readOnly_) {
    // Every table a crash left in the middle of a change goes back to its
    // state before the change, all tables of that change at once. What it
    // cannot undo, the table's own open reports.
    TRecoveryReport report;
    TTableError ignored;
    RecoverTables(TablePaths(), report, ignored);
  }
  if (TOpenFailure failure = OpenExisting(readOnly_ ? TTableStream::kModeReadShared : TTableStream::kModeReadWrite);
      failure.Failed()) {
    return failure;
  }
  if (!folderWritable) {
    for (const TFolderTable& t : kFolderTables) {
      if (t.Required && !tables_->Table(t.File).IsOpen()) {
        return {TOpenFault::NoPermission, ScheduleFileName(t.File),
                TTableError::System(EACCES, TTableFault::CannotOpen, "cannot create"), true};
      }
    }
  }
  return CreateMissing();
}

// The writer's Open rolls back a hot journal and removes the temporaries
// nobody holds, so a folder opened for writing is recovered by this.
TOpenFailure TScheduleFolder::OpenExisting(std::uint16_t mode) {
  for (const TFolderTable& t : kFolderTables) {
    const std::string path = Path(t.File);
    if (ScheduleFileMissing(path)) continue;
    TScheduleError error;
    if (!OpenScheduleFile(tables_->Table(t.File), t.File, path, mode, error)) {
      return FailureOf(FaultOfExisting(error.Table), t.File, error, false);
    }
  }
  return {};
}

// Only required tables are made here, all in one commit, so that a first
// start cut short leaves all of them or none; an optional one is made by the
// first change that needs it. A file that appeared meanwhile is opened, never
// replaced: the others are then made without it. A new file beside
// read-only ones is shown like them.
TOpenFailure TScheduleFolder::CreateMissing() {
  const std::uint16_t mode = readOnly_ ? TTableStream::kModeReadShared : TTableStream::kModeReadWrite;
  TScheduleError createError;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::vector<TScheduleFile> absent;
    for (const TFolderTable& t : kFolderTables) {
      if (t.Required && !tables_->Table(t.File).IsOpen() && ScheduleFileMissing(Path(t.File))) {
        absent.push_back(t.File);
      }
    }
    if (absent.empty()) break;
    std::vector<TTableStream*> made;
    for (TScheduleFile file : absent) made.push_back(&tables_->Table(file));
    TTableTransaction transaction;
    bool ok = transaction.Begin(made);
    for (TScheduleFile file : absent) ok = ok && CreateSchemaFile(tables_->Table(file), SchemaOf(file), Path(file), createError);
    if (ok && !transaction.Commit()) {
      createError.Fail(TEditFault::CannotOpen, "cannot create: " + transaction.Error().Text, transaction.Error().Name,
                       transaction.Error());
    }
    if (ok && createError.Fault == TEditFault::None) break;
    transaction.Rollback();
  }
  for (const TFolderTable& t : kFolderTables) {
    TTableStream& table = tables_->Table(t.File);
    if (!t.Required || table.IsOpen()) continue;
    const std::string path = Path(t.File);
    TScheduleError error;
    if (ScheduleFileMissing(path)) {
      if (createError.Fault != TEditFault::None) error = createError;
      error.File = ScheduleFileName(t.File);
      const bool denied = error.Table.Kind == TTableFault::NoPermission || !MayWrite(dir_.empty() ? "." : dir_);
      return FailureOf(denied ? TOpenFault::NoPermission : TOpenFault::CannotCreate, t.File, error, true);
    }
    if (!OpenScheduleFile(table, t.File, path, mode, error)) {
      return FailureOf(FaultOfExisting(error.Table), t.File, error, false);
    }
  }
  return {};
}

bool TScheduleFolder::Close(TScheduleError& error) { return !tables_ || CloseScheduleTables(*tables_, error); }

// A first creation a crash interrupted leaves some of the required files,
// each a table that never held a record, and not the others. It is finished
// as a first start would finish it; a missing file beside tables that hold
// records is no such thing, and is only reported.
void TScheduleFolder::CompleteCreation(TFolderCheck& report) {
  std::vector<TScheduleFile> absent;
  bool fresh = true;
  for (const TFolderTable& t : kFolderTables) {
    if (!t.Required) continue;
    const std::string path = Path(t.File);
    if (ScheduleFileMissing(path)) {
      absent.push_back(t.File);
      continue;
    }
    TTableStream table;
    TScheduleError error;
    fresh = fresh && OpenScheduleFile(table, t.File, path, TTableStream::kModeReadShared, error) &&
            table.AppendedCount() == 0;
  }
  if (absent.empty() || !fresh) return;
  if (Open({TFolderAccess::Write}).Failed()) return;  // the read that follows tells why
  TScheduleError error;
  Close(error);
  for (TScheduleFile file : absent) {
    if (!ScheduleFileMissing(Path(file))) {
      report.Leftovers.push_back({TLeftover::CompletedCreation, ScheduleFileName(file)});
    }
  }
}

TFolderCheck TScheduleFolder::Check() {
  Release();
  TFolderCheck report;
  const bool mayWrite = FolderMayBeWritten();
  std::vector<TTableLeftovers> leftovers;
  for (const TFolderTable& t : kFolderTables) leftovers.push_back({t.File, FindLeftovers(Path(t.File)), false, {}});
  if (mayWrite) {
    for (const TTableLeftovers& t : leftovers) {
      for (const std::string& temp : t.Found.Temporaries) RemoveIfOrphaned(temp);
    }
    Recover(dir_, leftovers, report);
  }
  if (!HoldsData()) {
    NoteLeftovers(dir_, leftovers, mayWrite, report);
    report.Failure = NoDataFailure();
    return report;
  }
  if (mayWrite) CompleteCreation(report);
  NoteLeftovers(dir_, leftovers, mayWrite, report);
  for (const TTableLeftovers& t : leftovers) {
    const std::string path = Path(t.File);
    if (t.Unrecovered.Failed()) {
      report.Failure = {FaultOfExisting(t.Unrecovered), ScheduleFileName(t.File), t.Unrecovered, false};
      return report;
    }
    if (!IsRequired(t.File) && ScheduleFileMissing(path)) continue;
    TTableStream table;
    TScheduleError error;
    if (!OpenScheduleFile(table, t.File, path, TTableStream::kModeReadShared, error)) {
      report.Failure = ReadFailure(t.File, path, error);
      return report;
    }
    TTableCounts counts{t.File};
    std::string problem;
    if (!ScanTable(table, counts, problem)) {
      report.Failure = {TOpenFault::Damaged, ScheduleFileName(t.File), TTableError::Damaged(TDamage::Slot, problem),
                        false};
      return report;
    }
    report.Tables.push_back(counts);
  }
  return report;
}

}  // namespace kadrel
