#include "widgets/uPopupMenu.h"

#include "widgets/uFonts.h"
#include "widgets/uListMenu.h"

#include <QMouseEvent>

namespace kadrel {

TPopupMenu::TPopupMenu(QWidget* parent) : TPopupMenu(QString(), parent) {}

TPopupMenu::TPopupMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
  setFont(KadrelFont(12));
}

TPopupMenu* TPopupMenu::AddSubMenu(const QIcon& icon, const QString& title) {
  auto* sub = new TPopupMenu(title, this);
  sub->setIcon(icon);
  addMenu(sub);
  return sub;
}

TListMenu* TPopupMenu::AddListMenu(const QIcon& icon, const QString& title) {
  auto* sub = new TListMenu(title, this);
  sub->setIcon(icon);
  addMenu(sub);
  return sub;
}

void TPopupMenu::mousePressEvent(QMouseEvent* event) {
  // A press of another button outside the menu must still close it, as any
  // click away from a menu does; inside, it is ignored.
  if (event->button() != Qt::LeftButton && rect().contains(event->position().toPoint())) {
    event->accept();
    return;
  }
  QMenu::mousePressEvent(event);
}

void TPopupMenu::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QMenu::mouseReleaseEvent(event);
}

}  // namespace kadrel
