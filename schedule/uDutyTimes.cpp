#include "schedule/uDutyTimes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "platform/uGbk.h"
#include "schedule/uTableWalk.h"

namespace kadrel {
namespace {

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) { return value >= low && value <= high; }

bool IsClockMinute(std::int32_t minute) { return InRange(minute, 0, kMinutesPerDay - 1); }
bool IsLength(std::int32_t length) { return InRange(length, 1, kMaxDutyMinutes); }
bool IsColor(std::int32_t color) { return InRange(color, 0, 0xFFFFFF); }
bool IsRemind(std::int32_t remind) { return InRange(remind, 0, kMaxRemindMinutes); }

const char* const kClockForm = "the start time must be HH:MM, from 00:00 to 23:59";

std::string LengthForm() {
  return "the length must be a whole number of minutes from 1 to " + std::to_string(kMaxDutyMinutes);
}
std::string RemindForm() {
  return "the reminder must be a whole number of minutes before the start, from 0 to " +
         std::to_string(kMaxRemindMinutes);
}

// Decimal digits only, no sign and no blanks, as a person types a count.
std::optional<std::int32_t> Digits(std::string_view text) {
  std::int32_t value = 0;
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> Minutes(std::string_view text, std::int32_t low, std::int32_t high, TTimesField field,
                                    const std::string& form, TTimesError& error) {
  const auto value = Digits(text);
  if (value && InRange(*value, low, high)) return value;
  error.Fail(TTimesFault::BadValue, field, form);
  return std::nullopt;
}

// As rules 2 to 5 read a record: what is out of range counts as not given.
TDutyTimes AsRead(TDutyTimes t) {
  if (!IsClockMinute(t.Start) || !IsLength(t.Length)) {
    t.Start = -1;
    t.Length = 0;
  }
  if (!IsColor(t.Color)) t.Color = kNoColor;
  if (!t.Timed() || !IsRemind(t.Remind)) t.Remind = -1;
  return t;
}

TDutyTimes ReadRecord(TTableStream& t) {
  TDutyTimes r;
  r.DutyID = t.FieldByIndex(kTimesDutyID).AsInteger();
  r.Start = t.FieldByIndex(kTimesStart).AsInteger();
  r.Length = t.FieldByIndex(kTimesLength).AsInteger();
  r.Rest = t.FieldByIndex(kTimesRest).AsInteger() == 1;
  r.Color = t.FieldByIndex(kTimesColor).AsInteger();
  r.Remind = t.FieldByIndex(kTimesRemind).AsInteger();
  return AsRead(r);
}

bool WriteRecord(TTableStream& t, const TDutyTimes& r) {
  return t.SetInteger(kTimesDutyID, r.DutyID) && t.SetInteger(kTimesStart, r.Start) &&
         t.SetInteger(kTimesLength, r.Length) && t.SetInteger(kTimesRest, r.Rest ? 1 : 0) &&
         t.SetInteger(kTimesColor, r.Color) && t.SetInteger(kTimesRemind, r.Remind) && t.Post();
}

}  // namespace

bool CheckDutyTimes(const TDutyTimes& t, TTimesError& error) {
  if (t.Start != -1 && !IsClockMinute(t.Start)) return error.Fail(TTimesFault::BadValue, TTimesField::Start, kClockForm);
  if (t.Timed() && !IsLength(t.Length)) return error.Fail(TTimesFault::BadValue, TTimesField::Length, LengthForm());
  if (!t.Timed() && t.Length != 0) {
    return error.Fail(TTimesFault::NeedsStart, TTimesField::Length, "a length needs a start time");
  }
  if (t.Color != kNoColor && !IsColor(t.Color)) {
    return error.Fail(TTimesFault::BadValue, TTimesField::Color, "the colour must be #RRGGBB");
  }
  if (t.Remind != -1 && !IsRemind(t.Remind)) return error.Fail(TTimesFault::BadValue, TTimesField::Remind, RemindForm());
  if (!t.Timed() && t.Remind >= 0) {
    // It would come at midnight, the start of an all-day duty.
    return error.Fail(TTimesFault::NeedsStart, TTimesField::Remind, "a reminder needs a start time");
  }
  return error.Succeed();
}

bool CheckOwnTimes(std::int32_t start, std::int32_t length, TTimesError& error) {
  if (start == -1 && length == 0) return error.Succeed();
  if (start == -1) return error.Fail(TTimesFault::NeedsStart, TTimesField::Length, "a length needs a start time");
  if (!IsClockMinute(start)) return error.Fail(TTimesFault::BadValue, TTimesField::Start, kClockForm);
  if (!IsLength(length)) return error.Fail(TTimesFault::BadValue, TTimesField::Length, LengthForm());
  return error.Succeed();
}

std::optional<std::int32_t> ParseClock(std::string_view text, TTimesError& error) {
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos && (colon == 1 || colon == 2) && text.size() == colon + 3) {
    const auto hour = Digits(text.substr(0, colon));
    const auto minute = Digits(text.substr(colon + 1));
    if (hour && minute && *hour < 24 && *minute < 60) return *hour * 60 + *minute;
  }
  error.Fail(TTimesFault::BadValue, TTimesField::Start, kClockForm);
  return std::nullopt;
}

std::optional<std::int32_t> ParseLength(std::string_view text, TTimesError& error) {
  return Minutes(text, 1, kMaxDutyMinutes, TTimesField::Length, LengthForm(), error);
}

std::optional<std::int32_t> ParseRemind(std::string_view text, TTimesError& error) {
  return Minutes(text, 0, kMaxRemindMinutes, TTimesField::Remind, RemindForm(), error);
}

std::optional<std::int32_t> ParseColor(std::string_view text, TTimesError& error) {
  std::int32_t color = 0;
  if (text.size() == 7 && text[0] == '#' &&
      std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
    std::from_chars(text.data() + 1, text.data() + text.size(), color, 16);
    return color;
  }
  error.Fail(TTimesFault::BadValue, TTimesField::Color, "the colour must be #RRGGBB");
  return std::nullopt;
}

std::string FormatClock(std::int32_t minute) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", minute / 60, minute % 60);
  return text;
}

std::string FormatColor(std::int32_t color) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(color) & 0xFFFFFFu);
  return text;
}

std::string DutyEndText(std::int32_t start, std::int32_t length) {
  static const std::string kNextDay = GbkLiteral(" 次日");
  static const std::string kThirdDay = GbkLiteral(" 第三日");
  const std::int32_t end = std::max(start, 0) + std::max(length, 0);
  const std::int32_t days = end / kMinutesPerDay;
  return FormatClock(end % kMinutesPerDay) + (days == 0 ? "" : days == 1 ? kNextDay : kThirdDay);
}

std::vector<TDutyTimes> ReadDutyTimes(TTableStream& times) {
  std::vector<TDutyTimes> records;
  ForEachLive(times, [&] {
    TDutyTimes r = ReadRecord(times);
    const bool seen = std::any_of(records.begin(), records.end(), [&](const auto& o) { return o.DutyID == r.DutyID; });
    if (!seen) records.push_back(r);
    return true;
  });
  return records;
}

TDutyTimesMap::TDutyTimesMap(std::span<const TDutyTimes> records) {
  for (const TDutyTimes& r : records) {
    if (byId_.try_emplace(r.DutyID, r).second) longestRemind_ = std::max(longestRemind_, r.Remind);
  }
}

TDutyTimes TDutyTimesMap::Of(std::int32_t dutyId) const {
  const auto it = byId_.find(dutyId);
  if (it != byId_.end()) return it->second;
  TDutyTimes none;
  none.DutyID = dutyId;
  return none;
}

bool SetDutyTimes(TTableStream& table, TScheduleRecords& schedule, const TDutyTimes& times, TTimesError& error) {
  if (!CheckDutyTimes(times, error)) return false;
  if (!schedule.FindDutyKind(times.DutyID)) {
    return error.Fail(TTimesFault::UnknownDuty, TTimesField::Duty,
                      "no duty kind has the ID " + std::to_string(times.DutyID));
  }
  if (!table.IsOpen()) return error.FailWrite(TTimeFile::Times, table, "");
  if (times.IsDefault()) return ClearDutyTimes(table, times.DutyID, error);
  const bool written = PutOnlyRecord(
      table, [&] { return table.FieldByIndex(kTimesDutyID).AsInteger() == times.DutyID; },
      [&] { return WriteRecord(table, times); });
  return written ? error.Succeed() : error.FailWrite(TTimeFile::Times, table, "writing the duty times failed");
}

bool ClearDutyTimes(TTableStream& table, std::int32_t dutyId, TTimesError& error) {
  if (DeleteRecords(table, [&] { return table.FieldByIndex(kTimesDutyID).AsInteger() == dutyId; })) {
    return error.Succeed();
  }
  return error.FailWrite(TTimeFile::Times, table, "removing the duty times failed");
}

}  // namespace kadrel
