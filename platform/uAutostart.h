// Starting Kadrel at login: an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/kadrel.desktop (~/.config/autostart by
// default), which the desktop reads at every login. The entry's presence is
// the setting, and nothing else records it: a user who deletes the file, or
// switches it off in the desktop's own session settings, has switched it
// off in Kadrel too.
#pragma once

#include <string>

namespace kadrel {

// The entry's path; empty without HOME and without an absolute
// XDG_CONFIG_HOME.
std::string AutostartPath();

// The entry that starts `launcher`, an absolute path, quoted as the desktop
// entry format wants it. Empty, with the reason, for a path the format
// cannot carry (not UTF-8, or a control character in it).
std::string AutostartEntry(const std::string& launcher, std::string& error);

// Whether the entry is there and the desktop has not switched it off
// ("Hidden=true", "X-GNOME-Autostart-enabled=false").
bool AutostartOn();

// Writes the entry, whole or not at all (platform/uAtomicFile.h), or removes
// it. False, with the reason in plain English and nothing changed, when the
// folder or the file refuses.
bool SetAutostart(bool on, const std::string& launcher, std::string& error);

}  // namespace kadrel
