// TRosterGrid: the roster's table on screen. The head and the footer stay
// put while the users scroll between them; only the rows in view are built
// (TRoster::Row) and painted, and the built ones are kept while they stay
// near the view, so 10,000 users scroll as smoothly as ten. One cell is
// current: the mouse and the keys move it, and the right button, the Menu
// key, Shift+F10 or Return ask for its menu.
#pragma once

#include <QAbstractScrollArea>

#include <cstddef>
#include <functional>
#include <optional>
#include <unordered_map>

#include "output/uRosterPaint.h"

namespace kadrel {

struct TRosterCellPos {
  std::size_t Row = 0;
  int Column = 0;  // the day's column
  friend bool operator==(const TRosterCellPos&, const TRosterCellPos&) = default;
};

class TRosterGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TRosterGrid(QWidget* parent = nullptr);

  // Shows `picture` (null for none), which must outlive its showing; rows
  // built for the one before are dropped. The current cell stays where it
  // was, within the new roster.
  void SetPicture(const TRosterPicture* picture);
  const TRosterPicture* Picture() const { return picture_; }

  TRosterCellPos Current() const { return current_; }
  // Scrolls the cell into view.
  void SetCurrent(TRosterCellPos cell);
  // In the viewport's coordinates.
  QRect CellRect(TRosterCellPos cell) const;
  std::optional<TRosterCellPos> CellAt(QPoint viewportPoint) const;
  // The row as built for the screen.
  const TRosterRow& RowAt(std::size_t row);
  // How many rows were built since the picture was set: what scrolling cost.
  std::size_t BuiltRows() const { return built_; }

  // The current cell's menu is asked for, at `at` in screen coordinates.
  std::function<void(QPoint at)> OnMenu;
  std::function<void()> OnCurrentChanged;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  int BodyTop() const;
  int BodyHeight() const;
  int PageRows() const;
  void UpdateScrollBars();
  void Move(long rows, int columns);
  // Drops built rows far from [first, last).
  void Trim(std::size_t first, std::size_t last);

  const TRosterPicture* picture_ = nullptr;
  TRosterCellPos current_;
  std::unordered_map<std::size_t, TRosterRow> rows_;
  std::size_t built_ = 0;
};

}  // namespace kadrel
