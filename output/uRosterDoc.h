// The roster as a document: tab- or comma-separated data with one row per
// user and one column per day, or an HTML page that also shows the
// weekdays, the 休/班 marks, the exception marks, the duty kinds' colours
// and the footer of counts. Built whole as a string, like every document of
// output/; the writer is WriteExportFile (uExport.h).
//
// After the days each row gives the days of every duty kind anyone works in
// the range (the footer's kinds, in ID order), the days of leave and the
// hours (uHours.h): one count, the same as `stats --hours`.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/uRoster.h"

namespace kadrel {

enum class TRosterFormat { Tsv, Csv, Html };

// "tsv", "csv", "html"; nothing for another word.
std::optional<TRosterFormat> ParseRosterFormat(std::string_view word);
std::string_view RosterExtension(TRosterFormat format);  // ".tsv", ".csv", ".html"

// "排班表 2025-10-01 至 2025-10-31", GBK.
std::string RosterTitle(const TRoster& roster);

// A file is GBK with lines ending in CR LF, as every file the program
// exports; the terminal gets UTF-8 and bare line feeds, and an HTML page
// says which in its head.
enum class TDocTarget { File, Terminal };

std::string BuildRosterDocument(const TRoster& roster, TRosterFormat format, TDocTarget target = TDocTarget::File);

}  // namespace kadrel
