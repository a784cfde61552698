// The user's folders, found as the desktop finds them.
#pragma once

#include <string>

namespace kadrel {

// Where the launcher keeps the data: $XDG_DATA_HOME/kadrel, else
// $HOME/.local/share/kadrel (a relative XDG_DATA_HOME does not count, as the
// XDG base directories say). Empty without either.
std::string DesktopDataFolder();

// The user's configuration folder: $XDG_CONFIG_HOME, else $HOME/.config
// (relative values do not count). Empty without either.
std::string UserConfigFolder();

// The documents folder of the XDG user directories: $XDG_DOCUMENTS_DIR if
// set, else its line in $XDG_CONFIG_HOME/user-dirs.dirs (~/.config by
// default), else $HOME. "$HOME" at the start of a value stands for the home
// folder; relative values do not count. The folder need not exist. Empty
// without HOME and without an absolute answer.
std::string UserDocumentsFolder();

}  // namespace kadrel
