#include "app/uRosterGrid.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

#include "platform/gui/uQtGbk.h"
#include "platform/uDateTime.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

namespace {

using G = TRosterGeometry;

const QColor kCurrentColor(0, 52, 224);
const QColor kEmptyColor(240, 236, 216);

}  // namespace

TRosterGrid::TRosterGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::NoFrame);
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  verticalScrollBar()->setSingleStep(G::kRowHeight);
  horizontalScrollBar()->setSingleStep(G::kDayWidth);
}

void TRosterGrid::SetPicture(const TRosterPicture* picture) {
  picture_ = picture;
  rows_.clear();
  built_ = 0;
  if (picture_) {
    const std::size_t rows = picture_->Roster().RowCount();
    current_.Row = rows == 0 ? 0 : std::min(current_.Row, rows - 1);
    current_.Column = std::clamp(current_.Column, 0, std::max(0, picture_->Geometry().Days - 1));
  }
  UpdateScrollBars();
  viewport()->update();
}

int TRosterGrid::BodyTop() const { return G::kHeadHeight; }

int TRosterGrid::BodyHeight() const {
  const int footer = picture_ ? picture_->Geometry().FooterHeight() : 0;
  return std::max(0, viewport()->height() - G::kHeadHeight - footer);
}

int TRosterGrid::PageRows() const { return std::max(1, BodyHeight() / G::kRowHeight); }

void TRosterGrid::UpdateScrollBars() {
  const int rows = picture_ ? static_cast<int>(picture_->Roster().RowCount()) : 0;
  const int width = picture_ ? picture_->Geometry().Width() : 0;
  verticalScrollBar()->setRange(0, std::max(0, rows * G::kRowHeight - BodyHeight()));
  verticalScrollBar()->setPageStep(std::max(G::kRowHeight, BodyHeight() - G::kRowHeight));
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
}

void TRosterGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

QRect TRosterGrid::CellRect(TRosterCellPos cell) const {
  if (!picture_) return {};
  const int x = picture_->Geometry().DayLeft(cell.Column) - horizontalScrollBar()->value();
  const int y = BodyTop() + static_cast<int>(cell.Row) * G::kRowHeight - verticalScrollBar()->value();
  return {x, y, G::kDayWidth, G::kRowHeight};
}

std::optional<TRosterCellPos> TRosterGrid::CellAt(QPoint p) const {
  if (!picture_ || p.y() < BodyTop() || p.y() >= BodyTop() + BodyHeight()) return std::nullopt;
  const int column = picture_->Geometry().DayAt(p.x() + horizontalScrollBar()->value());
  const long row = (p.y() - BodyTop() + verticalScrollBar()->value()) / G::kRowHeight;
  if (column < 0 || row >= static_cast<long>(picture_->Roster().RowCount())) return std::nullopt;
  return TRosterCellPos{static_cast<std::size_t>(row), column};
}

const TRosterRow& TRosterGrid::RowAt(std::size_t row) {
  auto it = rows_.find(row);
  if (it == rows_.end()) {
    it = rows_.emplace(row, picture_->Roster().Row(row)).first;
    ++built_;
  }
  return it->second;
}

void TRosterGrid::Trim(std::size_t first, std::size_t last) {
  // Rows a page away either side stay, for the scroll back.
  const std::size_t keep = last - first + 1;
  if (rows_.size() <= 4 * keep) return;
  std::erase_if(rows_, [&](const auto& entry) { return entry.first + keep < first || entry.first >= last + keep; });
}

void TRosterGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.fillRect(viewport()->rect(), kEmptyColor);
  if (!picture_) return;
  const int dx = horizontalScrollBar()->value();
  const int dy = verticalScrollBar()->value();
  const auto [first, last] = picture_->Geometry().RowsIn(dy, BodyHeight(), picture_->Roster().RowCount());

  p.save();
  p.setClipRect(0, BodyTop(), viewport()->width(), BodyHeight());
  p.translate(-dx, BodyTop() - dy);
  for (std::size_t r = first; r < last; ++r) {
    picture_->PaintRow(p, static_cast<int>(r) * G::kRowHeight, r, RowAt(r));
  }
  p.restore();
  Trim(first, last);

  p.save();
  p.translate(-dx, 0);
  picture_->PaintHead(p, 0);
  const int rowsEnd = BodyTop() + std::min(BodyHeight(), static_cast<int>(last) * G::kRowHeight - dy);
  picture_->PaintFooter(p, std::max(BodyTop(), rowsEnd));
  p.restore();

  if (picture_->Roster().RowCount() > 0) {
    p.setClipRect(0, BodyTop(), viewport()->width(), BodyHeight());
    QPen pen(kCurrentColor, hasFocus() ? 2 : 1);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(CellRect(current_).adjusted(1, 1, -1, -1));
  }
}

void TRosterGrid::SetCurrent(TRosterCellPos cell) {
  if (!picture_ || picture_->Roster().RowCount() == 0) return;
  cell.Row = std::min(cell.Row, picture_->Roster().RowCount() - 1);
  cell.Column = std::clamp(cell.Column, 0, picture_->Geometry().Days - 1);
  const bool moved = !(cell == current_);
  current_ = cell;
  const int top = static_cast<int>(cell.Row) * G::kRowHeight;
  QScrollBar* v = verticalScrollBar();
  if (top < v->value()) v->setValue(top);
  if (top + G::kRowHeight > v->value() + BodyHeight()) v->setValue(top + G::kRowHeight - BodyHeight());
  const int left = picture_->Geometry().DayLeft(cell.Column);
  QScrollBar* h = horizontalScrollBar();
  // The names stay in view as long as the day fits beside them.
  if (left - G::kNameWidth < h->value()) h->setValue(left - G::kNameWidth);
  if (left + G::kDayWidth > h->value() + viewport()->width()) h->setValue(left + G::kDayWidth - viewport()->width());
  viewport()->update();
  if (moved && OnCurrentChanged) OnCurrentChanged();
}

void TRosterGrid::Move(long rows, int columns) {
  const long row = std::max(0L, static_cast<long>(current_.Row) + rows);
  SetCurrent({static_cast<std::size_t>(row), current_.Column + columns});
}

void TRosterGrid::keyPressEvent(QKeyEvent* event) {
  if (!picture_) return QAbstractScrollArea::keyPressEvent(event);
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const long all = static_cast<long>(picture_->Roster().RowCount());
  switch (event->key()) {
    case Qt::Key_Left: Move(0, -1); break;
    case Qt::Key_Right: Move(0, 1); break;
    case Qt::Key_Up: Move(-1, 0); break;
    case Qt::Key_Down: Move(1, 0); break;
    case Qt::Key_PageUp: Move(-PageRows(), 0); break;
    case Qt::Key_PageDown: Move(PageRows(), 0); break;
    case Qt::Key_Home: ctrl ? Move(-all, 0) : Move(0, -picture_->Geometry().Days); break;
    case Qt::Key_End: ctrl ? Move(all, 0) : Move(0, picture_->Geometry().Days); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Menu:
      if (OnMenu && all > 0) OnMenu(viewport()->mapToGlobal(CellRect(current_).center()));
      break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  event->accept();
}

void TRosterGrid::mousePressEvent(QMouseEvent* event) {
  if (const auto cell = CellAt(event->position().toPoint())) SetCurrent(*cell);
  setFocus(Qt::MouseFocusReason);
}

void TRosterGrid::contextMenuEvent(QContextMenuEvent* event) {
  if (!OnMenu) return;
  if (event->reason() == QContextMenuEvent::Mouse) {
    const auto cell = CellAt(event->pos());
    if (!cell) return;
    SetCurrent(*cell);
    OnMenu(event->globalPos());
  } else if (picture_ && picture_->Roster().RowCount() > 0) {
    OnMenu(viewport()->mapToGlobal(CellRect(current_).center()));
  }
}

bool TRosterGrid::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip || !picture_) return QAbstractScrollArea::viewportEvent(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const auto cell = CellAt(help->pos());
  if (!cell) {
    QToolTip::hideText();
    return true;
  }
  const TRoster& roster = picture_->Roster();
  const TRosterCell& c = RowAt(cell->Row).Cells[static_cast<std::size_t>(cell->Column)];
  const TYmd day = DecodeDate(roster.DayAt(static_cast<std::size_t>(cell->Column)));
  QString text = GbkToQString(roster.UserName(cell->Row)) + QStringLiteral("  %1年%2月%3日\n").arg(day.Year).arg(day.Month).arg(day.Day) +
                 (c.Text.empty() ? QStringLiteral("无班次") : GbkToQString(c.Text));
  if (!c.Mark.empty()) text += QStringLiteral("（") + GbkToQString(c.Mark) + QStringLiteral("）");
  QToolTip::showText(help->globalPos(), text, viewport());
  return true;
}

}  // namespace kadrel
