// The bodies of the text fuzzers, replayed by tests/store/test_fuzz_replay.cpp:
//   fuzz_gbk       GBK conversion and A-to-Z folding;
//   fuzz_schedule  the schedule-file helpers: cycle texts, name and
//                  description checks, adding, finding and deleting records;
//   fuzz_cli       the CLI's date, integer and cycle parsing and its display
//                  of stored text;
//   fuzz_export    the year-schedule builders, .ics included, for any user;
//   fuzz_holiday   the holiday file parser and the table built from what it
//                  kept.
// Each returns the problems found (empty when none); the targets abort on any.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "calendar/uHoliday.h"
#include "cli/uCliCommands.h"
#include "fuzz/uFuzzTable.h"
#include "output/uIcs.h"
#include "output/uScheduleDoc.h"
#include "output/uYearDocument.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"

namespace kadrel::fuzz {

// Takes values off the front of the input; zeros once it runs out.
class TFuzzInput {
 public:
  TFuzzInput(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}
  std::uint64_t Take(int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint64_t{Byte()} << (8 * i);
    return v;
  }
  std::string Text(std::size_t max) {
    std::size_t len = std::min<std::size_t>(Byte() % (max + 1), n_);
    std::string s(reinterpret_cast<const char*>(p_), len);
    p_ += len;
    n_ -= len;
    return s;
  }
  std::string Rest() { return Text(n_); }

 private:
  unsigned char Byte() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  const std::uint8_t* p_;
  std::size_t n_;
};

inline bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

inline std::string FuzzGbk(const std::uint8_t* data, std::size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  std::string problems;
  const std::string lossy = GbkToUtf8Lossy(s);
  if (!IsUtf8(lossy)) problems += "lossy conversion gave bad UTF-8; ";
  if (auto utf8 = GbkToUtf8(s)) {
    if (*utf8 != lossy) problems += "exact and lossy conversions differ on valid GBK; ";
    auto back = Utf8ToGbk(*utf8);
    if (!back) problems += "valid GBK does not convert back; ";
    if (back && GbkToUtf8(*back) != utf8) problems += "GBK round trip changed the text; ";
    const std::size_t cut = GbkCutPoint(s, size / 2);
    if (cut > size / 2 || !GbkToUtf8(s.substr(0, cut))) problems += "a cut split a character; ";
  }
  if (auto gbk = Utf8ToGbk(s)) {
    if (GbkToUtf8(*gbk) != s) problems += "UTF-8 round trip changed the text; ";
  }
  const std::string folded = GbkFoldAZ(s);
  if (folded.size() != s.size() || !GbkEqualFoldAZ(s, folded) || GbkFoldAZ(folded) != folded) {
    problems += "folding is not a stable, length-keeping match; ";
  }
  return problems;
}

// The three schedule tables in a folder of their own, opened for writing
// once, fsyncs left out.
inline TScheduleTables& FuzzScheduleTables() {
  static TFuzzDir dir;
  static TNoSyncOps noSync;
  static TScheduleTables tables;
  static const bool opened = [] {
    TScheduleError error;
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&noSync);
    return OpenScheduleTables(tables, std::filesystem::path(dir.File()).parent_path().string(),
                              TScheduleAccess::Write, error);
  }();
  (void)opened;
  return tables;
}

// As the helpers store a name: without blanks and control bytes at the ends.
inline std::string Trimmed(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20) ++i;
  return s.substr(i);
}

inline std::string FuzzSchedule(const std::uint8_t* data, std::size_t size) {
  TFuzzInput in(data, size);
  const std::string name = in.Text(16);
  const std::string hint = in.Text(60);
  const std::string cycle = in.Rest();
  std::string problems;

  const auto tokens = ReadWorkList(cycle);
  const auto ids = WorkListIds(cycle);
  if (WorkListIds(WriteWorkList(ids)) != ids) problems += "a cycle does not survive writing and reading; ";
  if (ids.size() > tokens.size()) problems += "more IDs than tokens; ";
  if (SameTextIgnoringAZ(name, hint) != SameTextIgnoringAZ(hint, name)) problems += "name match not symmetric; ";

  TScheduleTables& t = FuzzScheduleTables();
  if (!t.Work.IsOpen()) return problems;
  TScheduleRecords records(t, TWritePolicy::Trimmed);
  TScheduleError error;
  const bool nameOk = CheckNameText(name, error);
  const bool hintOk = CheckHintText(hint, error);
  const std::int32_t before = LiveRecordCount(t.Work);
  TDutyKindRecord kind{0, name, hint};
  const bool added = records.SaveDutyKind(kind, error);
  if (added != (nameOk && hintOk)) problems += "saving a duty kind and the checks disagree: " + error.Reason + "; ";
  if (!added && error.Reason.empty()) problems += "a refusal without a reason; ";
  const std::string stored = Trimmed(name);
  if (added) {
    if (!records.FindDutyKind(kind.ID)) problems += "the new duty kind is not found; ";
    std::vector<std::int32_t> ids = WorkListIds(cycle);
    ids.push_back(kind.ID);
    for (const auto& entry : records.ResolveCycle(ids, 300)) {
      if (!records.FindDutyKind(entry.ID)) problems += "a resolved entry does not exist; ";
    }
    TSchemeRecord scheme{0, name, {kind.ID}};
    if (records.SaveScheme(scheme, error)) {
      TUserRecord user{0, name, scheme.ID, 37627.5, 0};
      if (!records.SaveUser(user, error)) problems += "a user of a valid scheme refused: " + error.Reason + "; ";
      const auto found = records.FindUser(stored);
      if (!found || !records.DeleteUser(found->Slot, error)) problems += "the new user cannot be deleted; ";
      if (!records.DeleteScheme(scheme.ID, error)) problems += "scheme not deleted; ";
    }
    // Names are stored trimmed; the first match of that name goes.
    const auto named = records.FindDutyKindNamed(stored);
    if (!named || !records.DeleteDutyKind(named->ID, error)) problems += "the new duty kind cannot be deleted; ";
  }
  if (LiveRecordCount(t.Work) != before) problems += "the table did not come back to its size; ";
  if (t.Shift.RecordCount() > 64) t.Shift.Pack();  // deleted schemes stay until packed
  return problems;
}

inline std::string FuzzCli(const std::uint8_t* data, std::size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  std::string problems;
  if (auto day = ParseCliDate(s); day && s != "today") {
    if (ParseCliDate(FormatIsoDate(*day)) != day) problems += "a date does not survive formatting; ";
  }
  if (auto v = ParseCliInteger(s)) {
    if (ParseCliInteger(std::to_string(*v)) != v) problems += "an integer does not survive formatting; ";
  }
  if (auto ids = ParseCliIdList(s)) {
    std::string joined;
    for (std::int32_t id : *ids) joined += (joined.empty() ? "" : ",") + std::to_string(id);
    if (ParseCliIdList(joined) != ids) problems += "an ID list does not survive formatting; ";
  }
  for (char c : ShowText(s)) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      problems += "a control byte reached the output; ";
      break;
    }
  }
  return problems;
}

// Every .ics line: at most 75 octets, CRLF-terminated, no control byte but a
// tab, valid UTF-8 once unfolded, and events opened and closed in pairs.
inline void CheckIcs(const std::string& ics, std::string& problems) {
  std::string unfolded;
  int open = 0;
  std::size_t at = 0;
  while (at < ics.size()) {
    std::size_t end = ics.find("\r\n", at);
    if (end == std::string::npos) {
      problems += "the last line has no CRLF; ";
      return;
    }
    std::string_view line(ics.data() + at, end - at);
    if (line.size() > 75) problems += "a line of more than 75 octets; ";
    for (char c : line) {
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
        problems += "a control byte in a line; ";
        return;
      }
    }
    if (!line.empty() && line[0] == ' ') {
      unfolded.append(line.substr(1));
    } else {
      unfolded += '\n';
      unfolded.append(line);
    }
    if (line == "BEGIN:VEVENT") ++open;
    if (line == "END:VEVENT" && --open < 0) problems += "an event closed twice; ";
    at = end + 2;
  }
  if (open != 0) problems += "an event left open; ";
  if (!IsUtf8(unfolded)) problems += "bad UTF-8; ";
  if (unfolded.find("\nDTEND") != std::string::npos) problems += "an exclusive end date; ";
}

inline std::string FuzzExport(const std::uint8_t* data, std::size_t size) {
  TFuzzInput in(data, size);
  TShiftUser user;
  user.Name = in.Text(10);
  const int year = 1 + static_cast<int>(in.Take(2) % 9999);
  const auto monthMask = static_cast<unsigned>(in.Take(2));
  std::uint64_t bits = in.Take(8);
  std::memcpy(&user.Start, &bits, sizeof bits);
  const std::size_t entries = static_cast<std::size_t>(in.Take(1) % 9);
  for (std::size_t i = 0; i < entries; ++i) user.worklist.push_back(in.Text(10));
  user.Count = user.worklist.empty() ? -1 : static_cast<std::int32_t>(user.worklist.size());
  TMonthSet months;
  for (int m = 1; m <= 12; ++m) {
    if (monthMask >> (m - 1) & 1) months.Add(m);
  }
  std::string problems;
  CheckIcs(BuildIcsFile(user, year, months, "20260101T000000Z"), problems);
  volatile std::size_t sink = 0;
  for (TExportType type : {TExportType::Text, TExportType::Html, TExportType::Dat, TExportType::Print})
    sink = sink + BuildYearDocument(user, year, months, type).size();
  (void)sink;
  return problems;
}

// What the parser keeps obeys the file format, its messages stay few and
// readable, and the table keeps its invariants: every statutory day 休 with
// its festival, a festival exactly on marked days, and no weekend left out
// of a run of days off that holds a weekday.
inline std::string FuzzHoliday(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string problems;
  std::vector<THolidayMessage> messages;
  const std::vector<THolidayYear> years = ParseHolidayText(text, "f.txt", messages);
  if (messages.size() > static_cast<std::size_t>(kShownBadLines) + 1) problems += "more messages than a file gives; ";
  for (const THolidayMessage& m : messages) {
    if (!IsUtf8(HolidayMessageText(m)) || !IsUtf8(HolidayMessageChinese(m))) problems += "a message is not UTF-8; ";
  }
  for (const THolidayYear& year : years) {
    if (year.Year < kFirstHolidayYear || year.Year > kLastHolidayYear) problems += "a year out of range kept; ";
    const std::int64_t first = EncodeDate(year.Year - 1, 12, 1), last = EncodeDate(year.Year, 12, 31);
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    for (const THolidayEntry& e : year.Entries) {
      if (e.First > e.Last || e.Last - e.First > 30 || e.First < first || e.Last > last) problems += "a bad span kept; ";
      if (e.Festival.empty() || e.Festival.size() > 16 || !GbkToUtf8(e.Festival)) problems += "a bad festival kept; ";
      for (const auto& [a, b] : spans)
        if (e.First <= b && a <= e.Last) problems += "a day listed twice; ";
      spans.emplace_back(e.First, e.Last);
    }
  }
  THolidayTable table;
  table.SetArrangements(years);
  const auto off = [&](std::int64_t d) { return table.At(d).Mark == THolidayMark::Off; };
  for (const THolidayYear& year : years) {
    for (std::int64_t d = EncodeDate(year.Year, 1, 1); d <= EncodeDate(year.Year, 12, 31); ++d) {
      const THolidayDay day = table.At(d);
      if ((day.Festival == 0) != (day.Mark == THolidayMark::None)) problems += "a festival without a mark; ";
      if (day.Statutory && day.Mark != THolidayMark::Off) problems += "a statutory day not off; ";
      const int weekday = DayOfWeekSerial(d);
      const bool saturdayLeftOut = weekday == 7 && (off(d - 1) || (off(d + 1) && off(d + 2)));
      const bool sundayLeftOut = weekday == 1 && (off(d + 1) || (off(d - 1) && off(d - 2)));
      if (day.Mark == THolidayMark::None && (saturdayLeftOut || sundayLeftOut)) problems += "a weekend left out of a run; ";
    }
  }
  return problems;
}

}  // namespace kadrel::fuzz
