// The X11 half of the shell: top-level windows found by title and asked to
// close, following the window-manager conventions (EWMH and ICCCM).
#pragma once

#include <QString>

#include "platform/gui/uShell.h"

namespace kadrel {

// Both do nothing (and find nothing) unless the application runs on X11.
TWindowId FindX11TopLevelWindow(const QString& title);
void CloseX11Window(TWindowId window);

}  // namespace kadrel
