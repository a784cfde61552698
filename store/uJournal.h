// The rollback journal of a table: "<table>-journal", beside the table's
// real file (a symlinked table's journal lives beside the file it names).
// It exists only while a change is being written, and holds what the table
// looked like before it:
//
//   offset  size  content
//   0       8     magic "KDRLJNL2"
//   8       8     CRC-64/XZ of bytes 16..95 (the rest of this header)
//   16      8     CRC-64/XZ of the body (every byte from 96 to the end)
//   24      8     body length: the journal's length less 96
//   32      8     old length: the table's length before the change;
//                 all ones: the change creates the table (it had no file)
//   40      8     old CRC: CRC-64/XZ of the whole table before the change
//                 (0 when it had no file)
//   48      8     new length: the table's length once the change is written
//   56      8     new CRC: CRC-64/XZ of the whole table after the change
//   64      4     sector size S (kSectorBytes)
//   68      4     region count n
//   72      8     nonce of the change record (store/uTransaction.h); 0: the
//                 change is this table's alone
//   80      4     length m of the change record's path
//   84      12    zero
//   96      m     the change record's path, relative to this journal's
//                 folder unless it starts with '/'
//   96+m    ...   n regions, each: offset (8), length L (4), zero (4), then
//                 the L bytes the table held there before the change
//
// All integers are little-endian. Regions are sorted, do not overlap, start
// on a multiple of S and end on one or at the old length. They hold the old
// bytes of every sector the change writes, and of every sector from the one
// holding the new length to the old end when the change cuts the table.
// Whole sectors, because a power cut may leave a sector being written with
// any bytes at all (a torn sector), not only the ones the change wrote: the
// journal puts all of it back. 4096: the page the kernel writes back, and a
// multiple of every disk's atomic unit (512 or 4096), so a torn unit never
// reaches outside the sectors the journal holds.
//
// The writer's order of work for a change of one table (store/uTableFile.h):
//   1. journal written and synced, its folder synced (the name must survive
//      a power cut, or the table's writes could land without it);
//   2. the table written (and cut or grown to its new length), synced;
//   3. the journal emptied and synced: the change is committed and survives
//      a power cut; then the journal is removed, with no sync: an empty
//      journal is no journal.
// Four syncs. A journal that is cut short, or whose checksums fail, was
// still being written when the process or the power died: the table was
// not yet touched and the journal is discarded. A whole journal means the
// table may hold any mix of old, new and torn sectors in its regions:
// writing the old bytes back and cutting the table to its old length gives
// exactly the state before the change. Doing so twice gives the same result,
// so a crash while a journal is replayed loses nothing either.
//
// A whole journal must also fit the table it lies beside, or it is refused
// as damage (never applied), with what to do: the table's length lies
// between the old and the new length (a change moves it only between the
// two); the regions hold all of the table that the change cut; the table
// with the old bytes put back is exactly the table the journal was written
// for (its CRC); and the table's own format agrees that one change could
// lead from that table to the length it has now (TTableFile's fit check).
// A journal left beside another table (a backup or a synced copy put back,
// a table that grew since, a forgery that would cut the table) fails one of
// these. Its header alone decides whether the rest is read: a journal larger
// than any change of this table could write costs a reader nothing.
//
// The version before this one ("KDRLJNL1": magic, checksum of bytes 16 on,
// old length, old CRC, region count (4), zero (4), then regions of offset
// (8), length (4) and bytes, holding exactly the bytes a change overwrote)
// is still read, so that a change a previous version left interrupted is
// still undone; it knows no new length, so the table's fit check decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/uCrc64.h"

namespace kadrel {

struct TJournalRegion {
  std::int64_t Offset = 0;
  std::vector<unsigned char> Old;
};

struct TJournal {
  int Version = 2;
  std::int64_t OldLength = 0;  // -1: the change creates the table
  std::uint64_t OldCrc = 0;
  std::int64_t NewLength = -1;  // -1: not known (an old journal)
  std::uint64_t NewCrc = 0;
  std::uint64_t Nonce = 0;  // 0: the change is this table's alone
  std::string Record;       // the change record's path, as stored
  std::vector<TJournalRegion> Regions;

  bool Creates() const { return OldLength < 0; }
};

inline constexpr std::int64_t kSectorBytes = 4096;
inline constexpr std::size_t kJournalHeaderBytes = 96;
inline constexpr std::size_t kJournalRegionHeaderBytes = 16;
inline constexpr std::size_t kMaxRecordPathBytes = 4096;

std::string JournalPath(const std::string& tablePath);

std::vector<unsigned char> EncodeJournal(const TJournal& journal);

enum class TJournalState {
  Torn,     // not a whole journal: discard it, the table was not touched
  Valid,    // whole, and fits the table: replay it
  Damaged,  // whole, but it cannot belong to this table: refuse, never apply
};

// The largest journal file a change of a table now `tableLength` long can
// leave unfinished (the table untouched, so still that long). Anything
// larger that is not a whole journal cannot be one of ours.
std::int64_t LargestUnfinishedJournal(std::int64_t tableLength);

// From the first min(fileSize, kJournalHeaderBytes) bytes of a journal file
// of `fileSize` bytes beside a table now `tableLength` long: Torn (never
// read further), Damaged (refused unread), or Valid (read it all and
// decode it). `why` says what is wrong.
TJournalState PeekJournal(const unsigned char* head, std::size_t size, std::int64_t fileSize,
                          std::int64_t tableLength, std::string& why);

// Reads the bytes of a whole journal file found beside a table whose length
// is now `tableLength`. `journal` is filled only when Valid; `why` says what
// is wrong otherwise.
TJournalState DecodeJournal(const unsigned char* data, std::size_t size, std::int64_t tableLength,
                            TJournal& journal, std::string& why);

// The nonce of a journal from its first kJournalHeaderBytes, 0 when they
// are not a whole header of this version.
std::uint64_t JournalNonce(const unsigned char* head, std::size_t size);

// Applies a valid journal of a table that existed to a copy of the table
// held in memory; false (the copy then undefined) when the result is not
// the table the journal was written for.
bool ApplyJournal(const TJournal& journal, std::vector<unsigned char>& image);

// The change record of a change of several tables; see store/uTransaction.h.
// Its name in its folder: this prefix and its nonce in 16 hex digits.
inline constexpr const char* kChangeRecordPrefix = "kadrel-change-";
struct TChangeRecord {
  std::uint64_t Nonce = 0;
  std::vector<std::string> Journals;
};

std::vector<unsigned char> EncodeChangeRecord(const TChangeRecord& record);
// False for an empty record (a committed change), a torn one, or a file
// that is not one.
bool DecodeChangeRecord(const unsigned char* data, std::size_t size, TChangeRecord& record);

}  // namespace kadrel
