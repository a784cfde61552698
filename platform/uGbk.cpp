#include "platform/uGbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace kadrel {
namespace {

// One converter per direction and thread: iconv_open costs far more than a
// short conversion, and an iconv_t is not safe to share between threads. The
// program cannot work without these two, so their absence aborts.
TIconv& Fixed(TIconv& c, const char* to, const char* from) {
  if (!c.Valid()) {
    std::fprintf(stderr, "kadrel: iconv cannot convert %s to %s\n", from, to);
    std::abort();
  }
  return c;
}

TIconv& ToGbk() {
  thread_local TIconv c("GBK", "UTF-8");
  return Fixed(c, "GBK", "UTF-8");
}

TIconv& FromGbk() {
  thread_local TIconv c("UTF-8", "GBK");
  return Fixed(c, "UTF-8", "GBK");
}

bool IsLeadByte(unsigned char b) { return IsGbkLeadByte(b); }

}  // namespace

TIconv::TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

TIconv::~TIconv() {
  if (Valid()) iconv_close(cd_);
}

bool TIconv::Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

TIconv::TStop TIconv::Convert(std::string_view& in, std::string& out) {
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset shift state
  std::size_t done = out.size();
  out.resize(done + in.size() * 2 + 4);
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  TStop stop = TStop::Done;
  while (true) {
    char* dst = out.data() + done;
    std::size_t dstLeft = out.size() - done;
    const std::size_t rc = iconv(cd_, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
    done = out.size() - dstLeft;
    if (rc != static_cast<std::size_t>(-1)) {
      if (srcLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    stop = errno == EINVAL ? TStop::Truncated : TStop::Unconvertible;
    break;
  }
  out.resize(done);
  in.remove_prefix(in.size() - srcLeft);
  return stop;
}

std::optional<std::string> TIconv::Run(std::string_view in) {
  std::string out;
  if (Convert(in, out) != TStop::Done) return std::nullopt;
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) { return ToGbk().Run(utf8); }

std::optional<std::string> GbkToUtf8(std::string_view gbk) { return FromGbk().Run(gbk); }

std::string GbkToUtf8Lossy(std::string_view gbk) {
  if (auto whole = GbkToUtf8(gbk)) return *whole;
  std::string out;
  std::size_t i = 0;
  while (i < gbk.size()) {
    auto b = static_cast<unsigned char>(gbk[i]);
    std::size_t len = (IsLeadByte(b) && i + 1 < gbk.size()) ? 2 : 1;
    if (auto part = GbkToUtf8(gbk.substr(i, len))) {
      out += *part;
    } else {
      out += "\xEF\xBF\xBD";
      len = 1;
    }
    i += len;
  }
  return out;
}

std::string GbkLiteral(std::string_view utf8) {
  auto gbk = Utf8ToGbk(utf8);
  if (!gbk) {
    std::fprintf(stderr, "kadrel: literal not encodable in GBK: %.*s\n",
                 static_cast<int>(utf8.size()), utf8.data());
    std::abort();
  }
  return *gbk;
}

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::size_t GbkCutPoint(std::string_view gbk, std::size_t maxBytes) {
  std::size_t i = 0;
  while (i < gbk.size()) {
    std::size_t len = (IsLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size()) ? 2 : 1;
    if (i + len > maxBytes) break;
    i += len;
  }
  return i;
}

std::string GbkFoldAZ(std::string_view gbk) {
  std::string folded(gbk);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    auto c = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(c)) {
      ++i;  // the second byte belongs to the character
    } else if (c >= 'A' && c <= 'Z') {
      folded[i] = static_cast<char>(c + ('a' - 'A'));
    }
  }
  return folded;
}

bool GbkEqualFoldAZ(std::string_view a, std::string_view b) {
  return a.size() == b.size() && GbkFoldAZ(a) == GbkFoldAZ(b);
}

}  // namespace kadrel
