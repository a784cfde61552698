// TfrmOption: the modal options dialog in which users, duty kinds and
// rotation schemes are added, changed and deleted. It works on the data
// folder its creator holds open, through the folder's records with the
// write policy AsTyped, and writes every save straight into them; there is
// no overall OK or Cancel. Users are saved and deleted through the rota
// records, so that a renamed user keeps its exceptions and history and a
// deleted one takes them along. The creator shows it and frees it:
//
//   // folder opened with {TFolderAccess::WriteElseView, TWritePolicy::AsTyped}
//   TfrmOption dlg(this, folder.Records(), folder.Rota(), &folder);
//   dlg.exec();
//   // then reload whatever shows users, schemes or duty kinds
//
// Each editing page has three modes (browse, adding, modifying). While a
// page adds or modifies, its new and modify buttons read "保存" and "取消"
// and its other commands are disabled; closing the dialog then asks first.
//
// A duty kind's hours (start, end, work or rest, reminder, colour) sit
// below its description and are saved with it, into the folder's times
// file; every field is checked before the duty kind is written. Without a
// folder they stay disabled.
#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>
#include <string>

#include "config/uOptionData.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uScheduleRecords.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace kadrel {

class TDatePicker;
class TKadrelFrame;
class TScheduleFolder;

enum class TEditMode { Browse = 0, Adding = 1, Modifying = 2 };

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  TfrmOption(QWidget* owner, TScheduleRecords& records, TRotaRecords& rota, TScheduleFolder* folder = nullptr);
  ~TfrmOption() override;

  TEditMode UserMode() const { return userMode_; }
  TEditMode DutyMode() const { return dutyMode_; }
  TEditMode SchemeMode() const { return schemeMode_; }
  // True while no page adds or modifies: closing needs no question then.
  bool AllSaved() const;
  TKadrelFrame* Frame() const { return frame_; }
  // The root node of the scheme being added or modified; null in browse mode.
  QTreeWidgetItem* EditedScheme() const { return editedScheme_; }

  // --- Handlers, named after the control and its event ---------------------
  void FormShow();
  // True when the dialog may close.
  bool FormCloseQuery();
  void PageControl1Change();
  void PageControl2Change();
  // Users page.
  void lvUserClick();
  void FlatButton2Click();
  void FlatButton1Click();
  void FlatButton3Click();
  // 更换班制…: the selected user follows another scheme from a day on.
  void FlatButton10Click();
  void fcbSelectShiftChange();
  void fclbWorkClickCheck();
  // Duty kinds page.
  void flbWorkClick();
  void FlatButton4Click();
  void FlatButton5Click();
  void FlatButton6Click();
  // Schemes page.
  void FlatButton9Click();
  void FlatButton8Click();
  void fsbSelectedClick();
  void fsbUnSelectedClick();
  void FlatButton7Click();

  // --- Controls ------------------------------------------------------------
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "用户管理"
  QWidget* TabSheet2 = nullptr;  // "班制管理"

  QTreeWidget* lvUser = nullptr;
  QPushButton* FlatButton2 = nullptr;  // "增加" / "新建" / "保存"
  QPushButton* FlatButton1 = nullptr;  // "修改" / "取消"
  QPushButton* FlatButton3 = nullptr;  // "删除"
  QPushButton* FlatButton10 = nullptr;  // "更换班制…"
  QStackedWidget* pgcUser = nullptr;
  QWidget* TabSheet3 = nullptr;  // the cycle of the clicked user
  QWidget* TabSheet4 = nullptr;  // the editor
  QListWidget* flbShiftWork = nullptr;
  QLineEdit* fedUserName = nullptr;
  QComboBox* fcbSelectShift = nullptr;
  QListWidget* fclbWork = nullptr;
  TDatePicker* DateTimePicker1 = nullptr;

  QTabWidget* PageControl2 = nullptr;
  QWidget* TabSheet5 = nullptr;  // "倒班名称"
  QWidget* TabSheet6 = nullptr;  // "倒班规律"
  QListWidget* flbWork = nullptr;
  QLineEdit* FlatEdit1 = nullptr;
  QPlainTextEdit* FlatMemo1 = nullptr;
  QPushButton* FlatButton4 = nullptr;  // "新建" / "保存"
  QPushButton* FlatButton5 = nullptr;  // "修改" / "取消"
  QPushButton* FlatButton6 = nullptr;  // "删除"
  QLineEdit* fedStart = nullptr;       // "上班": HH:MM, empty for all day
  QLineEdit* fedEnd = nullptr;         // "下班": HH:MM
  QComboBox* fcbEndDay = nullptr;      // "当日", "次日", "第三日"
  QLineEdit* fedRemind = nullptr;      // minutes before the start; empty for none
  QCheckBox* fckRest = nullptr;        // "休息": free time, not work
  QComboBox* fcbColor = nullptr;       // "无" or #RRGGBB, typed or picked

  QTreeWidget* tvShift = nullptr;
  QTreeWidget* lvWork = nullptr;
  QPushButton* fsbSelected = nullptr;    // "<"
  QPushButton* fsbUnSelected = nullptr;  // ">"
  QPushButton* FlatButton9 = nullptr;    // "新建" / "保存"
  QPushButton* FlatButton8 = nullptr;    // "修改" / "取消"
  QPushButton* FlatButton7 = nullptr;    // "删除"

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* CreateUsersPage();
  QWidget* CreateDutyKindsPage();
  QWidget* CreateSchemesPage();
  QPushButton* MakeButton(const QString& caption, QWidget* parent, const QRect& geometry);

  void SetUserMode(TEditMode mode);
  void SetDutyMode(TEditMode mode);
  void SetSchemeMode(TEditMode mode);

  void FillUserList(std::int32_t selectSlot = 0);
  void FillDutyKindList();
  void ShowScheme(std::int32_t id, std::int32_t place);
  TUserRecord EditedUser(const std::string& name);
  void SaveUser();
  void SaveDutyKind();
  void ShowDutyTimes(std::int32_t dutyId);
  // The times the fields give, or a refusal naming the field.
  std::optional<TDutyTimes> EditedDutyTimes();
  bool SaveDutyTimes(const TDutyTimes& times);
  void SaveScheme();
  void CancelSchemeEdit();
  void ShowNode(QTreeWidgetItem* node);
  void ShowWriteError();

  TScheduleRecords& records_;
  TRotaRecords& rota_;
  TScheduleFolder* folder_;
  TKadrelFrame* frame_ = nullptr;

  TEditMode userMode_ = TEditMode::Browse;
  TEditMode dutyMode_ = TEditMode::Browse;
  TEditMode schemeMode_ = TEditMode::Browse;

  std::int32_t chosenShiftId_ = 0;  // the scheme the editor shows; 0 when it shows none
  std::int32_t checkedWork_ = 0;    // the place last checked in fclbWork
  std::int32_t modifiedUserSlot_ = 0;  // 0 means none
  std::int32_t modifiedDutyId_ = 0;    // identifiers start at 1; 0 means none
  QTreeWidgetItem* editedScheme_ = nullptr;
};

}  // namespace kadrel
