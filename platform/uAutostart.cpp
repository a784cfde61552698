#include "platform/uAutostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "platform/uAtomicFile.h"
#include "platform/uUserDirs.h"

namespace kadrel {
namespace {

// A desktop entry is UTF-8 text; a path in another encoding has no place in
// it, and a line break would end the key.
bool FitsEntry(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) return false;
    if (c < 0x80) continue;
    const std::size_t more = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    if (more == 0 || text.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += more;
  }
  return true;
}

// One argument of the Exec key. The format first reads the value as a
// string, where "\\" is a backslash, and then splits it by its quoting rule,
// so an argument with a reserved character is quoted with its own escapes
// and every backslash is then doubled. "%" starts a field code: "%%" is one.
std::string ExecArgument(std::string_view argument) {
  constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";
  const bool quote = argument.find_first_of(kReserved) != std::string_view::npos;
  std::string quoted = quote ? "\"" : "";
  for (char c : argument) {
    if (c == '%') quoted += '%';
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
    quoted += c;
  }
  if (quote) quoted += '"';
  std::string value;
  for (char c : quoted) value += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return value;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string SystemReason(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

}  // namespace

std::string AutostartPath() {
  const std::string config = UserConfigFolder();
  return config.empty() ? std::string() : config + "/autostart/kadrel.desktop";
}

std::string AutostartEntry(const std::string& launcher, std::string& error) {
  if (!FitsEntry(launcher)) {
    error = "the program's path is not UTF-8 text without control characters, which an autostart entry needs";
    return {};
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Kadrel\n"
         "Name[zh_CN]=Kadrel 倒班日历\n"
         "Comment=Shows the shifts and reminds before each one\n"
         "Comment[zh_CN]=显示班次，并在上班前提醒\n"
         "Exec=" + ExecArgument(launcher) + "\n"
         "Icon=kadrel\n"
         "Terminal=false\n";
}

bool AutostartOn() {
  const std::string path = AutostartPath();
  std::ifstream entry(path);
  if (path.empty() || !entry) return false;
  bool inEntry = false;
  for (std::string line; std::getline(entry, line);) {
    const std::string_view text = Trim(line);
    if (text.starts_with('[')) {
      inEntry = text == "[Desktop Entry]";
      continue;
    }
    const auto equals = text.find('=');
    if (!inEntry || equals == std::string_view::npos) continue;
    const std::string_view key = Trim(text.substr(0, equals)), value = Trim(text.substr(equals + 1));
    if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) return false;
  }
  return true;
}

bool SetAutostart(bool on, const std::string& launcher, std::string& error) {
  const std::string path = AutostartPath();
  if (path.empty()) {
    error = "neither HOME nor XDG_CONFIG_HOME names a folder for the autostart entry";
    return false;
  }
  if (!on) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    error = SystemReason(("cannot remove " + path).c_str(), errno);
    return false;
  }
  const std::string entry = AutostartEntry(launcher, error);
  if (entry.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    error = "cannot make the folder " + std::filesystem::path(path).parent_path().string() + ": " + ec.message();
    return false;
  }
  TAtomicFile file;
  if (file.Begin(path) && file.WriteWhole(entry)) return true;
  const TAtomicFileError& why = file.Error();
  error = why.Fault == TAtomicFault::NotRegular ? path + " is not a regular file"
                                                : SystemReason(("cannot write " + path).c_str(), why.Errno);
  return false;
}

}  // namespace kadrel
