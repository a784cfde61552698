// The clock seam: every "today" and "now" in Kadrel comes from here, so that
// tests can fix the date and no test depends on the day it runs.
#pragma once

#include <functional>

#include "platform/uDateTime.h"

namespace kadrel {

// The current local date and time as a TDateTime.
TDateTime Now();

// Today's date at midnight.
TDateTime Today();

// Replaces the clock until the returned guard is destroyed. For tests.
class TClockOverride {
 public:
  explicit TClockOverride(std::function<TDateTime()> now);
  ~TClockOverride();
  TClockOverride(const TClockOverride&) = delete;
  TClockOverride& operator=(const TClockOverride&) = delete;

 private:
  std::function<TDateTime()> previous_;
};

}  // namespace kadrel
