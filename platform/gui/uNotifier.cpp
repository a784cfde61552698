#include "platform/gui/uNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace kadrel {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

class TBusNotifier final : public TNotifier {
 public:
  bool Available() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names) return false;
    // Most daemons are started by the bus at the first call, so a service
    // that is not running yet but can be started counts.
    return names->isServiceRegistered(kService).value() || names->activatableServiceNames().value().contains(kService);
  }

  void Notify(const TNotification& notification, std::function<void(const QString&)> done) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
      done(QStringLiteral("no session bus: %1").arg(bus.lastError().message()));
      return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    // The menu entry's name lets the desktop show Kadrel's name and icon
    // and group its notifications.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("kadrel")}};
    call << QStringLiteral("Kadrel") << 0u << QStringLiteral("kadrel") << notification.Summary << notification.Body
         << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* w) {
                       const QDBusPendingReply<uint> reply = *w;
                       done(reply.isError() ? reply.error().message() : QString());
                       w->deleteLater();
                     });
  }
};

// GUI thread only, like every window.
TNotifier* g_override = nullptr;

}  // namespace

TNotifier& Notifier() {
  if (g_override) return *g_override;
  static TBusNotifier bus;
  return bus;
}

TNotifierOverride::TNotifierOverride(TNotifier& notifier) : TScopedOverride(g_override, &notifier) {}

}  // namespace kadrel
