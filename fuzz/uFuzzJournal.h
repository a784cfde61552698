// The body of the journal fuzzer (fuzz_journal), replayed by
// tests/store/test_fuzz_replay.cpp. Input: one flag byte, then the bytes of a
// journal found beside a fixed, valid users table, in either format (this
// version's "KDRLJNL2", or the one before's "KDRLJNL1"). Flag bit 0 gives
// the journal right checksums (and, in this version's format, the right
// body length) and bit 1 also the CRC of what it would give back, so that
// the fuzzer gets past them to the regions. Whatever the bytes:
//   - nothing crashes, and a refusal comes with a reason;
//   - a torn journal (a checksum wrong), and one whose change record is
//     gone, are never applied: a reader sees the table as it is, a writer
//     leaves its bytes alone and drops the journal;
//   - a whole journal that is not the table's (its old table, or the table's
//     format, says no change could lead from there to the table now) is
//     refused by both, and leaves table and journal as they were;
//   - one that fits is applied exactly: the writer leaves the table as the
//     journal gives it back, and the reader sees what the writer kept; one
//     that undoes the table's creation takes the table away again, but only
//     while it is exactly the table created.
#pragma once

#include <cstring>
#include <filesystem>

#include "fuzz/uFuzzTable.h"
#include "store/uJournal.h"
#include "store/uTableHold.h"

namespace kadrel::fuzz {

using Bytes = std::vector<unsigned char>;

inline Bytes ReadAllBytes(const std::string& path) {
  Bytes b;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return b;
  unsigned char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) b.insert(b.end(), buf, buf + n);
  ::close(fd);
  return b;
}

// Users u1..u4, slot 2 deleted: header, field table and five-byte marks
// for the regions to land on.
inline const Bytes& FuzzJournalTable(const TFuzzDir& dir) {
  static const Bytes table = [&] {
    const std::string path = dir.File() + ".seed";
    TTableStream t(TTableStream::kModeReadWrite);
    t.CreateTable(path);
    t.Fields().AddField("Name", 3, 10);
    t.Fields().AddField("ShiftID", 1);
    t.Fields().AddField("Start", 4);
    t.Fields().AddField("FirstID", 1);
    t.Close();
    t.Open(path);
    for (int i = 1; i <= 4; ++i) {
      t.Append();
      t.SetText(0, "u" + std::to_string(i));
      t.SetInteger(1, i);
      t.SetFloat(2, 37627.0 + i);
      t.SetInteger(3, 0);
      t.Post();
    }
    t.First();
    t.Next();
    t.Delete();
    t.Close();
    Bytes b = ReadAllBytes(path);
    ::unlink(path.c_str());
    return b;
  }();
  return table;
}

// What a reader learns of a table: its counts and every slot.
inline std::string TableView(TTableStream& t) {
  if (!t.IsOpen()) return "closed: " + t.ErrorString();
  std::string s = std::to_string(t.RecordCount()) + "/" + std::to_string(t.DeletedCount()) + "/" +
                  std::to_string(t.FreeListHead()) + "/" + std::to_string(t.AppendedCount());
  if (t.RecordCount() > 0) {
    for (t.First(); !t.Eof(); t.Next()) {
      const auto& b = t.FieldByIndex(0).Bytes();
      s.append("|").append(b.begin(), b.end());
    }
  }
  return s;
}

inline void PutU64(Bytes& b, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

inline bool IsVersion2(const Bytes& journal) {
  return journal.size() >= kJournalHeaderBytes && std::memcmp(journal.data(), "KDRLJNL2", 8) == 0;
}

inline void FixChecksums(Bytes& journal) {
  if (!IsVersion2(journal)) {
    PutU64(journal, 8, Crc64(journal.data() + 16, journal.size() - 16));
    return;
  }
  const std::size_t head = kJournalHeaderBytes;
  PutU64(journal, 24, journal.size() - head);
  PutU64(journal, 16, Crc64(journal.data() + head, journal.size() - head));
  PutU64(journal, 8, Crc64(journal.data() + 16, head - 16));
}

inline std::string FuzzJournal(const std::uint8_t* data, std::size_t size) {
  static TFuzzDir dir;
  static TNoSyncOps noSync;
  const Bytes& table = FuzzJournalTable(dir);
  if (size < 1 || table.empty()) return {};
  const std::string path = dir.File();
  const std::string journalPath = JournalPath(path);
  const auto length = static_cast<std::int64_t>(table.size());
  Bytes journal(data + 1, data + size);
  TJournal parsed;
  std::string why;
  if ((data[0] & 1) && journal.size() >= 40) {
    FixChecksums(journal);
    Bytes image = table;
    if ((data[0] & 2) && DecodeJournal(journal.data(), journal.size(), length, parsed, why) == TJournalState::Valid &&
        !parsed.Creates() && static_cast<std::uint64_t>(parsed.OldLength) <= table.size() + journal.size()) {
      ApplyJournal(parsed, image);
      PutU64(journal, IsVersion2(journal) ? 40 : 24, Crc64(image.data(), image.size()));
      FixChecksums(journal);
    }
  }
  const TJournalState state = DecodeJournal(journal.data(), journal.size(), length, parsed, why);
  // No change record lies beside the table: a journal that names one is stale.
  const bool hot = state == TJournalState::Valid && parsed.Nonce == 0;
  Bytes expected = table;
  const bool creates = hot && parsed.Creates();
  const bool ours = hot && (creates ? Crc64(table.data(), table.size()) == parsed.NewCrc
                                    : ApplyJournal(parsed, expected) && TableJournalFit(expected, length).empty());
  const bool dropped = state == TJournalState::Torn || (state == TJournalState::Valid && !hot);

  if (!WriteInput(path, table.data(), table.size()) || !WriteInput(journalPath, journal.data(), journal.size())) {
    return {};
  }
  std::string problems;
  std::string readerView;
  {
    TTableStream r(path, TTableStream::kModeReadShared);
    readerView = TableView(r);
    if (!r.IsOpen() && r.ErrorString().empty()) problems += "reader refused without a reason; ";
    if (dropped && !r.IsOpen()) problems += "a torn or stale journal kept the reader out; ";
    if (!dropped && !ours && r.IsOpen()) problems += "a reader applied a journal not ours; ";
    if (ours && creates && (r.IsOpen() || r.Error().Errno != ENOENT)) problems += "an undone creation was read; ";
    if (r.IsOpen() && r.ReadThroughJournal() != (ours && !creates)) problems += "the reader says otherwise; ";
  }
  if (ReadAllBytes(path) != table || ReadAllBytes(journalPath) != journal) problems += "a reader changed a file; ";
  TTableStream w(TTableStream::kModeReadWrite);
  w.SetFileOps(&noSync);
  const bool opened = w.Open(path);
  const std::string writerView = TableView(w);
  w.Close();
  const bool tableLeft = ::access(path.c_str(), F_OK) == 0;
  const Bytes after = ReadAllBytes(path);
  const bool journalLeft = ::access(journalPath.c_str(), F_OK) == 0;
  if (dropped) {
    if (after != table) problems += "a torn or stale journal was applied; ";
    if (journalLeft) problems += "a torn or stale journal was kept; ";
    TTableStream plain(path, TTableStream::kModeReadShared);
    if (readerView != TableView(plain)) problems += "the reader did not see the table as it is; ";
  } else if (!ours) {
    if (opened) problems += "a writer opened beside a journal not ours; ";
    if (after != table || !journalLeft) problems += "a journal not ours was applied or removed; ";
  } else if (creates) {
    if (opened || tableLeft || journalLeft) problems += "an interrupted creation was not undone; ";
  } else {
    if (after != expected) problems += "the journal was not applied exactly; ";
    if (journalLeft) problems += "an applied journal was kept; ";
    if (opened && readerView != writerView) problems += "reader and writer saw different tables; ";
  }
  ::unlink(journalPath.c_str());
  return problems;
}

}  // namespace kadrel::fuzz
