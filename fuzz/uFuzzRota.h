// The body of the rota fuzzer (fuzz_rota), replayed by
// tests/schedule/test_rota_fuzz_replay.cpp. Input: one flag byte, then the
// bytes of an exceptions file (flag bit 0 clear) or a history file (set),
// found beside three fixed schedule files: duty kinds 1 and 2, scheme 1 of
// both, users Zhang and Li of it and Wang without one. Whatever the bytes:
//   - nothing crashes, a refusal comes with a reason, and the file opens
//     for reading exactly when it opens for writing, and when the data
//     folder that holds it opens;
//   - every user's day resolves, over every day the records name and a
//     fixed set of others, and a month resolves as its days do;
//   - adding exceptions of every kind either succeeds or is refused with a
//     reason, dropping them leaves the records as they were, and neither
//     touches the three schedule files;
//   - a change of scheme leaves every earlier day as it was, and gives the
//     new scheme from its first day on.
// It returns the problems found (empty when none); the target aborts on any.
#pragma once

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "fuzz/uFuzzJournal.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel::fuzz {

inline const TDateTime kRotaDay = 45667;  // 2025-01-10

// The three schedule files' bytes, made once.
inline const std::array<std::vector<unsigned char>, 3>& RotaScheduleImages(const std::string& dir) {
  static const auto images = [&] {
    std::array<std::vector<unsigned char>, 3> bytes;
    TScheduleTables tables;
    TScheduleError error;
    OpenScheduleTables(tables, dir, TScheduleAccess::Write, error);
    TScheduleRecords records(tables, TWritePolicy::Trimmed);
    TDutyKindRecord day{0, GbkLiteral("白班"), ""}, night{0, GbkLiteral("夜班"), ""};
    records.SaveDutyKind(day, error);
    records.SaveDutyKind(night, error);
    TSchemeRecord scheme{0, "S", {1, 2}};
    records.SaveScheme(scheme, error);
    for (auto [name, shift, place] : {std::tuple{"Zhang", 1, 0}, {"Li", 1, 1}, {"Wang", -1, -1}}) {
      TUserRecord user{0, name, shift, 45658, place};
      records.SaveUser(user, error);
    }
    CloseScheduleTables(tables, error);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::string path = SchedulePath(dir, kScheduleFiles[i]);
      bytes[i] = ReadAllBytes(path);
      ::unlink(path.c_str());
    }
    return bytes;
  }();
  return images;
}

// Every user's days: those the records name, around the fixed day, and far off.
inline void CheckResolving(TScheduleRecords& records, TTableStream& exceptions, TTableStream& history,
                           std::string& problems) {
  const auto snapshot = TRotaSnapshot::Build(records, exceptions, history);
  std::vector<TDateTime> days = {-1e300, -1.5, 0, kRotaDay, kRotaDay + 0.75, 2958465, 1e13};
  for (const auto& r : ReadExceptions(exceptions)) days.insert(days.end(), {r.First, r.Last, r.Last + 1});
  for (const auto& h : ReadHistory(history)) days.insert(days.end(), {h.Until - 1, h.Until, h.Start});
  TRotaRecords rota(records, exceptions, history);
  for (std::size_t user = 0; user < snapshot->UserCount(); ++user) {
    rota.ExceptionsOf(snapshot->UserName(user), kRotaDay - 400, kRotaDay + 400);
    rota.HistoryOf(snapshot->UserName(user));
    for (TDateTime day : days) {
      const TResolvedDay resolved = snapshot->Resolve(user, day);
      if (!resolved.Duty.Has && !resolved.Duty.Name.empty()) problems += "a day without a duty has a name; ";
      if (resolved.Kind == TExceptionKind::None && (!resolved.Extras.empty() || !resolved.Note.empty())) {
        problems += "a changed day has no kind; ";
      }
      DayDutyText(resolved);
      DayMark(resolved);
      DayHoverLines(resolved);
      snapshot->Explain(user, day);
      snapshot->Planned(user, day);
    }
    const auto month = snapshot->ResolveRange(user, kRotaDay - 15, kRotaDay + 15);
    for (std::size_t i = 0; i < month.size(); ++i) {
      if (DayDutyText(month[i]) != DayDutyText(snapshot->Resolve(user, kRotaDay - 15 + static_cast<double>(i)))) {
        problems += "a month resolves unlike its days; ";
      }
    }
  }
}

inline void CheckExceptionChanges(TRotaRecords& rota, const std::string& dir, std::string& problems) {
  std::vector<std::vector<unsigned char>> schedule;
  for (TScheduleFile f : kScheduleFiles) schedule.push_back(ReadAllBytes(SchedulePath(dir, f)));
  const auto before = rota.Exceptions();
  std::vector<std::int32_t> added;
  for (int kind = 1; kind <= 5; ++kind) {
    TExceptionRecord r;
    r.Kind = static_cast<TExceptionKind>(kind);
    r.User = kind == 2 ? "Li" : "Zhang";
    r.First = kRotaDay;
    r.Last = kind == 2 ? kRotaDay + 2 : kRotaDay;
    r.DutyID = 2;
    r.Partner = "Li";
    r.Leave = GbkLiteral("年假");
    r.Note = "n";
    TRotaError error;
    if (rota.AddException(r, error)) {
      added.push_back(r.ID);
      if (r.Link != 0) added.push_back(r.Link);
    } else if (error.Reason.empty()) {
      problems += "an exception refused without a reason; ";
    }
  }
  std::vector<std::int32_t> gone;
  for (std::int32_t id : added) {
    if (std::find(gone.begin(), gone.end(), id) != gone.end()) continue;  // a swap's second half
    std::vector<TExceptionRecord> dropped;
    TRotaError error;
    if (!rota.DropException(id, dropped, error)) problems += "dropping an exception failed: " + error.Text() + "; ";
    for (const auto& r : dropped) gone.push_back(r.ID);
  }
  if (rota.Exceptions().size() != before.size()) problems += "adding and dropping changed the exceptions; ";
  for (std::size_t i = 0; i < schedule.size(); ++i) {
    if (ReadAllBytes(SchedulePath(dir, kScheduleFiles[i])) != schedule[i]) problems += "a schedule file changed; ";
  }
}

inline void CheckSchemeChange(TScheduleRecords& records, TRotaRecords& rota, TTableStream& exceptions,
                              TTableStream& history, std::string& problems) {
  auto texts = [&](std::size_t user, double from, double to) {
    const auto snapshot = TRotaSnapshot::Build(records, exceptions, history);
    std::string s;
    for (const auto& day : snapshot->ResolveRange(user, from, to)) s += DayDutyText(day) + "|";
    return s;
  };
  const std::string past = texts(0, kRotaDay - 60, kRotaDay - 1);
  TRotaError error;
  if (!rota.ChangeScheme("Zhang", kRotaDay, 1, 1, error)) {
    if (error.Reason.empty()) problems += "a change of scheme refused without a reason; ";
    return;
  }
  if (texts(0, kRotaDay - 60, kRotaDay - 1) != past) problems += "a change of scheme rewrote the past; ";
  TShiftUser user;
  std::string name;
  if (!LoadShiftUser(user, records, "Zhang") || !GetDutyName(user, kRotaDay, name) ||
      texts(0, kRotaDay, kRotaDay) != name + "|") {
    problems += "the new scheme does not start on its day; ";
  }
}

inline std::string FuzzRota(const std::uint8_t* data, std::size_t size) {
  static TFuzzDir fuzzDir;
  static TNoSyncOps noSync;
  const std::string dir = std::filesystem::path(fuzzDir.File()).parent_path().string();
  std::string problems;
  if (size == 0) return problems;
  const auto& images = RotaScheduleImages(dir);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove(entry.path(), ec);
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::string path = SchedulePath(dir, kScheduleFiles[i]);
    WriteInput(path, images[i].data(), images[i].size());
  }
  const TScheduleFile file = (data[0] & 1) ? TScheduleFile::History : TScheduleFile::Exceptions;
  if (!WriteInput(SchedulePath(dir, file), data + 1, size - 1)) return problems;

  TScheduleTables tables;
  TScheduleError error;
  for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&noSync);
  if (!OpenScheduleTables(tables, dir, TScheduleAccess::Write, error)) return "the fixed schedule files: " + error.Text();
  TScheduleRecords records(tables, TWritePolicy::Trimmed);

  TTableStream exceptions(TTableStream::kModeReadWrite), history(TTableStream::kModeReadWrite);
  TTableStream& table = file == TScheduleFile::Exceptions ? exceptions : history;
  TTableStream reader(TTableStream::kModeReadShared);
  const bool readable = OpenRotaFileIfAny(reader, file, dir, TTableStream::kModeReadShared, error);
  if (!readable && error.Reason.empty()) problems += "a refusal without a reason; ";
  reader.Close();
  if (TScheduleFolder(dir).Open({TFolderAccess::Read}).Failed() == readable) {
    problems += "the folder and the file open disagree; ";
  }
  table.SetFileOps(&noSync);
  if (OpenRotaFileIfAny(table, file, dir, TTableStream::kModeReadWrite, error) != readable) {
    problems += "reading and writing opens disagree; ";
  }
  if (!readable) return problems;
  CheckResolving(records, exceptions, history, problems);
  TRotaRecords rota(records, exceptions, history);
  if (table.IsOpen() && file == TScheduleFile::Exceptions) CheckExceptionChanges(rota, dir, problems);
  if (table.IsOpen() && file == TScheduleFile::History) CheckSchemeChange(records, rota, exceptions, history, problems);
  return problems;
}

}  // namespace kadrel::fuzz
