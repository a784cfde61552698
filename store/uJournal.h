// The rollback journal of a table: "<table>-journal", beside the table's
// real file (a symlinked table's journal lives beside the file it names).
// It exists only while a change is being written, and holds what the table
// looked like before it:
//
//   offset  size  content
//   0       8     magic "KDRLJNL1"
//   8       8     checksum: CRC-64/XZ of every byte from offset 16 to the end
//   16      8     the table's length before the change
//   24      8     CRC-64/XZ of the whole table before the change
//   32      4     region count n
//   36      4     zero
//   40      ...   n regions, each: offset (8), length L (4), then the L bytes
//                 the table held there before the change
//
// All integers are little-endian. The writer's order of work for a change:
//   1. journal written and fsynced, its folder fsynced (the name must survive
//      a power cut, or the table's writes could land without it);
//   2. the table written (and cut or grown to its new length), fsynced;
//   3. the journal removed: the change is committed.
// So a journal that fails its checksum (or is cut short) was still being
// written when the process or the power died: the table was not yet touched
// and the journal is discarded. A whole journal means the table may hold any
// mix of old and new bytes in its regions: writing the old bytes back and
// cutting the table to its old length gives exactly the state before the
// change. Doing so twice gives the same result, so a crash while a journal
// is replayed loses nothing either.
//
// A journal with a good checksum must also belong to the table it lies
// beside, or it is refused as damage (never applied): every region lies
// inside the old length, the regions cover all of the old table beyond the
// table's present length (a change that cut the table saved the part it
// cut), and the table with the old bytes put back is exactly the table the
// journal was written for (its CRC). A change only ever touches its regions,
// so every state a crash or power cut can leave passes; a journal left beside
// another file (a backup put back over the table, say) does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kadrel {

struct TJournalRegion {
  std::int64_t Offset = 0;
  std::vector<unsigned char> Old;
};

struct TJournal {
  std::int64_t OldLength = 0;
  std::uint64_t OldCrc = 0;
  std::vector<TJournalRegion> Regions;
};

inline constexpr std::size_t kJournalHeaderBytes = 40;
inline constexpr std::size_t kJournalRegionHeaderBytes = 12;
// No journal of ours comes near this; a bigger file is refused unread.
inline constexpr std::int64_t kMaxJournalBytes = std::int64_t{1} << 30;

std::string JournalPath(const std::string& tablePath);

// CRC-64/XZ (ECMA-182 polynomial, reflected, all ones in and out).
std::uint64_t Crc64(const unsigned char* data, std::size_t size, std::uint64_t crc = 0);

// The CRC of A followed by B from the CRCs of A and B and B's length, in
// O(log length): how a writer keeps its table's CRC without rereading it.
std::uint64_t Crc64Combine(std::uint64_t crcA, std::uint64_t crcB, std::uint64_t lengthB);

std::vector<unsigned char> EncodeJournal(const TJournal& journal);

enum class TJournalState {
  Torn,     // not a whole journal: discard it, the table was not touched
  Valid,    // whole, and fits the table: replay it
  Damaged,  // whole, but it cannot belong to this table: refuse, never apply
};

// Reads the bytes of a journal file found beside a table whose length is now
// `tableLength`. `journal` is filled only when Valid; `why` says what is wrong
// otherwise.
TJournalState DecodeJournal(const unsigned char* data, std::size_t size, std::int64_t tableLength,
                            TJournal& journal, std::string& why);

// Applies a valid journal to a copy of the table held in memory; false (the
// copy then undefined) when the result is not the table the journal was
// written for.
bool ApplyJournal(const TJournal& journal, std::vector<unsigned char>& image);

}  // namespace kadrel
