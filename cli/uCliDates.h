// The dates and date ranges every kadrel-cli command takes, in one place.
// Plain C++; "today" is passed in, so the rules are tested without a clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kadrel {

// A run of whole days, serial numbers (1899-12-30 is 0), First <= Last.
struct TCliDayRange {
  std::int64_t First = 0;
  std::int64_t Last = 0;
  friend bool operator==(const TCliDayRange&, const TCliDayRange&) = default;
};

// YYYY-MM-DD, "today", "tomorrow", "yesterday", or +N / -N days from today
// (N decimal digits). Every result lies in the years 1 to 9999.
std::optional<std::int64_t> ParseCliDay(std::string_view text, std::int64_t today);

// A day as above (a range of one day), YYYY-MM (that month) or YYYY (that
// year, four digits).
std::optional<TCliDayRange> ParseCliDayRange(std::string_view text, std::int64_t today);

}  // namespace kadrel
