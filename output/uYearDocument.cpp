#include "output/uYearDocument.h"

#include "output/uIcs.h"
#include "output/uScheduleDoc.h"
#include "platform/uGbk.h"

namespace kadrel {

std::string_view ExportExtension(TExportType type) {
  switch (type) {
    case TExportType::Text: return ".txt";
    case TExportType::Html: return ".html";
    case TExportType::Dat: return ".dat";
    case TExportType::Ics: return ".ics";
    case TExportType::Print: return ".prn";
  }
  return ".html";
}

std::string DefaultExportName(std::string_view folder, const TUserSchedule& user, int year,
                              TExportType type) {
  std::string name = std::string(folder);
  if (name.empty() || name.back() != '/') name += '/';
  name += GbkToUtf8Lossy(user.Name());
  name += "的Kadrel(";
  name += std::to_string(year);
  name += "年)";
  name += ExportExtension(type);
  return name;
}

std::string BuildYearDocument(const TUserSchedule& user, int year, TMonthSet months, TExportType type,
                              const TIcsOptions& ics) {
  if (type == TExportType::Ics) return BuildIcsFile(user, year, months, IcsTimestampNow(), ics);
  TLineList lines;
  for (int m : months) {
    if (type == TExportType::Print) {
      AppendPrintMonth(lines, user, year, m);
    } else {
      AppendExportMonth(lines, user, year, m);
    }
  }
  const std::string title = ScheduleTitle(user, year);
  switch (type) {
    case TExportType::Text: return BuildTextFile(title, lines);
    case TExportType::Dat: return BuildDatFile(lines);
    case TExportType::Print: return BuildPrintFile(title, lines);
    case TExportType::Html:
    case TExportType::Ics: break;
  }
  return BuildHtmlFile(title, lines);
}

}  // namespace kadrel
