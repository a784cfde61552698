#include "platform/uClock.h"

#include <cmath>
#include <ctime>

namespace kadrel {
namespace {

TDateTime SystemNow() {
  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
  return static_cast<double>(EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday)) +
         seconds / 86400.0;
}

std::function<TDateTime()>& CurrentClock() {
  static std::function<TDateTime()> clock = SystemNow;
  return clock;
}

std::function<TUtcTime()>& CurrentUtcClock() {
  static std::function<TUtcTime()> clock = [] { return TUtcTime{std::time(nullptr)}; };
  return clock;
}

}  // namespace

TDateTime Now() { return CurrentClock()(); }

TDateTime Today() { return std::floor(Now()); }

TClockOverride::TClockOverride(std::function<TDateTime()> now) : TScopedOverride(CurrentClock(), std::move(now)) {}

TUtcTime UtcNow() { return CurrentUtcClock()(); }

TUtcClockOverride::TUtcClockOverride(std::function<TUtcTime()> now)
    : TScopedOverride(CurrentUtcClock(), std::move(now)) {}

}  // namespace kadrel
