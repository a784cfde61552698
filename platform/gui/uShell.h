// The desktop shell: opening a document with its default program, and
// finding another program's top-level window by its title and asking it to
// close. Kadrel opens its help file this way and, because the help runs in a
// program of its own, closes it again when Kadrel closes.
//
// Windows are found on X11 only, through the window list the window manager
// keeps (or, with no window manager, the root window's children). Elsewhere
// no window is ever found, so nothing is ever asked to close.
//
// Every window reaches the shell through Shell(); a test installs a
// TShellOverride with a fake of its own and checks the calls.
#pragma once

#include <QString>

#include <cstdint>

#include "platform/uScopedOverride.h"

namespace kadrel {

// A top-level window of the desktop; 0 means none.
using TWindowId = std::uint64_t;

class TShell {
 public:
  virtual ~TShell() = default;

  virtual bool FileExists(const QString& path) const = 0;
  // The first top-level window that shows the document titled `title`: its
  // own title is `title`, or `title` beside the name of the program showing
  // it (see IsTitledAs); 0 when there is none.
  virtual TWindowId FindTopLevelWindow(const QString& title) const = 0;
  // Asks the window to close, as its close button would; it may refuse.
  virtual void CloseWindow(TWindowId window) = 0;
  // Opens the file with the desktop's default program for its type; a
  // compiled help file with the CHM viewer Kadrel is installed with, when it
  // is there, so that its window is the one the help command looks for.
  // Whether that worked is not reported: the program starts on its own.
  virtual void OpenDocument(const QString& path) = 0;
};

// The innermost override's shell, else the desktop's.
TShell& Shell();

// While it lives, Shell() is `shell`. Overrides nest.
class TShellOverride : TScopedOverride<TShell*> {
 public:
  explicit TShellOverride(TShell& shell);
};

}  // namespace kadrel
