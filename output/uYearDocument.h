// A user's year as one whole document: the single builder behind the export
// wizard, the print dialog and `kadrel-cli export`, so that the three never
// differ in what a format holds or what its file is called.
#pragma once

#include <string>
#include <string_view>

#include "output/uIcs.h"
#include "output/uMonthSet.h"
#include "schedule/uRotaResolver.h"

namespace kadrel {

// The document formats; the first four in the order the export wizard lists
// them. Print is the print form as the printer receives it.
enum class TExportType { Text = 0, Html = 1, Dat = 2, Ics = 3, Print = 4 };

// ".txt", ".html", ".dat", ".ics", ".prn": the print form has an extension of
// its own so that it never replaces a text export.
std::string_view ExportExtension(TExportType type);

// "<folder>/<name>的Kadrel(<year>年).<ext>". The folder is a path as the
// operating system spells it (UTF-8); the user's GBK name is converted, so
// the result is a UTF-8 path. Damaged name bytes show as U+FFFD.
std::string DefaultExportName(std::string_view folder, const TUserSchedule& user, int year,
                              TExportType type);

// The whole document of the chosen months, January first. Every format but
// iCalendar is GBK; an iCalendar file is UTF-8 and stamped with the clock's
// present time. The print form starts with the title line, which it keeps
// when no month is chosen.
// `ics` applies to the iCalendar file only.
std::string BuildYearDocument(const TUserSchedule& user, int year, TMonthSet months, TExportType type,
                              const TIcsOptions& ics = {});

}  // namespace kadrel
