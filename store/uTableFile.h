// TTableFile: one table's file on disk, and the rules that keep it whole
// through crashes, power cuts and other programs. TTableStream keeps the
// table's format; this keeps its bytes.
//
// Names. The name a table is opened by is resolved once (every symlink
// followed) to the real file; the journal (store/uJournal.h) and every
// temporary file live beside that real file, so a symlinked data file or
// folder keeps working and nothing is ever put in the link's place.
// Temporary files are "<table>.new-XXXXXX" (a table being created) and,
// from older versions, "<table>.pack-XXXXXX"; a writer's Open removes those
// that nobody holds.
//
// Special files. A name that is not a regular file (a FIFO, a device, a
// folder) is refused before it is opened, and it is opened non-blocking and
// checked again, so that nothing can make Open hang.
//
// Writer. Open(write) takes the writer lock (platform/uFileLock.h) and keeps
// it; then, under the change lock, a hot journal is replayed (the table goes
// back to its state before the interrupted change) and a torn one discarded.
// Every change goes through Commit, which writes the journal first, the
// table second, and removes the journal last; three fsyncs (journal, its
// folder, table). A failed change puts the old bytes back from the journal,
// so the file and the caller agree that nothing changed. If even that fails
// the object refuses every further change ("poisoned") and the journal stays
// for the next Open, which puts the old bytes back.
//
// Reader. Open(read) takes no lasting lock. Under a shared change lock it
// reads the whole file into memory, applying a hot journal to that copy (a
// reader never writes), and serves every read from the copy: a reader sees
// the table exactly as it was between two changes, for as long as it likes,
// and never holds up the writer for longer than that one read.
//
// Creation. Create builds a new table under a temporary name; Finish writes
// its bytes, fsyncs them, and puts the file in place: with Replace by a
// rename over the name (an existing file there must be a regular file that
// no writer holds, and keeps its owner and mode); with KeepExisting by a
// link, which never replaces anything; a name that appeared meanwhile is
// left as it is, unless it is an empty file nobody holds (what an older
// version's crash during creation leaves), which is replaced. Then the
// folder is fsynced.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uFileLock.h"
#include "platform/uFileOps.h"
#include "store/uJournal.h"
#include "store/uTableError.h"

namespace kadrel {

class TTableFile {
 public:
  using Bytes = std::vector<unsigned char>;
  struct TWrite {
    std::int64_t Offset = 0;
    Bytes Data;
  };
  enum class TCreate { Replace, KeepExisting };

  // How long a change waits for readers, and a reader for a change, before
  // giving up with "busy".
  static constexpr int kLockWaitMs = 3000;
  // A reader's copy of the file is refused beyond this size.
  static constexpr std::int64_t kMaxReadBytes = std::int64_t{1} << 30;

  TTableFile() = default;
  TTableFile(const TTableFile&) = delete;
  TTableFile& operator=(const TTableFile&) = delete;

  void SetOps(TFileOps* ops) { ops_ = ops ? ops : &TFileOps::System(); }

  bool Open(const std::string& name, bool write);
  bool Create(const std::string& name, TCreate mode);
  // Only after Create: `content` becomes the whole new file, put in place.
  bool Finish(const Bytes& content);
  // Only for a writer: the writes, then the file cut or grown to `newLength`,
  // all or nothing. Writes that would not change a byte are left out; when
  // nothing changes, nothing is written at all.
  bool Commit(std::vector<TWrite> writes, std::int64_t newLength);
  // Releases the file and its locks; a table being created is abandoned.
  void Close();

  bool IsOpen() const { return fd_.Valid(); }
  bool Writable() const { return writable_; }
  bool Creating() const { return creating_; }
  bool Poisoned() const { return poisoned_; }
  int Fd() const { return fd_.Get(); }
  const std::string& RealPath() const { return realPath_; }
  // A reader's copy of the whole file (or a poisoned writer's), handed over
  // once; Length() still gives its length.
  Bytes ReleaseCopy() { return std::move(copy_); }
  bool HasCopy() const { return hasCopy_; }
  // The file's length: a reader's copy's, or the file's now; -1 on failure.
  std::int64_t Length() const;
  const TTableError& Error() const { return error_; }

 private:
  bool Fail(TTableError why);
  // A failure the system gave with errno, told as "<what>: <its text>".
  bool FailSystem(TTableFault otherwise, std::string_view what);
  // Adds to the text of the failure already recorded; false.
  bool Amend(std::string_view more);
  TTableError NotOurs() const;
  bool Resolve(const std::string& name, bool mayBeMissing);
  bool OpenRegular(int flags, TUniqueFd& out);
  bool ReadJournal(std::int64_t tableLength, bool& found, TJournal& journal);
  bool Recover();
  bool TakeCopy();
  bool WriteJournal(const TJournal& journal);
  bool ApplyWrites(const std::vector<TWrite>& writes, std::int64_t oldLength, std::int64_t newLength);
  bool PutBack(const TJournal& journal);
  void Poison(const TJournal& journal);
  bool ReadRange(std::int64_t offset, std::int64_t n, Bytes& out) const;
  bool Place();
  bool ReplaceEmpty();
  void CleanStaleTemps();
  bool ComputeCrc();
  void UpdateCrc(const std::vector<TWrite>& writes, const TJournal& journal, std::int64_t newLength);

  TFileOps* ops_ = &TFileOps::System();
  TUniqueFd fd_;
  std::string realPath_;
  bool writable_ = false;
  bool poisoned_ = false;
  bool creating_ = false;
  TCreate createMode_ = TCreate::Replace;
  std::string tempPath_;
  TUniqueFd replaced_;  // the file Create(Replace) replaces, held until Finish
  Bytes copy_;
  std::int64_t copyLength_ = 0;
  bool hasCopy_ = false;
  // A writer's CRC of its whole table, kept up to date by each change so that
  // a journal names the table it belongs to without the table being reread.
  std::uint64_t crc_ = 0;
  bool crcKnown_ = false;
  TTableError error_;
};

}  // namespace kadrel
