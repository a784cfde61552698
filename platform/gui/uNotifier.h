// Desktop notifications: the freedesktop Notifications service on the
// session bus (org.freedesktop.Notifications), which every desktop's
// notification daemon provides. Kadrel's reminders before a shift go out
// this way.
//
// The call is asynchronous: a daemon that hangs never freezes the windows;
// the bus gives up on it after its own timeout and the reminder counts as
// not sent.
//
// Every window reaches the service through Notifier(); a test installs a
// TNotifierOverride with a fake of its own and checks the calls.
#pragma once

#include <QString>

#include <functional>

#include "platform/uScopedOverride.h"

namespace kadrel {

struct TNotification {
  QString Summary;
  QString Body;
};

class TNotifier {
 public:
  virtual ~TNotifier() = default;

  // Whether a notification service is running, or the bus can start one.
  virtual bool Available() = 0;
  // Sends one notification. `done` is called once, now or later, with an
  // empty text when the service took it and the reason when not.
  virtual void Notify(const TNotification& notification, std::function<void(const QString& error)> done) = 0;
};

// The innermost override's notifier, else the session bus's.
TNotifier& Notifier();

// While it lives, Notifier() is `notifier`. Overrides nest.
class TNotifierOverride : TScopedOverride<TNotifier*> {
 public:
  explicit TNotifierOverride(TNotifier& notifier);
};

}  // namespace kadrel
