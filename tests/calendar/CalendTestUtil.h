// Readable forms of calendar results, so that a failing case prints the
// whole text in UTF-8 rather than GBK bytes.
#pragma once

#include <string>

#include "calendar/uCalend.h"
#include "calendar/uCalendDay.h"
#include "platform/uGbk.h"

namespace kadrel::test {

inline std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk).value_or("<not GBK>"); }

// "2023/闰2/1 癸卯兔年 闰二月初一 春分": the numeric lunar date, then the
// names of the day record, then the term if any.
inline std::string DescribeDay(int year, int month, int day) {
  int ly = 0, lm = 0, ld = 0;
  bool leap = false;
  SolarToLunar(year, month, day, ly, lm, leap, ld);
  TCalendKD kd{year, month, day, {}, {}, {}, {}, {}};
  FillDay(kd);
  std::string text = std::to_string(ly);
  text.append("/").append(leap ? "闰" : "").append(std::to_string(lm)).append("/").append(std::to_string(ld));
  text.append(" ").append(Utf8(kd.YearName)).append(" ").append(Utf8(kd.MonthName)).append(Utf8(kd.DayName));
  if (!kd.TermName.empty()) text.append(" ").append(Utf8(kd.TermName));
  return text;
}

}  // namespace kadrel::test
