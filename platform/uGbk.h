// GBK text at the program's edges.
//
// Everything Kadrel stores or generates is GBK (code page 936), held as raw
// bytes in std::string because field widths and line lengths count bytes.
// Conversion happens only where text meets the terminal, the GUI or a UTF-8
// file format. Text that GBK cannot encode is reported, never replaced.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kadrel {

// One iconv conversion, from one character set to another.
class TIconv {
 public:
  TIconv(const char* to, const char* from);
  ~TIconv();
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // Whether iconv knows both character sets.
  bool Valid() const;
  enum class TStop { Done, Unconvertible, Truncated };
  // Appends to `out` the conversion of `in` up to where it stops, and leaves
  // in `in` what is not converted: a character the target lacks or bytes
  // that are not of the source (Unconvertible), or a character cut off at the
  // end (Truncated).
  TStop Convert(std::string_view& in, std::string& out);
  // The whole of `in`, or nullopt.
  std::optional<std::string> Run(std::string_view in);

 private:
  void* cd_;
};

// UTF-8 to GBK. nullopt when the input is not valid UTF-8 or holds a
// character outside GBK.
std::optional<std::string> Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. nullopt when the bytes are not valid GBK.
std::optional<std::string> GbkToUtf8(std::string_view gbk);

// GBK to UTF-8 for display of data that may be damaged: every byte that does
// not start a valid GBK character becomes U+FFFD.
std::string GbkToUtf8Lossy(std::string_view gbk);

// GbkToUtf8Lossy with memory: a year of calendar text is built from a few
// dozen distinct names, so each is converted once and iconv stays out of
// per-day loops.
class TGbkToUtf8Cache {
 public:
  const std::string& operator()(const std::string& gbk) {
    auto [it, added] = cache_.try_emplace(gbk);
    if (added) it->second = GbkToUtf8Lossy(gbk);
    return it->second;
  }

 private:
  std::unordered_map<std::string, std::string> cache_;
};

// A program literal (UTF-8 source text) in GBK. Literals are constants of the
// program, so a literal that GBK cannot hold is a programming error and
// aborts. Callers keep the result in a static so each literal converts once.
std::string GbkLiteral(std::string_view utf8);

// `text` without the blanks and control bytes (0x00 to 0x20) at its ends, as
// names and descriptions are stored. GBK trail bytes are 0x40 or above and
// UTF-8 continuation bytes 0x80 or above, so the cut never splits a
// character of either.
std::string_view TrimBlanks(std::string_view text);

// Number of bytes of `gbk` that form whole characters within `maxBytes`:
// cutting there never splits a two-byte character.
std::size_t GbkCutPoint(std::string_view gbk, std::size_t maxBytes);

// The letters A to Z as lower case, and nothing else: names are matched
// without regard to the case of ASCII letters. The second byte of a two-byte
// character is never folded, though it may have the value of a letter, so
// two different Chinese names can never compare equal.
std::string GbkFoldAZ(std::string_view gbk);
bool GbkEqualFoldAZ(std::string_view a, std::string_view b);

// Whether `c` starts a two-byte GBK character (when a byte follows it).
constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace kadrel
