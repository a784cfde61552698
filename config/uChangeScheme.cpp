#include "config/uChangeScheme.h"

#include "config/uDatePicker.h"
#include "config/uDayChange.h"
#include "config/uOptionData.h"
#include "config/uRefusals.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "platform/uClock.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace kadrel {

namespace {

QLabel* MakeLabel(const QString& text, QWidget* parent, QPoint at) {
  auto* label = new QLabel(text, parent);
  label->move(at);
  label->adjustSize();
  return label;
}

QString SpanEnd(const std::optional<std::int64_t>& day) {
  return day ? DayCaption(static_cast<TDateTime>(*day)) : QStringLiteral("—");
}

}  // namespace

TfrmChangeScheme::TfrmChangeScheme(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records, std::string user)
    : QDialog(owner), rota_(rota), records_(records), user_(std::move(user)), frame_(new TKadrelFrame(this)) {
  setWindowTitle(QStringLiteral("更换班制"));
  setFixedSize(520, 312);
  setFont(KadrelFont(12));
  frame_->SetTitle(QStringLiteral("更换班制"));
  QWidget* body = frame_->AddBody({6, 35, 508, 265});

  MakeLabel(QStringLiteral("用户"), body, {12, 14});
  lblUser = MakeLabel(GbkToQString(user_), body, {68, 14});
  MakeLabel(QStringLiteral("从"), body, {12, 42});
  dtpFrom = new TDatePicker(body);
  dtpFrom->setGeometry(68, 38, 150, 22);
  dtpFrom->setDateRange(QDate(kFirstRotaYear, 1, 1), QDate(kLastRotaYear, 12, 31));
  dtpFrom->SetDateTime(Today());
  MakeLabel(QStringLiteral("班制"), body, {12, 70});
  fcbScheme = new QComboBox(body);
  fcbScheme->setGeometry(68, 66, 150, 22);
  MakeLabel(QStringLiteral("当天的班次"), body, {12, 96});
  fclbPlace = new QListWidget(body);
  fclbPlace->setGeometry(12, 114, 206, 106);

  MakeLabel(QStringLiteral("班制历史"), body, {232, 14});
  lvHistory = new QTreeWidget(body);
  lvHistory->setGeometry(232, 32, 264, 188);
  lvHistory->setColumnCount(3);
  lvHistory->setHeaderLabels({QStringLiteral("起"), QStringLiteral("止"), QStringLiteral("班制")});
  lvHistory->header()->resizeSection(0, 96);
  lvHistory->header()->resizeSection(1, 96);
  lvHistory->header()->setSectionsMovable(false);
  lvHistory->setRootIsDecorated(false);
  lvHistory->setSelectionMode(QAbstractItemView::NoSelection);
  lvHistory->setFocusPolicy(Qt::NoFocus);

  btnOk = new QPushButton(QStringLiteral("确定"), body);
  btnOk->setGeometry(160, 230, 75, 25);
  btnOk->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("取消"), body);
  btnCancel->setGeometry(273, 230, 75, 25);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(fcbScheme, &QComboBox::activated, this, &TfrmChangeScheme::fcbSchemeChange);
  connect(fclbPlace, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { CheckPlace(fclbPlace->row(item)); });
  connect(fclbPlace, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { CheckPlace(fclbPlace->row(item)); });

  const std::optional<TUserRecord> stored = records_.FindUser(user_);
  for (const TSchemeRecord& scheme : records_.Schemes()) {
    fcbScheme->addItem(QString::number(scheme.ID) + QLatin1Char('|') + GbkToQString(scheme.Name), scheme.ID);
  }
  // The scheme the user follows now, as the likeliest to go on with.
  const int current = stored ? fcbScheme->findData(stored->ShiftID) : -1;
  fcbScheme->setCurrentIndex(current >= 0 ? current : fcbScheme->count() > 0 ? 0 : -1);
  fcbSchemeChange();
  FillHistory();
  dtpFrom->setFocus();
}

void TfrmChangeScheme::fcbSchemeChange() {
  const QSignalBlocker block(fclbPlace);
  fclbPlace->clear();
  if (fcbScheme->currentIndex() < 0) return;
  for (const std::string& name : SchemeCycleNames(records_, fcbScheme->currentData().toInt())) {
    auto* item = new QListWidgetItem(GbkToQString(name), fclbPlace);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  CheckPlace(0);
}

// One entry checked at a time: the duty of the first day.
void TfrmChangeScheme::CheckPlace(int row) {
  if (row < 0 || row >= fclbPlace->count()) return;
  const QSignalBlocker block(fclbPlace);
  for (int i = 0; i < fclbPlace->count(); ++i) fclbPlace->item(i)->setCheckState(i == row ? Qt::Checked : Qt::Unchecked);
  fclbPlace->setCurrentRow(row);
  checkedPlace_ = row;
}

void TfrmChangeScheme::FillHistory() {
  lvHistory->clear();
  for (const TSchemeSpan& span : ReadSchemeSpans(records_, rota_, user_)) {
    const QString scheme = span.SchemeName.empty() ? (span.ShiftID > 0 ? QStringLiteral("找不到原班制")
                                                                       : QStringLiteral("未选择班制"))
                                                   : GbkToQString(span.SchemeName);
    new QTreeWidgetItem(lvHistory, {SpanEnd(span.From), SpanEnd(span.Until), scheme});
  }
}

void TfrmChangeScheme::accept() {
  auto refuse = [this](const QString& text, QWidget* field) {
    ShowMessageBox(this, {text, QStringLiteral("提示"), TMsgIcon::Information, TMsgButtons::Ok});
    if (field) field->setFocus();
  };
  if (fcbScheme->currentIndex() < 0) {
    refuse(QStringLiteral("还没有班制，请先在“班制管理”中新建班制。"), fcbScheme);
    return;
  }
  TRotaError error;
  if (!rota_.ChangeScheme(user_, dtpFrom->DateTime(), fcbScheme->currentData().toInt(), checkedPlace_, error)) {
    QWidget* field = error.Field == TRotaField::Scheme  ? static_cast<QWidget*>(fcbScheme)
                     : error.Field == TRotaField::Place ? static_cast<QWidget*>(fclbPlace)
                     : error.Field == TRotaField::First ? static_cast<QWidget*>(dtpFrom)
                                                        : nullptr;
    refuse(RotaRefusalText(error, {GbkToQString(user_), {}}), field);
    FillHistory();
    return;
  }
  QDialog::accept();
}

}  // namespace kadrel
