// TTableStream: Kadrel's record store. One table is one file:
//
//   offset                         size  content
//   0                              4     signature 04 31 2E 31 ("\x04" "1.1")
//   4                              8     creation date, TDateTime (IEEE double)
//   12                             4     slot count (deleted slots included)
//   16                             4     deleted count (slots on the free list)
//   20                             4     data start = 64 + 32 * field count
//   24                             4     free-list head, slot number; 0 means none
//   28                             4     appended count: records ever appended;
//                                        never decreases, so count + 1 is a fresh id
//   32                             32    zero (never written by the table)
//   64 + 32*i                      32    field i: [0] name length 1..9, [1..9] name,
//                                        [10..11] type code, [12..15] width, rest zero
//   dataStart + (k-1)*slotSize     slot  slot k (1-based), slotSize = record size + 5:
//                                        [0] status 0x20 live / 0x2A deleted,
//                                        [1..4] live: k; deleted: next free slot (0 = end),
//                                        then each field's bytes, exactly its width
//
// All integers are little-endian. Invariants a valid file keeps, and which
// Open checks before it trusts a file (it returns false with ErrorString()
// naming the first one broken, and Error() the rule as a TDamage):
//   1. the signature is 04 31 2E 31;
//   2. 1 <= field count <= kMaxFields, and data start is exactly 64 + 32 * count;
//   3. every field has a name length of 1..9, a type code of 1..6, and a width
//      of FieldSize(type) (types 1, 2, 4, 5, 6) or 1..kMaxFieldWidth (type 3);
//   4. file length == dataStart + slotCount * slotSize, exactly (so a torn
//      last slot or trailing bytes are refused);
//   5. 0 <= deletedCount <= slotCount <= appendedCount;
//   6. every status byte is 0x20 or 0x2A, every live slot carries its own
//      number, and exactly deletedCount slots are deleted;
//   7. the free list, followed from the head, visits exactly deletedCount
//      distinct deleted slots and ends in 0 (no cycle, no slot out of 1..slotCount).
// Bytes 32..63, bytes 16..31 of a field definition, name bytes beyond the
// name's length and text bytes after the terminating zero are not significant
// and are not checked. Open reads the file in chunks of at most kChunkBytes and
// never allocates more than the file's size for it, whatever the bytes.
//
// Limits (the same for Open, AddField and Close, so whatever Close writes
// Open accepts, except a table of no fields):
//   fields per table      1 .. TFields::kMaxFields (64)
//   name length           1 .. TFields::kMaxNameLength (9) bytes
//   text width (type 3)   1 .. TFields::kMaxFieldWidth (4096) bytes, so a
//                         record is at most 64 * 4096 bytes and a slot 5 more
//   slot, deleted and appended counts   0 .. 2147483647; Append refuses once
//                         the appended count has reached 2147483647
//   saved positions       kPositionStackSize (11)
//
// Field types: 1 int32 (4), 2 double (8), 3 zero-terminated GBK text (width
// from the definition; at most width - 1 bytes of text), 4 TDateTime (8),
// 5 byte (1), 6 double (8).
//
// Crash safety (see store/uTableFile.h and store/uJournal.h). Every Post,
// Delete, Pack and changing Close is one all-or-nothing change of the file:
// the old bytes of the sectors it changes go to the journal
// "<table>-journal", which is fsynced (with its folder) before the table is
// touched; the table is written and fsynced; emptying the journal, fsynced,
// commits the change, which then survives a power cut. The next Open of the
// table, in any mode, finds the state before or after the change: a writer
// replays a journal left by a crash (or drops one that was still being
// written), a reader reads through it. A failure puts the old bytes back and
// leaves the in-memory counts as they were, so the object never claims a
// record the file lacks. Bytes that would not change are not written: an
// Edit leaves the header alone, a Close without a changed field list writes
// nothing. After each change the bytes on disk are exactly the format above,
// and the journal is gone. A change is written only to the file that was
// opened, and only while the table's name still gives that file (Moved
// otherwise). Inside a transaction (store/uTransaction.h) the changes of
// several tables are held in memory and written as one.
//
// Pack rewrites the table in place through the journal, so the file keeps its
// links, owner and mode. CreateTable builds the new table under a temporary
// name "<table>.new-XXXXXX"; Close fsyncs it and gives it the table's name
// (a rename for CreateTable, a link that replaces nothing for
// TCreateMode::KeepExisting). Until Close the name keeps what it held.
// Temporary files left by a crash are removed by the next writable Open.
//
// Sharing. One writer at a time: a mode with access bits (mode & 3) other
// than 0 opens for reading and writing and holds the writer lock, so a second
// writer - another process or another TTableStream of this process - is
// refused ("in use"), or waits as long as TTableWaits allows for one that
// holds no session. CreateTable takes it on a file it replaces. A
// read-only opener (mode 0x20) takes a copy of the whole file at Open,
// between two changes, and serves every read from it: readers work beside a
// writer and always see a state before or after a change. The locks are
// open-file-description locks; see platform/uFileLock.h for why not classic
// fcntl locks, and for the lock bytes. A data file that is not a regular file
// (a FIFO, a device) is refused before it is opened.
//
// Refusals beyond the classic table behaviour, all of things no caller does:
//   - Edit, Append, Post, Delete and Pack return false on a read-only table,
//     and between CreateTable and Close;
//     Edit and Delete need a current slot; Delete and Pack need browse state.
//   - After a failed Post the state is browse again and the cursor is where it
//     was before Append/Edit (there is no cancel otherwise).
//   - SetFloat on a text field returns false (FieldSize is 0 there); SetInteger
//     and SetFloat write at most the field's width.
//   - Close of a read-only table writes nothing. Close refuses (false) to write
//     a field table that differs from the file's while the table holds slots.
//   - A change waits up to 3 seconds (TTableWaits) for a reader taking its
//     copy, and a reader as long for a change; then it fails with "busy".
//   - Open, CreateTable, Close and Pack empty the saved-position stack.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"
#include "store/uTableError.h"

namespace kadrel {

class TFileOps;

struct TFieldDef {
  std::string Name;      // 1 to 9 characters (the file keeps 9)
  std::int16_t Type = 0;
  std::int32_t Width = 0;
  std::int32_t Offset = 0;  // inside a slot; the first field is at 5
};

class TFields {
 public:
  static constexpr std::int32_t kFirstOffset = 5;
  static constexpr int kMaxFields = 64;
  static constexpr std::int32_t kMaxFieldWidth = 4096;
  static constexpr std::size_t kMaxNameLength = 9;

  // Width for a type code: 1 -> 4; 2, 4, 6 -> 8; 3 -> 0 (given); 5 -> 1;
  // -1 for an invalid code.
  static std::int32_t FieldSize(std::int16_t type);

  // Refuses a name of 10 or more characters, an empty name, a type code
  // outside 1..6, a text width outside 1..kMaxFieldWidth and a field beyond
  // kMaxFields. For types other than 3 the width comes from FieldSize and
  // `width` is ignored.
  bool AddField(std::string_view name, std::int16_t type, std::int32_t width = 0);
  // First definition whose name equals `name` without regard to the case of
  // A to Z; null if none.
  const TFieldDef* FindField(std::string_view name) const;
  // Index of FindField's result, -1 if none.
  int IndexOf(std::string_view name) const;
  TFieldDef Field(int index) const;  // a copy; an empty definition out of range
  const TFieldDef* At(int index) const;  // no copy; null out of range
  bool Remove(int index);            // later offsets close up; false out of range
  int Count() const { return static_cast<int>(defs_.size()); }
  std::int32_t RecordSize() const;
  void Clear() { defs_.clear(); }

 private:
  std::vector<TFieldDef> defs_;
};

// The current-record buffer: the bytes of one slot plus the field last
// positioned by FieldByName/FieldByIndex. A read does not advance, so a
// positioned field can be read again. A field the table does not define is
// positioned at 0 with width 0: AsInteger and AsFloat then give 0 and
// AsString the empty text. Reads never go beyond the buffer; missing bytes
// read as zero.
class TRecordStream {
 public:
  std::int32_t AsInteger() const;  // 4 bytes at the position
  double AsFloat() const;          // 8 bytes at the position
  TDateTime AsDateTime() const { return AsFloat(); }
  std::string AsString() const;  // bytes up to the first zero, at most width
  std::int32_t Width() const { return width_; }

  // Used by the table.
  std::vector<unsigned char>& Bytes() { return bytes_; }
  const std::vector<unsigned char>& Bytes() const { return bytes_; }
  void Position(std::int32_t offset, std::int32_t width) {
    pos_ = offset;
    width_ = width;
  }

 private:
  std::vector<unsigned char> bytes_;
  std::int32_t pos_ = 0;
  std::int32_t width_ = 0;
};

// How a table waits for others. The defaults refuse a second writer at once.
struct TTableWaits {
  // How long a change waits for readers taking their copy, and a reader for
  // a change in flight, before giving up with Busy.
  int ChangeMs = 3000;
  // How long a writer's Open waits for another writer that is not a session
  // holder (a kadrel-cli write command) before giving up with Busy.
  int WriterMs = 0;
  // This writer holds the table for a whole session (the GUI): others that
  // would wait for it are refused at once with InUse instead.
  bool Session = false;
};

class TTableStream {
 public:
  static constexpr std::uint16_t kModeReadShared = 0x20;  // read; others may read
  static constexpr std::uint16_t kModeReadWrite = 2;      // read and write; nobody else
  static constexpr int kPositionStackSize = 11;
  static constexpr std::int32_t kHeaderSize = 32;
  static constexpr std::int32_t kFieldDefSize = 32;
  static constexpr std::int32_t kFieldTableStart = 64;
  static constexpr std::size_t kChunkBytes = 256 * 1024;
  static constexpr unsigned char kLive = 0x20;
  static constexpr unsigned char kDeleted = 0x2A;

  TTableStream();
  explicit TTableStream(std::uint16_t openMode);
  TTableStream(const std::string& fileName, std::uint16_t openMode);
  // Releases the file (and its lock) without writing: the file is already
  // consistent after every Post and Delete. A table being created is not
  // put in place.
  ~TTableStream();
  TTableStream(const TTableStream&) = delete;
  TTableStream& operator=(const TTableStream&) = delete;

  enum class TCreateMode {
    Replace,       // an existing file is replaced at Close (refused while a writer holds it)
    KeepExisting,  // an existing file is kept (Close fails), unless it is empty
  };
  // A new, empty table of that name (Replace). Then add fields through
  // Fields() and Close, which puts the file in place.
  bool CreateTable(const std::string& fileName);
  bool CreateTable(const std::string& fileName, TCreateMode mode);
  // Validates the whole file (see the invariants above) before it trusts it.
  // An open table is closed first.
  bool Open();
  bool Open(const std::string& fileName);
  // Writes a field list changed since Open, or the new table after
  // CreateTable; otherwise nothing. Releases the file and its lock and resets
  // the object. False when a write or an fsync failed; the object is closed
  // all the same.
  bool Close();
  bool SetOpenMode(std::uint16_t mode);
  std::uint16_t OpenMode() const;

  bool IsOpen() const;
  TFields& Fields();
  bool Eof() const;
  std::int32_t RecordCount() const;  // slots, deleted ones included
  std::int32_t AppendedCount() const;
  std::int32_t DeletedCount() const;
  std::int32_t FreeListHead() const;
  std::int32_t DataStart() const;
  std::int32_t SlotSize() const;  // record size + 5
  TDateTime CreationDate() const;
  std::int32_t CurrentSlot() const;  // 0 when no slot has been read
  const std::string& FileName() const;
  // Why the last failing operation failed, in plain English after the file's
  // name ("<name>: <Error().Text>"); empty after a success of Open,
  // CreateTable, Close, Post, Delete or Pack.
  const std::string& ErrorString() const;
  // The same failure as a value (store/uTableError.h): what to tell a user
  // is decided from it, never from the text.
  const TTableError& Error() const;

  // The seam for every call that changes a file; null restores the real one. Not owned; it must outlive its use by this table.
  void SetFileOps(TFileOps* ops);
  // Taken by the next Open or CreateTable.
  void SetWaits(const TTableWaits& waits);
  // A reader's Open found a change that a crash interrupted and read the
  // table as it was before it (the file stays as it is until a writer opens
  // it, or the folder is recovered).
  bool ReadThroughJournal() const;

  void First();
  bool Next();
  bool MoveBy(std::int32_t n);
  bool IsDeleted() const;

  // Position the buffer at the field and return it. An unknown name or index
  // gives position 0 and width 0, so reads give 0 or the empty text.
  TRecordStream& FieldByName(std::string_view name);
  TRecordStream& FieldByIndex(int index);

  bool Edit();
  bool Append();
  bool SetInteger(int index, std::int32_t value);
  bool SetFloat(int index, double value);
  // False, writing nothing, for a text longer than width - 1 bytes.
  bool SetText(int index, std::string_view text);
  bool Post();
  bool Delete();
  // True also when there was nothing to pack. On false the table on disk is
  // the original and the object stays usable.
  bool Pack();

  bool LocateInteger(std::string_view name, std::int32_t value);
  // Matches with the bytes of A to Z compared as their lower-case forms.
  bool LocateText(std::string_view name, std::string_view text);
  // The same, but blanks (bytes up to 0x20) at both ends of the field's text
  // and of `text` do not count, and the search starts at slot `from`: how a
  // name is told apart from every other (" Ann" is "ann"). Without a match
  // the cursor is left as LocateText leaves it.
  bool LocateTrimmedText(std::string_view name, std::string_view text, std::int32_t from = 1);

  int PushPosition();
  int PopPosition();

 private:
  friend struct TTableHold;
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace kadrel
