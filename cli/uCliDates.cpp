#include "cli/uCliDates.h"

#include <charconv>

#include "platform/uDateTime.h"

namespace kadrel {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Number(std::string_view digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

bool InYears(std::int64_t serial) { return serial >= kFirstUsableDay && serial <= kLastUsableDay; }

// A year of four digits, 0001 to 9999.
std::optional<int> ParseYear(std::string_view s) {
  if (s.size() != 4 || !AllDigits(s) || Number(s) < 1) return std::nullopt;
  return Number(s);
}

}  // namespace

std::optional<std::int64_t> ParseCliDay(std::string_view text, std::int64_t today) {
  if (text == "today") return today;
  if (text == "tomorrow") return today + 1;
  if (text == "yesterday") return today - 1;
  if (text.size() > 1 && (text[0] == '+' || text[0] == '-')) {
    const std::string_view digits = text.substr(1);
    // Seven digits already leave the calendar; more could overflow.
    if (!AllDigits(digits) || digits.size() > 7) return std::nullopt;
    const std::int64_t day = today + (text[0] == '+' ? 1 : -1) * std::int64_t(Number(digits));
    if (!InYears(day)) return std::nullopt;
    return day;
  }
  return ParseIsoDate(text);
}

std::optional<TCliDayRange> ParseCliDayRange(std::string_view text, std::int64_t today) {
  if (auto year = ParseYear(text)) return TCliDayRange{EncodeDate(*year, 1, 1), EncodeDate(*year, 12, 31)};
  if (text.size() == 7 && text[4] == '-') {
    auto year = ParseYear(text.substr(0, 4));
    const std::string_view month = text.substr(5);
    if (!year || !AllDigits(month) || Number(month) < 1 || Number(month) > 12) return std::nullopt;
    const int m = Number(month);
    return TCliDayRange{EncodeDate(*year, m, 1), EncodeDate(*year, m, DaysOfMonth(*year, m))};
  }
  if (auto day = ParseCliDay(text, today)) return TCliDayRange{*day, *day};
  return std::nullopt;
}

}  // namespace kadrel
