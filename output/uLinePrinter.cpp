#include "output/uLinePrinter.h"

#include <vector>

#include "platform/uGbk.h"

namespace kadrel {

namespace {

constexpr int kLineGap = 2;
constexpr int kTabColumns = 8;

bool IsControl(char c) { return c == '\r' || c == '\n' || c == '\f' || c == '\t'; }

// Byte offsets at which a character of `gbk` ends, in order.
std::vector<std::size_t> CharEnds(std::string_view gbk) {
  std::vector<std::size_t> ends;
  std::size_t i = 0;
  while (i < gbk.size()) {
    const bool pair = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size();
    i += pair ? 2 : 1;
    ends.push_back(i);
  }
  return ends;
}

}  // namespace

TLinePrinter::~TLinePrinter() {
  std::string ignored;
  if (open_) Close(ignored);
}

bool TLinePrinter::Open(std::string_view title, std::string& error) {
  if (open_ || !surface_.BeginDoc(title, error)) return false;
  open_ = true;
  x_ = 0;
  y_ = 0;
  right_ = surface_.PageWidth();
  bottom_ = surface_.PageHeight();
  lineHeight_ = 0;
  pagePending_ = false;
  return true;
}

bool TLinePrinter::Close(std::string& error) {
  if (!open_) return true;
  open_ = false;
  return surface_.EndDoc(error);
}

void TLinePrinter::SetFont(const TPrintFont& font) { surface_.SetFont(font); }

void TLinePrinter::WriteLine(std::string_view gbk) {
  Write(gbk);
  Write("\r\n");
}

void TLinePrinter::Write(std::string_view gbk) {
  if (!open_) return;
  // Trail bytes of GBK characters are 0x40 or above, so a control byte is
  // never the second half of a character.
  while (!gbk.empty()) {
    std::size_t run = 0;
    while (run < gbk.size() && !IsControl(gbk[run])) ++run;
    if (run > 0) {
      PutText(gbk.substr(0, run));
      gbk.remove_prefix(run);
      continue;
    }
    switch (gbk.front()) {
      case '\n': NewLine(); break;
      case '\f': FormFeed(); break;
      case '\t': Tab(); break;
      default: break;  // CR: the LF that follows ends the line
    }
    gbk.remove_prefix(1);
  }
}

void TLinePrinter::PutText(std::string_view gbk) {
  while (!gbk.empty()) {
    const TTextExtent whole = surface_.TextExtent(gbk);
    if (x_ + whole.Width <= right_) {
      Draw(gbk, whole);
      return;
    }
    std::size_t cut = FittingPrefix(gbk, right_ - x_);
    if (cut == 0) {
      if (x_ > 0) {  // the line is full already; the text starts the next
        NewLine();
        continue;
      }
      // A page narrower than one character: print it anyway, or the text
      // would never get onto the paper.
      cut = CharEnds(gbk.substr(0, 2)).front();
    }
    const std::string_view piece = gbk.substr(0, cut);
    Draw(piece, surface_.TextExtent(piece));
    gbk.remove_prefix(cut);
    NewLine();
  }
}

// Bytes of the longest run of whole leading characters no wider than `room`.
std::size_t TLinePrinter::FittingPrefix(std::string_view gbk, int room) {
  const std::vector<std::size_t> ends = CharEnds(gbk);
  std::size_t lo = 0;            // characters known to fit
  std::size_t hi = ends.size();  // characters known not to fit
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (surface_.TextExtent(gbk.substr(0, ends[mid - 1])).Width <= room) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return lo == 0 ? 0 : ends[lo - 1];
}

void TLinePrinter::Draw(std::string_view piece, TTextExtent extent) {
  StartPendingPage();
  surface_.TextOut(x_, y_, piece);
  if (extent.Height > lineHeight_) lineHeight_ = extent.Height + kLineGap;
  x_ += extent.Width;
}

void TLinePrinter::NewLine() {
  x_ = 0;
  y_ += lineHeight_ > 0 ? lineHeight_ : surface_.TextExtent("0").Height;
  if (y_ > bottom_ - 2 * lineHeight_) {
    StartPendingPage();
    pagePending_ = true;
    y_ = 0;
  }
  lineHeight_ = 0;
}

void TLinePrinter::FormFeed() {
  StartPendingPage();
  pagePending_ = true;
  x_ = 0;
  y_ = 0;
  lineHeight_ = 0;
}

void TLinePrinter::Tab() {
  const int stop = kTabColumns * surface_.AverageCharWidth();
  if (stop > 0) x_ = (x_ / stop + 1) * stop;
}

void TLinePrinter::StartPendingPage() {
  if (!pagePending_) return;
  pagePending_ = false;
  surface_.NewPage();
}

}  // namespace kadrel
