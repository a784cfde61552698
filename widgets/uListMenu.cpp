#include "widgets/uListMenu.h"

#include <QAbstractItemDelegate>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QAbstractListModel>
#include <QStyleOptionMenuItem>
#include <QWheelEvent>
#include <QWidgetAction>

#include <algorithm>
#include <optional>

namespace kadrel {

// The items as the list sees them: a count, and captions made when a row is
// shown or measured, so that a long list costs nothing until the menu opens.
class TCaptionModel : public QAbstractListModel {
 public:
  void Reset(int count, std::function<QString(int)> caption) {
    beginResetModel();
    count_ = count;
    caption_ = std::move(caption);
    endResetModel();
  }
  QString Caption(int row) const { return row >= 0 && row < count_ ? caption_(row) : QString(); }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : count_; }
  QVariant data(const QModelIndex& index, int role) const override {
    return role == Qt::DisplayRole ? QVariant(Caption(index.row())) : QVariant();
  }

 private:
  int count_ = 0;
  std::function<QString(int)> caption_;
};

// The list inside the menu. It keeps the check mark, the icon and the sizes
// that every row shares, and paints each row through the style's menu item.
class TMenuListView : public QListView {
 public:
  explicit TMenuListView(TListMenu* menu);

  void SetItems(int count, std::function<QString(int)> caption, const QIcon& icon);
  QString Caption(int row) const { return model_.Caption(row); }
  int CheckedRow() const { return checked_; }
  void SetCheckedRow(int row);

  QStyleOptionMenuItem ItemOption(const QModelIndex& index, const QRect& rect) const;
  // Measured when first asked, which is when the menu opens: measuring
  // 100,000 captions at every start would double the time to the window.
  QSize RowSize() const;
  QSize sizeHint() const override;
  // Takes the keys, with an item lit.
  void EnterFromKeyboard();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void MoveTo(int row);
  int VisibleRows() const;

  TListMenu* menu_;
  TCaptionModel model_;
  QIcon icon_;
  int checked_ = -1;
  mutable std::optional<QSize> row_;  // every row: the width of the widest item, the height of one
};

namespace {

class TMenuRowDelegate : public QAbstractItemDelegate {
 public:
  explicit TMenuRowDelegate(TMenuListView* view) : QAbstractItemDelegate(view), view_(view) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QStyleOptionMenuItem item = view_->ItemOption(index, option.rect);
    view_->style()->drawControl(QStyle::CE_MenuItem, &item, painter, view_);
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return view_->RowSize(); }

 private:
  TMenuListView* view_;
};

}  // namespace

// The view belongs to the menu's one action, which puts it into the menu.
TMenuListView::TMenuListView(TListMenu* menu) : menu_(menu) {
  setModel(&model_);
  setItemDelegate(new TMenuRowDelegate(this));
  setFont(menu->font());
  setFrameShape(QFrame::NoFrame);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void TMenuListView::SetItems(int count, std::function<QString(int)> caption, const QIcon& icon) {
  model_.Reset(count, std::move(caption));
  icon_ = icon;
  checked_ = -1;
  row_.reset();
  updateGeometry();
}

QSize TMenuListView::RowSize() const {
  if (row_) return *row_;
  // The size a menu gives one of its own items (QMenu measures each caption
  // with the same flags), with the widest caption deciding the width.
  const QFontMetrics metrics(font());
  int widest = 0;
  for (int row = 0; row < model_.rowCount(); ++row) {
    const QRect bounds = metrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, model_.Caption(row));
    widest = std::max(widest, bounds.width());
  }
  const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu_);
  const QStyleOptionMenuItem sample = ItemOption(QModelIndex(), QRect());
  row_ = style()->sizeFromContents(QStyle::CT_MenuItem, &sample, QSize(widest, std::max(metrics.height(), iconSize)),
                                   menu_);
  return *row_;
}

void TMenuListView::SetCheckedRow(int row) {
  checked_ = row >= 0 && row < model_.rowCount() ? row : -1;
  viewport()->update();
}

QStyleOptionMenuItem TMenuListView::ItemOption(const QModelIndex& index, const QRect& rect) const {
  QStyleOptionMenuItem item;
  item.initFrom(menu_);
  item.state = QStyle::State_None;
  if (window()->isActiveWindow()) item.state |= QStyle::State_Active;
  if (isEnabled()) item.state |= QStyle::State_Enabled;
  if (index.isValid() && index == currentIndex()) item.state |= QStyle::State_Selected;
  item.font = font();
  item.fontMetrics = QFontMetrics(item.font);
  item.menuHasCheckableItems = true;
  item.checkType = QStyleOptionMenuItem::NonExclusive;
  item.checked = index.isValid() && index.row() == checked_;
  item.menuItemType = QStyleOptionMenuItem::Normal;
  item.icon = icon_;
  item.text = index.isValid() ? index.data().toString() : QString();
  item.maxIconWidth = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu_) + 4;
  item.rect = rect;
  item.menuRect = viewport()->rect();
  return item;
}

int TMenuListView::VisibleRows() const {
  // The menu must stay within the screen, frame and margins included, or
  // it would break into columns.
  const QScreen* s = menu_->screen();
  const int available = s ? s->availableGeometry().height() : 600;
  const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu_) +
                    style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, menu_) +
                    style()->pixelMetric(QStyle::PM_MenuDesktopFrameWidth, nullptr, menu_);
  const int rows = (available - 2 * frame - 1) / std::max(1, RowSize().height());
  return std::clamp(model_.rowCount(), 0, std::max(1, rows));
}

QSize TMenuListView::sizeHint() const {
  const int rows = VisibleRows();
  int width = RowSize().width();
  if (rows < model_.rowCount()) width += verticalScrollBar()->sizeHint().width();
  return {width, rows * RowSize().height()};
}

void TMenuListView::MoveTo(int row) {
  if (row < 0 || row >= model_.rowCount()) return;
  setCurrentIndex(model_.index(row));
}

void TMenuListView::keyPressEvent(QKeyEvent* event) {
  const int rows = model_.rowCount();
  const int row = currentIndex().isValid() ? currentIndex().row() : -1;
  switch (event->key()) {
    case Qt::Key_Up:  // from the first item round to the last, as menus do
      MoveTo(row <= 0 ? rows - 1 : row - 1);
      return;
    case Qt::Key_Down:
      MoveTo(row < 0 || row >= rows - 1 ? 0 : row + 1);
      return;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      QListView::keyPressEvent(event);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (row >= 0) menu_->Trigger(row);
      return;
    default:
      // Left and Escape close this menu, other keys are the parent menu's.
      event->ignore();
      return;
  }
}

void TMenuListView::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TMenuListView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void TMenuListView::mouseMoveEvent(QMouseEvent* event) {
  const QModelIndex under = indexAt(event->position().toPoint());
  if (under.isValid() && under != currentIndex()) setCurrentIndex(under);
  // Keys go on from the item the pointer lit.
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  event->accept();
}

void TMenuListView::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const QModelIndex under = indexAt(event->position().toPoint());
  if (under.isValid()) menu_->Trigger(under.row());
}

void TMenuListView::leaveEvent(QEvent* event) {
  setCurrentIndex(QModelIndex());
  QListView::leaveEvent(event);
}

void TMenuListView::wheelEvent(QWheelEvent* event) {
  QListView::wheelEvent(event);
  // The item that scrolled under the pointer is the one a click takes.
  const QModelIndex under = indexAt(event->position().toPoint());
  if (under.isValid()) setCurrentIndex(under);
}

void TMenuListView::EnterFromKeyboard() {
  setFocus(Qt::TabFocusReason);
  // As in any menu, the first item (in sight) lights.
  if (!currentIndex().isValid()) MoveTo(indexAt(QPoint(0, 0)).row());
}

void TMenuListView::showEvent(QShowEvent* event) {
  // Every opening starts with nothing lit, at the top, unless the checked
  // item lies further down: then it is in sight.
  setCurrentIndex(QModelIndex());
  scrollToTop();
  if (checked_ >= 0) scrollTo(model_.index(checked_), QAbstractItemView::PositionAtBottom);
  QListView::showEvent(event);
}

// --- TListMenu -----------------------------------------------------------------

TListMenu::TListMenu(const QString& title, QWidget* parent)
    : TPopupMenu(title, parent), list_(new TMenuListView(this)), holder_(new QWidgetAction(this)) {
  holder_->setDefaultWidget(list_);
  holder_->setVisible(false);
  addAction(holder_);
  // The menu lights its one item when it is reached from the keyboard (Right
  // on the parent's item, or Down); the list takes over from there.
  connect(this, &QMenu::hovered, this, [this](QAction* action) {
    if (action == holder_) list_->EnterFromKeyboard();
  });
}

void TListMenu::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      if (holder_->isVisible() && !list_->hasFocus()) {
        list_->EnterFromKeyboard();
        return;
      }
      break;
    default:
      break;
  }
  TPopupMenu::keyPressEvent(event);
}

TListMenu::~TListMenu() = default;

void TListMenu::SetItems(const QStringList& captions, const QIcon& icon) {
  SetItems(int(captions.size()), [captions](int row) { return captions[row]; }, icon);
}

void TListMenu::SetItems(int count, std::function<QString(int)> caption, const QIcon& icon) {
  list_->SetItems(count, std::move(caption), icon);
  // The menu measures its items only when they change; taking the one item
  // out and in again makes it measure the list anew. An empty list leaves
  // the menu empty, as a menu without items is.
  removeAction(holder_);
  holder_->setVisible(count > 0);
  addAction(holder_);
}

int TListMenu::Count() const { return list_->model()->rowCount(); }

QString TListMenu::Text(int row) const { return list_->Caption(row); }

int TListMenu::CheckedRow() const { return list_->CheckedRow(); }

void TListMenu::SetCheckedRow(int row) { list_->SetCheckedRow(row); }

QListView* TListMenu::List() const { return list_; }

void TListMenu::Trigger(int row) {
  if (row < 0 || row >= Count()) return;
  // Every menu of the chain closes before the choice runs, as after a click
  // on any menu item.
  for (QWidget* w = this; w; w = w->parentWidget()) {
    auto* menu = qobject_cast<QMenu*>(w);
    if (!menu) break;
    menu->hide();
  }
  emit Triggered(row);
}

}  // namespace kadrel
