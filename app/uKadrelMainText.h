// The texts and the banner motion of the main window, as plain C++ so that
// they are tested and timed without a window. Texts are GBK, like every text
// Kadrel stores or builds; the window converts them when it shows them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "schedule/uScheduleFolder.h"
#include "calendar/uCalendDay.h"
#include "calendar/uHoliday.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uShiftUser.h"

namespace kadrel {

// The hover text of a day, its lines joined by a carriage return:
//   今天是：<m>月<d>日
//   农历：<YearName><MonthName><DayName>
//   节假日：春节（法定）  (only on a day with a holiday mark; HolidayText)
//   今天<duty>            (when the user has a duty or a leave that day:
//                         DayDutyText, 白班+夜班 with an extra shift)
//   请假：年假（原：白班） (the lines of DayHoverLines, for a day the rota
//   备注：…               changes or notes)
// The first and "今天" lines read so for whatever day is meant, not only
// today. A day no exception touches reads as it did before exceptions.
std::string CalendarHintText(const TCalendKD& day, const TResolvedDay& duty);

// The one notice about bad holiday files and lines, UTF-8 like the file
// names it quotes: a sentence, then the first messages, in Chinese.
std::string HolidayNoticeText(const std::vector<THolidayMessage>& messages);

// What the user is told when the data files cannot be opened, UTF-8 like
// the names it quotes: the folder and the file, the kind of problem
// (damaged, with what is wrong; no permission; not a regular file; in use),
// what to do about it (restore a backup, check the permissions, close the
// other Kadrel) and that nothing was changed.
std::string OpenFailureText(const TOpenFailure& failure, const std::string& folder);

// What is wrong with a damaged file, from the store's account (UTF-8).
std::string DamageDetail(const TTableError& why);

// The notice of 配置倒班规律 while the data can only be viewed (UTF-8).
std::string ReadOnlyNoticeText();

// "当前用户：" and the user's name.
std::string BannerText(const TShiftUser& user);

// Where the banner starts, at the right edge of its strip.
inline constexpr int kBannerStartX = 255;

// One tick of the banner: `tag` is the x the next drawing uses. Returns the
// x to draw at now and moves `tag` 10 pixels left; once the text has left
// the strip (x below -20) it starts over at the right. The cycle is 255,
// 245, ..., -15: 28 ticks.
inline int BannerTick(int& tag) {
  if (tag < -20) tag = kBannerStartX;
  const int x = tag;
  tag -= 10;
  return x;
}

// The user menu shows each name with a "_" after it (a_b is shown a_b_).
std::string UserItemCaption(std::string_view name);

// "2026年", the caption of the year button and of the year view's menu item.
std::string YearCaption(int year);

// "17日", the first column of the month list.
std::string MonthListDay(int day);

}  // namespace kadrel
