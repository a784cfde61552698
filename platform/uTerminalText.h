// Text between a command-line program and its terminal.
//
// Inside, text is UTF-8. The terminal speaks the character set of LC_CTYPE,
// which may be another (a zh_CN.GBK desktop), so what is typed comes in and
// what is printed goes out through one charset object. UTF-8 needs nothing;
// the C and POSIX locales, which claim ASCII, are taken as UTF-8 too, as no
// Chinese name could be shown otherwise.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace kadrel {

class TIconv;

class TTerminalCharset {
 public:
  // "UTF-8" or a name iconv knows ("GBK"). A name iconv does not know
  // leaves the charset UTF-8.
  explicit TTerminalCharset(std::string name = "UTF-8");
  ~TTerminalCharset();
  TTerminalCharset(TTerminalCharset&&) noexcept;
  TTerminalCharset& operator=(TTerminalCharset&&) noexcept;
  // nl_langinfo(CODESET) after setlocale(LC_CTYPE, "").
  static TTerminalCharset FromLocale();

  const std::string& Name() const { return name_; }
  bool IsUtf8() const { return !in_; }
  // Typed text as UTF-8; nullopt when it is not text of this charset.
  std::optional<std::string> ToUtf8(std::string_view typed) const;
  // UTF-8 as the terminal shows it. Bytes that are not UTF-8 (a file name of
  // the system's own) pass as they are; a character the charset lacks
  // becomes "?" and sets `lost`, so that the caller can say so.
  std::string FromUtf8(std::string_view utf8, bool& lost) const;

 private:
  std::string name_;
  std::unique_ptr<TIconv> in_, out_;
};

// Non-ASCII characters of UTF-8 JSON as \uXXXX escapes (pairs beyond the
// BMP): the same JSON, readable in any ASCII-based charset. A byte that is
// not UTF-8 becomes \ufffd. JSON has non-ASCII only inside strings, so the
// whole text may be passed.
std::string JsonAscii(std::string_view utf8);

// An output buffer that takes UTF-8 and writes the terminal's charset to
// `sink`; a character cut between two writes waits for its end.
class TTerminalStreamBuf : public std::streambuf {
 public:
  enum class TMode { Text, JsonAscii };
  TTerminalStreamBuf(std::ostream& sink, const TTerminalCharset& charset);
  ~TTerminalStreamBuf() override;
  void SetMode(TMode mode) { mode_ = mode; }
  // Whether a character could not be shown.
  bool Lost() const { return lost_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  void Pass(bool all);

  std::ostream& sink_;
  const TTerminalCharset& charset_;
  TMode mode_ = TMode::Text;
  bool lost_ = false;
  std::string pending_;
};

}  // namespace kadrel
