// The flat tool-bar button of the main window's view row: caption only until
// the pointer is over it, then a raised bevel; sunken while pressed or down.
// Buttons of one parent that share a group index act as a radio group.
#pragma once

#include "widgets/uFont3D.h"

#include <QWidget>

namespace kadrel {

enum class TBevelLooks { bk97, bkNormal, bkDeep };

// Everything the button paints, as one value.
struct TToggleButtonFace {
  QString Caption;
  QFont Font;
  QColor FontColor = QColor(0, 0, 0);
  TFont3D Font3D;
  TBevelLooks BevelLooks = TBevelLooks::bk97;
  bool Enabled = true;
  bool Hot = false;
  bool Pressed = false;
  bool Down = false;
  bool Focused = false;  // has the focus in a window worked from the keyboard

  // 1 when the caption sits one pixel lower (pressed under the pointer, or down).
  int Shift() const { return ((Pressed && Hot) || Down) ? 1 : 0; }
  // Where the caption is centred for a button of `size`.
  static QRect CaptionRect(QSize size, int shift);
  // The focus mark, one pixel inside the bevel of kind `looks`.
  static QRect FocusRect(QSize size, TBevelLooks looks);
  void paint(QPainter* painter, const QRect& rect) const;
};

class TToggleButton : public QWidget {
  Q_OBJECT

 public:
  explicit TToggleButton(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index);
  bool Down() const { return down_; }
  // Ignored while the group index is 0. Setting true raises the rest of the group.
  void SetDown(bool down);
  bool AllowAllUp() const { return allowAllUp_; }
  // Applies to every button of the group.
  void SetAllowAllUp(bool allow);
  TBevelLooks BevelLooks() const { return bevel_; }
  void SetBevelLooks(TBevelLooks looks);
  const TFont3D& Font3D() const { return font3D_; }
  void SetFont3D(const TFont3D& style);

  bool Hot() const { return hot_; }
  bool Pressed() const { return pressed_; }

  TToggleButtonFace Face() const;

  // Acts as a press and release of the left button over the button. Space,
  // Return and Enter do the same while the button has the focus.
  void Click();

 signals:
  void clicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QList<TToggleButton*> GroupMates() const;
  void RaiseGroupMates();
  void SetHot(bool hot);
  bool CanBeHot() const;
  void Release(bool inside);

  QString caption_;
  int groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  TBevelLooks bevel_ = TBevelLooks::bk97;
  TFont3D font3D_;
  bool hot_ = false;
  bool pressed_ = false;
  int shortcutId_ = 0;
};

}  // namespace kadrel
