#include "config/uKDOption.h"

#include "config/uChangeScheme.h"
#include "config/uDatePicker.h"
#include "config/uNewShift.h"
#include "config/uOptionData.h"
#include "config/uRefusals.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFolder.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace kadrel {

namespace {

constexpr int kDataRole = Qt::UserRole;

// A description keeps its line breaks as CR LF, as the file has them.
QString HintToEditor(const std::string& hint) { return GbkToQString(hint).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
QString EditorToHint(const QString& text) {
  QString hint = text;
  return hint.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

void Refuse(QWidget* parent, TTextField field, TEditFault fault, TMsgIcon icon) {
  ShowMessageBox(parent, {RefusalText(field, fault), QStringLiteral("提示"), icon, TMsgButtons::Ok});
}

void WarnUser(QWidget* parent, const QString& text) {
  ShowMessageBox(parent, {text, QStringLiteral("提示"), TMsgIcon::Warning, TMsgButtons::Ok});
}

// Colours a duty kind may be given with a click; any other is typed.
constexpr const char* kDutyColors[] = {"#D32F2F", "#F57C00", "#C0A000", "#388E3C", "#1976D2", "#7B1FA2", "#616161"};

QIcon ColorSwatch(const QColor& color) {
  QPixmap swatch(12, 12);
  swatch.fill(color);
  return QIcon(swatch);
}

QLineEdit* MakeLineEdit(QWidget* parent, const QRect& geometry, const QString& placeholder) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(geometry);
  edit->setPlaceholderText(placeholder);
  return edit;
}

QLabel* MakeLabel(const QString& text, QWidget* parent, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->move(at);
  label->adjustSize();
  return label;
}

// A report view's grid: a line under each row and after each cell.
class TGridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(216, 212, 196));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
  }
};

// Tabs on the right whose captions run top to bottom, each character
// upright under the one before, as vertical Chinese text is read.
class TRightTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  QSize tabSizeHint(int index) const override {
    const int line = fontMetrics().height();
    return QSize(line + 10, int(tabText(index).size()) * line + 16);
  }
  // Stacked tabs step with Up and Down; the base class only knows the keys
  // of a row of tabs.
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down) {
      QTabBar::keyPressEvent(event);
      return;
    }
    QKeyEvent step(event->type(), event->key() == Qt::Key_Up ? Qt::Key_Left : Qt::Key_Right, event->modifiers());
    QTabBar::keyPressEvent(&step);
    event->setAccepted(step.isAccepted());
  }
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    const int line = fontMetrics().height();
    for (int i = 0; i < count(); ++i) {
      QStyleOptionTab tab;
      initStyleOption(&tab, i);
      const QString caption = tab.text;
      tab.text.clear();
      painter.drawControl(QStyle::CE_TabBarTab, tab);
      QRect cell(tab.rect.left(), tab.rect.top() + (tab.rect.height() - int(caption.size()) * line) / 2,
                 tab.rect.width(), line);
      for (const QChar c : caption) {
        painter.drawText(cell, Qt::AlignCenter, QString(c));
        cell.translate(0, line);
      }
    }
  }
};

class TRightTabWidget : public QTabWidget {
 public:
  explicit TRightTabWidget(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new TRightTabBar(this));
    setTabPosition(QTabWidget::East);
  }
};

QTreeWidget* MakeReportView(QWidget* parent, const QRect& geometry, const QStringList& columns,
                            std::initializer_list<int> widths) {
  auto* view = new QTreeWidget(parent);
  view->setGeometry(geometry);
  view->setColumnCount(int(columns.size()));
  view->setHeaderLabels(columns);
  int column = 0;
  for (int width : widths) view->header()->resizeSection(column++, width);
  view->header()->setStretchLastSection(true);
  view->header()->setSectionsMovable(false);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setAllColumnsShowFocus(true);
  view->setItemDelegate(new TGridDelegate(view));
  return view;
}

QTreeWidgetItem* SelectedItem(QTreeWidget* view) {
  const QList<QTreeWidgetItem*> selected = view->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

QListWidgetItem* SelectedItem(QListWidget* list) {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? nullptr : selected.first();
}

std::int32_t ItemId(const QTreeWidgetItem* item) { return item->data(0, kDataRole).toInt(); }

}  // namespace

TfrmOption::TfrmOption(QWidget* owner, TScheduleRecords& records, TRotaRecords& rota, TScheduleFolder* folder)
    : QDialog(owner), records_(records), rota_(rota), folder_(folder), frame_(new TKadrelFrame(this)) {
  setWindowTitle(QStringLiteral("设置"));
  setFixedSize(486, 333);
  setFont(KadrelFont(12));
  frame_->SetTitle(QStringLiteral("设置"));

  QWidget* body = frame_->AddBody({6, 35, 474, 286});
  PageControl1 = new QTabWidget(body);
  PageControl1->setGeometry(3, 3, 468, 280);
  TabSheet1 = CreateUsersPage();
  TabSheet2 = new QWidget;
  PageControl2 = new TRightTabWidget(TabSheet2);
  TabSheet5 = CreateDutyKindsPage();
  TabSheet6 = CreateSchemesPage();
  PageControl2->addTab(TabSheet5, QStringLiteral("倒班名称"));
  PageControl2->addTab(TabSheet6, QStringLiteral("倒班规律"));
  PageControl1->addTab(TabSheet1, QStringLiteral("用户管理"));
  PageControl1->addTab(TabSheet2, QStringLiteral("班制管理"));
  PageControl2->setGeometry(2, 2, 460, 248);

  SetUserMode(TEditMode::Browse);
  FlatButton2->setText(QStringLiteral("增加"));  // "新建" only after the first return to browse
  SetDutyMode(TEditMode::Browse);
  SetSchemeMode(TEditMode::Browse);

  connect(PageControl1, &QTabWidget::currentChanged, this, &TfrmOption::PageControl1Change);
  connect(PageControl2, &QTabWidget::currentChanged, this, &TfrmOption::PageControl2Change);
}

TfrmOption::~TfrmOption() = default;

QPushButton* TfrmOption::MakeButton(const QString& caption, QWidget* parent, const QRect& geometry) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(geometry);
  // Return in an edit must not press whichever button a dialog would take
  // for its default.
  button->setAutoDefault(false);
  return button;
}

QWidget* TfrmOption::CreateUsersPage() {
  auto* page = new QWidget;
  lvUser = MakeReportView(page, {6, 6, 262, 206},
                          {QStringLiteral("姓名"), QStringLiteral("班制名称"), QStringLiteral("开始时间")}, {80, 70});
  FlatButton2 = MakeButton(QStringLiteral("增加"), page, {6, 220, 58, 26});
  FlatButton1 = MakeButton(QStringLiteral("修改"), page, {70, 220, 58, 26});
  FlatButton3 = MakeButton(QStringLiteral("删除"), page, {134, 220, 58, 26});
  FlatButton10 = MakeButton(QStringLiteral("更换班制…"), page, {198, 220, 70, 26});

  pgcUser = new QStackedWidget(page);
  pgcUser->setGeometry(278, 6, 178, 240);
  TabSheet3 = new QWidget;
  MakeLabel(QStringLiteral("本班列表"), TabSheet3, {0, 2});
  flbShiftWork = new QListWidget(TabSheet3);
  flbShiftWork->setGeometry(0, 20, 178, 220);
  TabSheet4 = new QWidget;
  MakeLabel(QStringLiteral("用户名称"), TabSheet4, {0, 4});
  fedUserName = new QLineEdit(TabSheet4);
  fedUserName->setGeometry(54, 0, 124, 22);
  MakeLabel(QStringLiteral("选择班制"), TabSheet4, {0, 34});
  fcbSelectShift = new QComboBox(TabSheet4);
  fcbSelectShift->setGeometry(54, 30, 124, 22);
  fclbWork = new QListWidget(TabSheet4);
  fclbWork->setGeometry(0, 60, 178, 146);
  MakeLabel(QStringLiteral("日期"), TabSheet4, {0, 218});
  DateTimePicker1 = new TDatePicker(TabSheet4);
  DateTimePicker1->setGeometry(54, 214, 124, 22);
  pgcUser->addWidget(TabSheet3);
  pgcUser->addWidget(TabSheet4);

  connect(lvUser, &QTreeWidget::itemSelectionChanged, this, &TfrmOption::lvUserClick);
  connect(FlatButton2, &QPushButton::clicked, this, &TfrmOption::FlatButton2Click);
  connect(FlatButton1, &QPushButton::clicked, this, &TfrmOption::FlatButton1Click);
  connect(FlatButton3, &QPushButton::clicked, this, &TfrmOption::FlatButton3Click);
  connect(FlatButton10, &QPushButton::clicked, this, &TfrmOption::FlatButton10Click);
  // Activated, not index-changed: choosing the entry already shown counts too.
  connect(fcbSelectShift, &QComboBox::activated, this, &TfrmOption::fcbSelectShiftChange);
  // A click on an entry's text ticks it, as a click on its box does.
  const auto check = [this](QListWidgetItem* item) {
    fclbWork->setCurrentItem(item);
    fclbWorkClickCheck();
  };
  connect(fclbWork, &QListWidget::itemChanged, this, check);
  connect(fclbWork, &QListWidget::itemClicked, this, check);
  connect(fedUserName, &QLineEdit::returnPressed, this, [this] {
    if (userMode_ != TEditMode::Browse) FlatButton2Click();
  });
  return page;
}

QWidget* TfrmOption::CreateDutyKindsPage() {
  auto* page = new QWidget;
  flbWork = new QListWidget(page);
  flbWork->setGeometry(6, 6, 140, 232);
  MakeLabel(QStringLiteral("倒班名称"), page, {158, 10});
  FlatEdit1 = new QLineEdit(page);
  FlatEdit1->setGeometry(214, 6, 140, 22);
  MakeLabel(QStringLiteral("倒班说明"), page, {158, 38});
  FlatMemo1 = new QPlainTextEdit(page);
  FlatMemo1->setGeometry(158, 56, 266, 66);
  FlatMemo1->setTabChangesFocus(true);  // a TAB byte is no description
  // The hours, below the description they belong with.
  MakeLabel(QStringLiteral("上班"), page, {158, 132});
  fedStart = MakeLineEdit(page, {186, 128, 50, 22}, QStringLiteral("全天"));
  MakeLabel(QStringLiteral("下班"), page, {246, 132});
  fedEnd = MakeLineEdit(page, {274, 128, 50, 22}, {});
  fcbEndDay = new QComboBox(page);
  fcbEndDay->setGeometry(330, 128, 68, 22);
  fcbEndDay->addItems({QStringLiteral("当日"), QStringLiteral("次日"), QStringLiteral("第三日")});
  MakeLabel(QStringLiteral("提醒"), page, {158, 160});
  fedRemind = MakeLineEdit(page, {186, 156, 50, 22}, QStringLiteral("不提醒"));
  MakeLabel(QStringLiteral("分钟前"), page, {242, 160});
  fckRest = new QCheckBox(QStringLiteral("休息（空闲）"), page);
  fckRest->setGeometry(310, 156, 114, 22);
  MakeLabel(QStringLiteral("颜色"), page, {158, 188});
  fcbColor = new QComboBox(page);
  fcbColor->setGeometry(186, 184, 100, 22);
  fcbColor->setEditable(true);
  fcbColor->addItem(QStringLiteral("无"));
  for (const char* color : kDutyColors) fcbColor->addItem(ColorSwatch(QColor(color)), QString::fromLatin1(color));
  FlatButton4 = MakeButton(QStringLiteral("新建"), page, {158, 212, 78, 26});
  FlatButton5 = MakeButton(QStringLiteral("修改"), page, {252, 212, 78, 26});
  FlatButton6 = MakeButton(QStringLiteral("删除"), page, {346, 212, 78, 26});

  // The selection, not the current row: a click moves the current row before
  // it selects, and the entry shown must be the one selected.
  connect(flbWork, &QListWidget::itemSelectionChanged, this, &TfrmOption::flbWorkClick);
  connect(FlatButton4, &QPushButton::clicked, this, &TfrmOption::FlatButton4Click);
  connect(FlatButton5, &QPushButton::clicked, this, &TfrmOption::FlatButton5Click);
  connect(FlatButton6, &QPushButton::clicked, this, &TfrmOption::FlatButton6Click);
  connect(FlatEdit1, &QLineEdit::returnPressed, this, [this] {
    if (dutyMode_ != TEditMode::Browse) FlatButton4Click();
  });
  return page;
}

QWidget* TfrmOption::CreateSchemesPage() {
  auto* page = new QWidget;
  tvShift = new QTreeWidget(page);
  tvShift->setGeometry(6, 6, 150, 232);
  tvShift->setHeaderHidden(true);
  tvShift->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::SelectedClicked);
  fsbSelected = MakeButton(QStringLiteral("<"), page, {162, 90, 26, 24});
  fsbUnSelected = MakeButton(QStringLiteral(">"), page, {162, 122, 26, 24});
  lvWork = MakeReportView(page, {194, 6, 230, 198},
                          {QStringLiteral("ID"), QStringLiteral("倒班名称"), QStringLiteral("说明")}, {32, 70});
  FlatButton9 = MakeButton(QStringLiteral("新建"), page, {194, 212, 70, 26});
  FlatButton8 = MakeButton(QStringLiteral("修改"), page, {274, 212, 70, 26});
  FlatButton7 = MakeButton(QStringLiteral("删除"), page, {354, 212, 70, 26});

  connect(FlatButton9, &QPushButton::clicked, this, &TfrmOption::FlatButton9Click);
  connect(FlatButton8, &QPushButton::clicked, this, &TfrmOption::FlatButton8Click);
  connect(FlatButton7, &QPushButton::clicked, this, &TfrmOption::FlatButton7Click);
  connect(fsbSelected, &QPushButton::clicked, this, &TfrmOption::fsbSelectedClick);
  connect(fsbUnSelected, &QPushButton::clicked, this, &TfrmOption::fsbUnSelectedClick);
  return page;
}

// --- The dialog as a whole ---------------------------------------------------

bool TfrmOption::AllSaved() const {
  return userMode_ == TEditMode::Browse && dutyMode_ == TEditMode::Browse && schemeMode_ == TEditMode::Browse;
}

void TfrmOption::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmOption::FormShow() {
  FillUserList();
  FillDutyKindList();
  DateTimePicker1->SetDateTime(Now());
  PageControl2Change();
  PageControl1Change();
}

bool TfrmOption::FormCloseQuery() {
  if (AllSaved()) return true;
  TMessageRequest question{QStringLiteral("还有数据尚未保存，这样关闭将会丢失数据\n要关闭当前配置窗口吗?"),
                           QStringLiteral("询问"), TMsgIcon::Question, TMsgButtons::YesNo};
  question.DefaultNo = true;
  return ShowMessageBox(this, question) == TMsgResult::Yes;
}

void TfrmOption::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

// Escape would reject the dialog past the close question; it closes instead.
void TfrmOption::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmOption::PageControl1Change() {
  {
    const QSignalBlocker block(fcbSelectShift);
    fcbSelectShift->clear();
    for (const TSchemeRecord& scheme : records_.Schemes()) {
      fcbSelectShift->addItem(QString::number(scheme.ID) + QLatin1Char('|') + GbkToQString(scheme.Name), scheme.ID);
    }
    fcbSelectShift->setCurrentIndex(-1);
  }
  // The other page may have changed or deleted any scheme: the users list
  // shows them as the files now hold them, and in the middle of an edit the
  // form shows its scheme read again, or says that it is gone, so that a
  // choice the combo no longer shows is not saved.
  QTreeWidgetItem* row = SelectedItem(lvUser);
  FillUserList(row ? ItemId(row) : 0);
  if (userMode_ != TEditMode::Browse) ShowScheme(chosenShiftId_, checkedWork_);
}

void TfrmOption::ShowWriteError() { ShowError(this, QStringLiteral("写入数据文件错误。")); }

// --- Users page --------------------------------------------------------------

void TfrmOption::SetUserMode(TEditMode mode) {
  userMode_ = mode;
  const bool browse = mode == TEditMode::Browse;
  FlatButton2->setText(browse ? QStringLiteral("新建") : QStringLiteral("保存"));
  FlatButton1->setText(browse ? QStringLiteral("修改") : QStringLiteral("取消"));
  FlatButton3->setEnabled(browse);
  FlatButton10->setEnabled(browse);
  pgcUser->setCurrentIndex(browse ? 0 : 1);
}

// The cycle list beside the users describes the selected user, or nobody.
void TfrmOption::FillUserList(std::int32_t selectSlot) {
  QTreeWidgetItem* selected = nullptr;
  {
    const QSignalBlocker block(lvUser);
    lvUser->clear();
    for (const TUserRow& row : ReadUserRows(records_)) {
      auto* item = new QTreeWidgetItem(lvUser, {GbkToQString(row.Name), GbkToQString(row.SchemeName), GbkToQString(row.StartText)});
      item->setData(0, kDataRole, row.Slot);
      if (row.Slot == selectSlot && selectSlot != 0) selected = item;
    }
    if (selected) lvUser->setCurrentItem(selected);
  }
  flbShiftWork->clear();
  if (selected) lvUserClick();
}

void TfrmOption::lvUserClick() {
  QTreeWidgetItem* row = SelectedItem(lvUser);
  if (!row) return;
  const std::optional<TUserRecord> user = records_.UserAt(ItemId(row));
  if (!user) return;
  flbShiftWork->clear();
  if (user->ShiftID == -1) return;
  for (const std::string& name : SchemeCycleNames(records_, user->ShiftID)) flbShiftWork->addItem(GbkToQString(name));
}

void TfrmOption::fcbSelectShiftChange() {
  const int index = fcbSelectShift->currentIndex();
  if (index < 0) return;
  const std::int32_t id = fcbSelectShift->itemData(index).toInt();
  // Choosing the scheme shown again keeps its checked place.
  ShowScheme(id, id == chosenShiftId_ ? checkedWork_ : 0);
}

// The editor shows scheme `id` (if the combo offers it) with its cycle and
// `place` checked. A place the list does not hold is kept, unchecked, only
// as the modified user's stored one, which saving then leaves as it is; any
// other becomes the first entry. Without a scheme the check list is empty,
// the combo says why, and the start date is not used (it is today for a
// new user, the stored one for a modified user) unless there is no scheme
// to choose at all.
void TfrmOption::ShowScheme(std::int32_t id, std::int32_t place) {
  const int index = id > 0 ? fcbSelectShift->findData(id) : -1;
  {
    const QSignalBlocker block(fcbSelectShift);
    fcbSelectShift->setCurrentIndex(index);
  }
  chosenShiftId_ = index < 0 ? 0 : id;
  const std::optional<TUserRecord> stored = userMode_ == TEditMode::Modifying ? records_.UserAt(modifiedUserSlot_)
                                                                              : std::nullopt;
  QString note;
  if (index < 0 && fcbSelectShift->count() > 0) {
    note = stored && stored->ShiftID == 0 ? QStringLiteral("未选择班制") : QStringLiteral("找不到原班制");
  }
  fcbSelectShift->setPlaceholderText(note);
  const QSignalBlocker block(fclbWork);
  fclbWork->clear();
  if (index >= 0) {
    for (const std::string& name : SchemeCycleNames(records_, id)) {
      auto* item = new QListWidgetItem(GbkToQString(name), fclbWork);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    }
  }
  const bool listed = place >= 0 && place < fclbWork->count();
  const bool storedPlace = stored && stored->ShiftID == id && stored->FirstID == place;
  checkedWork_ = listed || storedPlace ? place : 0;
  if (checkedWork_ < fclbWork->count() && (listed || !storedPlace)) {
    fclbWork->setCurrentRow(checkedWork_);
    fclbWork->item(checkedWork_)->setCheckState(Qt::Checked);
  }
  DateTimePicker1->setEnabled(index >= 0 || (userMode_ == TEditMode::Adding && fcbSelectShift->count() == 0));
  if (index < 0 && userMode_ == TEditMode::Adding && fcbSelectShift->count() > 0) DateTimePicker1->SetDateTime(Today());
}

void TfrmOption::fclbWorkClickCheck() {
  const int current = fclbWork->currentRow();
  if (current < 0) return;
  const QSignalBlocker block(fclbWork);
  for (int i = 0; i < fclbWork->count(); ++i) fclbWork->item(i)->setCheckState(i == current ? Qt::Checked : Qt::Unchecked);
  checkedWork_ = current;
}

void TfrmOption::FlatButton2Click() {
  if (userMode_ != TEditMode::Browse) {
    SaveUser();
    return;
  }
  SetUserMode(TEditMode::Adding);
  modifiedUserSlot_ = 0;
  DateTimePicker1->SetDateTime(Now());
  fedUserName->clear();
  // The scheme shown is the scheme saved: showing the first scheme while
  // keeping an earlier (or no) choice behind it would save the user with
  // another scheme, or none, without a word.
  ShowScheme(fcbSelectShift->count() > 0 ? fcbSelectShift->itemData(0).toInt() : 0, 0);
  fedUserName->setFocus();
}

void TfrmOption::FlatButton1Click() {
  if (userMode_ != TEditMode::Browse) {
    SetUserMode(TEditMode::Browse);
    return;
  }
  QTreeWidgetItem* row = SelectedItem(lvUser);
  const std::optional<TUserRecord> user = row ? records_.UserAt(ItemId(row)) : std::nullopt;
  if (!user) return;
  SetUserMode(TEditMode::Modifying);
  fedUserName->setText(row->text(0));
  modifiedUserSlot_ = user->Slot;
  DateTimePicker1->SetDateTime(user->Start);
  // The entry of exactly this scheme, found by its "ID": a text search for
  // "1|" would also stop at "11|" and "21|".
  ShowScheme(user->ShiftID, user->FirstID);
}

// The record as the editor describes it. A modified user is read again and
// keeps every field the form does not show: without a scheme chosen, its
// "ShiftID", "Start" and "FirstID" stay as stored. A new user without any
// scheme to choose gets none (0, place 0); one whose chosen scheme was
// deleted meanwhile gets -1, today and -1.
TUserRecord TfrmOption::EditedUser(const std::string& name) {
  const bool adding = userMode_ == TEditMode::Adding;
  TUserRecord user;
  if (!adding) {
    const std::optional<TUserRecord> stored = records_.UserAt(modifiedUserSlot_);
    user = stored ? *stored : TUserRecord{modifiedUserSlot_, {}, 0, 0, 0};
  }
  user.Name = name;
  const bool chosen = chosenShiftId_ != 0;
  if (!adding && !chosen) return user;
  user.ShiftID = chosen ? chosenShiftId_ : fcbSelectShift->count() == 0 ? 0 : -1;
  user.Start = user.ShiftID == -1 ? Today() : DateTimePicker1->DateTime();
  user.FirstID = user.ShiftID == -1 ? -1 : user.ShiftID == 0 ? 0 : checkedWork_;
  return user;
}

void TfrmOption::SaveUser() {
  const bool adding = userMode_ == TEditMode::Adding;
  std::string name;
  TScheduleError check;
  if (!QStringToGbk(fedUserName->text(), name)) {
    check.Fault = TEditFault::BadText;
  } else {
    CheckName(records_.Policy(), TScheduleFile::User, name, check);
  }
  if (check.Fault != TEditFault::None) {
    if (check.Fault == TEditFault::EmptyName) {
      WarnUser(this, QStringLiteral("用户名不能为空!"));
    } else {
      Refuse(this, TTextField::UserName, check.Fault, TMsgIcon::Warning);
    }
    fedUserName->setFocus();
    return;
  }
  TRotaError error;
  TUserRecord user = EditedUser(name);
  const bool saved = rota_.SaveUser(user, error);
  const TEditFault fault = error.Fault == TRotaFault::Schedule ? error.Edit : TEditFault::None;
  if (fault == TEditFault::Duplicate) {
    WarnUser(this, QStringLiteral("用户数据中已经有该用户名称!"));
    // A new user goes back to browse unwritten; a modified one stays open.
    if (!adding) {
      fedUserName->setFocus();
      return;
    }
  } else if (fault == TEditFault::BadPlace) {
    // Only a damaged cycle lists more duties than the calendar counts.
    WarnUser(this, QStringLiteral("勾选的班次超出了该班制的倒班规律（班制数据可能已损坏），请勾选前面的班次。"));
    fclbWork->setFocus();
    return;
  } else if (!saved) {
    ShowWriteError();
  }
  SetUserMode(TEditMode::Browse);
  FillUserList(saved ? user.Slot : 0);
}

void TfrmOption::FlatButton3Click() {
  QTreeWidgetItem* row = SelectedItem(lvUser);
  if (!row) return;
  const bool yes = ShowMessageBox(this, {QStringLiteral("请确认删除当前的用户!"), QStringLiteral("询问"),
                                         TMsgIcon::Warning, TMsgButtons::YesNo}) == TMsgResult::Yes;
  // The file is compacted whatever the answer, and when the user is gone already.
  TScheduleError error;
  bool done = false;
  if (yes) {
    TRotaError rotaError;
    done = rota_.DeleteUser(ItemId(row), rotaError);
    if (!done && rotaError.Fault == TRotaFault::Schedule && rotaError.Edit == TEditFault::NotFound) {
      done = records_.PackUsers(error);
    }
  } else {
    done = records_.PackUsers(error);
  }
  if (!done) ShowWriteError();
  FillUserList();
}

void TfrmOption::FlatButton10Click() {
  QTreeWidgetItem* row = SelectedItem(lvUser);
  const std::optional<TUserRecord> user = row ? records_.UserAt(ItemId(row)) : std::nullopt;
  if (!user) return;
  {
    TfrmChangeScheme change(this, rota_, records_, user->Name);
    change.exec();
  }
  // The start shown is the new one's, whether or not the history grew.
  FillUserList(user->Slot);
}

// --- Duty kinds page ---------------------------------------------------------

void TfrmOption::SetDutyMode(TEditMode mode) {
  dutyMode_ = mode;
  const bool browse = mode == TEditMode::Browse;
  flbWork->setEnabled(browse);
  FlatEdit1->setReadOnly(browse);
  FlatMemo1->setReadOnly(browse);
  for (QWidget* field : std::initializer_list<QWidget*>{fedStart, fedEnd, fcbEndDay, fedRemind, fckRest, fcbColor}) {
    field->setEnabled(!browse && folder_);
  }
  FlatButton4->setText(browse ? QStringLiteral("新建") : QStringLiteral("保存"));
  FlatButton5->setText(browse ? QStringLiteral("修改") : QStringLiteral("取消"));
  FlatButton6->setEnabled(browse);
}

void TfrmOption::FillDutyKindList() {
  const QSignalBlocker block(flbWork);
  flbWork->clear();
  for (const TDutyKindRecord& kind : records_.DutyKinds()) {
    auto* item = new QListWidgetItem(GbkToQString(kind.Name), flbWork);
    item->setData(kDataRole, kind.ID);
  }
}

// Each entry carries its duty kind's "ID", so of two duty kinds of one name
// each entry shows, changes and deletes its own.
void TfrmOption::flbWorkClick() {
  QListWidgetItem* entry = SelectedItem(flbWork);
  const std::optional<TDutyKindRecord> kind = entry ? records_.FindDutyKind(entry->data(kDataRole).toInt()) : std::nullopt;
  if (!kind) return;
  FlatEdit1->setText(GbkToQString(kind->Name));
  FlatMemo1->setPlainText(HintToEditor(kind->Hint));
  ShowDutyTimes(kind->ID);
}

// The length shows as the end: its clock time and the day it falls on.
void TfrmOption::ShowDutyTimes(std::int32_t dutyId) {
  TDutyTimes times;
  if (folder_) times = TDutyTimesMap(ReadDutyTimes(folder_->Tables().Times)).Of(dutyId);
  const std::int32_t end = times.Start + times.Length;
  fedStart->setText(times.Timed() ? QString::fromStdString(FormatClock(times.Start)) : QString());
  fedEnd->setText(times.Timed() ? QString::fromStdString(FormatClock(end % kMinutesPerDay)) : QString());
  fcbEndDay->setCurrentIndex(times.Timed() ? end / kMinutesPerDay : 0);
  fedRemind->setText(times.Remind >= 0 ? QString::number(times.Remind) : QString());
  fckRest->setChecked(times.Rest);
  fcbColor->setEditText(times.Color == kNoColor ? QStringLiteral("无") : QString::fromStdString(FormatColor(times.Color)));
}

std::optional<TDutyTimes> TfrmOption::EditedDutyTimes() {
  TDutyTimes times;
  TTimesError error;
  TTimesField refused = TTimesField::None;
  auto text = [](QLineEdit* edit) { return edit->text().trimmed().toStdString(); };
  const std::string start = text(fedStart), end = text(fedEnd), remind = text(fedRemind);
  const QString color = fcbColor->currentText().trimmed();
  times.Rest = fckRest->isChecked();
  if (const auto minute = start.empty() ? std::nullopt : ParseClock(start, error)) {
    times.Start = *minute;
    if (const auto until = ParseClock(end, error)) {
      times.Length = fcbEndDay->currentIndex() * kMinutesPerDay + *until - *minute;
    } else {
      refused = TTimesField::Length;
    }
  } else if (!start.empty()) {
    refused = TTimesField::Start;
  } else if (!end.empty()) {
    error.Fail(TTimesFault::NeedsStart, TTimesField::Length, {});
    refused = TTimesField::Length;
  }
  if (refused == TTimesField::None && !remind.empty()) {
    if (const auto minutes = ParseRemind(remind, error)) times.Remind = *minutes; else refused = TTimesField::Remind;
  }
  if (refused == TTimesField::None && !color.isEmpty() && color != QStringLiteral("无")) {
    if (const auto rgb = ParseColor(color.toStdString(), error)) times.Color = *rgb; else refused = TTimesField::Color;
  }
  if (refused == TTimesField::None && !CheckDutyTimes(times, error)) refused = error.Field;
  if (refused == TTimesField::None) return times;
  ShowMessageBox(this, {TimesRefusalText(refused, error.Fault), QStringLiteral("提示"), TMsgIcon::Information,
                        TMsgButtons::Ok});
  QWidget* field = refused == TTimesField::Start    ? static_cast<QWidget*>(fedStart)
                   : refused == TTimesField::Remind ? static_cast<QWidget*>(fedRemind)
                   : refused == TTimesField::Color  ? static_cast<QWidget*>(fcbColor)
                                                    : static_cast<QWidget*>(fedEnd);
  field->setFocus();
  return std::nullopt;
}

// Nothing is made for a duty kind without hours in a folder that has none.
bool TfrmOption::SaveDutyTimes(const TDutyTimes& times) {
  TScheduleTables& tables = folder_->Tables();
  if (times.IsDefault() && !tables.Times.IsOpen()) return true;
  TScheduleError open;
  TTimesError error;
  if (!folder_->OpenForChange(TScheduleFile::Times, open)) return false;
  // The zone in use now is what these hours mean, wherever the folder goes.
  if (times.Timed() && (!folder_->OpenForChange(TScheduleFile::Settings, open) || !PinTimeZone(tables.Settings, error))) {
    return false;
  }
  return SetDutyTimes(tables.Times, records_, times, error);
}

void TfrmOption::FlatButton4Click() {
  if (dutyMode_ != TEditMode::Browse) {
    SaveDutyKind();
    return;
  }
  SetDutyMode(TEditMode::Adding);
  FlatEdit1->clear();
  FlatMemo1->clear();
  ShowDutyTimes(0);
  FlatEdit1->setFocus();
}

void TfrmOption::FlatButton5Click() {
  if (dutyMode_ != TEditMode::Browse) {
    // The fields of a new duty kind given up describe no entry of the list,
    // so none stays selected for "删除" to act on.
    if (dutyMode_ == TEditMode::Adding) flbWork->setCurrentRow(-1);
    SetDutyMode(TEditMode::Browse);
    return;
  }
  QListWidgetItem* entry = SelectedItem(flbWork);
  if (!entry) return;
  // The fields may still hold a duty kind just added; what is changed must
  // be what is shown.
  flbWorkClick();
  modifiedDutyId_ = entry->data(kDataRole).toInt();
  SetDutyMode(TEditMode::Modifying);
}

void TfrmOption::SaveDutyKind() {
  std::string name, hint;
  const bool nameOk = QStringToGbk(FlatEdit1->text(), name);
  const bool hintOk = QStringToGbk(EditorToHint(FlatMemo1->toPlainText()), hint);
  TScheduleError check;
  if (!nameOk || !CheckName(records_.Policy(), TScheduleFile::Work, name, check)) {
    if (check.Fault == TEditFault::EmptyName) {
      ShowNotice(this, QStringLiteral("倒班名称不能为空！"));
    } else {
      Refuse(this, TTextField::DutyName, nameOk ? check.Fault : TEditFault::BadText, TMsgIcon::Information);
    }
    FlatEdit1->setFocus();
    return;
  }
  if (!hintOk || !CheckHintText(hint, check)) {
    Refuse(this, TTextField::DutyHint, hintOk ? check.Fault : TEditFault::BadText, TMsgIcon::Information);
    FlatMemo1->setFocus();
    return;
  }
  std::optional<TDutyTimes> times;
  if (folder_ && !(times = EditedDutyTimes())) return;

  TScheduleError error;
  const bool adding = dutyMode_ == TEditMode::Adding;
  TDutyKindRecord kind{adding ? 0 : modifiedDutyId_, name, hint};
  bool saved = records_.SaveDutyKind(kind, error);
  if (saved && times) {
    times->DutyID = kind.ID;
    saved = SaveDutyTimes(*times);
  }
  if (!saved) {
    ShowWriteError();
    FillDutyKindList();
  } else {
    // The saved record becomes the selected entry, so that "修改" and
    // "删除" act on the duty kind the fields show.
    const QSignalBlocker block(flbWork);
    QListWidgetItem* entry = adding ? nullptr : SelectedItem(flbWork);
    if (!entry) entry = new QListWidgetItem(flbWork);
    entry->setText(GbkToQString(kind.Name));
    entry->setData(kDataRole, kind.ID);
    flbWork->setCurrentItem(entry);
  }
  SetDutyMode(TEditMode::Browse);
  if (saved) flbWorkClick();  // the fields as stored, trimmed
}

void TfrmOption::FlatButton6Click() {
  QListWidgetItem* entry = SelectedItem(flbWork);
  if (!entry) return;
  TScheduleError error;
  if (!records_.DeleteDutyKind(entry->data(kDataRole).toInt(), error)) {
    ShowWriteError();
    FillDutyKindList();
    return;
  }
  const QSignalBlocker block(flbWork);
  delete entry;
  flbWork->setCurrentRow(-1);
}

// --- Schemes page ------------------------------------------------------------

void TfrmOption::SetSchemeMode(TEditMode mode) {
  schemeMode_ = mode;
  const bool browse = mode == TEditMode::Browse;
  FlatButton9->setText(browse ? QStringLiteral("新建") : QStringLiteral("保存"));
  FlatButton8->setText(browse ? QStringLiteral("修改") : QStringLiteral("取消"));
  FlatButton7->setEnabled(browse);
  fsbSelected->setEnabled(!browse);
  fsbUnSelected->setEnabled(!browse);
  if (browse) editedScheme_ = nullptr;
}

// While a scheme is being added or modified the tree is left alone: a
// reload would drop the unsaved cycle and the node being edited with it.
// The list of duty kinds is always read again, so a duty kind added on the
// other tab can be picked.
void TfrmOption::PageControl2Change() {
  if (schemeMode_ == TEditMode::Browse) {
    tvShift->clear();
    for (const TSchemeRecord& scheme : records_.Schemes()) {
      auto* root = new QTreeWidgetItem(tvShift, {GbkToQString(scheme.Name)});
      root->setData(0, kDataRole, scheme.ID);
      root->setFlags(root->flags() | Qt::ItemIsEditable);
      for (const TResolvedEntry& entry : records_.ResolveCycle(scheme.Cycle)) {
        auto* child = new QTreeWidgetItem(root, {GbkToQString(entry.Name)});
        child->setData(0, kDataRole, entry.ID);
        child->setFlags(child->flags() | Qt::ItemIsEditable);
      }
    }
  }
  lvWork->clear();
  for (const TDutyKindRecord& kind : records_.DutyKinds()) {
    QString hint = GbkToQString(kind.Hint);
    hint.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    new QTreeWidgetItem(lvWork, {QString::number(kind.ID), GbkToQString(kind.Name), hint});
  }
}

void TfrmOption::FlatButton9Click() {
  if (schemeMode_ != TEditMode::Browse) {
    SaveScheme();
    return;
  }
  SetSchemeMode(TEditMode::Adding);
  TfmNewShift fmNewShift(this);
  if (fmNewShift.exec() == QDialog::Accepted) {
    QString name = fmNewShift.Name();
    if (name.isEmpty()) name = QStringLiteral("新班制");
    editedScheme_ = new QTreeWidgetItem(tvShift, {name});
    editedScheme_->setData(0, kDataRole, 0);  // no "ID" until it is saved
    editedScheme_->setFlags(editedScheme_->flags() | Qt::ItemIsEditable);
    // Selected, so that "取消" acts on it straight away.
    ShowNode(editedScheme_);
  } else {
    SetSchemeMode(TEditMode::Browse);
    PageControl2Change();
  }
}

void TfrmOption::FlatButton8Click() {
  QTreeWidgetItem* node = SelectedItem(tvShift);
  if (!node) return;
  editedScheme_ = node->parent() ? node->parent() : node;
  editedScheme_->setExpanded(true);
  if (schemeMode_ != TEditMode::Browse) {
    CancelSchemeEdit();
    return;
  }
  SetSchemeMode(TEditMode::Modifying);
  if (!records_.FindScheme(ItemId(editedScheme_))) CancelSchemeEdit();
}

void TfrmOption::CancelSchemeEdit() {
  const bool saved = editedScheme_ && ItemId(editedScheme_) != 0;
  if (editedScheme_ && !saved) delete editedScheme_;
  SetSchemeMode(TEditMode::Browse);
  if (saved) PageControl2Change();
}

void TfrmOption::fsbSelectedClick() {
  QTreeWidgetItem* row = SelectedItem(lvWork);
  if (!row || !editedScheme_) return;
  auto* child = new QTreeWidgetItem(editedScheme_, {row->text(1).trimmed()});
  child->setData(0, kDataRole, row->text(0).trimmed().toInt());
  child->setFlags(child->flags() | Qt::ItemIsEditable);
  editedScheme_->setExpanded(true);
  ShowNode(child);
}

void TfrmOption::ShowNode(QTreeWidgetItem* node) {
  tvShift->setCurrentItem(node);
  tvShift->scrollToItem(node);
}

void TfrmOption::fsbUnSelectedClick() {
  QTreeWidgetItem* node = SelectedItem(tvShift);
  if (node && editedScheme_ && node->parent() == editedScheme_) delete node;
}

void TfrmOption::SaveScheme() {
  if (!editedScheme_) return;
  std::vector<std::int32_t> ids;
  for (int i = 0; i < editedScheme_->childCount(); ++i) ids.push_back(ItemId(editedScheme_->child(i)));
  std::string name;
  TScheduleError check;
  if (!QStringToGbk(editedScheme_->text(0), name) || !CheckName(records_.Policy(), TScheduleFile::Shift, name, check)) {
    Refuse(this, TTextField::SchemeName, check.Fault == TEditFault::None ? TEditFault::BadText : check.Fault,
           TMsgIcon::Information);
    return;
  }
  if (!CheckCycleText(ids, check)) {
    Refuse(this, TTextField::Cycle, check.Fault, TMsgIcon::Information);
    return;
  }
  TSchemeRecord scheme{ItemId(editedScheme_), name, ids};
  TScheduleError error;
  if (!records_.SaveScheme(scheme, error)) {
    ShowWriteError();
    SetSchemeMode(TEditMode::Browse);
    PageControl2Change();
    return;
  }
  editedScheme_->setData(0, kDataRole, scheme.ID);
  // The saved scheme is the one selected, so that "删除" acts on it.
  ShowNode(editedScheme_);
  SetSchemeMode(TEditMode::Browse);
}

void TfrmOption::FlatButton7Click() {
  QTreeWidgetItem* node = SelectedItem(tvShift);
  if (!node || node->parent()) return;
  if (ShowMessageBox(this, {QStringLiteral("是否删除当前倒班规律？"), QStringLiteral("确认"), TMsgIcon::Question,
                            TMsgButtons::YesNo}) != TMsgResult::Yes) {
    return;
  }
  TScheduleError error;
  if (!records_.DeleteScheme(ItemId(node), error)) {
    ShowWriteError();
    PageControl2Change();
    return;
  }
  delete node;
}

}  // namespace kadrel
