// The door between the program and the terminal's charset.
#include <algorithm>
#include <array>
#include <optional>
#include <iostream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uTerminalText.h"

namespace kadrel {
namespace {

// Options whose value names a file or folder: the system takes those bytes
// as typed, whatever the charset.
constexpr std::array<std::string_view, 4> kPathOptions = {"--data", "-o", "--output", "--password-file"};

bool IsPathOption(std::string_view arg) {
  return std::find(kPathOptions.begin(), kPathOptions.end(), arg) != kPathOptions.end();
}

bool StartsPathValue(std::string_view arg) {
  for (std::string_view option : kPathOptions) {
    if (option.starts_with("--") && arg.size() > option.size() && arg.starts_with(option) && arg[option.size()] == '=')
      return true;
  }
  return false;
}

// nullopt with the position of the first argument that is not text of the
// charset.
std::optional<std::vector<std::string>> TypedAsUtf8(const TTerminalCharset& charset,
                                                    const std::vector<std::string>& args, std::size_t& bad) {
  std::vector<std::string> utf8;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool path = (i > 0 && IsPathOption(args[i - 1])) || StartsPathValue(args[i]);
    auto text = path ? std::optional<std::string>(args[i]) : charset.ToUtf8(args[i]);
    if (!text) {
      bad = i + 1;
      return std::nullopt;
    }
    utf8.push_back(std::move(*text));
  }
  return utf8;
}

}  // namespace

int CliMainInTerminal(const std::vector<std::string>& args) {
  const TTerminalCharset charset = TTerminalCharset::FromLocale();
  if (charset.IsUtf8()) return CliMain(args, std::cout, std::cerr);
  std::size_t bad = 0;
  const auto utf8 = TypedAsUtf8(charset, args, bad);
  if (!utf8) {
    std::cerr << "kadrel-cli: argument " << bad << " is not " << charset.Name()
              << " text, the terminal's character set (see kadrel-cli --help)\n";
    return kExitUsage;
  }
  TTerminalStreamBuf outText(std::cout, charset), errText(std::cerr, charset);
  int code = kExitOk;
  {
    std::ostream out(&outText), err(&errText);
    err.setf(std::ios::unitbuf);  // as unbuffered as std::cerr
    code = CliMain(*utf8, out, err, {charset.Name(), &std::cout, &outText});
    out.flush();
  }
  if (outText.Lost() || errText.Lost()) {
    std::cerr << "kadrel-cli: warning: " << charset.Name()
              << ", the terminal's character set, lacks some characters of the output; they are shown as ?\n";
  }
  return code;
}

}  // namespace kadrel
