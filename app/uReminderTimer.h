// The reminders before a shift, sent through the desktop's notification
// service (platform/gui/uNotifier.h) once each, also across restarts: the
// ledger in the data folder (remdat.kd2) records what went out, and a
// reminder whose duty has started is never sent.
//
// One timer drives them and the tray's words. It wakes at the start of each
// minute, and only while there is a reminder to send or a tray icon to keep
// current; otherwise it sleeps. The minute is the grain of every reminder
// and of the tray's words, and a timer that never sleeps longer than one
// catches up within a minute after the machine resumes from suspend or its
// clock is set, which a timer armed for hours ahead would not.
//
// While a modal window is up (the options dialog) the folder is not read:
// the dialog is in the middle of its own changes. What was read before
// serves until it closes; the ledger, which no dialog touches, is written.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "platform/uTimeZone.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uReminders.h"
#include "schedule/uTrayTexts.h"

class QTimer;

namespace kadrel {

class TScheduleFolder;

class TReminderTimer : public QObject {
  Q_OBJECT

 public:
  TReminderTimer(TScheduleFolder& folder, QObject* parent = nullptr);
  ~TReminderTimer() override;

  // Reads the folder again (after the options dialog), sends what is due
  // and arms the timer. What a wake does.
  void Wake();
  // Whether the timer wakes also for the tray.
  void SetTrayShown(bool shown);
  // For good, as the main window closes the folder: a reply still awaited
  // is not recorded then, and goes out again at the next start.
  void Stop();

  // Whether any duty kind has times, a colour or a reminder.
  bool HasTimes() const { return !times_.Empty(); }
  // Whether reminders are sent at all: some duty kind has one, and the
  // folder may be written, so that each is recorded.
  bool RemindersOn() const;
  // The tray's words for the user of that name (GBK), now; none for a name
  // no user has.
  std::optional<TTrayTexts> TrayTextsOf(const std::string& user) const;
  bool Armed() const;

 signals:
  // After every wake, for the tray.
  void Woke();
  // A reminder is due, or reminders are set, and no notification service
  // is there to take it.
  void NotifierMissing();
  // The ledger refused a write: the reminder went out, and is not sent
  // again while Kadrel runs, but may be after a restart.
  void LedgerFailed(const QString& reason);

 private:
  void Load();
  void SendDue(TUtcTime now);
  void Sent(const TReminder& reminder, TUtcTime now, const QString& error);
  void Arm(TUtcTime now);

  TScheduleFolder& folder_;
  QTimer* timer_ = nullptr;
  bool trayShown_ = false;
  bool stopped_ = false;
  bool asked_ = false;
  bool toldMissing_ = false;
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  TDutyTimesMap times_;
  TTimeZone zone_ = TTimeZone::Shanghai();
  // Sent or on their way in this run: the ledger may refuse a write, and a
  // reply may still be awaited; neither may send a reminder twice.
  std::vector<TSentReminder> sentNow_;
};

}  // namespace kadrel
