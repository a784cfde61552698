// TDayMenu: the menu of one user's day, as the month view of the calendar
// and the roster both open it: 换班…, 请假…, 加班…, 改班…, 备注… and
// 撤销此日调整. An entry opens TfrmDayChange for the day, or asks before it
// undoes every change that covers the day; once something was stored the
// owner is told, to draw its views again from a new snapshot.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/uDateTime.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uRotaResolver.h"
#include "widgets/uPopupMenu.h"

class QAction;

namespace kadrel {

class TDayMenu : public TPopupMenu {
  Q_OBJECT

 public:
  TDayMenu(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records);

  // Opens at `at` (screen coordinates) for the user `name`, as stored, on
  // `day`. `user` is that user in `snapshot`. With `writable` false (the
  // data only viewed, or a day no change may fall on) every entry is off.
  void Open(std::shared_ptr<const TRotaSnapshot> snapshot, std::size_t user, std::string name, TDateTime day,
            bool writable, QPoint at);

  TDateTime Day() const { return day_; }
  // Called after a change was stored or undone.
  std::function<void()> OnChanged;

  // --- Handlers --------------------------------------------------------------
  void ChangeClick(TExceptionKind kind);
  void UndoClick();

  // --- Controls --------------------------------------------------------------
  QAction* SwapItem = nullptr;
  QAction* LeaveItem = nullptr;
  QAction* ExtraItem = nullptr;
  QAction* SetItem = nullptr;
  QAction* NoteItem = nullptr;
  QAction* UndoItem = nullptr;

 private:
  void Changed();

  QWidget* owner_;
  TRotaRecords& rota_;
  TScheduleRecords& records_;
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  std::size_t user_ = 0;
  std::string name_;
  TDateTime day_ = 0;
  bool writable_ = false;
};

// A day no change may fall on: outside the years the rota files hold.
bool DayMayChange(TDateTime day);

}  // namespace kadrel
