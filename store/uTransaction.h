// Changes that span several tables of one data folder, readers that see
// several tables at one moment, and the recovery a folder runs before it
// lets anyone write.
//
// A transaction. Begin takes tables that are open for writing, or closed
// (to be created inside the transaction with CreateTable(KeepExisting) and
// Close). From Begin to Commit, every Post, Delete, Pack and changing Close
// of those tables is held in memory: the objects read their own changes, the
// files and every other process see nothing. Commit writes all of it as one
// change: after it returns true every table shows its new state, and no
// crash or power cut can take any of it back; after it returns false, or
// after Rollback, every table is as it was at Begin on disk and in its
// object (a table closed inside the transaction stays closed). A crash or a
// power cut at any moment of a Commit leaves, after the next open that may
// write, exactly the old state of every table or exactly the new one. A call
// that fails inside the transaction (a Post refused, a Close that could not
// write its table) holds nothing, and leaves the rest held: the caller
// decides whether to Commit the rest or to Rollback.
//
// How Commit writes (for a change of two or more tables; a transaction that
// changed one table commits it as that table's own change, see
// store/uTableFile.h, in at most 4 syncs):
//   1. every table's change lock is taken (in the order of their real paths,
//      the same order every reader of several tables takes them), and each
//      table is checked to still be the file at its name;
//   2. each table's rollback journal "<table>-journal" is written (the old
//      bytes of every sector the change touches, see store/uJournal.h), and
//      names the change record below and its nonce;
//   3. the change record "kadrel-change-<nonce>" is created in the folder of
//      the first table; it names every journal;
//   4. the journals, the record and their folders are synced: from here on
//      a crash undoes the whole change;
//   5. every table is written and synced; a created table is linked in at
//      its name (never over an existing file) and its folder synced;
//   6. the change record is emptied and synced: this is the commit. A
//      journal whose change record is missing, empty, torn or of another
//      nonce belongs to a change that committed, or that never wrote a
//      table, and is removed unread;
//   7. the record and the journals are removed (no sync needed: an empty
//      record means committed, and a journal without its record is stale).
// A change of k tables costs 2k + 3 syncs (one folder).
//
// The change record (all integers little-endian):
//   offset  size  content
//   0       8     magic "KDRLCHG1"
//   8       8     CRC-64/XZ of every byte from offset 16 to the end
//   16      8     nonce: random, never 0; each journal of the change repeats it
//   24      4     journal count k
//   28      4     zero
//   32      ...   k names, each: length L (4), then L bytes: the journal's
//                 path relative to the record's folder, or absolute ("/...")
// An empty record is a committed change. A record none of whose journals is
// still there, or names it, is left over and is removed by the next writer.
//
// Why a change record and not one journal for the folder: each table keeps
// its own journal beside its real file, so a symlinked table, a reader of
// one table and every journal of an older version work as they did; a
// single-table change, by far the most common, costs no extra file and no
// extra sync; and the record, the one file whose state decides, is written
// once and emptied once.
//
// Creating tables. A table created inside a transaction is built under a
// temporary name and synced at its Close; at Commit its journal says that
// it had no file before (see store/uJournal.h), and step 5 links it in. If
// the change is undone, that name is removed again, but only while it still
// holds exactly the table that was created. So a first start that creates
// several files finds, after any crash, all of them or none.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "store/uJournal.h"
#include "store/uTableError.h"

namespace kadrel {

class TTableStream;
class TFileOps;

class TTableTransaction {
 public:
  TTableTransaction();
  // An active transaction is rolled back.
  ~TTableTransaction();
  TTableTransaction(const TTableTransaction&) = delete;
  TTableTransaction& operator=(const TTableTransaction&) = delete;

  // Every table must be open for writing (mode 2) or closed, and none may be
  // in another transaction. False, starting nothing, otherwise.
  bool Begin(std::span<TTableStream* const> tables);
  bool Begin(std::initializer_list<TTableStream*> tables);
  // Writes the change of every table as one. The transaction is over either way.
  bool Commit();
  // Throws the held changes away; tables that stay open show the file again.
  void Rollback();
  bool Active() const;

  // Why Begin or Commit failed; Name is the file's bare name when one file
  // was at fault. ErrorString is "<file>: <text>", or the text alone.
  const TTableError& Error() const;
  const std::string& ErrorString() const;

  // The seam for the change record's file calls; the tables' own calls go
  // through each table's SetFileOps. Null restores the real one.
  void SetFileOps(TFileOps* ops);

  struct Impl;

 private:
  std::unique_ptr<Impl> d_;
};

// Opens every table for reading (mode 0x20) at one moment: no change of
// several of them lies between the copies they take. Stops at the first
// that fails (its error is in that table); the ones opened before stay open.
bool OpenTablesTogether(std::span<TTableStream* const> tables, std::span<const std::string> paths);

// What RecoverTables found and did, by bare file name.
struct TRecoveryReport {
  std::vector<std::string> RolledBack;  // a change a crash interrupted was undone
  std::vector<std::string> Discarded;   // a journal that had not been finished, or whose change had committed, was removed
  std::vector<std::string> Removed;     // left over: temporary files nobody holds, finished change records
  std::vector<std::string> Held;        // a live writer holds the table: its journal is its own business
};

// For every open that may write, before the folder's tables are opened:
// undoes at once every change a crash interrupted in any of `paths` (one
// table's or several tables'), removes unfinished journals and what a
// crash left over, and leaves alone every table a live writer holds. A
// table that is missing without a journal is no concern of this. Costs one
// listing of each folder when there is nothing to do. False with `error`
// (Name: the file) when a journal could not be used or the undoing failed;
// the other tables are recovered all the same. NoPermission means the data
// may not be written here: its readers read through the journal instead
// (TTableStream::ReadThroughJournal).
bool RecoverTables(std::span<const std::string> paths, TRecoveryReport& report, TTableError& error,
                   TFileOps* ops = nullptr);

}  // namespace kadrel
