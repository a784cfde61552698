// TTableFile: one table's file on disk, and the rules that keep it whole
// through crashes, power cuts and other programs. TTableStream keeps the
// table's format; this keeps its bytes.
//
// Names. The name a table is opened by is resolved once (every symlink
// followed) to the real file; the journal (store/uJournal.h) and every
// temporary file live beside that real file, so a symlinked data file or
// folder keeps working and nothing is ever put in the link's place.
// Temporary files are platform/uAtomicFile.h's (a table being created) and,
// from older versions, "<table>.pack-XXXXXX"; a writer's Open removes those
// that nobody holds, and change records (store/uTransaction.h) that are
// over. Before each change, under the change lock, the name must still give
// the file that was opened: a file renamed over it or moved away (a sync
// tool, an editor, a restore) is never written to; the change fails (Moved).
//
// Special files. A name that is not a regular file (a FIFO, a device, a
// folder) is refused before it is opened, and it is opened non-blocking and
// checked again, so that nothing can make Open hang.
//
// Writer. Open(write) takes the writer lock (platform/uFileLock.h) and keeps
// it; another writer holding it is waited for up to the writer wait, unless
// it holds the session byte. Then, under the change lock, a hot journal is
// replayed (the table goes back to its state before the interrupted change)
// and an unfinished one discarded. Commit stages a change: its bytes are
// kept in memory, sector by sector, and every read of this object sees
// them. Outside a transaction it is then written at once: journal (the old
// bytes of every sector the change writes), table, journal emptied; four
// syncs (journal, its folder, table, emptied journal). Inside one,
// TTableTransaction writes the staged changes of all its tables at its
// Commit. A failed change puts the old bytes back from the journal, so the
// file and the caller agree that nothing changed. If even that fails the
// object refuses every further change ("poisoned") and the journal stays
// for the next Open, which puts the old bytes back.
//
// The writer keeps the CRC of its whole table, taken as Open's validation
// reads it (or else at its first change), and works out the next one from the sectors a change writes, so a change
// costs what it writes, not the table's size. A session holder reads its
// table once, at Open, and keeps it in memory, so that its reads cost no
// call either.
//
// Reader. Open(read) takes no lasting lock. Under a shared change lock it
// reads the whole file into memory, applying a hot journal to that copy (a
// reader never writes; ReadThroughJournal then says so), and serves every
// read from the copy: a reader sees the table exactly as it was between two
// changes, for as long as it likes, and never holds up the writer for longer
// than that one read.
//
// Creation. Create builds a new table through TAtomicFile, which names,
// places and syncs it by the rules every whole new file follows; Finish
// writes its bytes, fsyncs them, and puts the file in place: with Replace
// over the name (an existing file there must be a regular file that no
// writer holds, and it passes on its owner and mode); with KeepExisting by
// a link, which never replaces anything; a name that appeared meanwhile is
// left as it is, unless it is an empty file nobody holds (what an older
// version's crash during creation leaves), which is replaced. A name that
// is a link to a missing file is refused. Inside a transaction Finish stops
// before the name: the transaction links every new table in as one change.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uAtomicFile.h"
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
  // Empty when the table's format allows one change to lead from `before`
  // (the table as a journal gives it back) to a table `lengthNow` long;
  // otherwise why not. A journal is applied only when it fits.
  using TFit = std::function<std::string(const Bytes& before, std::int64_t lengthNow)>;
  // What a writer's Open found beside the table.
  enum class TRecovery { None, RolledBack, Discarded };

  // How long a change waits for readers, and a reader for a change, before
  // giving up with "busy", unless SetWaits says otherwise.
  static constexpr int kLockWaitMs = 3000;
  // A reader's copy of the file is refused beyond this size.
  static constexpr std::int64_t kMaxReadBytes = std::int64_t{1} << 30;

  TTableFile() = default;
  ~TTableFile();
  TTableFile(const TTableFile&) = delete;
  TTableFile& operator=(const TTableFile&) = delete;

  void SetOps(TFileOps* ops) {
    ops_ = ops ? ops : &TFileOps::System();
    creation_.SetOps(*ops_);
  }
  void SetWaits(int changeMs, int writerMs, bool session);
  void SetFit(TFit fit) { fit_ = std::move(fit); }

  bool Open(const std::string& name, bool write);
  bool Create(const std::string& name, TCreate mode);
  // Only after Create: `content` becomes the whole new file, put in place.
  bool Finish(const Bytes& content);
  // Only for a writer: the writes, then the file cut or grown to `newLength`,
  // all or nothing. Writes that would not change a byte are left out; when
  // nothing changes, nothing is written at all. Held by a transaction, the
  // change is only staged.
  bool Commit(std::vector<TWrite> writes, std::int64_t newLength);
  // Releases the file and its locks; a table being created is abandoned, a
  // staged change thrown away.
  void Close();

  // `n` bytes at `offset` of the table as this writer sees it (its staged
  // change included); false when they lie beyond its length or a read fails.
  bool Read(std::int64_t offset, unsigned char* out, std::size_t n);
  // A session holder's whole table in memory, while nothing is staged;
  // empty when it is not kept (then Read reads the file).
  std::span<const unsigned char> Whole() const;

  bool IsOpen() const { return Fd() >= 0; }
  bool Writable() const { return state_ == TState::Writing || state_ == TState::Poisoned || Creating(); }
  bool Creating() const { return state_ == TState::Creating; }
  bool Poisoned() const { return state_ == TState::Poisoned; }
  // The table's file; while it is being created, the new file.
  int Fd() const { return fd_.Valid() ? fd_.Get() : creation_.Fd(); }
  const std::string& RealPath() const { return realPath_; }
  // A reader's copy of the whole file (or a poisoned writer's), handed over
  // once; Length() still gives its length.
  Bytes ReleaseCopy() { return std::move(copy_); }
  bool HasCopy() const { return hasCopy_; }
  // The table's length: a reader's copy's, a staged change's, or the file's
  // now; -1 on failure.
  std::int64_t Length() const;
  bool ReadThroughJournal() const { return readThrough_; }
  TRecovery Recovered() const { return recovered_; }
  const TTableError& Error() const { return error_; }

  // ---- for TTableTransaction (store/uTransaction.h) ----------------------
  // Held: Commit only stages, and Finish stops before the name.
  void Hold(bool held) { held_ = held; }
  bool Staged() const { return staged_ || state_ == TState::Created; }
  // Throws a staged change away.
  void Discard();
  bool LockChange();
  void UnlockChange();
  // The name still gives the file opened (Moved otherwise).
  bool StillAtItsName();
  // Works out the staged change: its journal and its writes. Nothing to
  // write leaves the journal without regions and Changes() false.
  bool Prepare();
  bool Changes() const { return prepared_ && (!change_.Writes.empty() || change_.Resize || creates_); }
  // The change record the journal names, by its path from the journal's folder.
  void NameRecord(std::uint64_t nonce, std::string path);
  // Writes and syncs the journal; syncs its folder too when asked.
  bool WriteJournal(bool syncFolder);
  // The staged bytes into the table, synced; a created table linked in.
  bool WriteChange();
  // After the commit: the journal goes (no sync: it is stale now), the
  // staged change becomes the table.
  void Finished();
  // After a failure: the table put back as it was (journal removed), or,
  // when even that fails, poisoned with its journal left for the next Open.
  bool Undo();
  std::string JournalFile() const { return JournalPath(realPath_); }
  // Outside Open: the transaction's own order of locks and writes.
  bool WriteAlone() { return Flush(); }
  bool WritePrepared();
  // Leftovers a writer's Open removed (bare names).
  const std::vector<std::string>& Removed() const { return removed_; }
  // Removes from `folder` what a crash left behind and nobody holds: the
  // temporary files of `tables` (bare names) and change records that are
  // over. `heldFd`: a table the caller holds, whose second name goes too.
  static std::vector<std::string> RemoveLeftovers(const std::string& folder, const std::vector<std::string>& tables,
                                                  int heldFd, TFileOps& ops);

 private:
  enum class TState : std::uint8_t {
    Closed,
    Reading,   // a reader, with its copy
    Writing,   // a writer
    Creating,  // Create done: the new table is being built under a temporary name
    Created,   // Finish done inside a transaction: the new table waits to be linked in
    Poisoned,  // a change could not be undone: reads from a copy, no more changes
  };
  // A sector of the table as the last commit left it and as staged now.
  struct TSector {
    Bytes Old;  // up to the table's committed end only
    Bytes Now;  // kSectorBytes long; zeros beyond the staged end
  };
  struct TChange {
    TJournal Journal;
    std::vector<TWrite> Writes;
    bool Resize = false;   // the length changes
    bool Written = false;    // the table may have been touched
    bool Uncertain = false;  // the journal was emptied, and that may last or not
  };

  bool Fail(TTableError why);
  // A failure the system gave with errno, told as "<what>: <its text>".
  bool FailSystem(TTableFault otherwise, std::string_view what);
  // Adds to the text of the failure already recorded; false.
  bool Amend(std::string_view more);
  TTableError NotOurs(const std::string& why) const;
  bool Resolve(const std::string& name, bool mayBeMissing);
  bool OpenRegular(int flags, TUniqueFd& out);
  bool TakeWriterLock(int fd);
  bool ReadJournal(std::int64_t tableLength, bool& found, TJournal& journal);
  // Whether a whole journal is hot: its change is not known to be over.
  bool Hot(const TJournal& journal) const;
  bool Fits(const TJournal& journal, Bytes& image, std::int64_t length);
  bool Recover();
  bool Uncreate(const TJournal& journal);
  bool TakeCopy();
  bool Stage(const std::vector<TWrite>& writes, std::int64_t newLength);
  bool LoadSector(std::int64_t index, std::map<std::int64_t, TSector>& into);
  std::uint64_t NewCrc(std::int64_t oldLength, const Bytes& cut) const;
  bool Flush();
  bool MarkCommitted();
  bool PutBack(const TJournal& journal);
  void Poison(const TJournal& journal);
  bool ReadRange(std::int64_t offset, std::int64_t n, Bytes& out) const;
  // The same, of the committed table: from memory when it is kept there.
  bool ReadCommitted(std::int64_t offset, std::int64_t n, Bytes& out) const;
  void Cache();
  bool Place();
  bool LinkCreated();
  bool EmptyLeftover(TUniqueFd& held);
  // Puts `prefix` before the text of the failure already recorded; false.
  bool PrefixError(std::string_view prefix);
  // A failure of the new file's TAtomicFile, told as "<what>: <its text>".
  bool FailCreation(TTableFault otherwise, std::string_view what);
  void CleanStaleTemps();
  bool ComputeCrc();
  void FeedCrc(std::int64_t offset, const unsigned char* p, std::int64_t n);

  TFileOps* ops_ = &TFileOps::System();
  TUniqueFd fd_;
  std::string realPath_;
  TState state_ = TState::Closed;
  TCreate createMode_ = TCreate::Replace;
  TAtomicFile creation_;  // the new file, from Create until it has its name and is closed
  TUniqueFd replaced_;  // the file Create(Replace) replaces, held until Finish
  Bytes copy_;
  std::int64_t copyLength_ = 0;
  bool hasCopy_ = false;
  int changeWaitMs_ = kLockWaitMs;
  int writerWaitMs_ = 0;
  bool session_ = false;
  TFit fit_;
  bool readThrough_ = false;
  TRecovery recovered_ = TRecovery::None;
  // A writer's CRC of its whole table as committed, kept up to date by each
  // change so that a journal names the table it belongs to without the
  // table being reread.
  std::uint64_t crc_ = 0;
  bool crcKnown_ = false;
  std::int64_t crcAt_ = 0;  // crc_ covers the table's bytes up to here while not yet known
  std::int64_t length_ = 0;  // a writer's committed length
  Bytes image_;              // a writer's committed table, when cached_
  bool cached_ = false;
  // The staged change.
  bool held_ = false;
  bool staged_ = false;
  std::map<std::int64_t, TSector> shadow_;  // by sector number
  std::int64_t stagedLength_ = 0;
  std::int64_t zeroFrom_ = 0;  // committed bytes from here on read as zero (cut, maybe grown again)
  bool prepared_ = false;
  bool creates_ = false;
  std::uint64_t createdCrc_ = 0;
  TChange change_;
  TUniqueFd journal_;  // the journal being written, locked until the change is over
  std::vector<std::string> removed_;
  TTableError error_;
};

}  // namespace kadrel
