#include "output/uScheduleDoc.h"

#include "calendar/uCalendDay.h"
#include "platform/uDateTime.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"

namespace kadrel {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kDateWidth = 10;
constexpr std::size_t kDutyWidth = 12;
constexpr int kDaysPerPrintRow = 4;

struct TDocTexts {
  std::string TitleMiddle = GbkLiteral("的Kadrel ");
  std::string TitleEnd = GbkLiteral("年(公历)");
  std::string Lunar = GbkLiteral("    农历");
  std::string Today = GbkLiteral("       今天：");
  std::string HtmlHeaderGregorian = GbkLiteral("日期(公历)");
  std::string HtmlHeaderLunar = GbkLiteral("日期（农历）");
  std::string HtmlHeaderDuty = GbkLiteral("班");
};

const TDocTexts& Texts() {
  static const TDocTexts texts;
  return texts;
}

std::string DutyText(const TUserSchedule& user, int year, int month, int day) {
  return DayDutyText(user.Day(EncodeDate(year, month, day)));
}

std::string DatePart(int month, int day) {
  return std::to_string(month) + GbkDateWords().Month + std::to_string(day) + GbkDateWords().Day;
}

void AddLine(std::string& out, std::string_view line) {
  out += line;
  out += kCrLf;
}

bool IsSeparator(std::string_view line) { return line == ScheduleSeparator(); }

}  // namespace

// None of the four characters can be the second byte of a GBK character.
std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A data-file field, quoted only when it would otherwise break the columns.
std::string CsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

const std::string& ScheduleSeparator() {
  static const std::string separator(kSeparatorWidth, '-');
  return separator;
}

std::string ScheduleTitle(const TUserSchedule& user, int year) {
  return user.Name() + Texts().TitleMiddle + std::to_string(year) + Texts().TitleEnd;
}

std::string PadRight(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, GbkCutPoint(text, width)));
  out.resize(width, ' ');
  return out;
}

void AppendPrintMonth(TLineList& lines, const TUserSchedule& user, int year, int month) {
  lines.push_back(std::to_string(month) + GbkDateWords().Month);
  const int days = DaysInMonth(year, month);
  std::string row;
  for (int d = 1; d <= days; ++d) {
    row += PadRight(DatePart(month, d), kDateWidth);
    row += PadRight(DutyText(user, year, month, d), kDutyWidth);
    if (d % kDaysPerPrintRow == 0 || d == days) {
      lines.push_back(std::move(row));
      row.clear();
    }
  }
  lines.push_back(ScheduleSeparator());
}

void AppendExportMonth(TLineList& lines, const TUserSchedule& user, int year, int month) {
  const int days = DaysInMonth(year, month);
  TCalendKD kd;
  for (int d = 1; d <= days; ++d) {
    kd.Year = year;
    kd.Month = month;
    kd.Day = d;
    FillDay(kd);
    lines.push_back(DatePart(month, d) + Texts().Lunar + kd.YearName + kd.MonthName + kd.DayName +
                    kd.TermName + Texts().Today + DutyText(user, year, month, d));
  }
  lines.push_back(ScheduleSeparator());
}

TExportParts SplitExportLine(std::string_view line) {
  TExportParts parts;
  std::size_t space = line.find(' ');
  parts.Gregorian = std::string(line.substr(0, space));
  if (space == std::string_view::npos) return parts;
  std::string_view rest = TrimBlanks(line.substr(space + 1));
  std::size_t lunarEnd = rest.find(' ');
  parts.Lunar = std::string(rest.substr(0, lunarEnd));
  if (lunarEnd != std::string_view::npos) parts.Duty = std::string(TrimBlanks(rest.substr(lunarEnd + 1)));
  return parts;
}

std::string BuildTextFile(std::string_view title, std::span<const std::string> lines) {
  std::string out;
  AddLine(out, title);
  AddLine(out, ScheduleSeparator());
  for (const auto& line : lines) AddLine(out, line);
  return out;
}

std::string BuildHtmlFile(std::string_view title, std::span<const std::string> lines) {
  const TDocTexts& t = Texts();
  std::string out;
  out.reserve(256 + lines.size() * 220);
  for (std::string_view head :
       {"<html>", "<head>", "<meta http-equiv=Content-Language content=zh-cn>",
        "<meta http-equiv=Content-Type content=text/html; charset=gb2312>",
        "<meta name=ProgId content=FrontPage.Editor.Document>", "<title>Kadrel</title>", "</head>",
        "<body>"}) {
    AddLine(out, head);
  }
  AddLine(out, "<p><b><font color=#0000FF size=5>" + HtmlEscape(title) + "</font></b></p>");
  AddLine(out, "<table border=1 width=89%>");
  AddLine(out, "  <tr>");
  AddLine(out, "    <td width=16%>");
  AddLine(out, "      <p align=center><font color=#0000FF>" + t.HtmlHeaderGregorian + "</font></td>");
  AddLine(out, "    <td width=56%>");
  AddLine(out, "      <p align=center><font color=#0000FF>" + t.HtmlHeaderLunar + "</font></td>");
  AddLine(out, "    <td width=28%>");
  AddLine(out, "      <p align=center><font color=#0000FF>" + t.HtmlHeaderDuty + "</font></td>");
  AddLine(out, "  </tr>");
  for (const auto& line : lines) {
    if (IsSeparator(line)) continue;
    TExportParts p = SplitExportLine(line);
    AddLine(out, "  <tr>");
    AddLine(out, "    <td width=16%>");
    AddLine(out, "      <p align=center> <font color=#0000FF>" + HtmlEscape(p.Gregorian) + "</font></td>");
    AddLine(out, "    <td width=56%> <font color=#0000FF>" + HtmlEscape(p.Lunar) + "</font></td>");
    AddLine(out, "    <td width=28%>");
    AddLine(out, "      <p >" + HtmlEscape(p.Duty) + "</td>");
    AddLine(out, "  </tr>");
  }
  AddLine(out, "</table>");
  AddLine(out, "</body>");
  AddLine(out, "</html>");
  return out;
}

std::string BuildDatFile(std::span<const std::string> lines) {
  std::string out;
  out.reserve(lines.size() * 64);
  for (const auto& line : lines) {
    if (IsSeparator(line)) continue;
    TExportParts p = SplitExportLine(line);
    AddLine(out, CsvField(p.Gregorian) + "," + CsvField(p.Lunar) + "," + CsvField(p.Duty));
  }
  return out;
}

std::string BuildPrintFile(std::string_view title, std::span<const std::string> lines) {
  std::string out;
  AddLine(out, title);
  for (const auto& line : lines) AddLine(out, line);
  return out;
}

}  // namespace kadrel
