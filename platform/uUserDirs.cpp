#include "platform/uUserDirs.h"

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace kadrel {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string Absolute(const std::string& path) { return !path.empty() && path[0] == '/' ? path : std::string(); }

// A value as user-dirs.dirs writes it: in double quotes, with backslash
// escapes, "$HOME" or an absolute path first.
std::string UserDirValue(std::string_view value, const std::string& home) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  std::string plain;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    plain += value[i];
  }
  constexpr std::string_view kHome = "$HOME";
  if (plain.starts_with(kHome) && (plain.size() == kHome.size() || plain[kHome.size()] == '/')) {
    return home.empty() ? std::string() : home + plain.substr(kHome.size());
  }
  return Absolute(plain);
}

}  // namespace

std::string DesktopDataFolder() {
  if (std::string xdg = Absolute(Variable("XDG_DATA_HOME")); !xdg.empty()) return xdg + "/kadrel";
  const std::string home = Absolute(Variable("HOME"));
  return home.empty() ? std::string() : home + "/.local/share/kadrel";
}

std::string UserConfigFolder() {
  if (std::string xdg = Absolute(Variable("XDG_CONFIG_HOME")); !xdg.empty()) return xdg;
  const std::string home = Absolute(Variable("HOME"));
  return home.empty() ? std::string() : home + "/.config";
}

std::string UserDocumentsFolder() {
  const std::string home = Absolute(Variable("HOME"));
  if (std::string set = UserDirValue(Variable("XDG_DOCUMENTS_DIR"), home); !set.empty()) return set;
  const std::string config = UserConfigFolder();
  std::ifstream dirs(config + "/user-dirs.dirs");
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  for (std::string line; !config.empty() && std::getline(dirs, line);) {
    std::string_view text = line;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    if (!text.starts_with(kKey)) continue;
    if (std::string found = UserDirValue(text.substr(kKey.size()), home); !found.empty()) return found;
  }
  return home;
}

}  // namespace kadrel
