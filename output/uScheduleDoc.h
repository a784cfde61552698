// A user's year schedule as lines of GBK text, and the file formats built
// from them.
//
// Two forms: the print form (a heading per month, four day cells to a row)
// goes to the printer; the export form (one line per day with its lunar date
// and duty) goes to the text, HTML and data files. Builders are pure: they
// take the user snapshot, the year and a month and only append lines. The
// file contents are built as whole byte strings here too; writing them is the
// thin, atomic wrapper of uExport.h. Every duty is the resolver's
// (schedule/uRotaResolver.h): a day an exception changes shows what it made
// of the day (DayDutyText), and a year without exceptions is what it was
// before they existed, byte for byte.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/uRotaResolver.h"

namespace kadrel {

using TLineList = std::vector<std::string>;

// Both forms end every month with this line; it is the only separator.
inline constexpr std::size_t kSeparatorWidth = 80;
const std::string& ScheduleSeparator();

// "<name>的Kadrel <year>年(公历)".
std::string ScheduleTitle(const TUserSchedule& user, int year);

// Fits `text` to exactly `width` bytes: pads with spaces, or cuts. A cut never
// splits a two-byte character; the freed byte becomes a space.
std::string PadRight(std::string_view text, std::size_t width);

void AppendPrintMonth(TLineList& lines, const TUserSchedule& user, int year, int month);
void AppendExportMonth(TLineList& lines, const TUserSchedule& user, int year, int month);

// The three parts of an export-form day line: "m月d日", "农历…" and
// "今天：duty", with the duty's surrounding white space dropped.
struct TExportParts {
  std::string Gregorian;
  std::string Lunar;
  std::string Duty;
};
TExportParts SplitExportLine(std::string_view line);

// Text for HTML or XML from user data: the four characters that could open
// markup or end an attribute (& < > ") escaped.
std::string HtmlEscape(std::string_view text);
// A data-file field, quoted only when it would otherwise break the columns.
std::string CsvField(std::string_view field);

// Whole file contents, each line ending in CR LF.
std::string BuildTextFile(std::string_view title, std::span<const std::string> lines);
std::string BuildHtmlFile(std::string_view title, std::span<const std::string> lines);
std::string BuildDatFile(std::span<const std::string> lines);
// The title line and the print form: what the printer receives, as a file.
std::string BuildPrintFile(std::string_view title, std::span<const std::string> lines);

}  // namespace kadrel
