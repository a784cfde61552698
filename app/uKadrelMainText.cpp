#include "app/uKadrelMainText.h"

#include "platform/uDateTime.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"

namespace kadrel {

namespace {

struct TLiterals {
  std::string TodayIs = GbkLiteral("今天是：");
  std::string Lunar = GbkLiteral("农历：");
  std::string Today = GbkLiteral("今天");
  std::string CurrentUser = GbkLiteral("当前用户：");
};

const TLiterals& L() {
  static const TLiterals literals;
  return literals;
}

}  // namespace

std::string CalendarHintText(const TCalendKD& day, const TShiftUser& user) {
  const TLiterals& l = L();
  std::string text;
  text.reserve(64);
  text += l.TodayIs;
  text += std::to_string(day.Month);
  text += GbkDateWords().Month;
  text += std::to_string(day.Day);
  text += GbkDateWords().Day;
  text += '\r';
  text += l.Lunar;
  text += day.YearName;
  text += day.MonthName;
  text += day.DayName;
  if (day.Mark != THolidayMark::None) {
    text += '\r';
    text += HolidayText(day);
  }
  std::string duty;
  if (GetDutyName(user, static_cast<TDateTime>(EncodeDate(day.Year, day.Month, day.Day)), duty)) {
    text += '\r';
    text += l.Today;
    text += duty;
  }
  return text;
}

std::string HolidayNoticeText(const std::vector<std::string>& messages) {
  constexpr std::size_t kShown = 8;
  std::string text = "节假日安排文件中有 " + std::to_string(messages.size()) + " 行无法使用，已跳过：";
  for (std::size_t i = 0; i < messages.size() && i < kShown; ++i) text += "\n" + messages[i];
  if (messages.size() > kShown) text += "\n……";
  return text;
}

std::string BannerText(const TShiftUser& user) { return L().CurrentUser + user.Name; }

std::string UserItemCaption(std::string_view name) {
  std::string caption(name);
  caption += '_';
  return caption;
}

std::string UserNameOfCaption(std::string_view caption) {
  if (caption.ends_with('_')) caption.remove_suffix(1);
  return std::string(caption);
}

std::string YearCaption(int year) { return std::to_string(year) + GbkDateWords().Year; }

std::string MonthListDay(int day) { return std::to_string(day) + GbkDateWords().Day; }

}  // namespace kadrel
