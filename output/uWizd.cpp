#include "output/uWizd.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "output/uExport.h"
#include "output/uIcs.h"
#include "platform/gui/uFileDialogs.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uDateWords.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"
#include "widgets/uSysColors.h"

namespace kadrel {

namespace {

constexpr QSize kWindowSize(478, 326);
constexpr QRect kBody(5, 31, 468, 278);
constexpr int kStripWidth = 163;
constexpr QSize kPageSize(305, 276);
constexpr QSize kButtonSize(49, 25);
constexpr int kButtonGap = 6;
// The buttons lie over the bottom of the page area, so page contents stay
// above this line (page coordinates).
constexpr int kButtonTop = 241;

// The greeting's first line is 304 pixels wide at 16 pixels high, one less
// than the whole page; at 15 it fits with a margin and is not cut off.
constexpr int kMemoPixels = 15;

const QColor kLime(0, 255, 0);
const QColor kHeadingBlue(0, 0, 255);

QFont StyledFont(int pixelSize, bool bold, bool italic = false, bool underline = false) {
  QFont font = KadrelFont(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  return font;
}

QLabel* Heading(const QString& text, QWidget* page, bool italic) {
  auto* label = new QLabel(text, page);
  label->setFont(StyledFont(21, true, italic));
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, kHeadingBlue);
  label->setPalette(pal);
  label->move(16, 18);
  label->adjustSize();
  return label;
}

// A memo that only shows its lines: disabled, so it takes no focus and no
// selection, but drawn in ordinary ink, since its lines are the page's text.
QTextEdit* ReadOnlyMemo(const QStringList& lines, int pixelSize, QWidget* page) {
  auto* memo = new QTextEdit(page);
  memo->setFont(KadrelFont(pixelSize));
  memo->setLineWrapMode(QTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo->setFrameShape(QFrame::NoFrame);
  memo->document()->setDocumentMargin(2);
  memo->setPlainText(lines.join(u'\n'));
  memo->setReadOnly(true);
  memo->setEnabled(false);
  QPalette pal = memo->palette();
  pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
  pal.setColor(QPalette::Disabled, QPalette::Base, KadrelBodyColor());
  memo->setPalette(pal);
  return memo;
}

// A path that a label may break after any folder, since a path has no
// spaces to break at and must be shown whole.
QString Breakable(const std::string& path) {
  return QString::fromStdString(path).replace(u'/', QStringLiteral("/\u200B"));
}

}  // namespace

// --- TRadioGroup -----------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 8, 8);
  layout->setSpacing(6);
  for (const QString& text : items) {
    auto* radio = new QRadioButton(text, this);
    buttons_->addButton(radio, buttons_->buttons().size());
    layout->addWidget(radio);
  }
  layout->addStretch();
}

int TRadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = buttons_->button(index)) button->setChecked(true);
}

QRadioButton* TRadioGroup::Item(int index) const {
  return static_cast<QRadioButton*>(buttons_->button(index));
}

int TRadioGroup::Count() const { return int(buttons_->buttons().size()); }

// --- TStepIndicator --------------------------------------------------------

TStepIndicator::TStepIndicator(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  resize(25, 25);
}

QColor TStepIndicator::Color() const { return palette().color(QPalette::Window); }

void TStepIndicator::SetColor(const QColor& color) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, color);
  setPalette(pal);
}

// --- TwizdForm -------------------------------------------------------------

TwizdForm::TwizdForm(const TUserSchedule& user, int year, QWidget* owner)
    : QDialog(owner), user_(user), year_(year), folder_(DefaultExportFolder({})), frame_(new TKadrelFrame(this)) {
  setWindowTitle(QStringLiteral("导出向导"));
  setFixedSize(kWindowSize);
  frame_->SetTitle(QStringLiteral("导出向导"));
  Panel1 = frame_->AddBody(kBody);
  CreateStepStrip();
  CreatePages();
  CreateButtons();
  pgwzidChange();
}

void TwizdForm::CreateStepStrip() {
  StepStrip = new QWidget(Panel1);
  StepStrip->setGeometry(0, 0, kStripWidth, kBody.height());
  StepStrip->setAutoFillBackground(true);
  QPalette black = StepStrip->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  StepStrip->setPalette(black);

  constexpr int kTop = 28, kPitch = 62, kLeft = 14;
  const char* const steps[] = {"开始", "选择导出文件类型", "配置导出项参数", "完成"};
  TStepIndicator** lights[] = {&start, &first, &second, &over};
  for (int i = 0; i < kPageCount; ++i) {
    const int y = kTop + i * kPitch;
    *lights[i] = new TStepIndicator(StepStrip);
    (*lights[i])->move(kLeft, y);
    auto* label = new QLabel(QString::fromUtf8(steps[i]), StepStrip);
    label->setFont(KadrelFont(13));
    label->adjustSize();
    label->move(kLeft + 25 + 10, y + (25 - label->height()) / 2);
    if (i + 1 < kPageCount) {
      auto* bar = new QWidget(StepStrip);
      bar->setAutoFillBackground(true);
      QPalette grey = bar->palette();
      grey.setColor(QPalette::Window, ClBtnShadow());
      bar->setPalette(grey);
      bar->setGeometry(kLeft + 11, y + 25, 3, kPitch - 25);
    }
  }
}

void TwizdForm::CreatePages() {
  pgwzid = new QStackedWidget(Panel1);
  pgwzid->setGeometry(QRect(QPoint(kStripWidth, 1), kPageSize));
  TabSheet1 = CreateGreetingPage();
  TabSheet2 = CreateTypePage();
  TabSheet3 = CreateMonthPage();
  TabSheet4 = CreateFinishPage();
  for (QWidget* page : {TabSheet1, TabSheet2, TabSheet3, TabSheet4}) pgwzid->addWidget(page);
  pgwzid->setCurrentIndex(0);
}

QWidget* TwizdForm::CreateGreetingPage() {
  auto* page = new QWidget;
  Label1 = Heading(QStringLiteral("欢迎使用向导!"), page, true);
  Memo1 = ReadOnlyMemo({QStringLiteral("    本向导一步一步的帮助您将年度Kadrel"),
                        QStringLiteral("导出为文本或是超文本文件，以"),
                        QStringLiteral("便携带查阅和编辑，现在开始吧!")},
                       kMemoPixels, page);
  Memo1->setGeometry(8, 64, 292, 80);
  return page;
}

QWidget* TwizdForm::CreateTypePage() {
  auto* page = new QWidget;
  rgSelectType = new TRadioGroup(QStringLiteral("选择导出类型"),
                                 {QStringLiteral("文本文件(*.txt)"), QStringLiteral("超文本文件(*.html/*.htm)"),
                                  QStringLiteral("格式文件(*.dat)"), QStringLiteral("日历文件(*.ics)")},
                                 page);
  rgSelectType->setGeometry(16, 18, 273, 136);
  rgSelectType->SetItemIndex(int(TExportType::Html));
  return page;
}

QWidget* TwizdForm::CreateMonthPage() {
  auto* page = new QWidget;
  CheckBox1 = new QCheckBox(QStringLiteral("按月选择打印"), page);
  CheckBox1->move(16, 12);
  CheckBox1->adjustSize();
  connect(CheckBox1, &QCheckBox::clicked, this, &TwizdForm::CheckBox1Click);

  GroupBox1 = new QGroupBox(page);
  GroupBox1->setGeometry(16, 36, 273, 112);
  GroupBox1->setEnabled(false);
  for (int m = 0; m < 12; ++m) {
    auto* box = new QCheckBox(QString::fromUtf8(kMonthNames[m]), GroupBox1);
    box->move(14 + (m % 3) * 86, 10 + (m / 3) * 24);
    box->adjustSize();
    MonthBoxes[m] = box;
  }

  Label2 = new QLabel(QStringLiteral("默认为按年度进行打印"), page);
  Label2->setFont(StyledFont(13, true, false, true));
  Label2->move(16, 158);
  Label2->adjustSize();

  Label3 = new QLabel(QStringLiteral("保存为"), page);
  Label3->move(16, 193);
  Label3->adjustSize();
  Edit1 = new QLineEdit(page);
  Edit1->setGeometry(62, 189, 200, 22);
  FlatSpeedButton1 = new QToolButton(page);
  FlatSpeedButton1->setText(QStringLiteral("..."));
  FlatSpeedButton1->setGeometry(265, 189, 24, 22);
  connect(FlatSpeedButton1, &QToolButton::clicked, this, &TwizdForm::FlatSpeedButton1Click);
  return page;
}

QWidget* TwizdForm::CreateFinishPage() {
  auto* page = new QWidget;
  Label4 = Heading(QStringLiteral("完成！"), page, false);
  Memo2 = ReadOnlyMemo({QStringLiteral("    点击完成，导出文件。"), QStringLiteral("    "),
                        QStringLiteral("    谢谢使用!")},
                       kMemoPixels, page);
  Memo2->setGeometry(8, 64, 292, 80);
  TargetLabel = new QLabel(page);
  TargetLabel->setFont(KadrelFont(12));
  TargetLabel->setWordWrap(true);
  TargetLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  TargetLabel->setGeometry(16, 150, 281, 86);
  return page;
}

void TwizdForm::CreateButtons() {
  const char* const captions[] = {"上一步", "下一步", "完成", "取消"};
  QPushButton** buttons[] = {&fbPri, &fbNext, &fbFinish, &fbCancel};
  void (TwizdForm::*handlers[])() = {&TwizdForm::fbPriClick, &TwizdForm::fbNextClick,
                                     &TwizdForm::fbFinishClick, &TwizdForm::fbCancelClick};
  const int rowWidth = 4 * kButtonSize.width() + 3 * kButtonGap;
  const int left = kStripWidth + kPageSize.width() - 10 - rowWidth;
  for (int i = 0; i < 4; ++i) {
    auto* button = new QPushButton(QString::fromUtf8(captions[i]), Panel1);
    // Enter in the file name must not press a button behind the user's back.
    button->setAutoDefault(false);
    button->setFont(KadrelFont(12));
    button->setGeometry(QRect(QPoint(left + i * (kButtonSize.width() + kButtonGap), 1 + kButtonTop), kButtonSize));
    connect(button, &QPushButton::clicked, this, handlers[i]);
    *buttons[i] = button;
  }
  fbPri->setEnabled(false);
  fbFinish->setEnabled(false);
}

TExportType TwizdForm::SelectedType() const {
  const int index = rgSelectType->ItemIndex();
  return index >= 0 && index <= int(TExportType::Ics) ? TExportType(index) : TExportType::Html;
}

int TwizdForm::PageIndex() const { return pgwzid->currentIndex(); }

TMonthSet TwizdForm::ChosenMonths() const {
  TMonthSet months;
  for (int m = 1; m <= 12; ++m) {
    if (!CheckBox1->isChecked() || MonthBoxes[m - 1]->isChecked()) months.Add(m);
  }
  return months;
}

void TwizdForm::ShowPage(int index) {
  pgwzid->setCurrentIndex(index);
  const bool last = index == kPageCount - 1;
  fbPri->setEnabled(index > 0);
  fbNext->setEnabled(!last);
  fbFinish->setEnabled(last);
  pgwzidChange();
}

void TwizdForm::fbNextClick() {
  if (PageIndex() >= kPageCount - 1) return;
  ShowPage(PageIndex() + 1);
}

void TwizdForm::fbPriClick() {
  if (PageIndex() <= 0) return;
  ShowPage(PageIndex() - 1);
}

void TwizdForm::pgwzidChange() {
  TStepIndicator* lights[] = {start, first, second, over};
  for (TStepIndicator* light : lights) light->SetColor(ClBtnHighlight());
  lights[PageIndex()]->SetColor(kLime);
  if (PageIndex() == 2) {
    Edit1->setText(QString::fromStdString(DefaultExportName(folder_, user_, year_, SelectedType())));
  }
  if (PageIndex() == 3) TargetLabel->setText(QStringLiteral("导出到：\n") + Breakable(TargetPath()));
}

std::string TwizdForm::TargetPath() const { return ExportPathOf(Edit1->text().trimmed().toStdString(), folder_); }

void TwizdForm::CheckBox1Click() { GroupBox1->setEnabled(CheckBox1->isChecked()); }

void TwizdForm::FlatSpeedButton1Click() {
  TSaveFileRequest request;
  request.FileName = QString::fromStdString(TargetPath());
  request.ConfirmOverwrite = false;
  if (std::optional<QString> chosen = AskSaveFileName(this, request)) Edit1->setText(*chosen);
}

void TwizdForm::fbFinishClick() {
  const TMonthSet months = ChosenMonths();
  // Months chosen but none ticked: there is nothing to write.
  if (!months.Empty() && !Export(months)) return;
  accept();
}

void TwizdForm::fbCancelClick() { reject(); }

bool TwizdForm::Export(TMonthSet months) {
  TIcsOptions ics;
  if (SelectedType() == TExportType::Ics && icsKey_) ics.Key = icsKey_();
  const std::string document = BuildYearDocument(user_, year_, months, SelectedType(), ics);
  // Every other type lists the days anyway; a calendar would be empty.
  if (SelectedType() == TExportType::Ics && !HasIcsEvent(document)) {
    ShowNotice(this, QStringLiteral("用户“%1”还没有倒班规律，日历文件里不会有任何班次。"
                                    "请先在“配置倒班规律”中为其选择班制，或选择其他导出类型。")
                         .arg(GbkToQString(user_.Name())));
    return false;
  }
  if (Edit1->text().trimmed().isEmpty()) {
    ShowNotice(this, QStringLiteral("请输入导出文件的文件名。"));
    return false;
  }
  const std::string fileName = TargetPath();
  if (std::optional<TIoError> error = WriteExportFile(fileName, document)) {
    ShowError(this, QString::fromStdString(error->Chinese));
    return false;
  }
  ShowNotice(this, QStringLiteral("已导出到：\n") + QString::fromStdString(fileName));
  return true;
}

void ShowExportWizard(const TUserSchedule& user, int year, QWidget* owner, std::function<std::string()> icsKey) {
  TwizdForm wizard(user, year, owner);
  wizard.SetIcsKey(std::move(icsKey));
  // The toolkit's own placement leaves room for a title bar these windows
  // do not have.
  if (owner) wizard.move(owner->geometry().center() - wizard.rect().center());
  wizard.exec();
}

}  // namespace kadrel
