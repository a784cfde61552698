// The X11 half of the shell: top-level windows found by title and asked to
// close, following the window-manager conventions (EWMH and ICCCM), and where
// a window really lies on the screen.
#pragma once

#include <QPoint>
#include <QString>

#include <optional>
#include <string_view>

#include "platform/gui/uShell.h"

namespace kadrel {

// Whether a window with the title `windowTitle` shows the document titled
// `documentTitle`: the same title, or that title beside the viewer's own
// name ("Viewer: Title", "Viewer - Title", "Title - Viewer"), as a viewer
// program titles the window of a document it shows. Both are UTF-8.
bool IsTitledAs(std::string_view windowTitle, std::string_view documentTitle);

// Both do nothing (and find nothing) unless the application runs on X11.
TWindowId FindX11TopLevelWindow(const QString& title);
void CloseX11Window(TWindowId window);

// Where the X server has the top-left corner of `window`, in root
// coordinates: the truth, where the toolkit's copy may lag behind the window
// manager. Nullopt unless the application runs on X11 and the window exists.
std::optional<QPoint> X11WindowOrigin(TWindowId window);

}  // namespace kadrel
