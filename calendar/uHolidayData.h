// The arrangement files of data/holidays, built into the program so that it
// knows the shipped years wherever it runs from. The source is generated at
// build time by EmbedHolidays.cmake.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace kadrel {

struct TBuiltInHolidayFile {
  std::string_view Name;  // "2024.txt"
  std::string_view Text;  // UTF-8, as in the file
};

// In file name order.
std::span<const TBuiltInHolidayFile> BuiltInHolidayFiles();

}  // namespace kadrel
