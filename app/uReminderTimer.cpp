#include "app/uReminderTimer.h"

#include "platform/gui/uNotifier.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uClock.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFolder.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <utility>

namespace kadrel {

namespace {

TSentReminder SentOf(const TReminder& r, TUtcTime now) {
  return {r.UserName, static_cast<TDateTime>(r.Duty.Day), r.Duty.Duty.ID, r.Duty.ExtraID, UtcDateTime(r.Span.Begin),
          UtcDateTime(now)};
}

bool SameDuty(const TSentReminder& a, const TSentReminder& b) {
  return a.User == b.User && a.Date == b.Date && a.DutyID == b.DutyID && a.Extra == b.Extra && a.Start == b.Start;
}

}  // namespace

TReminderTimer::TReminderTimer(TScheduleFolder& folder, QObject* parent)
    : QObject(parent), folder_(folder), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  // A coarse timer may fire a little early, before the minute a reminder
  // is due in.
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &TReminderTimer::Wake);
}

TReminderTimer::~TReminderTimer() = default;

bool TReminderTimer::RemindersOn() const { return times_.LongestRemind() >= 0 && !folder_.ReadOnly(); }

bool TReminderTimer::Armed() const { return timer_->isActive(); }

void TReminderTimer::Stop() {
  stopped_ = true;
  timer_->stop();
}

void TReminderTimer::SetTrayShown(bool shown) {
  trayShown_ = shown;
  Arm(UtcNow());
}

void TReminderTimer::Load() {
  // The same picture the window shows: leave, swaps and changed duties
  // move or cancel a reminder as they move the duty.
  snapshot_ = folder_.Snapshot();
  TFolderTimes times = ReadFolderTimes(folder_.Tables());
  times_ = std::move(times.Times);
  zone_ = std::move(times.Zone);
}

void TReminderTimer::Wake() {
  if (stopped_) return;
  if (!QApplication::activeModalWidget() || !snapshot_) Load();
  const TUtcTime now = UtcNow();
  if (RemindersOn()) SendDue(now);
  Arm(now);
  emit Woke();
}

void TReminderTimer::SendDue(TUtcTime now) {
  std::vector<TSentReminder> sent = ReadLedger(folder_.Tables().Ledger);
  sent.insert(sent.end(), sentNow_.begin(), sentNow_.end());
  const std::vector<TReminder> due = PendingReminders(*snapshot_, times_, zone_, sent, now);
  TNotifier& notifier = Notifier();
  // The bus is asked at the first wake, to tell at once that reminders are
  // off, and then only when one is due.
  const bool ask = !due.empty() || !asked_;
  asked_ = true;
  if (ask && !notifier.Available()) {
    // Set first: the notice that tells it waits in a loop of its own, where
    // the timer may wake again.
    if (!std::exchange(toldMissing_, true)) emit NotifierMissing();
    return;
  }
  for (const TReminder& r : due) {
    sentNow_.push_back(SentOf(r, now));
    const TNotification notification{QStringLiteral("倒班提醒：%1").arg(GbkToQString(r.UserName)),
                                     GbkToQString(ReminderText(r, now, zone_))};
    // The reply may come after the folder was read again; the reminder's
    // duty name lives in this snapshot.
    auto sent = [self = QPointer<TReminderTimer>(this), r, now, keep = snapshot_](const QString& error) {
      if (self) self->Sent(r, now, error);
    };
    notifier.Notify(notification, std::move(sent));
  }
}

void TReminderTimer::Sent(const TReminder& reminder, TUtcTime now, const QString& error) {
  if (stopped_) return;
  if (!error.isEmpty()) {
    // Not taken: it goes again at the next wake, while its duty has not
    // started.
    const TSentReminder key = SentOf(reminder, now);
    std::erase_if(sentNow_, [&](const TSentReminder& s) { return SameDuty(s, key); });
    return;
  }
  TScheduleError openError;
  TTimesError writeError;
  if (!folder_.OpenForChange(TScheduleFile::Ledger, openError)) {
    emit LedgerFailed(QString::fromStdString(openError.Text()));
  } else if (!RecordSent(folder_.Tables().Ledger, std::span(&reminder, 1), now, writeError)) {
    emit LedgerFailed(QString::fromStdString(writeError.Text()));
  }
}

void TReminderTimer::Arm(TUtcTime now) {
  if (stopped_ || (!RemindersOn() && !trayShown_)) {
    timer_->stop();
    return;
  }
  const std::int64_t next = (now.Seconds / 60 + 1) * 60;
  timer_->start(static_cast<int>((next - now.Seconds) * 1000));
}

std::optional<TTrayTexts> TReminderTimer::TrayTextsOf(const std::string& user) const {
  const std::optional<std::size_t> found = snapshot_ ? snapshot_->FindUser(user) : std::nullopt;
  if (!found) return std::nullopt;
  return TrayTexts(*snapshot_, *found, times_, zone_, UtcNow());
}

}  // namespace kadrel
