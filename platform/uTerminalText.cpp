#include "platform/uTerminalText.h"

#include <langinfo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <clocale>
#include <cstdio>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

std::string Folded(std::string_view name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

// What glibc calls ASCII in the C locale, and the names of UTF-8.
bool MeansUtf8(std::string_view name) {
  constexpr std::array<std::string_view, 5> kNames = {"utf8", "ansix3.41968", "ascii", "usascii", ""};
  return std::find(kNames.begin(), kNames.end(), Folded(name)) != kNames.end();
}

// The length of the UTF-8 sequence starting `s`, 0 when it is not one.
std::size_t Utf8Length(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
  if (n == 0 || n > s.size()) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

char32_t Utf8Value(std::string_view s, std::size_t n) {
  if (n == 1) return static_cast<unsigned char>(s[0]);
  char32_t v = static_cast<unsigned char>(s[0]) & (0x7F >> n);
  for (std::size_t i = 1; i < n; ++i) v = (v << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  return v;
}

// Where the text may be cut so that no UTF-8 sequence is split: before a
// lead byte near the end whose sequence the end cuts off.
std::size_t WholeSequences(std::string_view s) {
  for (std::size_t back = 1; back <= std::min<std::size_t>(3, s.size()); ++back) {
    const auto b = static_cast<unsigned char>(s[s.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return need > back ? s.size() - back : s.size();
  }
  return s.size();
}

}  // namespace

TTerminalCharset::TTerminalCharset(std::string name) : name_(std::move(name)) {
  if (MeansUtf8(name_)) {
    name_ = "UTF-8";
    return;
  }
  in_ = std::make_unique<TIconv>("UTF-8", name_.c_str());
  out_ = std::make_unique<TIconv>(name_.c_str(), "UTF-8");
  if (!in_->Valid() || !out_->Valid()) {
    in_.reset();
    out_.reset();
    name_ = "UTF-8";
  }
}

TTerminalCharset::~TTerminalCharset() = default;
TTerminalCharset::TTerminalCharset(TTerminalCharset&&) noexcept = default;
TTerminalCharset& TTerminalCharset::operator=(TTerminalCharset&&) noexcept = default;

TTerminalCharset TTerminalCharset::FromLocale() {
  if (!std::setlocale(LC_CTYPE, "")) return TTerminalCharset();
  return TTerminalCharset(nl_langinfo(CODESET));
}

std::optional<std::string> TTerminalCharset::ToUtf8(std::string_view typed) const {
  if (!in_) return std::string(typed);
  return in_->Run(typed);
}

std::string TTerminalCharset::FromUtf8(std::string_view utf8, bool& lost) const {
  if (!out_) return std::string(utf8);
  std::string shown;
  while (!utf8.empty()) {
    if (out_->Convert(utf8, shown) == TIconv::TStop::Done) break;
    const std::size_t n = Utf8Length(utf8);
    if (n == 0) {
      shown += utf8.front();
      utf8.remove_prefix(1);
    } else {
      shown += '?';
      lost = true;
      utf8.remove_prefix(n);
    }
  }
  return shown;
}

std::string JsonAscii(std::string_view utf8) {
  std::string ascii;
  ascii.reserve(utf8.size());
  auto escape = [&ascii](char32_t unit) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(unit));
    ascii += text;
  };
  while (!utf8.empty()) {
    const std::size_t n = Utf8Length(utf8);
    if (n == 1) {
      ascii += utf8.front();
    } else if (n == 0) {
      escape(0xFFFD);
    } else if (const char32_t v = Utf8Value(utf8, n); v < 0x10000) {
      escape(v);
    } else {
      escape(0xD800 + ((v - 0x10000) >> 10));
      escape(0xDC00 + ((v - 0x10000) & 0x3FF));
    }
    utf8.remove_prefix(std::max<std::size_t>(n, 1));
  }
  return ascii;
}

TTerminalStreamBuf::TTerminalStreamBuf(std::ostream& sink, const TTerminalCharset& charset)
    : sink_(sink), charset_(charset) {}

TTerminalStreamBuf::~TTerminalStreamBuf() { Pass(true); }

void TTerminalStreamBuf::Pass(bool all) {
  const std::size_t cut = all ? pending_.size() : WholeSequences(pending_);
  const std::string_view part(pending_.data(), cut);
  const std::string shown = mode_ == TMode::JsonAscii ? JsonAscii(part) : charset_.FromUtf8(part, lost_);
  sink_.write(shown.data(), static_cast<std::streamsize>(shown.size()));
  pending_.erase(0, cut);
}

TTerminalStreamBuf::int_type TTerminalStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_ += traits_type::to_char_type(c);
  if (pending_.size() >= 4096) Pass(false);
  return sink_ ? c : traits_type::eof();
}

std::streamsize TTerminalStreamBuf::xsputn(const char* s, std::streamsize n) {
  pending_.append(s, static_cast<std::size_t>(n));
  if (pending_.size() >= 4096) Pass(false);
  return sink_ ? n : 0;
}

int TTerminalStreamBuf::sync() {
  Pass(false);
  sink_.flush();
  return sink_ ? 0 : -1;
}

}  // namespace kadrel
