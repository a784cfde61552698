#include "config/uDayMenu.h"

#include <QAction>
#include <QStringList>

#include <algorithm>
#include <vector>

#include "config/uDayChange.h"
#include "config/uRefusals.h"
#include "platform/gui/uMessages.h"
#include "platform/gui/uQtGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaFiles.h"

namespace kadrel {

namespace {

// "请假：年假（2026年3月2日至2026年3月10日）", one change as the undo question lists it.
QString ChangeLine(const TExceptionRecord& change, TScheduleRecords& records) {
  auto duty = [&records](std::int32_t id) {
    const std::optional<TDutyKindRecord> kind = records.FindDutyKind(id);
    return GbkToQString(kind ? kind->Name : DeletedDutyName(id));
  };
  QString what;
  switch (change.Kind) {
    case TExceptionKind::Set: what = change.DutyID == 0 ? QStringLiteral("无") : duty(change.DutyID); break;
    case TExceptionKind::Leave: what = change.Leave.empty() ? QStringLiteral("请假") : GbkToQString(change.Leave); break;
    case TExceptionKind::Extra: what = duty(change.DutyID); break;
    case TExceptionKind::Swap: what = QStringLiteral("与") + GbkToQString(change.Partner); break;
    default: what = GbkToQString(change.Note); break;
  }
  return GbkToQString(ExceptionKindText(change.Kind)) + QStringLiteral("：") + what + QStringLiteral("（") +
         DaysCaption(change.First, change.Last) + QStringLiteral("）");
}

}  // namespace

bool DayMayChange(TDateTime day) {
  const int year = DecodeDate(WholeDays(day)).Year;
  return year >= kFirstRotaYear && year <= kLastRotaYear;
}

TDayMenu::TDayMenu(QWidget* owner, TRotaRecords& rota, TScheduleRecords& records)
    : TPopupMenu(owner), owner_(owner), rota_(rota), records_(records) {
  auto add = [this](QAction*& item, const char* name, const char* caption, TExceptionKind kind) {
    item = addAction(QString::fromUtf8(caption));
    item->setObjectName(QString::fromUtf8(name));
    connect(item, &QAction::triggered, this, [this, kind] { ChangeClick(kind); });
  };
  add(SwapItem, "SwapItem", "换班…", TExceptionKind::Swap);
  add(LeaveItem, "LeaveItem", "请假…", TExceptionKind::Leave);
  add(ExtraItem, "ExtraItem", "加班…", TExceptionKind::Extra);
  add(SetItem, "SetItem", "改班…", TExceptionKind::Set);
  add(NoteItem, "NoteItem", "备注…", TExceptionKind::Note);
  addSeparator();
  UndoItem = addAction(QStringLiteral("撤销此日调整"));
  UndoItem->setObjectName(QStringLiteral("UndoItem"));
  connect(UndoItem, &QAction::triggered, this, &TDayMenu::UndoClick);
}

void TDayMenu::Open(std::shared_ptr<const TRotaSnapshot> snapshot, std::size_t user, std::string name, TDateTime day,
                    bool writable, QPoint at) {
  snapshot_ = std::move(snapshot);
  user_ = user;
  name_ = std::move(name);
  day_ = day;
  writable_ = writable && snapshot_ && DayMayChange(day);
  for (QAction* item : {SwapItem, LeaveItem, ExtraItem, SetItem, NoteItem}) item->setEnabled(writable_);
  UndoItem->setEnabled(writable_ && !snapshot_->Explain(user_, day_).Exceptions.empty());
  popup(at);
}

void TDayMenu::ChangeClick(TExceptionKind kind) {
  if (!writable_) return;
  {
    TfrmDayChange dialog(owner_, rota_, records_, kind, name_, day_);
    if (dialog.exec() != QDialog::Accepted) return;
  }
  Changed();
}

// Every change that covers the day goes, whole: a change of several days is
// not cut into pieces, so the question names each with all its days.
void TDayMenu::UndoClick() {
  if (!writable_) return;
  const std::vector<TExceptionRecord> covering = snapshot_->Explain(user_, day_).Exceptions;
  if (covering.empty()) return;
  QStringList lines;
  bool longer = false;
  for (const TExceptionRecord& change : covering) {
    lines << ChangeLine(change, records_);
    longer = longer || WholeDays(change.Last) != WholeDays(change.First);
  }
  QString text = QStringLiteral("要撤销%1的以下调整吗？\n%2").arg(DayCaption(day_), lines.join(QLatin1Char('\n')));
  if (longer) text += QStringLiteral("\n跨越几天的调整将整段撤销。");
  TMessageRequest question{text, QStringLiteral("询问"), TMsgIcon::Question, TMsgButtons::YesNo};
  question.DefaultNo = true;
  if (ShowMessageBox(owner_, question) != TMsgResult::Yes) return;

  std::vector<std::int32_t> gone;
  for (const TExceptionRecord& change : covering) {
    // The other half of a swap went with the first.
    if (std::find(gone.begin(), gone.end(), change.ID) != gone.end()) continue;
    std::vector<TExceptionRecord> dropped;
    TRotaError error;
    if (!rota_.DropException(change.ID, dropped, error)) {
      ShowError(owner_, RotaRefusalText(error, {GbkToQString(name_), {}}));
      break;
    }
    for (const TExceptionRecord& half : dropped) gone.push_back(half.ID);
  }
  Changed();
}

void TDayMenu::Changed() {
  // The snapshot the menu opened on no longer tells the truth.
  writable_ = false;
  if (OnChanged) OnChanged();
}

}  // namespace kadrel
