// The words of dates that the windows and the documents share, written once.
#pragma once

#include <array>
#include <string>

namespace kadrel {

// "一月" to "十二月" (UTF-8), as month check boxes and menu items name them.
inline constexpr std::array<const char*, 12> kMonthNames = {
    "一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "十二月"};

// 年, 月 and 日 in GBK, for generated text.
struct TGbkDateWords {
  std::string Year;
  std::string Month;
  std::string Day;
};
const TGbkDateWords& GbkDateWords();

}  // namespace kadrel
