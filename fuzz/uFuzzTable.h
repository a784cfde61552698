// The body of the table fuzzer, shared by the libFuzzer target (fuzz_table)
// and by the test that replays the corpus and every crash ever found
// (tests/store/test_fuzz_replay.cpp). Header-only so that the ordinary and
// the sanitizer builds compile it without the fuzzing toolchain.
//
// FuzzTable(bytes) writes the bytes to a file and checks, whatever they are:
//   - Open in mode 0x20 and in mode 2 agree; a refusal comes with a reason;
//   - readers share the file with one writer, a second writer is refused,
//     and a reader keeps seeing the table as it was when it opened;
//   - an opened table scans slot by slot exactly as its counts say, and
//     every field of every slot can be read;
//   - a writable table survives Append, Post, Edit, Delete, Pack and Close,
//     and the file they leave opens again with the records expected.
// It returns the problems found (empty when none); the fuzz target aborts on
// any, so libFuzzer records the input.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/uFileOps.h"
#include "schedule/uShiftUser.h"  // for the readers below; the replay test links kadrel_core
#include "store/uTableStream.h"

namespace kadrel::fuzz {

// A folder for the fuzz input, made once per process and removed at exit.
class TFuzzDir {
 public:
  TFuzzDir() {
    std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kadrel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TFuzzDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TFuzzDir(const TFuzzDir&) = delete;
  TFuzzDir& operator=(const TFuzzDir&) = delete;
  std::string File() const { return (path_ / "fuzz.kd2").string(); }

 private:
  std::filesystem::path path_;
};

// Real writes without the fsyncs, which would only slow the fuzzer down.
class TNoSyncOps : public TFileOps {
 public:
  int Sync(int) override { return 0; }
};

inline bool WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    ssize_t r = ::write(fd, data + done, size - done);
    if (r <= 0) break;
    done += static_cast<std::size_t>(r);
  }
  ::close(fd);
  return done == size;
}

// Reads every field of the current slot in every way a caller can.
inline void ReadEveryField(TTableStream& t) {
  volatile std::size_t sink = 0;
  for (int i = -1; i <= t.Fields().Count(); ++i) {
    TRecordStream& r = t.FieldByIndex(i);
    sink = sink + static_cast<std::size_t>(r.AsInteger()) + r.AsString().size();
    double f = r.AsFloat();
    sink = sink + (f == f ? 1u : 0u);
    if (r.AsInteger() != t.FieldByIndex(i).AsInteger()) sink = sink + 1;  // reading twice
  }
  sink = sink + t.FieldByName("Name").AsString().size() + t.FieldByName("no such field").AsString().size();
}

// Readers layered on the table, run on every live record of `users` (its
// cursor is saved and restored around them) with two more read-only openers
// of the same file standing for the other two schedule files.
inline void ExerciseRecordReaders(TTableStream& users, TTableStream& shifts, TTableStream& works) {
  TScheduleRecords records(shifts, works, users, TWritePolicy::Trimmed);
  const std::optional<TUserRecord> record = records.UserAt(users.CurrentSlot());
  if (!record) return;
  records.StoredCycle(record->ShiftID);
  TShiftUser user;
  LoadShiftUser(user, records, *record);
  std::string duty;
  for (TDateTime day : {-1e7, -1.5, 0.0, 37742.0, 73051.0, 1e7, user.Start, user.Start - 1}) {
    GetDutyName(user, day, duty);
  }
}

// A full scan as every caller makes it; counts what it saw.
inline void CheckScan(TTableStream& t, std::string& problems) {
  std::int32_t slots = 0;
  std::int32_t deleted = 0;
  for (t.First(); !t.Eof() && slots <= t.RecordCount(); t.Next()) {
    if (t.RecordCount() == 0) break;
    ++slots;
    if (t.CurrentSlot() != slots) problems += "scan visits slot " + std::to_string(t.CurrentSlot()) + "; ";
    if (t.IsDeleted()) ++deleted;
    ReadEveryField(t);
  }
  if (slots != t.RecordCount()) problems += "scan saw " + std::to_string(slots) + " slots; ";
  if (deleted != t.DeletedCount()) problems += "scan saw " + std::to_string(deleted) + " deleted; ";
}

inline void CheckOpened(TTableStream& t, std::int64_t fileSize, std::string& problems) {
  if (!t.ErrorString().empty()) problems += "opened with an error string; ";
  if (std::int64_t{t.DataStart()} + std::int64_t{t.RecordCount()} * t.SlotSize() != fileSize) {
    problems += "counts do not add up to the file length; ";
  }
  if (t.DeletedCount() < 0 || t.DeletedCount() > t.RecordCount() || t.AppendedCount() < t.RecordCount()) {
    problems += "counts out of range; ";
  }
  CheckScan(t, problems);
}

// Cursor moves, searches and saved positions on a read-only table.
inline void ExerciseReading(TTableStream& t, TTableStream& t2, TTableStream& t3, std::string& problems) {
  t.MoveBy(-1);
  t.MoveBy(0);
  t.First();
  int pushed = t.PushPosition();
  t.LocateText("Name", "li");
  t.LocateInteger("ID", 1);
  t.MoveBy(t.RecordCount() / 2);
  t.MoveBy(-1);
  if (pushed >= 0) t.PopPosition();
  for (t.First(); !t.Eof() && t.RecordCount() > 0; t.Next()) {
    if (t.IsDeleted()) continue;
    if (t.PushPosition() < 0) break;
    ExerciseRecordReaders(t, t2, t3);
    t.PopPosition();
  }
  if (t.Edit() || t.Append() || t.Delete() || t.Post() || t.Pack()) problems += "a read-only table changed; ";
}

// Fills the record being appended or edited with small values.
inline bool FillRecord(TTableStream& t, std::int32_t n) {
  bool ok = true;
  for (int i = 0; i < t.Fields().Count(); ++i) {
    TFieldDef f = t.Fields().Field(i);
    if (f.Type == 3) {
      ok = ok && t.SetText(i, std::string(static_cast<std::size_t>(std::min(f.Width - 1, 2)), 'a'));
    } else if (f.Type == 1) {
      ok = ok && t.SetInteger(i, n);
    } else {
      ok = ok && t.SetFloat(i, n);
    }
  }
  return ok;
}

// Changes a writable table and checks that the file stays valid.
inline void ExerciseWriting(TTableStream& t, const std::string& path, std::string& problems) {
  const std::int32_t live = t.RecordCount() - t.DeletedCount();
  const bool canAppend = t.AppendedCount() < 2147483647;
  if (t.Append() != canAppend) problems += "Append disagrees with the appended count; ";
  if (canAppend && !(FillRecord(t, 7) && t.Post())) problems += "Post failed: " + t.ErrorString() + "; ";
  if (canAppend && !(t.Edit() && FillRecord(t, 8) && t.Post())) problems += "Edit failed; ";
  std::int32_t expected = live + (canAppend ? 1 : 0);
  for (t.First(); !t.Eof() && t.RecordCount() > 0; t.Next()) {
    if (t.IsDeleted()) continue;
    if (!t.Delete()) problems += "Delete failed: " + t.ErrorString() + "; ";
    if (t.Delete()) problems += "Delete of a deleted slot; ";
    --expected;
    break;
  }
  if (!t.Pack()) problems += "Pack failed: " + t.ErrorString() + "; ";
  if (t.RecordCount() != expected || t.DeletedCount() != 0) problems += "Pack left the wrong counts; ";
  if (!t.Close()) problems += "Close failed: " + t.ErrorString() + "; ";
  TTableStream again(path, TTableStream::kModeReadShared);
  if (!again.IsOpen()) problems += "our own file does not open: " + again.ErrorString() + "; ";
  if (again.IsOpen() && again.RecordCount() != expected) problems += "records lost; ";
}

inline std::string FuzzTable(const std::uint8_t* data, std::size_t size) {
  static TFuzzDir dir;
  static TNoSyncOps noSync;
  const std::string path = dir.File();
  if (!WriteInput(path, data, size)) return {};  // nowhere to write: nothing to test
  std::string problems;
  bool readable = false;
  {
    TTableStream t(path, TTableStream::kModeReadShared);
    readable = t.IsOpen();
    if (!readable && t.ErrorString().empty()) problems += "refused without a reason; ";
    if (readable == t.Error().Failed()) problems += "the failure's kind disagrees with the outcome; ";
    if (readable) {
      CheckOpened(t, static_cast<std::int64_t>(size), problems);
      TTableStream t2(path, TTableStream::kModeReadShared);
      TTableStream t3(path, TTableStream::kModeReadShared);
      if (!t2.IsOpen() || !t3.IsOpen()) problems += "a second reader was refused; ";
      ExerciseReading(t, t2, t3, problems);
    }
  }
  // A reader opened before the writer keeps the table as it was then.
  TTableStream early(path, TTableStream::kModeReadShared);
  TTableStream w(TTableStream::kModeReadWrite);
  w.SetFileOps(&noSync);
  if (w.Open(path) != readable) problems += "mode 2 and mode 0x20 disagree; ";
  if (w.IsOpen()) {
    TTableStream second(path, TTableStream::kModeReadWrite);
    if (second.IsOpen()) problems += "a second writer got in; ";
    ExerciseWriting(w, path, problems);
  }
  if (early.IsOpen()) {
    const std::int32_t slots = early.RecordCount();
    CheckScan(early, problems);
    if (early.RecordCount() != slots) problems += "an early reader's table changed; ";
  }
  return problems;
}

}  // namespace kadrel::fuzz
