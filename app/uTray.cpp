#include "app/uTray.h"

#include "app/uAppIcon.h"
#include "widgets/uPopupMenu.h"

#include <QSystemTrayIcon>

namespace kadrel {

namespace {

std::optional<bool> g_available;  // GUI thread only

}  // namespace

TTray::TTray(QObject* parent) : QObject(parent), menu_(new TPopupMenu()) {
  OpenItem = menu_->addAction(QStringLiteral("打开Kadrel"));
  NextItem = menu_->addAction(QString());
  NextItem->setVisible(false);
  menu_->addSeparator();
  QuitItem = menu_->addAction(QStringLiteral("退出"));
  connect(OpenItem, &QAction::triggered, this, &TTray::OpenRequested);
  connect(NextItem, &QAction::triggered, this, &TTray::OpenRequested);
  connect(QuitItem, &QAction::triggered, this, &TTray::QuitRequested);

  icon_ = new QSystemTrayIcon(ProgramIcon(), this);
  icon_->setContextMenu(menu_);
  icon_->setToolTip(QStringLiteral("Kadrel"));
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit OpenRequested();
  });
}

// The menu has no parent widget to take it along.
TTray::~TTray() { delete menu_; }

bool TTray::Available() { return g_available ? *g_available : QSystemTrayIcon::isSystemTrayAvailable(); }

void TTray::SetShown(bool shown) { icon_->setVisible(shown); }

bool TTray::Shown() const { return icon_->isVisible(); }

void TTray::SetTexts(const QString& user, const QString& today, const QString& next) {
  icon_->setToolTip(user.isEmpty() ? QStringLiteral("Kadrel")
                                   : QStringLiteral("Kadrel – %1\n%2\n%3").arg(user, today, next));
  NextItem->setText(next);
  NextItem->setVisible(!user.isEmpty());
}

QString TTray::ToolTip() const { return icon_->toolTip(); }

QRect TTray::Geometry() const { return icon_->geometry(); }

TTrayOverride::TTrayOverride(bool available) : TScopedOverride(g_available, available) {}

}  // namespace kadrel
