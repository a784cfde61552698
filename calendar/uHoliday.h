// Public holidays: the statutory days (法定节假日) by rule, and the yearly
// arrangement of days off (休) and make-up workdays (班) from text files.
//
// Statutory days follow from the lunar calendar and the solar terms for
// every year from 2000 to 2100 (the end of the lunar tables), by the rules
// in force that year; the years after 2025 keep the rules of 2025:
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
// A weekend joined to a holiday belongs to it, in every year, whether an
// arrangement names it or not: a run of consecutive days off (休 days, and
// Saturdays and Sundays that are not 班) that holds a 休 on a weekday is 休
// throughout. Its unmarked weekend days take the festival of the nearest 休
// before them in the run, or after them where none comes before. A run of
// weekend days alone stays as it is (中秋 2015 fell on a Sunday: 09-26 is
// no day off).
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
// most 31 days, no day is listed twice in one year, and no statutory day is
// 班. A year's lines replace the whole arrangement that an earlier file gave
// for that year; a year line with no day lines after it empties that year's
// arrangement. A year without an arrangement has its statutory days (and
// their weekends) as 休 and no 班.
//
// Bad input loses nothing else: a bad line is reported and skipped, and
// every other line still counts; the lines after a refused year line are
// skipped with it. A year all of whose day lines were bad replaces nothing.
// Of one file, the first kShownBadLines bad lines are reported, then how
// many more there were; a file larger than kMaxHolidayFileBytes is refused
// unread.
//
// Sources, each overriding the ones before it for the years it names, files
// of a folder in name order:
//   1. the arrangements built into the program (data/holidays of the source);
//   2. kadrel/holidays/*.txt in each folder of $XDG_DATA_DIRS (default
//      /usr/local/share:/usr/share), the last folder first, as the first
//      one is the most important; an installed copy of a built-in file is
//      taken from the program rather than read again;
//   3. $XDG_DATA_HOME/kadrel/holidays/*.txt (default ~/.local/share).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel {

enum class THolidayMark : std::uint8_t { None, Off, Work };  // none, 休, 班

inline constexpr int kFirstHolidayYear = 2000;
inline constexpr int kLastHolidayYear = 2100;

// A holiday file is a page of text; anything this large is something else.
inline constexpr std::uintmax_t kMaxHolidayFileBytes = 1 << 20;
inline constexpr int kShownBadLines = 3;

// One day of the table. Festival indexes THolidayTable::FestivalName; 0
// means none and goes with THolidayMark::None.
struct THolidayDay {
  THolidayMark Mark = THolidayMark::None;
  bool Statutory = false;
  std::uint8_t Festival = 0;
  friend bool operator==(const THolidayDay&, const THolidayDay&) = default;
};

// The table keeps a day in one byte, so that the whole of 2000..2100 is 36
// KB of memory to touch: 0 is no mark; 1..7 a statutory day of rule
// festival 1..7 (statutory days always carry their own festival); from 8 on
// 8 + 2 x festival, plus 1 for 班. Festivals go up to kMaxHolidayFestival.
inline constexpr std::uint8_t kMaxHolidayFestival = 123;

constexpr std::uint8_t PackHolidayDay(THolidayDay day) {
  if (day.Mark == THolidayMark::None) return 0;
  if (day.Statutory) return day.Festival;
  return static_cast<std::uint8_t>(8 + 2 * day.Festival + (day.Mark == THolidayMark::Work ? 1 : 0));
}

constexpr THolidayDay UnpackHolidayDay(std::uint8_t code) {
  if (code == 0) return {};
  if (code < 8) return {THolidayMark::Off, true, code};
  return {code % 2 == 1 ? THolidayMark::Work : THolidayMark::Off, false, static_cast<std::uint8_t>((code - 8) / 2)};
}

// What is wrong with a holiday file or one of its lines, or what a user
// should know about the arrangements.
enum class THolidayFault : std::uint8_t {
  NotALine,            // neither a year line nor a day line
  BadYearLine,         // "year" without one four-digit year
  YearOutOfRange,      // Year
  DayBeforeYear,       // a day line before any year line
  BadDayLine,          // not 休|班 FESTIVAL FIRST [LAST]
  NameNotGbk,
  NameTooLong,
  BadDate,
  Backwards,
  SpanTooLong,
  OutsideYear,         // Year: the arrangement's
  ListedTwice,         // Date: the day; Number: the line that listed it
  StatutoryWorkday,    // Date: the day
  MoreBadLines,        // Number: how many were not shown
  TooLarge,            // Number: the file's size in bytes
  Unreadable,          // Detail: the system's reason
  FolderUnreadable,    // Detail: the system's reason
  ArrangementUnknown,  // Year; Number: the last year known, 0 for none; Detail: the file to add
};

struct THolidayMessage {
  std::string Source = {};  // the file or folder; empty for ArrangementUnknown
  int Line = 0;        // 0: the file or folder as a whole
  THolidayFault Fault = THolidayFault::NotALine;
  int Year = 0;
  std::int64_t Number = 0;
  std::int64_t Date = 0;  // serial days
  std::string Detail = {};
  friend bool operator==(const THolidayMessage&, const THolidayMessage&) = default;
};

// "SOURCE:LINE: reason" (or "SOURCE: reason"), English, for kadrel-cli.
std::string HolidayMessageText(const THolidayMessage& message);
// The same in Chinese (UTF-8), for the desktop program: "SOURCE 第LINE行：理由".
std::string HolidayMessageChinese(const THolidayMessage& message);

// One good line of an arrangement file.
struct THolidayEntry {
  std::int64_t First = 0;  // serial days, inclusive
  std::int64_t Last = 0;
  THolidayMark Mark = THolidayMark::Off;
  std::string Festival;  // GBK
  int Line = 0;          // where the file gave it
};

struct THolidayYear {
  int Year = 0;
  std::vector<THolidayEntry> Entries;
  int BadLines = 0;  // day lines of the year that were refused
};

// The years of one file's text, in the order they first appear. Bad lines
// are appended to `messages`: the first `shown` in full, then one count of
// the rest.
std::vector<THolidayYear> ParseHolidayText(std::string_view utf8, std::string_view source,
                                           std::vector<THolidayMessage>& messages, int shown = kShownBadLines);

class THolidayTable {
 public:
  // The statutory days by rule, their joined weekends, and the arrangements
  // of `years` as SetArrangements takes them.
  explicit THolidayTable(std::vector<THolidayYear> years = {});

  // Sets the arrangements of the years given, in order, each replacing the
  // whole arrangement of its year; a year whose every day line was bad
  // replaces nothing. The table is built once, after the last of them.
  void SetArrangements(std::span<const THolidayYear> years);
  void SetArrangement(const THolidayYear& year) { SetArrangements({&year, 1}); }

  // The day of a serial date; the empty day outside 2000..2100.
  THolidayDay At(std::int64_t serial) const {
    const std::int64_t i = serial - first_;
    return i >= 0 && i < static_cast<std::int64_t>(days_.size()) ? UnpackHolidayDay(days_[static_cast<std::size_t>(i)])
                                                                   : THolidayDay{};
  }

  // GBK; empty for 0 and unknown indexes.
  const std::string& FestivalName(std::uint8_t festival) const;

  // Whether an arrangement was given for the year.
  bool HasArrangement(int year) const;
  // The last year with an arrangement; 0 when there is none.
  int LastArrangementYear() const;

 private:
  void Arrange(std::vector<THolidayYear>& years);
  void Rebuild();
  std::uint8_t FestivalIndex(const std::string& gbk);
  void JoinWeekends();
  void Set(std::int64_t serial, THolidayDay day) { days_[static_cast<std::size_t>(serial - first_)] = PackHolidayDay(day); }

  std::int64_t first_ = 0;
  std::vector<std::uint8_t> days_;  // PackHolidayDay
  std::vector<std::string> festivals_;
  std::vector<THolidayYear> arrangements_;  // by year, ascending
};

// Where arrangement files are looked for: the folders of steps 2 and 3
// above, lowest priority first, from the environment.
std::vector<std::string> HolidayFolders();

// The built-in arrangements, then the files of `folders` in order.
THolidayTable LoadHolidayTable(const std::vector<std::string>& folders, std::vector<THolidayMessage>& messages);

// The warning for dates of the years firstYear..lastYear when some of them
// lie after the last arrangement `table` knows, within the years of the
// rules: the first such year, and the file in the user's folder to add.
std::optional<THolidayMessage> ArrangementWarning(const THolidayTable& table, int firstYear, int lastYear);

// The table the program uses, loaded from HolidayFolders() on first use,
// and the messages of that load. UseHolidayTable replaces both; it is meant
// for start-up and tests, not for a time when other threads read the table.
const THolidayTable& Holidays();
const std::vector<THolidayMessage>& HolidayMessages();
void UseHolidayTable(THolidayTable table, std::vector<THolidayMessage> messages);

}  // namespace kadrel
