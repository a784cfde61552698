// TfrmMain: the main window. It holds the data folder open for the whole
// run, holds the current user, hosts the calendar grid, switches between the
// year view and the months of the displayed year, lists the month's duties
// beside the grid, and carries the command menu, the hover text of the grid
// and the scrolling banner. Every duty it shows is the resolver's: a day a
// swap, a leave, an extra shift or a changed duty touches carries a badge in
// the month view and the month list, and a dot in the year view. The menu of
// a day (right button, or the Menu key on the focused day) records such
// changes.
//
// Creating the window runs FormCreate. When the data files cannot be opened
// the reason has been shown by then, Loaded() is false and the window must
// not be shown; nothing has been written.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/uRosterForm.h"
#include "calendar/uCalendar.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uShiftUser.h"
#include "schedule/uTimedDuty.h"
#include "schedule/uScheduleRecords.h"

class QAction;
class QDialog;
class QTimer;
class QTreeWidget;

namespace kadrel {

class TBannerLabel;
class TDayMenu;
class TKadrelFrame;
class TListMenu;
class TOfficeButton;
class TPopupMenu;
class TToggleButton;
struct TOpenFailure;
class TScheduleFolder;

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  // `dataDir` holds the data files; empty means the working directory,
  // which is where the program keeps them.
  explicit TfrmMain(std::string dataDir = {}, QWidget* parent = nullptr);
  ~TfrmMain() override;

  bool Loaded() const { return folder_ != nullptr; }
  // The data can only be viewed: nothing is changed or written.
  bool ReadOnly() const { return readOnly_; }

  // --- Handlers, named after the control and its event ---------------------
  // `row`: the user item's place in the "选择用户" submenu.
  void UserMenuItemClick(int row);
  void ViewButtonClick(TToggleButton* sender);
  void MonthMenuItemClick(QObject* sender);
  void StartMouseUp(Qt::MouseButton button, QPoint position);
  // F10, and the Menu key away from the days: the command menu where the
  // start button opens it, its first item lit, for the arrows to go on from.
  void CommandMenuKey();
  // The Menu key or Shift+F10: the menu of the focused day of the month
  // view or the month list, else the command menu.
  void MenuKey();
  // The menu of day `day` of the month shown, at `at` (screen coordinates).
  void DayMenuPopup(int day, QPoint at);
  void MinimizeButtonClick();
  void CloseButtonClick();
  void Timer1Timer();
  // (x, y) in the grid's coordinates.
  void CalendarMouseMove(int x, int y);

  // The commands: options dialog, year navigator, print, export, help and
  // about box.
  void N1Click();
  void N4Click();
  void N2Click();
  void N9Click();
  void N11Click();
  void N12Click();
  // The roster of the team, from the command menu and the view button
  // beside the months: opened, or raised when it is open already.
  void RosterClick();

  // The about box "关于..." shows. Program start creates it once; the window
  // does not own it.
  void SetAboutBox(QDialog* box) { aboutBox_ = box; }

  // The help document, in the executable's folder, and the title of the
  // window that shows it once opened.
  static QString HelpFilePath();
  static QString HelpWindowTitle();

  // The hover text for a point of the grid, as the tooltip shows it (lines
  // separated by "\n"); false off the day cells.
  bool CalendarHintAt(int x, int y, QString& hint) const;

  // Where the command menu opens, in screen coordinates: the start button's
  // bottom-left corner.
  QPoint StartMenuPosition() const;

  const TShiftUser& CurrentUser() const { return currentUser_; }
  // The current user's day as the resolver gives it; the empty day while no
  // user is shown.
  TResolvedDay DayOf(int year, int month, int day) const;
  // The shown user's duties of the day with their hours; none without times.
  std::vector<TTimedDuty> DayDuties(int year, int month, int day) const;
  // The current user's schedule as print and export take it.
  TUserSchedule ShownSchedule() const;
  // The day the menu of a day was last opened on.
  TDateTime MenuDay() const { return menuDay_; }
  // The hint text the grid's tooltip shows; empty off the day cells.
  QString HintText() const { return hint_; }
  TScheduleFolder* Folder() const { return folder_.get(); }
  // The roster window while it is open; null otherwise.
  TfrmRoster* Roster() const { return roster_; }
  TKadrelFrame* Frame() const { return frame_; }
  TToggleButton* ViewButton(int tag) const { return viewButtons_.at(tag); }
  // The "选择用户" submenu, one item per user in file order, and the items
  // of the "显示" submenu.
  TListMenu* UserMenu() const { return userMenu_; }
  QList<QAction*> DisplayItems() const;

  // --- Controls ------------------------------------------------------------
  TOfficeButton* Start = nullptr;
  QWidget* TitleStrip = nullptr;
  TBannerLabel* Label1 = nullptr;
  QWidget* Panel3 = nullptr;
  QWidget* Panel1 = nullptr;
  TCalendar* Calendar = nullptr;
  QTreeWidget* ListView1 = nullptr;
  TToggleButton* YearButton = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  QAction* N1 = nullptr;
  QAction* seluser = nullptr;
  QAction* N4 = nullptr;
  QAction* displaymonth = nullptr;
  QAction* N2 = nullptr;
  QAction* N6 = nullptr;
  QAction* N7 = nullptr;
  QAction* N8 = nullptr;
  QAction* N9 = nullptr;
  QAction* N10 = nullptr;
  QAction* N11 = nullptr;
  QAction* N12 = nullptr;
  QAction* N13 = nullptr;
  QAction* N14 = nullptr;
  QAction* N15 = nullptr;
  QAction* RosterItem = nullptr;
  TToggleButton* RosterButton = nullptr;
  QTimer* Timer1 = nullptr;
  // The menu of a day (config/uDayMenu.h).
  TDayMenu* DayMenu = nullptr;

 signals:
  // A change of the rota made in the roster window, once this window shows it.
  void RosterChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The arrows move the focus among the view buttons, round from the last
  // to the first; the page keys, Home and End scroll the month list.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void CreateViewButtons();
  void CreateMonthList();
  void CreatePopupMenu();
  void CreateDayMenu();

  void FormCreate();
  bool LoadData();
  void FormClose();
  void ShowOpenFailure(const TOpenFailure& failure);
  void BuildDisplayMenu();
  // Rebuilds the user submenu from the users table and selects the user
  // checked before if that name is still there, else the first user.
  void RebuildUserMenu();
  void FillMonthList(int month);
  // Once a process: the year shown lies after the last holiday arrangement
  // known, so its 休 and 班 may be incomplete.
  void WarnOfUnknownArrangement(int year);
  // The resolver's picture of the folder after a change, and the view shown
  // drawn again from it.
  void RefreshRota();
  void RedrawView();
  // After a change of the rota here or in the roster: every view again.
  void RotaChanged();
  int ShownView() const;
  // The badge of a mark in the month list.
  const QIcon& MarkIcon(std::string_view mark);
  // The keys and the right button on the grid and the month list.
  bool CalendarKey(QKeyEvent* event);
  void FocusDay(int day);
  int ListDay() const;
  QPoint DayMenuPosition(int day) const;

  std::string dataDir_;
  std::unique_ptr<TScheduleFolder> folder_;
  TScheduleRecords* records_ = nullptr;  // the folder's, as the options dialog stores them
  bool readOnly_ = false;
  TShiftUser currentUser_;
  std::string shownName_;  // the current user's name as stored; empty for none
  std::shared_ptr<const TRotaSnapshot> snapshot_;
  std::shared_ptr<const TFolderTimes> times_;  // read with snapshot_
  std::optional<std::size_t> shownUser_;  // the current user in snapshot_
  TDateTime menuDay_ = 0;
  std::map<std::string, QIcon, std::less<>> markIcons_;
  TFontOfCalendar yearFonts_;
  TFontOfCalendar monthFonts_;
  QString hint_;
  bool arrangementWarned_ = false;

  TKadrelFrame* frame_ = nullptr;
  std::array<TToggleButton*, 13> viewButtons_{};
  TListMenu* userMenu_ = nullptr;
  // The user items' names in the file's own bytes, so that the name found
  // again is exactly the stored one whatever the display made of it.
  std::vector<std::string> userNames_;
  TPopupMenu* displayMenu_ = nullptr;
  QDialog* aboutBox_ = nullptr;
  QPointer<TfrmRoster> roster_;  // a window of its own; null once closed
};

}  // namespace kadrel
