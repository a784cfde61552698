#include "platform/uDateTime.h"

#include <cmath>
#include <cstdio>

namespace kadrel {
namespace {

// Days from 1970-01-01 to 1899-12-30.
constexpr std::int64_t kEpochShift = -25569;

// Howard Hinnant's days_from_civil / civil_from_days, valid for all
// proleptic Gregorian dates representable here.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr TYmd CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return TYmd{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

static_assert(DaysFromCivil(1899, 12, 30) == kEpochShift);
static_assert(CivilFromDays(0) == TYmd{1970, 1, 1});
static_assert(DaysFromCivil(kFirstUsableYear, 1, 1) - kEpochShift == kFirstUsableDay);
static_assert(DaysFromCivil(kLastUsableYear, 12, 31) - kEpochShift == kLastUsableDay);

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsUsableDate(TDateTime t) {
  return std::isfinite(t) && t >= static_cast<double>(kFirstUsableDay) &&
         t < static_cast<double>(kLastUsableDay + 1);
}

int DaysOfMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  const auto first = DaysFromCivil(year, static_cast<unsigned>(month), 1);
  const auto next = month == 12 ? DaysFromCivil(std::int64_t{year} + 1, 1, 1)
                                : DaysFromCivil(year, static_cast<unsigned>(month) + 1, 1);
  return static_cast<int>(next - first);
}

std::int64_t EncodeDate(int year, int month, int day) {
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochShift;
}

TYmd DecodeDate(std::int64_t serial) { return CivilFromDays(serial + kEpochShift); }

std::int64_t WholeDays(TDateTime t) {
  if (!std::isfinite(t)) return 0;
  // Clamp far outside any real date so the conversion stays defined.
  if (t > kDayCountLimit) return static_cast<std::int64_t>(kDayCountLimit);
  if (t < -kDayCountLimit) return static_cast<std::int64_t>(-kDayCountLimit);
  return static_cast<std::int64_t>(std::trunc(t));
}

int DayOfWeekSerial(std::int64_t serial) {
  // Serial 0 (1899-12-30) was a Saturday.
  std::int64_t r = (serial + 6) % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

std::optional<std::int64_t> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto digits = [&](std::size_t from, std::size_t count) -> int {
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (text[i] < '0' || text[i] > '9') return -1;
      v = v * 10 + (text[i] - '0');
    }
    return v;
  };
  int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysOfMonth(y, m)) return std::nullopt;
  return EncodeDate(y, m, d);
}

std::string FormatIsoDate(std::int64_t serial) {
  TYmd ymd = DecodeDate(serial);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", ymd.Year, ymd.Month, ymd.Day);
  return buf;
}

}  // namespace kadrel
