// TScheduleFolder: the data folder, and the one door to it. The main window,
// the options dialog and kadrel-cli open, check, change and close the
// schedule's files only through a folder object; it owns the tables and
// hands out their records (schedule/uScheduleRecords.h).
//
// Opening (TFolderAccess):
//   Read           every file as a reader: as it stood between two changes,
//                  read through the journal of a change a crash interrupted,
//                  which stays on disk. Nothing is created or written; the
//                  files must exist.
//   Write          the one writer of every file. Opening a table as its
//                  writer rolls back a change a crash interrupted and removes
//                  the temporaries nobody holds. The files that exist open
//                  first; only when all of them did are the missing ones
//                  created with their schemas (CreateMissing), so a damaged,
//                  foreign or held file stops the open before anything is
//                  made.
//   WriteElseView  Write where the folder and every file may be written (the
//                  main window). Where one of them may not, the data is only
//                  shown: every file is opened as a reader, and a missing file
//                  is still made if the folder may be written, then read like
//                  the others.
// A failed open releases whatever it opened without a write, so every file
// stays byte for byte as it was.
//
// One rule for "in use": a file is in use when another writer holds it (a
// running Kadrel, a kadrel-cli write) or when a change held it past the wait
// (TTableFault::Busy). Both are another live program at work on the file,
// both pass without anyone mending anything, and the answer to both is to
// try again once it is done; nothing is damaged. So every front end words
// them alike and no front end treats Busy as damage.
//
// Tables that later versions add live in files of the same table kind beside
// the three. They are optional: a folder without one works as before, an
// absent one reads as empty, and the first change that needs it creates it,
// inside that change. kFolderTables lists every table with whether the
// folder needs it; Open and Check go through that list, never through the
// three by name.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uScopedOverride.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleRecords.h"
#include "store/uTransaction.h"

namespace kadrel {

struct TFolderTable {
  TScheduleFile File;
  bool Required;  // false: absent means empty, created by the first change that needs it
};

inline constexpr std::array<TFolderTable, 10> kFolderTables = {{{TScheduleFile::Shift, true},
                                                                {TScheduleFile::Work, true},
                                                                {TScheduleFile::User, true},
                                                                {TScheduleFile::Exceptions, false},
                                                                {TScheduleFile::History, false},
                                                                {TScheduleFile::Times, false},
                                                                {TScheduleFile::Settings, false},
                                                                {TScheduleFile::Ledger, false},
                                                                {TScheduleFile::Sync, false},
                                                                {TScheduleFile::Keys, false}}};

enum class TFolderAccess { Read, Write, WriteElseView };

// Why a folder did not open; one classification for every front end.
enum class TOpenFault {
  None,
  NoData,        // reading: none of the files exists (an empty one counts as missing)
  Missing,       // reading: this file is missing or empty while others exist
  InUse,         // another program holds the file (see the rule above)
  NoPermission,  // the file may not be read, or a missing one not be created
  NotRegular,    // a folder, a FIFO, a device or a socket stands at the name
  Damaged,       // not a table of this program, or its bytes break the format
  CannotCreate,  // a missing file could not be made for another reason
};

struct TOpenFailure {
  TOpenFault Fault = TOpenFault::None;
  std::string File;       // the bare file name, "workdat.kd2"; empty for NoData
  TTableError Why;        // the store's account: the damage, the system's error, the file type
  bool Creating = false;  // the file was missing and was to be created

  bool Failed() const { return Fault != TOpenFault::None; }
  // "file: reason" in plain English, for a line of text.
  std::string Text() const;
};

struct TFolderOpen {
  TFolderAccess Access = TFolderAccess::Read;
  TWritePolicy Policy = TWritePolicy::Trimmed;  // of the records handed out
  // How long a writer waits for another writer that holds a file for one
  // change (a kadrel-cli write command) before the file counts as in use.
  int WriterWaitMs = 0;
  // This writer holds the files for a whole session (the main window):
  // another writer is refused at once instead of waiting for it.
  bool Session = false;
};

// What a crash left behind, found by Check, and what became of it.
enum class TLeftover {
  UndoneChange,       // a hot journal: the change it protected was rolled back
  JournalReadThrough, // a hot journal the folder may not be written to undo; read through, it stays
  RemovedTemporary,   // a temporary file nobody held, removed
  KeptTemporary,      // the same, in a folder that may not be written; it stays
  CompletedCreation,  // a file of an interrupted first creation, made now
};

struct TLeftoverNote {
  TLeftover What;
  std::string Name;  // the bare name of the table file, or of the temporary file
};

struct TTableCounts {
  TScheduleFile File;
  std::int32_t Slots = 0;
  std::int32_t Live = 0;
  std::int32_t Appended = 0;
};

struct TFolderCheck {
  std::vector<TLeftoverNote> Leftovers;  // in the order they were dealt with
  std::vector<TTableCounts> Tables;      // every table read, in order, up to a failure
  TOpenFailure Failure;                  // the first table that could not be read, if any
};

class TScheduleFolder {
 public:
  // `dir` holds the files; empty means the working directory.
  explicit TScheduleFolder(std::string dir = {});
  // Whether anything (a file, even an empty one, or whatever else) stands at
  // the name of one of the required files in `dir`: where kadrel-cli looks
  // for the data.
  static bool HoldsAnyFile(const std::string& dir);
  // Releases the files without writing: every change is on disk already.
  ~TScheduleFolder();
  TScheduleFolder(const TScheduleFolder&) = delete;
  TScheduleFolder& operator=(const TScheduleFolder&) = delete;

  // Opens the folder's tables; an open folder is released first. On
  // failure nothing is held and nothing was written.
  TOpenFailure Open(const TFolderOpen& how);
  // Opened for viewing only: every table is a reader.
  bool ReadOnly() const { return readOnly_; }
  const std::string& Dir() const { return dir_; }

  // The records of the open tables, as the policy given to Open stores them.
  // Users are renamed and deleted through Rota(), so that their exceptions
  // and history follow them in the same commit.
  TScheduleRecords& Records();
  // The exceptions and the history, and every change of a user. Each of its
  // changes is one commit; a rota file it needs is created inside it.
  TRotaRecords& Rota();
  // What the resolver makes of the folder, rebuilt when a change was made
  // through this object since it was last built. Share it freely: it never
  // changes.
  std::shared_ptr<const TRotaSnapshot> Snapshot();
  // Built again now, for a folder that another program may have changed.
  std::shared_ptr<const TRotaSnapshot> RebuildSnapshot();
  // The tables themselves, for the records layer's own tests, benchmarks
  // and fuzzers. The front ends go through Records(), and reach the times,
  // the settings and the ledger, whose functions take the table
  // (schedule/uTimeFiles.h), through OpenForChange.
  TScheduleTables& Tables();
  // An optional table, ready for a change: opened as its writer, and created
  // first when its file does not exist yet, so that only the first change
  // that needs it makes it. The required tables are open already. False,
  // naming the file and why, in a folder open for viewing only or when the
  // file cannot be made.
  bool OpenForChange(TScheduleFile file, TScheduleError& error);

  // The key of the user's calendar (uiddat.kd2, schedule/uSyncFiles.h): the
  // one the folder keeps, else a new one, made and stored now. Nullopt,
  // `error` saying why, when there is none and none can be stored: in a
  // folder open for viewing only, or when the file cannot be written.
  std::optional<std::string> CalendarKey(std::string_view user, TScheduleError& error);
  // Keeps `key` (made by NewUserKey) as the user's, once something carries
  // it. True when it is the user's key now; false, `error` saying why, when
  // it cannot be stored or the user has another one since.
  bool KeepCalendarKey(std::string_view user, const std::string& key, TScheduleError& error);

  // Closes every open table; false if any Close failed, `error` naming the
  // first. The records stay valid, over closed tables: they read nothing
  // and refuse every change.
  bool Close(TScheduleError& error);

  // kadrel-cli check, on a folder that is not open: undoes and clears what a
  // crash left where the folder and its files may be written and no writer
  // is alive, then reads every slot of every table. Where they may not be
  // written it only tells what it found.
  TFolderCheck Check();

 private:
  std::string Path(TScheduleFile file) const;
  bool HoldsData() const;  // a required file that is neither missing nor empty
  bool FolderMayBeWritten() const;
  TOpenFailure OpenRead();
  TOpenFailure OpenWrite(bool elseView);
  TOpenFailure OpenExisting(std::uint16_t mode);
  TOpenFailure CreateMissing();
  void CompleteCreation(TFolderCheck& report);
  void Release();
  std::vector<std::string> TablePaths() const;

  // The frame of every change of several tables, and of every deletion
  // with its compaction (uScheduleRecords.h): one transaction of the store.
  class TFrame : public TChangeFrame {
   public:
    explicit TFrame(TScheduleFolder& folder) : folder_(folder) {}
    bool Begin(std::span<const TScheduleFile> tables, TScheduleError& error) override;
    bool Commit(TScheduleError& error) override;
    void Rollback() override;

   private:
    TScheduleFolder& folder_;
    TTableTransaction transaction_;
    int depth_ = 0;  // changes begun inside the outermost one
  };

  std::string dir_;
  std::unique_ptr<TScheduleTables> tables_;
  std::unique_ptr<TScheduleRecords> records_;
  TFrame frame_{*this};
  std::unique_ptr<TRotaRecords> rota_;
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  std::uint64_t snapshotWrites_ = 0;  // Rota().Writes() when snapshot_ was built
  bool readOnly_ = false;
  TTableWaits waits_;
};

// Whether this program may write `path`, a data file or the data folder.
// A seam: root may write anything, so tests that run as root need it to see
// what a user sees.
bool MayWrite(const std::string& path);

class TWriteAccessOverride : TScopedOverride<std::function<bool(const std::string&)>> {
 public:
  explicit TWriteAccessOverride(std::function<bool(const std::string&)> mayWrite);
};

}  // namespace kadrel
