// The command menu: drawn flat by the Kadrel style (a 24-pixel icon column),
// and answering the left mouse button only.
#pragma once

#include <QMenu>

namespace kadrel {

class TListMenu;

class TPopupMenu : public QMenu {
  Q_OBJECT

 public:
  explicit TPopupMenu(QWidget* parent = nullptr);
  explicit TPopupMenu(const QString& title, QWidget* parent = nullptr);

  // A submenu that behaves like its parent menu.
  TPopupMenu* AddSubMenu(const QIcon& icon, const QString& title);
  // A submenu of one long list of items (uListMenu.h).
  TListMenu* AddListMenu(const QIcon& icon, const QString& title);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace kadrel
