// Public holidays: the statutory days (法定节假日) by rule, and the yearly
// arrangement of days off (休) and make-up workdays (班) from text files.
//
// Statutory days follow from the lunar calendar and the solar terms for
// every year from 2000 to 2050 (the end of the lunar tables):
//
//   festival  years        days
//   元旦      all          1 January
//   春节      2000-2007    lunar 1/1 to 1/3
//             2008-2013    除夕 (the day before lunar 1/1) to 1/2
//             2014-2024    lunar 1/1 to 1/3
//             2025-        除夕 to 1/3
//   清明节    2008-        the day of the 清明 term
//   劳动节    2000-2007    1 to 3 May; 2008-2024 1 May; 2025- 1 and 2 May
//   端午节    2008-        lunar 5/5 (not of a leap fifth month)
//   中秋节    2008-        lunar 8/15 (not of a leap eighth month)
//   国庆节    all          1 to 3 October; it names a day that is 中秋 too
//
// A statutory day is always 休 and always carries its own festival, even
// inside the span of another one (中秋 on 2023-09-29 before 国庆). Years
// before 2000 carry no marks at all.
//
// Arrangement files (UTF-8 text, "#" starts a comment line):
//
//   year 2024                          the arrangement the lines below belong to
//   休 春节 2024-02-10 2024-02-17      days off, first and last day inclusive
//   班 春节 2024-02-04                 a make-up workday (one day, or a span)
//
// A line names its mark (休 or 班), the festival (at most 8 characters, all
// of them in GBK) and one or two dates. The dates of year Y's arrangement
// lie in Y or in December of Y - 1 (元旦 may begin there), a span is at
// most 31 days, and no day is listed twice in one year. A year's lines
// replace the whole arrangement that an earlier file gave for that year.
// A year without an arrangement has its statutory days as 休 and no 班.
//
// A bad line is reported as "FILE:LINE: reason" and skipped; every other
// line still counts. A year all of whose lines were bad replaces nothing.
//
// Sources, each overriding the ones before it for the years it names, files
// of a folder in name order:
//   1. the arrangements built into the program (data/holidays of the source);
//   2. kadrel/holidays/*.txt in each folder of $XDG_DATA_DIRS (default
//      /usr/local/share:/usr/share), the last folder first, as the first
//      one is the most important;
//   3. $XDG_DATA_HOME/kadrel/holidays/*.txt (default ~/.local/share).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

enum class THolidayMark : std::uint8_t { None, Off, Work };  // none, 休, 班

inline constexpr int kFirstHolidayYear = 2000;
inline constexpr int kLastHolidayYear = 2050;

// One day of the table. Festival indexes THolidayTable::FestivalName; 0
// means none and goes with THolidayMark::None.
struct THolidayDay {
  THolidayMark Mark = THolidayMark::None;
  bool Statutory = false;
  std::uint8_t Festival = 0;
};

// One good line of an arrangement file.
struct THolidayEntry {
  std::int64_t First = 0;  // serial days, inclusive
  std::int64_t Last = 0;
  THolidayMark Mark = THolidayMark::Off;
  std::string Festival;  // GBK
  std::string Where;     // "FILE:LINE", for messages about the line
};

struct THolidayYear {
  int Year = 0;
  std::vector<THolidayEntry> Entries;
};

// The years of one file's text, in the order they first appear. Bad lines
// are appended to `messages` (UTF-8) as "SOURCE:LINE: reason".
std::vector<THolidayYear> ParseHolidayText(std::string_view utf8, std::string_view source,
                                           std::vector<std::string>& messages);

class THolidayTable {
 public:
  // The statutory days by rule and no arrangement.
  THolidayTable();

  // Replaces the arrangement of year.Year (a year without entries changes
  // nothing). A 班 on a statutory day is reported and left out.
  void SetArrangement(const THolidayYear& year, std::vector<std::string>& messages);

  // The day of a serial date; the empty day outside 2000..2050.
  THolidayDay At(std::int64_t serial) const {
    const std::int64_t i = serial - first_;
    return i >= 0 && i < static_cast<std::int64_t>(days_.size()) ? days_[static_cast<std::size_t>(i)]
                                                                   : THolidayDay{};
  }

  // GBK; empty for 0 and unknown indexes.
  const std::string& FestivalName(std::uint8_t festival) const;

  // Whether an arrangement was given for the year.
  bool HasArrangement(int year) const;

 private:
  void Rebuild();
  std::uint8_t FestivalIndex(const std::string& gbk);

  std::int64_t first_ = 0;
  std::vector<THolidayDay> rules_;  // the statutory days alone
  std::vector<THolidayDay> days_;   // with the arrangements applied
  std::vector<std::string> festivals_;
  std::vector<THolidayYear> arrangements_;  // by year, ascending
};

// Where arrangement files are looked for: the folders of steps 2 and 3
// above, lowest priority first, from the environment.
std::vector<std::string> HolidayFolders();

// The built-in arrangements, then the files of `folders` in order.
THolidayTable LoadHolidayTable(const std::vector<std::string>& folders, std::vector<std::string>& messages);

// The table the program uses, loaded from HolidayFolders() on first use,
// and the messages of that load. UseHolidayTable replaces both; it is meant
// for start-up and tests, not for a time when other threads read the table.
const THolidayTable& Holidays();
const std::vector<std::string>& HolidayMessages();
void UseHolidayTable(THolidayTable table, std::vector<std::string> messages);

}  // namespace kadrel
