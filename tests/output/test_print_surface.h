// A page surface that records what a printer would have put on paper, with
// simple metrics: every byte is 10 pixels wide (a two-byte character 20),
// and text of an N-point font is N + 4 pixels high.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "output/uLinePrinter.h"
#include "platform/uGbk.h"

namespace kadrel::printtest {

struct TPlacedText {
  int X = 0;
  int Y = 0;
  std::string Text;  // GBK
  bool operator==(const TPlacedText&) const = default;
};

inline void PrintTo(const TPlacedText& t, std::ostream* os) {
  *os << "(" << t.X << ", " << t.Y << ") \"" << GbkToUtf8Lossy(t.Text) << '"';
}

// What a job left behind; it outlives the surface, which the code under
// test may own and free.
struct TPrintRecord {
  bool Begun = false;
  bool Ended = false;
  std::string Title;  // GBK
  TPrintFont Font;
  std::vector<std::vector<TPlacedText>> Pages;

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& page : Pages)
      for (const auto& t : page) texts.push_back(t.Text);
    return texts;
  }
};

inline constexpr int kByteWidth = 10;

class TRecordingSurface : public TPageSurface {
 public:
  TRecordingSurface(TPrintRecord& record, int width, int height, std::string beginError = {})
      : record_(record), width_(width), height_(height), beginError_(std::move(beginError)) {}

  bool BeginDoc(std::string_view title, std::string& error) override {
    if (!beginError_.empty()) {
      error = beginError_;
      return false;
    }
    record_.Begun = true;
    record_.Title = title;
    record_.Pages.emplace_back();
    return true;
  }
  bool EndDoc(std::string&) override {
    record_.Ended = true;
    return true;
  }
  void NewPage() override { record_.Pages.emplace_back(); }
  void SetFont(const TPrintFont& font) override { record_.Font = font; }
  TTextExtent TextExtent(std::string_view gbk) override {
    return {static_cast<int>(gbk.size()) * kByteWidth, record_.Font.Size + 4};
  }
  int AverageCharWidth() override { return kByteWidth; }
  void TextOut(int x, int y, std::string_view gbk) override {
    record_.Pages.back().push_back({x, y, std::string(gbk)});
  }
  int PageWidth() override { return width_; }
  int PageHeight() override { return height_; }

 private:
  TPrintRecord& record_;
  int width_;
  int height_;
  std::string beginError_;
};

}  // namespace kadrel::printtest
