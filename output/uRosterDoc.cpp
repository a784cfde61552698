#include "output/uRosterDoc.h"

#include <array>
#include <cstdio>

#include "output/uScheduleDoc.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uTimeFiles.h"

namespace kadrel {
namespace {

struct TRosterTexts {
  std::string Roster = GbkLiteral("排班表");
  std::string To = GbkLiteral("至");
  std::string Name = GbkLiteral("姓名");
  std::string Leave = GbkLiteral("请假");
  std::string Hours = GbkLiteral("工时");
  std::string Off = GbkLiteral("休");
  std::string Work = GbkLiteral("班");
  std::string Statutory = GbkLiteral("法定");
  std::string Count = GbkLiteral("人数");
  std::array<std::string, 7> Weekdays = {GbkLiteral("日"), GbkLiteral("一"), GbkLiteral("二"), GbkLiteral("三"),
                                         GbkLiteral("四"), GbkLiteral("五"), GbkLiteral("六")};
};

const TRosterTexts& Texts() {
  static const TRosterTexts texts;
  return texts;
}

// A tab or a line break inside a stored text would move every column after
// it; no name should hold one, but a damaged file may.
std::string TsvField(std::string_view text) {
  std::string field(text);
  for (char& c : field) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return field;
}

// The columns after the days: the days of each kind, of leave, the hours.
struct TTotals {
  std::vector<std::string> Heads;
  std::vector<std::string> Of(const TRosterRow& row, const std::vector<TRosterKindCount>& kinds) const {
    std::vector<std::string> values;
    for (const long days : RosterKindDays(row, kinds)) values.push_back(std::to_string(days));
    values.push_back(std::to_string(row.Hours.LeaveDays));
    values.push_back(FormatHours(static_cast<double>(row.Hours.Total.Minutes)));
    return values;
  }
};

TTotals TotalsOf(const std::vector<TRosterKindCount>& kinds) {
  TTotals totals;
  for (const TRosterKindCount& kind : kinds) totals.Heads.push_back(kind.Name);
  totals.Heads.push_back(Texts().Leave);
  totals.Heads.push_back(Texts().Hours);
  return totals;
}

class TLines {
 public:
  explicit TLines(TDocTarget target) : end_(target == TDocTarget::File ? "\r\n" : "\n") {}
  void Add(std::string_view line) {
    out_ += line;
    out_ += end_;
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string_view end_;
  std::string out_;
};

std::string BuildSeparated(const TRoster& roster, bool csv, TDocTarget target) {
  const auto field = [csv](std::string_view text) { return csv ? CsvField(text) : TsvField(text); };
  const char separator = csv ? ',' : '\t';
  const auto kinds = roster.DayCounts();
  const TTotals totals = TotalsOf(kinds);
  TLines lines(target);
  std::string line = field(Texts().Name);
  for (std::size_t c = 0; c < roster.DayCount(); ++c) (line += separator) += FormatIsoDate(roster.DayAt(c));
  for (const std::string& head : totals.Heads) (line += separator) += field(head);
  lines.Add(line);
  for (std::size_t r = 0; r < roster.RowCount(); ++r) {
    const TRosterRow row = roster.Row(r);
    line = field(roster.UserName(r));
    for (const TRosterCell& cell : row.Cells) (line += separator) += field(cell.Text);
    for (const std::string& value : totals.Of(row, kinds)) (line += separator) += field(value);
    lines.Add(line);
  }
  return lines.Take();
}

std::string ColorStyle(std::int32_t color) {
  if (color == kNoColor) return {};
  char text[40];
  std::snprintf(text, sizeof text, " style=\"background:#%06X\"", static_cast<unsigned>(color) & 0xFFFFFFu);
  return text;
}

// The class that shades a day's column: a day off, a make-up workday.
std::string_view DayClass(THolidayDay day) {
  if (day.Mark == THolidayMark::Off) return day.Statutory ? " class=\"law\"" : " class=\"off\"";
  if (day.Mark == THolidayMark::Work) return " class=\"work\"";
  return {};
}

void AddHtmlHead(TLines& lines, const TRoster& roster, const TTotals& totals) {
  const TRosterTexts& t = Texts();
  std::string days = "<tr><th rowspan=\"3\">" + t.Name + "</th>";
  std::string weekdays = "<tr>";
  std::string marks = "<tr>";
  for (std::size_t c = 0; c < roster.DayCount(); ++c) {
    const std::int64_t serial = roster.DayAt(c);
    const THolidayDay holiday = roster.HolidayAt(c);
    const std::string_view shade = DayClass(holiday);
    days += "<th" + std::string(shade) + ">" + std::to_string(DecodeDate(serial).Day) + "</th>";
    weekdays += "<th" + std::string(shade) + ">" + t.Weekdays[static_cast<std::size_t>(DayOfWeekSerial(serial) - 1)] +
                "</th>";
    std::string mark;
    if (holiday.Mark != THolidayMark::None) {
      mark = holiday.Mark == THolidayMark::Off ? t.Off : t.Work;
      const std::string& festival = roster.Holidays().FestivalName(holiday.Festival);
      mark = "<span title=\"" + HtmlEscape(festival) + (holiday.Statutory ? " " + t.Statutory : "") + "\">" + mark +
             "</span>";
    }
    marks += "<th" + std::string(shade) + ">" + mark + "</th>";
  }
  for (const std::string& head : totals.Heads) days += "<th rowspan=\"3\">" + HtmlEscape(head) + "</th>";
  lines.Add(days + "</tr>");
  lines.Add(weekdays + "</tr>");
  lines.Add(marks + "</tr>");
}

std::string BuildHtml(const TRoster& roster, TDocTarget target) {
  const TRosterTexts& t = Texts();
  const auto kinds = roster.DayCounts();
  const TTotals totals = TotalsOf(kinds);
  const std::string title = HtmlEscape(RosterTitle(roster));
  TLines lines(target);
  lines.Add("<!DOCTYPE html>");
  lines.Add("<html lang=\"zh-CN\">");
  lines.Add(std::string("<head><meta charset=\"") + (target == TDocTarget::File ? "GBK" : "UTF-8") + "\">");
  lines.Add("<title>" + title + "</title>");
  lines.Add("<style>table{border-collapse:collapse;font-size:12px}th,td{border:1px solid #999;padding:2px 4px;"
            "text-align:center;white-space:nowrap}.off{background:#fde2e2}.law{background:#f8c0c0;color:#b00}"
            ".work{background:#e4e4e4}sup{color:#b00}</style>");
  lines.Add("</head>");
  lines.Add("<body>");
  lines.Add("<h1>" + title + "</h1>");
  lines.Add("<table>");
  lines.Add("<thead>");
  AddHtmlHead(lines, roster, totals);
  lines.Add("</thead>");
  lines.Add("<tbody>");
  for (std::size_t r = 0; r < roster.RowCount(); ++r) {
    const TRosterRow row = roster.Row(r);
    std::string line = "<tr><th>" + HtmlEscape(roster.UserName(r)) + "</th>";
    for (const TRosterCell& cell : row.Cells) {
      line += "<td" + ColorStyle(cell.Color) + ">" + HtmlEscape(cell.Text);
      if (!cell.Mark.empty()) line += "<sup>" + std::string(cell.Mark) + "</sup>";
      line += "</td>";
    }
    for (const std::string& value : totals.Of(row, kinds)) line += "<td>" + value + "</td>";
    lines.Add(line + "</tr>");
  }
  lines.Add("</tbody>");
  lines.Add("<tfoot>");
  for (const TRosterKindCount& kind : kinds) {
    std::string line = "<tr><th>" + HtmlEscape(kind.Name) + t.Count + "</th>";
    for (const int n : kind.PerDay) line += "<td>" + std::to_string(n) + "</td>";
    lines.Add(line + "</tr>");
  }
  lines.Add("</tfoot>");
  lines.Add("</table>");
  lines.Add("</body>");
  lines.Add("</html>");
  return lines.Take();
}

}  // namespace

std::optional<TRosterFormat> ParseRosterFormat(std::string_view word) {
  if (word == "tsv") return TRosterFormat::Tsv;
  if (word == "csv") return TRosterFormat::Csv;
  if (word == "html") return TRosterFormat::Html;
  return std::nullopt;
}

std::string_view RosterExtension(TRosterFormat format) {
  switch (format) {
    case TRosterFormat::Tsv: return ".tsv";
    case TRosterFormat::Csv: return ".csv";
    case TRosterFormat::Html: return ".html";
  }
  return {};
}

std::string RosterTitle(const TRoster& roster) {
  return Texts().Roster + ' ' + FormatIsoDate(roster.First()) + ' ' + Texts().To + ' ' + FormatIsoDate(roster.Last());
}

std::string BuildRosterDocument(const TRoster& roster, TRosterFormat format, TDocTarget target) {
  std::string document = format == TRosterFormat::Html ? BuildHtml(roster, target)
                                                       : BuildSeparated(roster, format == TRosterFormat::Csv, target);
  return target == TDocTarget::File ? document : GbkToUtf8Lossy(document);
}

}  // namespace kadrel
