#include "app/uKadrelMain.h"

#include "app/uBannerLabel.h"
#include "app/uKadrelMainText.h"
#include "app/uRosterForm.h"
#include "calendar/uHoliday.h"
#include "config/uDayChange.h"
#include "config/uDayMenu.h"
#include "config/uKDOption.h"
#include "config/uRefusals.h"
#include "output/uWizd.h"
#include "output/uYearWz.h"
#include "output/uprint.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/gui/uShell.h"
#include "platform/uClock.h"
#include "platform/uDataFiles.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimedDuty.h"
#include "widgets/uFonts.h"
#include "widgets/uGradientPanel.h"
#include "widgets/uFocusMark.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uListMenu.h"
#include "widgets/uMenuImages.h"
#include "widgets/uOfficeButton.h"
#include "widgets/uPopupMenu.h"
#include "widgets/uSysColors.h"
#include "widgets/uTitleButtons.h"
#include "widgets/uToggleButton.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include <algorithm>

namespace kadrel {

namespace {

const QColor kTitleBlue(0, 52, 224);

// Every view button shares one radio group.
constexpr int kViewGroup = 1;

// The calendar in each view (cells, offsets and sizes the grid was laid out for).
constexpr QSize kYearHost(750, 348);
constexpr QSize kYearCalendar(680, 350);
constexpr QSize kMonthHost(490, 348);
constexpr QSize kMonthCalendar(490, 348);

constexpr const char* kMonthButtonCaptions[12] = {"一 月", "二 月", "三 月", "四 月", "五 月", "六 月",
                                                  "七 月", "八 月", "九 月", "十 月", "十一月", "十二月"};

void SetColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette pal = widget->palette();
  pal.setColor(role, color);
  widget->setPalette(pal);
}

TFontOfCalendar Fonts(int head, int day, int lunar) {
  TFontOfCalendar fonts;
  fonts.HeadFont.FontSize = head;
  fonts.DayFont.FontSize = day;
  fonts.LunarFont.FontSize = lunar;
  return fonts;
}

}  // namespace

TfrmMain::TfrmMain(std::string dataDir, QWidget* parent)
    : QWidget(parent), dataDir_(std::move(dataDir)), yearFonts_(Fonts(9, 9, 9)), monthFonts_(Fonts(12, 12, 10)) {
  setObjectName(QStringLiteral("main"));
  // The window has no title bar; the task bar shows the application's title.
  setWindowTitle(QStringLiteral("Kadrelv2.0"));
  setFixedSize(698, 442);
  setFont(KadrelFont(13));
  SetColor(this, QPalette::Window, kTitleBlue);

  frame_ = new TKadrelFrame(this);
  frame_->AddMinimizeButton();
  // The frame wires its title buttons to the window; the main window's own
  // handlers take their place so the menu's "关闭" and the button are one.
  disconnect(frame_->CloseButton(), nullptr, this, nullptr);
  disconnect(frame_->MinimizeButton(), nullptr, this, nullptr);
  connect(frame_->CloseButton(), &TRoundButton::clicked, this, &TfrmMain::CloseButtonClick);
  connect(frame_->MinimizeButton(), &TArrowButton::clicked, this, &TfrmMain::MinimizeButtonClick);

  CreateControls();
  CreatePopupMenu();
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);
  connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this, &TfrmMain::CommandMenuKey);
  for (const QKeySequence& key : {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)}) {
    connect(new QShortcut(key, this), &QShortcut::activated, this, &TfrmMain::MenuKey);
  }

  FormCreate();
}

TfrmMain::~TfrmMain() = default;

// --- Layout ------------------------------------------------------------------

void TfrmMain::CreateControls() {
  QWidget* panel = frame_->Panel();

  Start = new TOfficeButton(panel);
  Start->setGeometry(16, 5, 130, 28);
  Start->setText(QStringLiteral("Kadrel v2.0 "));
  Start->setToolTip(QStringLiteral("点击这里开始..."));
  // Tab goes round the view buttons alone; the Menu key and F10 stand for
  // the start button, the page keys for the month list.
  Start->setFocusPolicy(Qt::NoFocus);
  connect(Start, &TOfficeButton::MouseUp, this, &TfrmMain::StartMouseUp);

  TitleStrip = new QWidget(panel);
  TitleStrip->setGeometry(152, 8, 257, 25);
  TitleStrip->setFont(KadrelFont(13));
  SetColor(TitleStrip, QPalette::Window, kTitleBlue);
  SetColor(TitleStrip, QPalette::WindowText, ClWindow());

  Label1 = new TBannerLabel(TitleStrip);
  Label1->setGeometry(TitleStrip->rect());
  Label1->SetColor(kTitleBlue);
  Label1->Tag = kBannerStartX;
  frame_->AddDragHandle(Label1);

  Panel3 = frame_->AddBody({6, 35, 687, 380});
  CreateMonthList();

  Panel1 = new QWidget(Panel3);
  Panel1->setGeometry(2, 3, 682, 353);
  Panel1->setAutoFillBackground(true);
  SetColor(Panel1, QPalette::Window, KadrelBodyColor());
  Panel1->raise();  // over the month list, which only a month view uncovers

  CreateViewButtons();
}

void TfrmMain::CreateMonthList() {
  ListView1 = new QTreeWidget(Panel3);
  ListView1->setGeometry(495, 2, 185, 345);
  ListView1->setColumnCount(2);
  ListView1->setHeaderLabels({QStringLiteral("日期"), QStringLiteral("倒班名称")});
  ListView1->headerItem()->setTextAlignment(1, Qt::AlignCenter);
  ListView1->header()->setStretchLastSection(false);
  ListView1->header()->setSectionsMovable(false);
  ListView1->header()->resizeSection(0, 50);
  ListView1->header()->resizeSection(1, 115);
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setMouseTracking(true);  // rows light up under the pointer
  ListView1->setFrameShape(QFrame::NoFrame);
  // A click makes a row the focused day, for the Menu key; Tab passes by.
  ListView1->setFocusPolicy(Qt::ClickFocus);
  ListView1->setIconSize(QSize(16, 16));
  SetColor(ListView1, QPalette::Base, KadrelBodyColor());
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView1, &QTreeWidget::customContextMenuRequested, this, [this](QPoint at) {
    QTreeWidgetItem* row = ListView1->itemAt(at);
    if (!row) return;
    ListView1->setCurrentItem(row);
    DayMenuPopup(ListView1->indexOfTopLevelItem(row) + 1, ListView1->viewport()->mapToGlobal(at));
  });
  connect(ListView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) {
    if (Calendar && row) Calendar->SetFocusDay(ListView1->indexOfTopLevelItem(row) + 1);
  });
}

void TfrmMain::CreateViewButtons() {
  YearButton = new TToggleButton(Panel3);
  YearButton->setGeometry(3, 358, 46, 21);
  viewButtons_[0] = YearButton;
  for (int m = 1; m <= 12; ++m) {
    auto* button = new TToggleButton(Panel3);
    button->setGeometry(48 + 43 * (m - 1), 358, 44, 21);
    button->SetCaption(QString::fromUtf8(kMonthButtonCaptions[m - 1]));
    viewButtons_[m] = button;
  }
  for (TToggleButton* button : viewButtons_) {
    button->setFont(KadrelFont(12));
    button->SetGroupIndex(kViewGroup);
    connect(button, &TToggleButton::clicked, this, [this, button] { ViewButtonClick(button); });
  }
  YearButton->SetDown(true);
  // Not one of the views of the group: it opens a window of its own.
  RosterButton = new TToggleButton(Panel3);
  RosterButton->setObjectName(QStringLiteral("RosterButton"));
  RosterButton->setGeometry(618, 358, 60, 21);
  RosterButton->SetCaption(QStringLiteral("排班表"));
  RosterButton->setFont(KadrelFont(12));
  RosterButton->setToolTip(QStringLiteral("全体人员一个月的排班"));
  // Tab goes round the views alone; the command menu reaches the roster.
  RosterButton->setFocusPolicy(Qt::NoFocus);
  connect(RosterButton, &TToggleButton::clicked, this, [this] {
    RosterButton->SetDown(false);
    RosterClick();
  });
}

void TfrmMain::CreatePopupMenu() {
  PopupMenu1 = new TPopupMenu(this);
  auto add = [this](QAction*& item, const char* name, int image, const char* caption, void (TfrmMain::*handler)()) {
    item = image < 0 ? PopupMenu1->addAction(QString::fromUtf8(caption))
                     : PopupMenu1->addAction(KadrelMenuImage(image), QString::fromUtf8(caption));
    item->setObjectName(QString::fromUtf8(name));
    if (handler) connect(item, &QAction::triggered, this, handler);
  };
  auto separator = [this](QAction*& item, const char* name) {
    item = PopupMenu1->addSeparator();
    item->setObjectName(QString::fromUtf8(name));
  };

  add(N1, "N1", 0, "配置倒班规律", &TfrmMain::N1Click);
  userMenu_ = PopupMenu1->AddListMenu(KadrelMenuImage(13), QStringLiteral("选择用户"));
  connect(userMenu_, &TListMenu::Triggered, this, &TfrmMain::UserMenuItemClick);
  seluser = userMenu_->menuAction();
  seluser->setObjectName(QStringLiteral("seluser"));
  add(N4, "N4", 11, "年份导航", &TfrmMain::N4Click);
  displayMenu_ = PopupMenu1->AddSubMenu(KadrelMenuImage(10), QStringLiteral("显示"));
  displaymonth = displayMenu_->menuAction();
  displaymonth->setObjectName(QStringLiteral("displaymonth"));
  add(RosterItem, "RosterItem", 10, "排班表", &TfrmMain::RosterClick);
  add(N2, "N2", 8, "打印Kadrel", &TfrmMain::N2Click);
  separator(N6, "N6");
  add(N7, "N7", -1, "设置", nullptr);
  N7->setVisible(false);
  separator(N8, "N8");
  N8->setVisible(false);
  add(N9, "N9", 3, "导出", &TfrmMain::N9Click);
  separator(N10, "N10");
  add(N11, "N11", 4, "帮助", &TfrmMain::N11Click);
  add(N12, "N12", 14, "关于...", &TfrmMain::N12Click);
  separator(N13, "N13");
  add(N14, "N14", -1, "最小到任务栏", nullptr);
  N14->setVisible(false);
  add(N15, "N15", 9, "关闭", &TfrmMain::CloseButtonClick);
}

void TfrmMain::CreateDayMenu() {
  DayMenu = new TDayMenu(this, folder_->Rota(), *records_);
  DayMenu->OnChanged = [this] { RotaChanged(); };
}

// --- Start-up ----------------------------------------------------------------

void TfrmMain::FormCreate() {
  Label1->SetText({});
  if (!LoadData()) return;
  // Only what the lookups need is tested: without duty kinds or users there
  // is nothing to show. Slots a failed compaction left deleted do not count.
  if (records_->LiveCount(TScheduleFile::Work) == 0 || records_->LiveCount(TScheduleFile::User) == 0) {
    ShowNotice(this, QStringLiteral("请先对Kadrel进行配置!(菜单-配置倒班规律)"));
  }
  // Bad lines in the holiday files are told once, at start; the good lines
  // are in use all the same.
  if (!HolidayMessages().empty()) ShowNotice(this, QString::fromStdString(HolidayNoticeText(HolidayMessages())));
  WarnOfUnknownArrangement(Calendar->Year());
  BuildDisplayMenu();
  RebuildUserMenu();
  Timer1->start();
}

bool TfrmMain::LoadData() {
  auto folder = std::make_unique<TScheduleFolder>(dataDir_);
  const TOpenFailure failure = folder->Open({TFolderAccess::WriteElseView, TWritePolicy::AsTyped, 0, true});
  if (failure.Failed()) {
    ShowOpenFailure(failure);
    return false;
  }
  folder_ = std::move(folder);
  records_ = &folder_->Records();
  readOnly_ = folder_->ReadOnly();
  CreateDayMenu();
  currentUser_ = TShiftUser{};
  const int year = DecodeDate(WholeDays(Today())).Year;

  Calendar = new TCalendar(Panel1);
  Calendar->SetFonts(yearFonts_);
  TCalendarColors colors;
  colors.BackColor = ClInfoBk();
  colors.LunarColor = QColor(0, 128, 0);
  Calendar->SetColors(colors);
  Calendar->setGeometry(QRect(QPoint(0, 0), kYearCalendar));
  Calendar->SetDayMarks([this](int y, int m, int d) { return DayMark(DayOf(y, m, d)); });
  Calendar->SetDayColors([this](int y, int m, int d) { return DutyColor(DayDuties(y, m, d)); });
  Calendar->DrawYear(40, 14, year, 3, 2);
  Calendar->setMouseTracking(true);
  Calendar->installEventFilter(this);
  Calendar->show();

  YearButton->SetCaption(GbkToQString(YearCaption(year)));
  return true;
}

void TfrmMain::ShowOpenFailure(const TOpenFailure& failure) {
  const QString text = QString::fromStdString(OpenFailureText(failure, FolderPath(dataDir_)));
  // Another program's hold goes away by itself; everything else needs mending.
  if (failure.Fault == TOpenFault::InUse) {
    ShowNotice(this, text);
  } else {
    ShowError(this, text);
  }
}

void TfrmMain::BuildDisplayMenu() {
  for (int n = 0; n <= 12; ++n) {
    const QString caption = n == 0 ? YearButton->Caption() : QString::fromUtf8(kMonthNames[n - 1]);
    QAction* item = displayMenu_->addAction(caption);
    item->setObjectName(QStringLiteral("Month_%1").arg(n));
    item->setData(n);  // the item's Tag
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item] { MonthMenuItemClick(item); });
  }
}

void TfrmMain::RebuildUserMenu() {
  const int checked = userMenu_->CheckedRow();
  const bool haveRemembered = checked >= 0;
  const std::string remembered = haveRemembered ? userNames_[checked] : std::string();

  // The whole list is read first and handed to the menu in one go: items
  // added one by one cost time with the square of their number. The menu
  // makes a caption only for a row it shows or measures, so 100,000 users
  // are not converted to the display's text at every start.
  std::vector<TUserRecord> users = records_->Users();
  userNames_.clear();
  userNames_.reserve(users.size());
  int found = -1;
  for (TUserRecord& user : users) {
    if (haveRemembered && found < 0 && user.Name == remembered) found = int(userNames_.size());
    userNames_.push_back(std::move(user.Name));
  }
  userMenu_->SetItems(
      int(userNames_.size()), [this](int row) { return GbkToQString(UserItemCaption(userNames_[std::size_t(row)])); },
      KadrelMenuImage(12));
  if (found >= 0) {
    UserMenuItemClick(found);
  } else if (!userNames_.empty()) {
    UserMenuItemClick(0);
  }
}

QList<QAction*> TfrmMain::DisplayItems() const { return displayMenu_->actions(); }

// --- Users and views ---------------------------------------------------------

void TfrmMain::UserMenuItemClick(int row) {
  if (!folder_ || row < 0 || row >= int(userNames_.size())) return;
  userMenu_->SetCheckedRow(row);
  const std::string& name = userNames_[std::size_t(row)];
  // A name no live user has any more leaves no user shown, never another one.
  if (LoadShiftUser(currentUser_, *records_, name)) {
    Label1->SetText(GbkToQString(BannerText(currentUser_)));
    shownName_ = name;
  } else {
    Label1->SetText({});
    shownName_.clear();
  }
  RefreshRota();
  ViewButtonClick(YearButton);
}

void TfrmMain::RefreshRota() {
  snapshot_ = folder_ ? folder_->Snapshot() : nullptr;
  times_ = folder_ ? std::make_shared<const TFolderTimes>(ReadFolderTimes(folder_->Tables())) : nullptr;
  shownUser_ = snapshot_ && !shownName_.empty() ? snapshot_->FindUser(shownName_) : std::nullopt;
}

std::vector<TTimedDuty> TfrmMain::DayDuties(int year, int month, int day) const {
  if (!times_ || times_->Times.Empty()) return {};
  return kadrel::DayDuties(DayOf(year, month, day), EncodeDate(year, month, day), times_->Times);
}

TResolvedDay TfrmMain::DayOf(int year, int month, int day) const {
  if (!shownUser_) return {};
  return snapshot_->Resolve(*shownUser_, static_cast<TDateTime>(EncodeDate(year, month, day)));
}

int TfrmMain::ShownView() const {
  const auto down = std::find_if(viewButtons_.begin(), viewButtons_.end(), [](auto* b) { return b->Down(); });
  return down == viewButtons_.end() ? 0 : int(down - viewButtons_.begin());
}

// The view shown stays, and the month list keeps its place.
void TfrmMain::RedrawView() {
  const int scrolled = ListView1->verticalScrollBar()->value();
  const int focused = Calendar->FocusDay();
  ViewButtonClick(viewButtons_[ShownView()]);
  ListView1->verticalScrollBar()->setValue(scrolled);
  if (focused > 0) FocusDay(focused);
}

void TfrmMain::ViewButtonClick(TToggleButton* sender) {
  const auto it = std::find(viewButtons_.begin(), viewButtons_.end(), sender);
  if (it == viewButtons_.end() || !Calendar) return;
  const int tag = int(it - viewButtons_.begin());
  const QList<QAction*> items = displayMenu_->actions();
  for (int n = 0; n < items.size(); ++n) items[n]->setChecked(n == tag);
  sender->SetDown(true);  // raises the other twelve

  // Only a month's days can be focused: the year view has no keys of its own.
  Calendar->setFocusPolicy(tag == 0 ? Qt::NoFocus : Qt::StrongFocus);
  Calendar->SetFocusDay(0);
  if (tag == 0) {
    Panel1->resize(kYearHost);
    Calendar->setGeometry(QRect(QPoint(0, Calendar->y()), kYearCalendar));
    Calendar->SetFonts(yearFonts_);
    Calendar->DrawYear(40, 14, Calendar->Year(), 3, 2);
    return;
  }
  Panel1->resize(kMonthHost);
  Calendar->resize(kMonthCalendar);
  Calendar->move((Panel1->width() - Calendar->width()) / 2, Calendar->y());
  Calendar->SetFonts(monthFonts_);
  Calendar->DrawMonth(7, 7, tag);
  FillMonthList(tag);
}

const QIcon& TfrmMain::MarkIcon(std::string_view mark) {
  auto it = markIcons_.find(mark);
  if (it == markIcons_.end()) {
    const QPixmap badge = QPixmap::fromImage(DayMarkBadge(mark, monthFonts_.LunarFont));
    it = markIcons_.emplace(std::string(mark), QIcon(badge)).first;
  }
  return it->second;
}

void TfrmMain::FillMonthList(int month) {
  const int year = Calendar->Year();
  const int days = TCalendar::DaysInMonth(year, month);
  QList<QTreeWidgetItem*> rows;
  rows.reserve(days);
  for (int d = 1; d <= days; ++d) {
    const TResolvedDay day = DayOf(year, month, d);
    const std::string duty = times_ ? DayDutyTimesText(day, EncodeDate(year, month, d), times_->Times) : DayDutyText(day);
    auto* row = new QTreeWidgetItem({GbkToQString(MonthListDay(d)), GbkToQString(duty)});
    row->setTextAlignment(1, Qt::AlignCenter);
    if (const std::int32_t rgb = DutyColor(DayDuties(year, month, d)); rgb >= 0) row->setForeground(1, QColor(QRgb(rgb)));
    if (const std::string_view mark = DayMark(day); !mark.empty()) row->setIcon(1, MarkIcon(mark));
    rows.append(row);
  }
  // One repaint for the whole month instead of one per row.
  ListView1->setUpdatesEnabled(false);
  ListView1->clear();
  ListView1->addTopLevelItems(rows);
  // Every month opens at its first day, whatever part of the last one was in view.
  ListView1->scrollToTop();
  ListView1->setUpdatesEnabled(true);
}

void TfrmMain::MonthMenuItemClick(QObject* sender) {
  auto* item = qobject_cast<QAction*>(sender);
  if (!item) return;
  bool ok = false;
  const int tag = item->data().toInt(&ok);
  if (!ok || tag < 0 || tag > 12) return;
  ViewButtonClick(viewButtons_[tag]);
}

// --- Menu ----------------------------------------------------------------------

QPoint TfrmMain::StartMenuPosition() const {
  return Start->parentWidget()->mapToGlobal(QPoint(Start->x(), Start->y() + Start->height() - 1));
}

void TfrmMain::StartMouseUp(Qt::MouseButton button, QPoint) {
  if (button != Qt::LeftButton) return;
  PopupMenu1->popup(StartMenuPosition());
}

void TfrmMain::CommandMenuKey() {
  PopupMenu1->popup(StartMenuPosition());
  PopupMenu1->setActiveAction(N1);
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
  QScrollBar* list = ListView1->verticalScrollBar();
  const auto focused = std::find(viewButtons_.begin(), viewButtons_.end(), focusWidget());
  int step = 0;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      step = -1;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      step = 1;
      break;
    case Qt::Key_PageUp:
      list->triggerAction(QAbstractSlider::SliderPageStepSub);
      return;
    case Qt::Key_PageDown:
      list->triggerAction(QAbstractSlider::SliderPageStepAdd);
      return;
    case Qt::Key_Home:
      list->triggerAction(QAbstractSlider::SliderToMinimum);
      return;
    case Qt::Key_End:
      list->triggerAction(QAbstractSlider::SliderToMaximum);
      return;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  const int count = int(viewButtons_.size());
  int from = int(focused - viewButtons_.begin());
  if (focused == viewButtons_.end()) {
    // Without a focused view button, the arrows first go to the one shown.
    from = int(std::find_if(viewButtons_.begin(), viewButtons_.end(), [](auto* b) { return b->Down(); }) -
               viewButtons_.begin());
    if (from == count) from = 0;
    step = 0;
  }
  TToggleButton* next = viewButtons_[(from + step + count) % count];
  ShowKeyboardCues(*next);
  next->setFocus(Qt::TabFocusReason);
}

// --- Commands ------------------------------------------------------------------

void TfrmMain::N1Click() {
  if (!folder_) return;
  if (readOnly_) {
    ShowNotice(this, QString::fromStdString(ReadOnlyNoticeText()));
    return;
  }
  Label1->SetText({});
  {
    TfrmOption option(this, *records_, folder_->Rota(), folder_.get());
    option.exec();
  }
  RebuildUserMenu();
  if (roster_) roster_->Reload();
  if (userNames_.empty()) {
    // Every user was deleted. The one shown last is gone from the files, so
    // its duties must not stay on screen: the window looks as it does at a
    // start without users.
    currentUser_ = TShiftUser{};
    shownName_.clear();
    RefreshRota();
    ViewButtonClick(YearButton);
  }
}

void TfrmMain::N4Click() {
  if (!Calendar) return;
  TfrmYearWZ navigator(this);
  bool ok = false;
  const int shown = YearButton->Caption().left(4).toInt(&ok);
  navigator.SetYear(ok ? shown : Calendar->Year());
  if (navigator.exec() != TfrmYearWZ::kModalOk) return;

  const int year = navigator.Year();
  // Drawing a year's view is what makes it the calendar's year.
  Calendar->DrawYear(40, 14, year, 3, 2);
  const QString caption = GbkToQString(YearCaption(year));
  YearButton->SetCaption(caption);
  displayMenu_->actions().first()->setText(caption);
  ViewButtonClick(YearButton);
  WarnOfUnknownArrangement(year);
}

void TfrmMain::WarnOfUnknownArrangement(int year) {
  if (arrangementWarned_) return;
  if (const auto unknown = ArrangementWarning(Holidays(), year, year)) {
    arrangementWarned_ = true;
    ShowNotice(this, QString::fromStdString(HolidayMessageChinese(*unknown)));
  }
}

// What the documents show of the current user: the resolved days, or the
// bare rotation while no user of the folder is shown.
TUserSchedule TfrmMain::ShownSchedule() const {
  if (shownUser_) return TUserSchedule(snapshot_, *shownUser_, times_);
  return TUserSchedule(currentUser_);
}

void TfrmMain::N2Click() {
  if (Calendar) ShowPrintDialog(ShownSchedule(), Calendar->Year(), this);
}

void TfrmMain::N9Click() {
  if (!Calendar) return;
  const std::string name = currentUser_.Name;
  // The key is made when a calendar file is first written, not before.
  ShowExportWizard(ShownSchedule(), Calendar->Year(), this, [this, name] {
    TScheduleError error;
    return folder_->CalendarKey(name, error).value_or(std::string());
  });
}

QString TfrmMain::HelpFilePath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("HelpKD.chm"));
}

QString TfrmMain::HelpWindowTitle() { return QStringLiteral("Kadrel2的帮助"); }

void TfrmMain::RosterClick() {
  if (!folder_) return;
  if (!roster_) {
    const int view = ShownView();
    const int month = view > 0 ? view : DecodeDate(WholeDays(Today())).Month;
    roster_ = new TfrmRoster(this, *folder_, Calendar->Year(), month);
    roster_->OnRotaChanged = [this] {
      RefreshRota();
      RedrawView();
      emit RosterChanged();
    };
  }
  roster_->show();
  roster_->raise();
  roster_->activateWindow();
}

void TfrmMain::N11Click() {
  TShell& shell = Shell();
  const QString path = HelpFilePath();
  if (!shell.FileExists(path)) {
    ShowWarning(this, QStringLiteral("帮助文件不存在！"));
    return;
  }
  // Opening it again would only start a second viewer beside the first.
  if (shell.FindTopLevelWindow(HelpWindowTitle())) return;
  shell.OpenDocument(path);
}

void TfrmMain::N12Click() {
  if (aboutBox_) aboutBox_->exec();
}

// --- Title buttons, closing -------------------------------------------------------

void TfrmMain::MinimizeButtonClick() { showMinimized(); }

void TfrmMain::CloseButtonClick() { close(); }

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TfrmMain::FormClose() {
  Timer1->stop();
  // A window that never loaded was never shown, and a help window open then
  // belongs to the Kadrel that refused this one.
  if (!folder_) return;
  TShell& shell = Shell();
  if (const TWindowId help = shell.FindTopLevelWindow(HelpWindowTitle())) shell.CloseWindow(help);
  // Every record was on disk before; what failed is the final header write.
  TScheduleError error;
  if (!folder_->Close(error)) {
    ShowError(this, QStringLiteral("关闭数据文件时出错。\n%1：%2")
                        .arg(QString::fromStdString(error.File), QString::fromStdString(error.Reason)));
  }
}

// --- Banner and hover text --------------------------------------------------

void TfrmMain::Timer1Timer() { Label1->DrawAt(BannerTick(Label1->Tag)); }

bool TfrmMain::CalendarHintAt(int x, int y, QString& hint) const {
  TCalendKD day;
  if (!Calendar || !Calendar->CellAt(x, y, day)) return false;
  hint = GbkToQString(CalendarHintText(day, DayOf(day.Year, day.Month, day.Day)));
  hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return true;
}

void TfrmMain::CalendarMouseMove(int x, int y) {
  Calendar->setToolTip(QString());
  QString hint;
  if (!CalendarHintAt(x, y, hint)) {
    hint_.clear();
    if (QToolTip::isVisible()) QToolTip::hideText();
    return;
  }
  hint_ = hint;
  Calendar->setToolTip(hint_);
  // A tooltip already up follows the pointer to the next day at once.
  if (QToolTip::isVisible() && QToolTip::text() != hint_) {
    QToolTip::showText(Calendar->mapToGlobal(QPoint(x, y)), hint_, Calendar);
  }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Calendar) return QWidget::eventFilter(watched, event);
  TCalendKD day;
  switch (event->type()) {
    case QEvent::MouseMove: {
      const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
      CalendarMouseMove(p.x(), p.y());
      break;
    }
    // Either button makes the day under the pointer the focused one.
    case QEvent::MouseButtonPress: {
      const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
      if (!Calendar->YearMode() && Calendar->CellAt(p.x(), p.y(), day)) FocusDay(day.Day);
      break;
    }
    case QEvent::ContextMenu: {
      auto* menu = static_cast<QContextMenuEvent*>(event);
      if (menu->reason() != QContextMenuEvent::Mouse) {
        MenuKey();
      } else if (!Calendar->YearMode() && Calendar->CellAt(menu->pos().x(), menu->pos().y(), day)) {
        DayMenuPopup(day.Day, menu->globalPos());
      }
      return true;
    }
    // A month's grid entered by Tab starts at its first day.
    case QEvent::FocusIn:
      if (!Calendar->YearMode() && Calendar->FocusDay() == 0) FocusDay(1);
      break;
    case QEvent::KeyPress:
      return CalendarKey(static_cast<QKeyEvent*>(event));
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

// The arrows move the focused day within the month, a week up or down;
// Return opens its menu. Other keys go on to the window.
bool TfrmMain::CalendarKey(QKeyEvent* event) {
  if (Calendar->YearMode()) return false;
  int step = 0;
  switch (event->key()) {
    case Qt::Key_Left: step = -1; break;
    case Qt::Key_Right: step = 1; break;
    case Qt::Key_Up: step = -7; break;
    case Qt::Key_Down: step = 7; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      MenuKey();
      return true;
    default: return false;
  }
  const int days = TCalendar::DaysInMonth(Calendar->Year(), Calendar->Month());
  const int from = Calendar->FocusDay() > 0 ? Calendar->FocusDay() : 1;
  ShowKeyboardCues(*Calendar);
  FocusDay(std::clamp(from + step, 1, days));
  return true;
}

// The grid's focused day and the list's current row are the same day.
void TfrmMain::FocusDay(int day) {
  Calendar->SetFocusDay(day);
  if (QTreeWidgetItem* row = ListView1->topLevelItem(day - 1)) ListView1->setCurrentItem(row);
}

int TfrmMain::ListDay() const {
  QTreeWidgetItem* row = ListView1->currentItem();
  return row ? ListView1->indexOfTopLevelItem(row) + 1 : 0;
}

// --- The menu of a day -----------------------------------------------------------

QPoint TfrmMain::DayMenuPosition(int day) const {
  if (focusWidget() == ListView1) {
    const QRect row = ListView1->visualItemRect(ListView1->topLevelItem(day - 1));
    return ListView1->viewport()->mapToGlobal(row.center());
  }
  return Calendar->mapToGlobal(Calendar->MonthDayRect(day).center());
}

void TfrmMain::MenuKey() {
  const bool month = Calendar && !Calendar->YearMode();
  int day = 0;
  if (month && focusWidget() == Calendar) day = Calendar->FocusDay();
  if (month && focusWidget() == ListView1) day = ListDay();
  if (day > 0) {
    DayMenuPopup(day, DayMenuPosition(day));
    // Lit, as the command menu's first item is, for the arrows to go on from.
    DayMenu->setActiveAction(DayMenu->SwapItem->isEnabled() ? DayMenu->SwapItem : nullptr);
  } else {
    CommandMenuKey();
  }
}

void TfrmMain::DayMenuPopup(int day, QPoint at) {
  if (!Calendar || Calendar->YearMode() || day < 1 || day > TCalendar::DaysInMonth(Calendar->Year(), Calendar->Month())) {
    return;
  }
  menuDay_ = static_cast<TDateTime>(EncodeDate(Calendar->Year(), Calendar->Month(), day));
  FocusDay(day);
  // Viewing only, or with nobody shown, there is nothing to change.
  DayMenu->Open(snapshot_, shownUser_.value_or(0), shownName_, menuDay_, !readOnly_ && shownUser_.has_value(), at);
}

void TfrmMain::RotaChanged() {
  RefreshRota();
  RedrawView();
  if (roster_) roster_->Reload();
}

}  // namespace kadrel
