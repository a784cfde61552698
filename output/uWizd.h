// TwizdForm: the export wizard. Four pages lead the user from a greeting
// through the choice of file type and of months and file name to a last page
// that shows the whole path and whose "完成" writes the chosen user's year as
// a text, HTML, data or iCalendar file, then says where it went. The file
// name starts in the documents folder, never in the data folder, and no name
// reaches the data files (uExport.h).
//
// The wizard works on its own copy of the user's resolved schedule and the
// year, so the main window's user may change meanwhile without reaching the
// export.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <QGroupBox>

#include <array>

#include "output/uYearDocument.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTextEdit;
class QToolButton;

namespace kadrel {

class TKadrelFrame;

// A captioned group of radio buttons, one of which is always chosen.
class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const;
  int Count() const;

 private:
  QButtonGroup* buttons_;
};

// A square light of the step strip.
class TStepIndicator : public QWidget {
 public:
  explicit TStepIndicator(QWidget* parent);
  QColor Color() const;
  void SetColor(const QColor& color);
};

class TwizdForm : public QDialog {
 public:
  static constexpr int kPageCount = 4;

  // Copies `user` and `year`; the wizard opens on page 1 with HTML chosen,
  // no months ticked and an empty file name.
  TwizdForm(const TUserSchedule& user, int year, QWidget* owner = nullptr);
  void SetIcsKey(std::function<std::string()> icsKey) { icsKey_ = std::move(icsKey); }

  // --- Handlers, named after the control and its event ---------------------
  void fbNextClick();
  void fbPriClick();
  void pgwzidChange();
  void CheckBox1Click();
  void FlatSpeedButton1Click();
  void fbFinishClick();
  void fbCancelClick();

  TExportType SelectedType() const;
  int PageIndex() const;
  // The months the finish step exports: the ticked ones while "按月选择打印"
  // is on, else all twelve.
  TMonthSet ChosenMonths() const;
  TKadrelFrame* Frame() const { return frame_; }

  // --- Controls ------------------------------------------------------------
  QWidget* Panel1 = nullptr;  // the beige inner panel
  QWidget* StepStrip = nullptr;
  TStepIndicator* start = nullptr;
  TStepIndicator* first = nullptr;
  TStepIndicator* second = nullptr;
  TStepIndicator* over = nullptr;
  QStackedWidget* pgwzid = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QWidget* TabSheet4 = nullptr;
  QPushButton* fbPri = nullptr;
  QPushButton* fbNext = nullptr;
  QPushButton* fbFinish = nullptr;
  QPushButton* fbCancel = nullptr;
  QLabel* Label1 = nullptr;     // page 1 greeting
  QTextEdit* Memo1 = nullptr;   // page 1 text
  TRadioGroup* rgSelectType = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  std::array<QCheckBox*, 12> MonthBoxes{};  // CheckBox2 (一月) to CheckBox13 (十二月)
  QLabel* Label2 = nullptr;     // "默认为按年度进行打印"
  QLabel* Label3 = nullptr;     // "保存为"
  QLineEdit* Edit1 = nullptr;
  QToolButton* FlatSpeedButton1 = nullptr;
  QLabel* Label4 = nullptr;     // page 4 heading
  QTextEdit* Memo2 = nullptr;   // page 4 text
  QLabel* TargetLabel = nullptr;  // page 4: the whole path the file goes to

 private:
  void CreateStepStrip();
  void CreatePages();
  void CreateButtons();
  QWidget* CreateGreetingPage();
  QWidget* CreateTypePage();
  QWidget* CreateMonthPage();
  QWidget* CreateFinishPage();
  void ShowPage(int index);
  // Writes the file and says where it went; false (after saying why) when
  // the wizard must stay open.
  bool Export(TMonthSet months);
  // The file name typed, as a path; a relative one lies in folder_.
  std::string TargetPath() const;

  TUserSchedule user_;
  std::function<std::string()> icsKey_;
  int year_;
  // Where exports go by default: never the data folder (the working folder).
  std::string folder_;
  TKadrelFrame* frame_ = nullptr;
};

// Copies `user` and `year`, shows the wizard modally over `owner` and frees
// it when it closes. Its only result is the file written.
// `icsKey` gives the user's calendar key when a calendar file is written
// (output/uIcs.h); without it the key follows from the name.
void ShowExportWizard(const TUserSchedule& user, int year, QWidget* owner = nullptr,
                      std::function<std::string()> icsKey = {});

}  // namespace kadrel
