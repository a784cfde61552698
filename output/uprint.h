// TprnForm: prints a user's schedule for one year on the default printer,
// for the whole year or for the months ticked: the print form of
// uYearDocument.h laid out by the line printer.
//
// The printer is reached through a factory that tests replace with a
// TPrintSurfaceOverride, so no test needs a printer and none prints on one.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

#include "output/uLinePrinter.h"
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
  // Sends the print form to the printer; false when it showed why it could not.
  bool Print(std::string_view document);

  TShiftUser user_;
  int year_;
  TKadrelFrame* frame_ = nullptr;
  std::array<QCheckBox*, 12> monthBoxes_{};
};

}  // namespace kadrel
