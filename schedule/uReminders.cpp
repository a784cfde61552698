#include "schedule/uReminders.h"

#include <algorithm>
#include <tuple>

#include "platform/uGbk.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uTableWalk.h"

namespace kadrel {
namespace {

struct TReminderTexts {
  std::string Starts = GbkLiteral(" 开始（");
  std::string Left = GbkLiteral("还有");
  std::string Now = GbkLiteral("现在");
  std::string Close = GbkLiteral("）");
  std::string Today = GbkLiteral("今天");
  std::string Tomorrow = GbkLiteral("明天");
  std::string Month = GbkLiteral("月");
  std::string DayOf = GbkLiteral("日");
  std::string Minutes = GbkLiteral("分钟");
  std::string Hours = GbkLiteral("小时");
  std::string Days = GbkLiteral("天");
};

const TReminderTexts& Texts() {
  static const TReminderTexts texts;
  return texts;
}

// "60分钟", "3小时", "2小时30分钟", "1天": minutes up to two hours as they
// are set, longer times in the units a person counts them in.
std::string Duration(std::int64_t minutes) {
  const TReminderTexts& t = Texts();
  if (minutes < 120) return std::to_string(minutes) + t.Minutes;
  if (minutes % 1440 == 0) return std::to_string(minutes / 1440) + t.Days;
  std::string text = std::to_string(minutes / 60) + t.Hours;
  if (minutes % 60 != 0) text += std::to_string(minutes % 60) + t.Minutes;
  return text;
}

// The ledger's key of a duty, names matched as the files match users.
struct TSentKey {
  std::string User;
  std::int64_t Day = 0;
  std::int32_t DutyID = 0;
  std::int32_t Extra = 0;
  std::int64_t Start = 0;
  friend bool operator==(const TSentKey&, const TSentKey&) = default;
};

std::optional<TSentKey> KeyOf(const TSentReminder& r) {
  const auto start = UtcOfDateTime(r.Start);
  if (!start || !IsUsableDate(r.Date)) return std::nullopt;
  return TSentKey{UserKey(r.User), WholeDays(r.Date), r.DutyID, r.Extra, start->Seconds};
}

TSentKey KeyOf(const TReminder& r) {
  return {UserKey(r.UserName), r.Duty.Day, r.Duty.Duty.ID, r.Duty.ExtraID, r.Span.Begin.Seconds};
}

class TSentSet {
 public:
  explicit TSentSet(std::span<const TSentReminder> sent) {
    for (const auto& r : sent) {
      if (auto key = KeyOf(r)) keys_.push_back(std::move(*key));
    }
  }
  bool Has(const TReminder& r) const { return std::find(keys_.begin(), keys_.end(), KeyOf(r)) != keys_.end(); }
  void Add(const TReminder& r) { keys_.push_back(KeyOf(r)); }

 private:
  std::vector<TSentKey> keys_;
};

TSentReminder ReadSent(TTableStream& t) {
  return {t.FieldByIndex(kSentUser).AsString(),      t.FieldByIndex(kSentDate).AsDateTime(),
          t.FieldByIndex(kSentDutyID).AsInteger(),   t.FieldByIndex(kSentExtra).AsInteger(),
          t.FieldByIndex(kSentStart).AsDateTime(),   t.FieldByIndex(kSentAt).AsDateTime()};
}

}  // namespace

std::vector<TReminder> DueReminders(const TRotaSnapshot& snapshot, const TDutyTimesMap& times,
                                    const TTimeZone& zone, TUtcTime from, TUtcTime to) {
  std::vector<TReminder> due;
  if (times.LongestRemind() < 0 || !(from < to)) return due;
  // A reminder due in the window belongs to a duty that starts at most the
  // longest reminder after it; a day either side covers a change of clocks.
  const std::int64_t firstDay = WallDay(zone.ToWall(from)) - 1;
  const std::int64_t lastDay = WallDay(zone.ToWall({to.Seconds + std::int64_t{times.LongestRemind()} * 60})) + 1;
  TDutyPlacer placer(zone);
  for (std::size_t user = 0; user < snapshot.UserCount(); ++user) {
    for (std::int64_t day = firstDay; day <= lastDay; ++day) {
      for (const TTimedDuty& duty : DayDuties(snapshot.Resolve(user, static_cast<TDateTime>(day)), day, times)) {
        if (!duty.Timed() || duty.Remind < 0) continue;
        const TDutySpan span = placer.Place(duty);
        const TUtcTime at{span.Begin.Seconds - std::int64_t{duty.Remind} * 60};
        if (at >= from && at < to) due.push_back({user, snapshot.UserName(user), duty, span, at});
      }
    }
  }
  std::sort(due.begin(), due.end(), [](const TReminder& a, const TReminder& b) {
    return std::tie(a.Due, a.User, a.Span.Begin) < std::tie(b.Due, b.User, b.Span.Begin);
  });
  return due;
}

std::string ReminderText(const TReminder& reminder, TUtcTime now, const TTimeZone& zone) {
  const TReminderTexts& t = Texts();
  const TUtcTime at = std::max(now, reminder.Due);
  const std::int64_t left = std::max<std::int64_t>(0, (reminder.Span.Begin.Seconds - at.Seconds + 30) / 60);
  return std::string(reminder.Duty.Duty.Name) + " " + StartText(reminder.Duty, reminder.Span, at, zone) + t.Starts +
         (left == 0 ? t.Now : t.Left + Duration(left)) + t.Close;
}

std::string StartText(const TTimedDuty& duty, const TDutySpan& span, TUtcTime now, const TTimeZone& zone) {
  const TReminderTexts& t = Texts();
  const std::int64_t day = WallDay(span.BeginWall);
  const std::int64_t days = day - WallDay(zone.ToWall(now));
  std::string when;
  if (days == 1) {
    when = t.Tomorrow;
  } else if (days != 0) {
    const TYmd ymd = DecodeDate(day);
    when = std::to_string(ymd.Month) + t.Month + std::to_string(ymd.Day) + t.DayOf;
  } else if (!duty.Timed()) {
    when = t.Today;
  }
  return duty.Timed() ? when + FormatClock(WallMinute(span.BeginWall)) : when;
}

std::vector<TSentReminder> ReadLedger(TTableStream& ledger) {
  std::vector<TSentReminder> sent;
  ForEachLive(ledger, [&] {
    sent.push_back(ReadSent(ledger));
    return true;
  });
  return sent;
}

std::vector<TReminder> PendingReminders(const TRotaSnapshot& snapshot, const TDutyTimesMap& times,
                                        const TTimeZone& zone, std::span<const TSentReminder> sent, TUtcTime now) {
  std::vector<TReminder> pending;
  if (times.LongestRemind() < 0) return pending;
  const TSentSet ledger(sent);
  const TUtcTime from{now.Seconds - std::int64_t{times.LongestRemind()} * 60};
  for (TReminder& r : DueReminders(snapshot, times, zone, from, {now.Seconds + 1})) {
    if (r.Span.Begin > now && !ledger.Has(r)) pending.push_back(std::move(r));
  }
  return pending;
}

bool RecordSent(TTableStream& ledger, std::span<const TReminder> reminders, TUtcTime now, TTimesError& error) {
  if (!ledger.IsOpen()) return error.FailWrite(TTimeFile::Ledger, ledger, "");
  const std::int64_t keepFrom = now.Seconds - kLedgerKeepDays * kSecondsPerDay;
  const bool pruned = DeleteRecords(ledger, [&] {
    const auto start = UtcOfDateTime(ledger.FieldByIndex(kSentStart).AsDateTime());
    return !start || start->Seconds < keepFrom;
  });
  if (!pruned) return error.FailWrite(TTimeFile::Ledger, ledger, "pruning the reminders sent failed");
  const std::vector<TSentReminder> kept = ReadLedger(ledger);
  TSentSet sent(kept);
  for (const TReminder& r : reminders) {
    if (sent.Has(r)) continue;
    const bool written = ledger.Append() && ledger.SetText(kSentUser, r.UserName) &&
                         ledger.SetFloat(kSentDate, static_cast<TDateTime>(r.Duty.Day)) &&
                         ledger.SetInteger(kSentDutyID, r.Duty.Duty.ID) && ledger.SetInteger(kSentExtra, r.Duty.ExtraID) &&
                         ledger.SetFloat(kSentStart, UtcDateTime(r.Span.Begin)) &&
                         ledger.SetFloat(kSentAt, UtcDateTime(now)) && ledger.Post();
    if (!written) return error.FailWrite(TTimeFile::Ledger, ledger, "recording a reminder sent failed");
    sent.Add(r);
  }
  return error.Succeed();
}

bool RenameLedgerUser(TTableStream& ledger, std::string_view from, std::string_view to, TTimesError& error) {
  // Checked first: a record in edit state has no way back but Post.
  if (to.size() > kNameMaxBytes) {
    return error.Fail(TTimesFault::TooLong, TTimesField::None,
                      "the new name takes more than " + std::to_string(kNameMaxBytes) + " bytes in GBK");
  }
  const std::string key = UserKey(from);
  const bool renamed = ForEachLive(ledger, [&] {
    if (UserKey(ledger.FieldByIndex(kSentUser).AsString()) != key) return true;
    return ledger.Edit() && ledger.SetText(kSentUser, to) && ledger.Post();
  });
  return renamed ? error.Succeed() : error.FailWrite(TTimeFile::Ledger, ledger, "renaming the user failed");
}

}  // namespace kadrel
