// TprnForm: prints a user's schedule for one year on the default printer,
// for the whole year or for the months ticked, as the title line and the
// print form of uScheduleDoc.h laid out by the line printer.
//
// The printer is reached through a factory that tests replace with a
// TPrintSurfaceOverride, so no test needs a printer and none prints on one.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

#include "output/uLinePrinter.h"
#include "output/uScheduleDoc.h"
#include "schedule/uShiftUser.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace kadrel {

class TKadrelFrame;

// Copies `user` and `year`, shows the dialog modally over `owner` (the
// active window when null) and frees it when it closes.
void ShowPrintDialog(const TShiftUser& user, int year, QWidget* owner = nullptr);

// The surface the next print goes to. The default opens the system's
// default printer.
using TPrintSurfaceFactory = std::function<std::unique_ptr<TPageSurface>()>;

// While it lives, printing goes to the surfaces `factory` makes. Overrides
// nest; the innermost one is used.
class TPrintSurfaceOverride {
 public:
  explicit TPrintSurfaceOverride(TPrintSurfaceFactory factory);
  ~TPrintSurfaceOverride();
  TPrintSurfaceOverride(const TPrintSurfaceOverride&) = delete;
  TPrintSurfaceOverride& operator=(const TPrintSurfaceOverride&) = delete;

 private:
  friend std::unique_ptr<TPageSurface> MakePrintSurface();
  TPrintSurfaceFactory factory_;
  TPrintSurfaceOverride* previous_;
};

// The surface of the innermost override, or the default printer's.
std::unique_ptr<TPageSurface> MakePrintSurface();

// The title line followed by the print form of the chosen months (1 to 12,
// January first); `months[m - 1]` says whether month m is printed.
TLineList PrintLines(const TShiftUser& user, int year, const std::array<bool, 12>& months);

class TprnForm : public QDialog {
  Q_OBJECT

 public:
  TprnForm(const TShiftUser& user, int year, QWidget* owner = nullptr);

  // --- Handlers --------------------------------------------------------------
  void CheckBox1Click();
  void FlatButton1Click();
  void FlatButton2Click();

  // `month` 1 to 12: CheckBox2 (一月) to CheckBox13 (十二月).
  QCheckBox* MonthBox(int month) const { return monthBoxes_.at(month - 1); }
  TKadrelFrame* Frame() const { return frame_; }

  // --- Controls --------------------------------------------------------------
  QCheckBox* CheckBox1 = nullptr;
  QGroupBox* FlatGroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* FlatButton1 = nullptr;
  QPushButton* FlatButton2 = nullptr;

 private:
  void CreateControls();
  // Sends `lines` to the printer; false when it showed why it could not.
  bool Print(const TLineList& lines);

  TShiftUser user_;
  int year_;
  TKadrelFrame* frame_ = nullptr;
  std::array<QCheckBox*, 12> monthBoxes_{};
};

}  // namespace kadrel
