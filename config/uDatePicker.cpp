#include "config/uDatePicker.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace kadrel {

namespace {

QDate ToQDate(std::int64_t serial) {
  const TYmd ymd = DecodeDate(serial);
  return QDate(ymd.Year, ymd.Month, ymd.Day);
}

std::int64_t ToSerial(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

}  // namespace

TDatePicker::TDatePicker(QWidget* parent) : QDateEdit(parent) {
  setLocale(QLocale(QLocale::Chinese, QLocale::China));  // the drop-down's month and day names
  setDisplayFormat(QStringLiteral("yyyy年M月d日"));
  setCalendarPopup(true);
  setDateRange(ToQDate(kFirstUsableDay), ToQDate(kLastUsableDay));
}

// Before 1899-12-30 a TDateTime counts the days down and the time of day up
// (-1.25 is 29 December 1899, 06:00), so the day is the truncated part and
// the time the fraction's absolute value.
void TDatePicker::SetDateTime(TDateTime value) {
  if (!std::isfinite(value)) value = 0;
  const double day = std::trunc(value);
  timeOfDay_ = std::fabs(value - day);
  const double clamped = std::clamp(day, double(kFirstUsableDay), double(kLastUsableDay));
  if (clamped != day) timeOfDay_ = 0;
  setDate(ToQDate(static_cast<std::int64_t>(clamped)));
}

TDateTime TDatePicker::DateTime() const {
  const auto day = static_cast<double>(ToSerial(date()));
  return day >= 0 ? day + timeOfDay_ : day - timeOfDay_;
}

}  // namespace kadrel
