// The body of the journal fuzzer (fuzz_journal), replayed by
// tests/store/test_fuzz_replay.cpp. Input: one flag byte, then the bytes of a
// journal found beside a fixed, valid users table. Flag bit 0 gives the
// journal a right checksum and bit 1 also the CRC of what it would give back,
// so that the fuzzer gets past them to the regions. Whatever the bytes:
//   - nothing crashes, and a refusal comes with a reason;
//   - a torn journal (checksum wrong) is never applied: a reader sees the
//     table as it is, a writer leaves its bytes alone and drops the journal;
//   - a whole journal that is not the table's is refused by both, and
//     leaves table and journal as they were;
//   - one that fits is applied exactly: the writer leaves the table as the
//     journal gives it back, and the reader sees what the writer kept.
#pragma once

#include <cstring>
#include <filesystem>

#include "fuzz/uFuzzTable.h"
#include "store/uJournal.h"

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

inline void FixChecksum(Bytes& journal) {
  PutU64(journal, 8, Crc64(journal.data() + 16, journal.size() - 16));
}

inline std::string FuzzJournal(const std::uint8_t* data, std::size_t size) {
  static TFuzzDir dir;
  static TNoSyncOps noSync;
  const Bytes& table = FuzzJournalTable(dir);
  if (size < 1 || table.empty()) return {};
  const std::string path = dir.File();
  const std::string journalPath = JournalPath(path);
  Bytes journal(data + 1, data + size);
  const bool whole = (data[0] & 1) && journal.size() >= kJournalHeaderBytes;
  TJournal parsed;
  std::string why;
  if (whole) {
    FixChecksum(journal);
    Bytes image = table;
    if ((data[0] & 2) &&
        DecodeJournal(journal.data(), journal.size(), static_cast<std::int64_t>(table.size()), parsed, why) ==
            TJournalState::Valid &&
        static_cast<std::uint64_t>(parsed.OldLength) <= table.size() + journal.size()) {
      ApplyJournal(parsed, image);
      PutU64(journal, 24, Crc64(image.data(), image.size()));
      FixChecksum(journal);
    }
  }
  const TJournalState state =
      DecodeJournal(journal.data(), journal.size(), static_cast<std::int64_t>(table.size()), parsed, why);
  Bytes expected = table;
  const bool ours = state == TJournalState::Valid && ApplyJournal(parsed, expected);

  if (!WriteInput(path, table.data(), table.size()) || !WriteInput(journalPath, journal.data(), journal.size())) {
    return {};
  }
  std::string problems;
  std::string readerView;
  {
    TTableStream r(path, TTableStream::kModeReadShared);
    readerView = TableView(r);
    if (!r.IsOpen() && r.ErrorString().empty()) problems += "reader refused without a reason; ";
    if (state == TJournalState::Torn && !r.IsOpen()) problems += "a torn journal kept the reader out; ";
    if (state != TJournalState::Torn && !ours && r.IsOpen()) problems += "a reader applied a journal not ours; ";
  }
  if (ReadAllBytes(path) != table || ReadAllBytes(journalPath) != journal) problems += "a reader changed a file; ";
  TTableStream w(TTableStream::kModeReadWrite);
  w.SetFileOps(&noSync);
  const bool opened = w.Open(path);
  const std::string writerView = TableView(w);
  w.Close();
  const Bytes after = ReadAllBytes(path);
  const bool journalLeft = ::access(journalPath.c_str(), F_OK) == 0;
  if (state == TJournalState::Torn) {
    if (after != table) problems += "a torn journal was applied; ";
    if (journalLeft) problems += "a torn journal was kept; ";
    TTableStream plain(path, TTableStream::kModeReadShared);
    if (readerView != TableView(plain)) problems += "the reader did not see the table as it is; ";
  } else if (!ours) {
    if (opened) problems += "a writer opened beside a journal not ours; ";
    if (after != table || !journalLeft) problems += "a journal not ours was applied or removed; ";
  } else {
    if (after != expected) problems += "the journal was not applied exactly; ";
    if (journalLeft) problems += "an applied journal was kept; ";
    if (opened && readerView != writerView) problems += "reader and writer saw different tables; ";
  }
  ::unlink(journalPath.c_str());
  return problems;
}

}  // namespace kadrel::fuzz
