// A submenu of any number of items of one kind (the users), drawn like every
// other menu item but held by one list view instead of one QAction each.
//
// Two things rule out plain actions. QWidget::insertAction searches the
// whole action list for every action it adds, so building 100,000 items
// takes seconds; and a menu taller than the screen spreads into columns,
// which the owner-drawn items do not survive. The list builds in one go and
// scrolls once it would outgrow the screen.
//
// The items react like those of the other menus: the pointer lights them,
// only the left button chooses, and from the keyboard Up, Down, Home, End
// and the page keys move, Return, Enter or Space choose, Left or Escape go
// back to the parent menu.
#pragma once

#include "widgets/uPopupMenu.h"

#include <QIcon>
#include <QStringList>

#include <functional>

class QListView;
class QWidgetAction;

namespace kadrel {

class TMenuListView;

class TListMenu : public TPopupMenu {
  Q_OBJECT

 public:
  explicit TListMenu(const QString& title, QWidget* parent = nullptr);
  ~TListMenu() override;

  // Replaces every item; each shows `icon`, none is checked.
  void SetItems(const QStringList& captions, const QIcon& icon);
  // The same for `count` items whose captions `caption` makes when a row is
  // shown or measured, which is not before the menu opens.
  void SetItems(int count, std::function<QString(int)> caption, const QIcon& icon);
  int Count() const;
  QString Text(int row) const;
  // -1 while no item is checked.
  int CheckedRow() const;
  // Checks `row` and clears every other check mark; -1 clears them all.
  void SetCheckedRow(int row);

  // What the user sees and scrolls, for the owner's tests.
  QListView* List() const;
  // Chooses `row` as a click on it does: the menus close, then Triggered.
  void Trigger(int row);

 signals:
  void Triggered(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TMenuListView* list_;
  QWidgetAction* holder_;
};

}  // namespace kadrel
