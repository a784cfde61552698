// The clock seam: every "today" and "now" in Kadrel comes from here, so that
// tests can fix the date and no test depends on the day it runs.
#pragma once

#include <functional>

#include "platform/uDateTime.h"
#include "platform/uScopedOverride.h"
#include "platform/uTimeZone.h"

namespace kadrel {

// The current local date and time as a TDateTime.
TDateTime Now();

// Today's date at midnight.
TDateTime Today();

// Replaces the clock while it lives. For tests.
class TClockOverride : TScopedOverride<std::function<TDateTime()>> {
 public:
  explicit TClockOverride(std::function<TDateTime()> now);
};

// The current instant. Reminders count in instants, which a change of the
// machine's zone or of summer time leaves where they are; Now() is the
// local calendar's date and time.
TUtcTime UtcNow();

// Replaces the instant while it lives, apart from Now(). For tests.
class TUtcClockOverride : TScopedOverride<std::function<TUtcTime()>> {
 public:
  explicit TUtcClockOverride(std::function<TUtcTime()> now);
};

}  // namespace kadrel
