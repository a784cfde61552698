// TprnForm: prints a user's schedule for one year on the default printer,
// for the whole year or for the months ticked: the print form of
// uYearDocument.h laid out by the line printer.
//
// The printer is reached through the seam of platform/gui/uPrinterSurface.h.
#pragma once

#include <QDialog>

#include <array>
#include <string_view>

#include "platform/gui/uPrinterSurface.h"
#include "schedule/uRotaResolver.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace kadrel {

class TKadrelFrame;

// Copies `user` (the resolved schedule, or a bare rotation) and `year`,
// shows the dialog modally over `owner` (the active window when null) and
// frees it when it closes.
void ShowPrintDialog(const TUserSchedule& user, int year, QWidget* owner = nullptr);

class TprnForm : public QDialog {
  Q_OBJECT

 public:
  TprnForm(const TUserSchedule& user, int year, QWidget* owner = nullptr);

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
  // Sends the print form to the printer as the job `title` (GBK); false
  // when it showed why it could not.
  bool Print(std::string_view title, std::string_view document);

  TUserSchedule user_;
  int year_;
  TKadrelFrame* frame_ = nullptr;
  std::array<QCheckBox*, 12> monthBoxes_{};
};

}  // namespace kadrel
