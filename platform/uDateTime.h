// TDateTime and Gregorian day arithmetic.
//
// A TDateTime counts days since 1899-12-30 as a double; the fraction is the
// time of day. Every Gregorian computation goes through one serial day
// number (the civil-days algorithm), so no module keeps month tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kadrel {

using TDateTime = double;

struct TYmd {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31
  friend bool operator==(const TYmd&, const TYmd&) = default;
};

// The dates Kadrel stores and accepts: 1 January of the year 1 to
// 31 December 9999, as years and as serial days.
inline constexpr int kFirstUsableYear = 1;
inline constexpr int kLastUsableYear = 9999;
inline constexpr std::int64_t kFirstUsableDay = -693593;  // 0001-01-01
inline constexpr std::int64_t kLastUsableDay = 2958465;   // 9999-12-31

// Whether `t` is finite and falls on a usable day.
bool IsUsableDate(TDateTime t);

// Beyond this many days either side of the epoch a day count means nothing;
// keeping well inside it lets every conversion to a 64-bit day count stay
// defined.
inline constexpr double kDayCountLimit = 1e12;

bool IsLeapYear(int year);

// Days of a Gregorian month; 0 for a month outside 1..12. The one count of
// a month's days: every other goes through it.
int DaysOfMonth(int year, int month);

// Serial day of a Gregorian date (1899-12-30 is 0). The date is not checked.
std::int64_t EncodeDate(int year, int month, int day);

TYmd DecodeDate(std::int64_t serial);

// The whole-day part of a TDateTime, truncated toward zero as the stored
// dates are always after 1899.
std::int64_t WholeDays(TDateTime t);

// 1 (Sunday) to 7 (Saturday).
int DayOfWeekSerial(std::int64_t serial);

// Strict YYYY-MM-DD with a real date in years 1..9999.
std::optional<std::int64_t> ParseIsoDate(std::string_view text);

std::string FormatIsoDate(std::int64_t serial);

}  // namespace kadrel
