// TfrmRoster: the team's month, 排班表. One row per user (all of them, or
// the ones chosen), one column per day; the totals of each row and the
// footer of counts come from the roster of output/uRoster.h, the hours from
// the count `stats --hours` makes. A day with fewer users than the minimum
// on a working duty kind stands out in red. The menu of a cell is the day
// menu of the calendar; the roster prints on A4 or A3 landscape and exports
// as HTML, CSV or PDF.
//
// The window belongs to the main window and works on its open folder; it
// only reads, except through the day menu.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/uRosterPaint.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kadrel {

class TDayMenu;
class TKadrelFrame;
class TRosterGrid;
class TScheduleFolder;

class TfrmRoster : public QWidget {
  Q_OBJECT

 public:
  // Shows the month of `year` and `month`.
  TfrmRoster(QWidget* owner, TScheduleFolder& folder, int year, int month);
  ~TfrmRoster() override;

  // Reads the folder again: after a change here, in the main window or in
  // the options dialog. The current cell stays.
  void Reload();
  // Called after the day menu stored a change, for the other views.
  std::function<void()> OnRotaChanged;

  int Year() const { return year_; }
  int Month() const { return month_; }
  void ShowMonth(int year, int month);
  // The users shown, by their stored names; empty for all of them.
  void SetChosenUsers(std::vector<std::string> names);
  const TRoster* Roster() const { return roster_.get(); }
  TKadrelFrame* Frame() const { return frame_; }

  // --- Handlers --------------------------------------------------------------
  void btnPriorClick();
  void btnNextClick();
  void cbUsersChange();
  void spnMinimumChange();
  void btnPrintClick();
  void btnExportClick();
  void GridMenu(QPoint at);

  // --- Controls --------------------------------------------------------------
  QPushButton* btnPrior = nullptr;
  QLabel* lblMonth = nullptr;
  QPushButton* btnNext = nullptr;
  QComboBox* cbUsers = nullptr;  // 全部人员, 自选人员…
  QSpinBox* spnMinimum = nullptr;
  QComboBox* cbPaper = nullptr;  // A4 横向, A3 横向
  QPushButton* btnPrint = nullptr;
  QPushButton* btnExport = nullptr;
  TRosterGrid* Grid = nullptr;
  QLabel* lblStatus = nullptr;
  TDayMenu* DayMenu = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void ShowStatus();
  // The names the user ticks; nothing when cancelled.
  std::optional<std::vector<std::string>> AskUsers();
  TRosterPaper Paper() const;

  TScheduleFolder& folder_;
  int year_;
  int month_;
  std::vector<std::string> chosen_;
  std::unique_ptr<TRoster> roster_;
  std::unique_ptr<TRosterPicture> picture_;
  TKadrelFrame* frame_ = nullptr;
};

}  // namespace kadrel
