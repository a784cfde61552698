// The focus mark of the skinned buttons: a one-pixel dotted rectangle.
//
// It shows only once the window has been worked from the keyboard (Tab,
// the arrows, a shortcut), as Qt tells by Qt::WA_KeyboardFocusChange: a
// user of the mouse sees every button exactly as before, and pictures of
// unfocused buttons never change.
#pragma once

#include <QColor>
#include <QRect>

class QPainter;
class QWidget;

namespace kadrel {

// Every other pixel of the rectangle's outline, counted from its top-left
// corner so that the pattern does not depend on where the button stands;
// drawn without antialiasing, so it stays crisp.
void DrawFocusMark(QPainter& painter, const QRect& rect, const QColor& color);

// True when `widget` has the focus and its window shows keyboard cues.
bool ShowsFocusMark(const QWidget& widget);

// Makes the window of `widget` show keyboard cues from now on: for focus
// moved by keys that Qt does not count, like the arrows.
void ShowKeyboardCues(QWidget& widget);

}  // namespace kadrel
