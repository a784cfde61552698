#include "app/uRosterForm.h"

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

#include "app/uRosterGrid.h"
#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "config/uDayMenu.h"
#include "output/uExport.h"
#include "output/uRosterDoc.h"
#include "platform/gui/uFileDialogs.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uPrinterSurface.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uDateTime.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimeFiles.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

namespace kadrel {

namespace {

constexpr QSize kWindowSize(1180, 640);
constexpr QRect kBody(6, 35, 1168, 590);

constexpr int kAllUsers = 0;
constexpr int kChosenUsers = 1;

QString MonthCaption(int year, int month) { return QStringLiteral("%1年%2月").arg(year).arg(month); }

}  // namespace

TfrmRoster::TfrmRoster(QWidget* owner, TScheduleFolder& folder, int year, int month)
    : QWidget(owner, Qt::Window), folder_(folder), year_(year), month_(month) {
  setObjectName(QStringLiteral("frmRoster"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("排班表"));
  setFixedSize(kWindowSize);
  setFont(KadrelFont(13));
  frame_ = new TKadrelFrame(this);
  frame_->SetTitle(QStringLiteral("排班表"));
  CreateControls();
  DayMenu = new TDayMenu(this, folder_.Rota(), folder_.Records());
  DayMenu->OnChanged = [this] {
    Reload();
    if (OnRotaChanged) OnRotaChanged();
  };
  Reload();
}

TfrmRoster::~TfrmRoster() {
  // The grid paints from the picture: it lets go first.
  Grid->SetPicture(nullptr);
}

void TfrmRoster::CreateControls() {
  QWidget* body = frame_->AddBody(kBody);
  auto button = [body](QPushButton*& b, const char* name, const char* caption, QRect at) {
    b = new QPushButton(QString::fromUtf8(caption), body);
    b->setObjectName(QString::fromUtf8(name));
    b->setGeometry(at);
  };
  auto label = [body](const char* caption, QRect at) {
    auto* l = new QLabel(QString::fromUtf8(caption), body);
    l->setGeometry(at);
    return l;
  };
  button(btnPrior, "btnPrior", "上月", {10, 6, 50, 24});
  lblMonth = label("", {64, 6, 110, 24});
  lblMonth->setAlignment(Qt::AlignCenter);
  QFont bold = lblMonth->font();
  bold.setBold(true);
  lblMonth->setFont(bold);
  button(btnNext, "btnNext", "下月", {178, 6, 50, 24});
  connect(btnPrior, &QPushButton::clicked, this, &TfrmRoster::btnPriorClick);
  connect(btnNext, &QPushButton::clicked, this, &TfrmRoster::btnNextClick);

  label("人员", {254, 6, 36, 24});
  cbUsers = new QComboBox(body);
  cbUsers->setObjectName(QStringLiteral("cbUsers"));
  cbUsers->addItems({QStringLiteral("全部人员"), QStringLiteral("自选人员…")});
  cbUsers->setGeometry(290, 6, 120, 24);
  connect(cbUsers, &QComboBox::activated, this, &TfrmRoster::cbUsersChange);

  label("每班至少", {430, 6, 64, 24});
  spnMinimum = new QSpinBox(body);
  spnMinimum->setObjectName(QStringLiteral("spnMinimum"));
  spnMinimum->setRange(0, 9999);
  spnMinimum->setSpecialValueText(QStringLiteral("不限"));
  spnMinimum->setSuffix(QStringLiteral(" 人"));
  spnMinimum->setGeometry(494, 6, 76, 24);
  connect(spnMinimum, &QSpinBox::valueChanged, this, &TfrmRoster::spnMinimumChange);

  cbPaper = new QComboBox(body);
  cbPaper->setObjectName(QStringLiteral("cbPaper"));
  cbPaper->addItems({QStringLiteral("A4 横向"), QStringLiteral("A3 横向")});
  cbPaper->setGeometry(900, 6, 90, 24);
  button(btnPrint, "btnPrint", "打印", {996, 6, 70, 24});
  button(btnExport, "btnExport", "导出…", {1072, 6, 80, 24});
  connect(btnPrint, &QPushButton::clicked, this, &TfrmRoster::btnPrintClick);
  connect(btnExport, &QPushButton::clicked, this, &TfrmRoster::btnExportClick);

  Grid = new TRosterGrid(body);
  Grid->setObjectName(QStringLiteral("Grid"));
  Grid->setGeometry(6, 38, kBody.width() - 12, 520);
  Grid->OnMenu = [this](QPoint at) { GridMenu(at); };
  Grid->OnCurrentChanged = [this] { ShowStatus(); };

  lblStatus = label("", {8, 562, kBody.width() - 16, 22});
}

// --- The roster ---------------------------------------------------------------

void TfrmRoster::Reload() {
  const std::shared_ptr<const TRotaSnapshot> snapshot = folder_.Snapshot();
  const TDutyTimesMap times(ReadDutyTimes(folder_.Tables().Times));
  std::vector<std::size_t> users;
  if (chosen_.empty()) {
    users = AllRosterUsers(*snapshot);
  } else {
    // A chosen user renamed or deleted since drops out of the rows.
    for (const std::string& name : chosen_) {
      if (const auto user = snapshot->FindUser(name)) users.push_back(*user);
    }
  }
  const std::int64_t first = EncodeDate(year_, month_, 1);
  const std::int64_t last = EncodeDate(year_, month_, DaysInMonth(year_, month_));
  auto roster = std::make_unique<TRoster>(snapshot, times, Holidays(), first, last, std::move(users));
  std::vector<TRosterKindCount> kinds = roster->DayCounts();
  std::vector<bool> watched;
  for (const TRosterKindCount& kind : kinds) watched.push_back(!times.Of(kind.DutyID).Rest);
  auto picture = std::make_unique<TRosterPicture>(*roster, std::move(kinds), std::move(watched), spnMinimum->value());
  Grid->SetPicture(picture.get());
  picture_ = std::move(picture);
  roster_ = std::move(roster);
  lblMonth->setText(MonthCaption(year_, month_));
  ShowStatus();
}

void TfrmRoster::ShowMonth(int year, int month) {
  if (year < kFirstCalendYear || year > kLastCalendYear) return;
  year_ = year;
  month_ = month;
  Reload();
}

void TfrmRoster::SetChosenUsers(std::vector<std::string> names) {
  chosen_ = std::move(names);
  cbUsers->setCurrentIndex(chosen_.empty() ? kAllUsers : kChosenUsers);
  Reload();
}

void TfrmRoster::ShowStatus() {
  if (!roster_ || roster_->RowCount() == 0) {
    lblStatus->setText(roster_ && !chosen_.empty() ? QStringLiteral("没有选中的人员。") : QStringLiteral("还没有用户。"));
    return;
  }
  const TRosterCellPos at = Grid->Current();
  const TRosterRow& row = Grid->RowAt(at.Row);
  const TRosterCell& cell = row.Cells[static_cast<std::size_t>(at.Column)];
  const TYmd day = DecodeDate(roster_->DayAt(static_cast<std::size_t>(at.Column)));
  QString text = GbkToQString(roster_->UserName(at.Row)) + QStringLiteral("　%1年%2月%3日：").arg(day.Year).arg(day.Month).arg(day.Day) +
                 (cell.Text.empty() ? QStringLiteral("无班次") : GbkToQString(cell.Text));
  if (!cell.Mark.empty()) text += QStringLiteral("（") + GbkToQString(cell.Mark) + QStringLiteral("）");
  text += QStringLiteral("　本月工时 ") + QString::fromStdString(FormatHours(static_cast<double>(row.Hours.Total.Minutes)));
  lblStatus->setText(text);
}

// --- Handlers -----------------------------------------------------------------

void TfrmRoster::btnPriorClick() { month_ == 1 ? ShowMonth(year_ - 1, 12) : ShowMonth(year_, month_ - 1); }

void TfrmRoster::btnNextClick() { month_ == 12 ? ShowMonth(year_ + 1, 1) : ShowMonth(year_, month_ + 1); }

void TfrmRoster::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (ctrl && event->key() == Qt::Key_PageUp) return btnPriorClick();
  if (ctrl && event->key() == Qt::Key_PageDown) return btnNextClick();
  QWidget::keyPressEvent(event);
}

void TfrmRoster::cbUsersChange() {
  if (cbUsers->currentIndex() == kAllUsers) return SetChosenUsers({});
  const std::optional<std::vector<std::string>> names = AskUsers();
  // Cancelled, or nobody ticked: the rows stay as they were.
  if (!names || names->empty()) {
    cbUsers->setCurrentIndex(chosen_.empty() ? kAllUsers : kChosenUsers);
    return;
  }
  SetChosenUsers(*names);
}

std::optional<std::vector<std::string>> TfrmRoster::AskUsers() {
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("frmRosterUsers"));
  dialog.setWindowTitle(QStringLiteral("自选人员"));
  dialog.setFixedSize(260, 420);
  TKadrelFrame frame(&dialog);
  frame.SetTitle(QStringLiteral("自选人员"));
  QWidget* body = frame.AddBody({6, 35, 248, 370});
  auto* list = new QListWidget(body);
  list->setObjectName(QStringLiteral("lstUsers"));
  list->setGeometry(6, 6, 236, 320);
  list->setUniformItemSizes(true);
  const std::shared_ptr<const TRotaSnapshot> snapshot = folder_.Snapshot();
  for (std::size_t u = 0; u < snapshot->UserCount(); ++u) {
    auto* item = new QListWidgetItem(GbkToQString(snapshot->UserName(u)), list);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    const bool ticked = std::find(chosen_.begin(), chosen_.end(), snapshot->UserName(u)) != chosen_.end();
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
  auto* ok = new QPushButton(QStringLiteral("确定"), body);
  ok->setObjectName(QStringLiteral("btnOk"));
  ok->setGeometry(60, 334, 80, 26);
  auto* cancel = new QPushButton(QStringLiteral("取消"), body);
  cancel->setGeometry(150, 334, 80, 26);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> names;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->checkState() == Qt::Checked) names.push_back(snapshot->UserName(static_cast<std::size_t>(i)));
  }
  return names;
}

void TfrmRoster::spnMinimumChange() { Reload(); }

void TfrmRoster::GridMenu(QPoint at) {
  if (!roster_ || roster_->RowCount() == 0) return;
  const TRosterCellPos cell = Grid->Current();
  const std::size_t user = Grid->RowAt(cell.Row).User;
  const auto day = static_cast<TDateTime>(roster_->DayAt(static_cast<std::size_t>(cell.Column)));
  DayMenu->Open(folder_.Snapshot(), user, roster_->UserName(cell.Row), day, !folder_.ReadOnly(), at);
}

TRosterPaper TfrmRoster::Paper() const { return cbPaper->currentIndex() == 1 ? TRosterPaper::A3 : TRosterPaper::A4; }

void TfrmRoster::btnPrintClick() {
  const QString title = GbkToQString(RosterTitle(*roster_));
  std::string error;
  if (!PrintPdfOnDefaultPrinter(BuildRosterPdf(*picture_, Paper(), title), title.toStdString(), RosterPaperName(Paper()),
                                error)) {
    ShowError(this, QString::fromStdString(error));
  }
}

void TfrmRoster::btnExportClick() {
  const QString name = QStringLiteral("排班表%1-%2.html").arg(year_).arg(month_, 2, 10, QLatin1Char('0'));
  TSaveFileRequest request;
  request.FileName = QString::fromStdString(DefaultExportFolder(folder_.Dir()) + "/") + name;
  request.Filter = QStringLiteral("网页 (*.html);;逗号分隔的数据文件 (*.csv);;PDF 文件 (*.pdf)");
  request.DefaultSuffix = QStringLiteral("html");
  const std::optional<QString> chosen = AskSaveFileName(this, request);
  if (!chosen) return;
  const QString suffix = chosen->section(QLatin1Char('.'), -1).toLower();
  std::string bytes;
  if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
    bytes = BuildRosterDocument(*roster_, TRosterFormat::Html);
  } else if (suffix == QLatin1String("csv")) {
    bytes = BuildRosterDocument(*roster_, TRosterFormat::Csv);
  } else if (suffix == QLatin1String("pdf")) {
    bytes = BuildRosterPdf(*picture_, Paper(), GbkToQString(RosterTitle(*roster_))).toStdString();
  } else {
    ShowNotice(this, QStringLiteral("排班表可以导出为网页（.html）、逗号分隔的数据文件（.csv）或 PDF 文件（.pdf），"
                                    "请用其中一种扩展名。"));
    return;
  }
  if (std::optional<TIoError> error = WriteExportFile(chosen->toStdString(), bytes, folder_.Dir())) {
    ShowError(this, QString::fromStdString(error->Chinese));
    return;
  }
  ShowNotice(this, QStringLiteral("已导出到：\n") + *chosen);
}

}  // namespace kadrel
