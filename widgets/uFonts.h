// The program's default face "宋体" on Linux.
//
// No Linux system ships that face, and a bare QFont("宋体") falls back to a
// Latin face with Chinese glyphs borrowed from elsewhere, so text widths no
// longer follow the rule the layouts and the print form count on: a
// single-byte character is exactly half as wide as a double-byte one. The
// face is therefore mapped to a monospaced CJK face that keeps that rule.
#pragma once

#include <QFont>
#include <QString>

namespace kadrel {

// The face "宋体" stands for: "Noto Sans Mono CJK SC" (Debian fonts-noto-cjk).
QString KadrelCjkFace();

// Maps "宋体" and its other names to KadrelCjkFace(), with further CJK faces
// behind it in case that one is missing. Call once at program start, before
// any font is used; calling again changes nothing. Returns whether
// KadrelCjkFace() is installed, so that a caller can warn when widths will
// not hold.
bool InstallFontSubstitutes();

// "宋体" at a pixel height, the way the layouts give their fonts.
QFont KadrelFont(int pixelSize);

}  // namespace kadrel
