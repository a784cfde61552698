// The system colours the skinned controls refer to by role.
//
// Each resolves through the application palette at the moment of use, so a
// control always matches the palette ApplyKadrelStyle installs (and a test
// that swaps the palette sees the change).
#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

#include <optional>

namespace kadrel {

QColor ClBtnFace();       // face of buttons and bare panels
QColor ClBtnHighlight();  // lit edge of a 3-D bevel
QColor ClBtnShadow();     // dark edge of a 3-D bevel
QColor ClGrayText();      // text of a disabled control
QColor ClWindow();        // background of edits and lists (normally white)
QColor ClWindowText();
QColor ClInfoBk();        // tooltip background

// Colour texts as kept in colour lists: "$" and eight hex digits of the value
// 0x00BBGGRR (blue in the high byte), e.g. "$00F59A50" is RGB(80, 154, 245).
// A non-zero top byte would name a system colour; lists never hold one, so
// such text is refused like any other malformed text.
std::optional<QColor> ColorFromText(QStringView text);
QString ColorToText(const QColor& color);

}  // namespace kadrel
