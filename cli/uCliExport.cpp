// kadrel-cli export: a user's year in any of the document formats, written
// by the same builders and atomic writer as the export wizard, and kept off
// the data files as it is.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/uCliCommands.h"
#include "output/uExport.h"
#include "output/uIcs.h"
#include "output/uPublishUser.h"
#include "output/uVdir.h"
#include "output/uYearDocument.h"
#include "platform/uDataFiles.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uRotaResolver.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {
namespace {

struct TExportArgs {
  std::string User;
  int Year = 0;
  TExportType Format = TExportType::Html;  // as the export wizard starts
  TMonthSet Months = TMonthSet::All();
  std::optional<std::string> Output;
  std::optional<std::string> Encoding;  // of -o -: utf-8, or gbk (the files'); none: the terminal's
  TIcsOptions Ics;
  bool Vdir = false;                   // --format vdir: iCalendar, one file per event in -o DIR
  std::optional<TCliDayRange> Range;   // FROM TO instead of YEAR
};

// How often a subscriber's calendar is asked to fetch a range export again.
constexpr int kSubscriptionRefreshHours = 12;

// "-30" and "+400" are days from today, not options.
bool IsRelativeDay(std::string_view a) {
  return a.size() > 1 && (a[0] == '-' || a[0] == '+') &&
         a.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

std::optional<TExportType> ParseFormat(std::string_view s) {
  if (s == "txt") return TExportType::Text;
  if (s == "html") return TExportType::Html;
  if (s == "dat") return TExportType::Dat;
  if (s == "ics") return TExportType::Ics;
  if (s == "print") return TExportType::Print;
  return std::nullopt;
}

// "1,3,12" in any order, each month once, rendered January first. An empty
// list is a valid, empty selection.
std::optional<TMonthSet> ParseMonths(std::string_view s) {
  TMonthSet months;
  while (!s.empty()) {
    std::size_t comma = s.find(',');
    auto month = ParseCliInteger(s.substr(0, comma));
    if (!month || *month < 1 || *month > 12) return std::nullopt;
    months.Add(*month);
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
    if (s.empty()) return std::nullopt;  // a trailing comma
  }
  return months;
}

std::optional<TExportArgs> ParseExportArgs(TCliContext& ctx, int& rc) {
  TExportArgs parsed;
  std::vector<std::string> positional;
  auto value = [&](std::size_t& i, std::string_view option) -> std::optional<std::string> {
    if (i + 1 >= ctx.Args.size()) {
      rc = UsageError(ctx, std::string(option) + " needs a value");
      return std::nullopt;
    }
    return ctx.Args[++i];
  };
  for (std::size_t i = 0; i < ctx.Args.size(); ++i) {
    const std::string& a = ctx.Args[i];
    if (a == "--format") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      parsed.Vdir = *v == "vdir";
      auto format = parsed.Vdir ? TExportType::Ics : ParseFormat(*v);
      if (!format) {
        rc = UsageError(ctx, "--format is one of txt, html, dat, ics, vdir, print");
        return std::nullopt;
      }
      parsed.Format = *format;
    } else if (a == "--months") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      auto months = ParseMonths(*v);
      if (!months) {
        rc = UsageError(ctx, "--months takes month numbers 1 to 12 separated by commas");
        return std::nullopt;
      }
      parsed.Months = *months;
    } else if (a == "-o" || a == "--output") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      if (v->empty()) {
        rc = UsageError(ctx, "-o needs a file name");
        return std::nullopt;
      }
      parsed.Output = *v;
    } else if (a == "--encoding") {
      auto v = value(i, a);
      if (!v) return std::nullopt;
      if (*v != "utf-8" && *v != "gbk") {
        rc = UsageError(ctx, "--encoding is utf-8 or gbk");
        return std::nullopt;
      }
      parsed.Encoding = *v;
    } else if (a == "--no-rest") {
      parsed.Ics.NoRest = true;
    } else if (a.starts_with("-") && a != "-" && !IsRelativeDay(a)) {
      rc = UsageError(ctx, "unknown option " + a);
      return std::nullopt;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2 && positional.size() != 3) {
    rc = UsageError(ctx, "export needs a user name and a year, or FROM and TO");
    return std::nullopt;
  }
  parsed.User = positional[0];
  if (positional.size() == 3) {
    if (parsed.Format != TExportType::Ics) {
      rc = UsageError(ctx, "FROM TO applies to --format ics and vdir; the other formats take a YEAR");
      return std::nullopt;
    }
    parsed.Range = ParseFromTo(ctx, positional[1], &positional[2], rc);
    if (!parsed.Range) return std::nullopt;
    if (parsed.Range->Last - parsed.Range->First + 1 > kMaxCalendarDays) {
      rc = UsageError(ctx, "a calendar covers at most ten years");
      return std::nullopt;
    }
    // A file of days around today is one to subscribe to.
    parsed.Ics.RefreshHours = kSubscriptionRefreshHours;
    parsed.Year = DecodeDate(parsed.Range->First).Year;
  } else {
    auto year = ParseCliInteger(positional[1]);
    if (!year || *year < kFirstUsableYear || *year > kLastUsableYear) {
      rc = UsageError(ctx, "YEAR must be a number from 1 to 9999");
      return std::nullopt;
    }
    parsed.Year = *year;
  }
  if (parsed.Vdir && (!parsed.Output || *parsed.Output == "-")) {
    rc = UsageError(ctx, "--format vdir needs -o DIR, the folder of the calendar");
    return std::nullopt;
  }
  // A file is always written as the export wizard writes it.
  if (parsed.Encoding && parsed.Output != "-") {
    rc = UsageError(ctx, "--encoding applies to -o - only; files are written in GBK");
    return std::nullopt;
  }
  if (parsed.Ics.NoRest && parsed.Format != TExportType::Ics) {
    rc = UsageError(ctx, "--no-rest applies to --format ics only");
    return std::nullopt;
  }
  if (parsed.Encoding == "gbk" && parsed.Format == TExportType::Ics) {
    rc = UsageError(ctx, "an iCalendar file is always UTF-8");
    return std::nullopt;
  }
  return parsed;
}

// The current folder, as scripts expect, unless that is the data folder,
// which no export goes into by default.
std::string ExportFolder(const std::string& dataFolder) {
  char buf[PATH_MAX];
  const std::string here = ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
  const std::vector<std::string> data = DataFoldersOf(dataFolder);
  const bool isData = std::any_of(data.begin(), data.end(), [&](const std::string& d) { return SameFile(here, d); });
  return isData ? DefaultExportFolder(dataFolder) : here;
}

// The document for -o -: its bytes as they are when they are UTF-8 by their
// format or GBK by choice; else as text that reaches the terminal in its
// charset, an HTML page saying which.
void PrintDocument(TCliContext& ctx, const TExportArgs& args, std::string document) {
  if (args.Format == TExportType::Ics || args.Encoding == "gbk") return WriteBytes(ctx, document);
  document = GbkToUtf8Lossy(document);
  if (args.Format == TExportType::Html) {
    constexpr std::string_view kGbk = "charset=gb2312>";
    std::string charset = args.Encoding ? "utf-8" : ctx.Terminal.Charset;
    std::transform(charset.begin(), charset.end(), charset.begin(), [](unsigned char c) { return std::tolower(c); });
    if (auto at = document.find(kGbk); at != std::string::npos)
      document.replace(at, kGbk.size(), "charset=" + charset + ">");
  }
  if (args.Encoding) return WriteBytes(ctx, document);
  ctx.Out << document;
}

// The user's calendar key: the folder's, else one made now, which takes the
// folder as its writer for that moment. Where none can be kept (the data may
// only be read, or Kadrel holds it) the key follows from the name, and the
// UIDs change once a key is kept: said on stderr.
std::string CliCalendarKey(TCliContext& ctx, const std::string& gbkName) {
  {
    TScheduleFolder folder(ctx.DataDir);
    if (!folder.Open({TFolderAccess::Read}).Failed()) {
      if (auto key = FindUserKey(folder.Tables().Keys, gbkName)) return *key;
    }
  }
  TScheduleFolder folder(ctx.DataDir);
  const TOpenFailure failure = folder.Open({TFolderAccess::Write});
  TScheduleError error;
  if (!failure.Failed()) {
    if (auto key = folder.CalendarKey(gbkName, error)) return *key;
  }
  ctx.Err << "kadrel-cli: warning: " << ShowText(gbkName) << " has no calendar key yet and none can be kept now ("
          << (failure.Failed() ? failure.Text() : error.Text())
          << "); the events' UIDs will change once Kadrel keeps one\n";
  return {};
}

}  // namespace

int CmdExport(TCliContext& ctx) {
  int rc = kExitOk;
  auto args = ParseExportArgs(ctx, rc);
  if (!args) return rc;
  std::optional<TUserSchedule> user;
  if (int loaded = LoadCliSchedule(ctx, args->User, user)) return loaded;

  // The printer still gets a page with the title when no month is chosen;
  // the export wizard writes no file at all.
  if (!args->Range && args->Months.Empty() && args->Format != TExportType::Print) {
    ctx.Err << "kadrel-cli: no month chosen; nothing written\n";
    return kExitOk;
  }
  // Only the calendar file carries the holiday marks, and the key.
  if (args->Format == TExportType::Ics) {
    ReportHolidayMessages(ctx, args->Year, args->Range ? DecodeDate(args->Range->Last).Year : args->Year);
    args->Ics.Key = CliCalendarKey(ctx, user->Name());
  }
  const std::string document =
      args->Range ? BuildIcsRange(*user, args->Range->First, args->Range->Last, IcsTimestampNow(), args->Ics)
                  : BuildYearDocument(*user, args->Year, args->Months, args->Format, args->Ics);
  if (args->Format == TExportType::Ics && !HasIcsEvent(document)) {
    ctx.Err << "kadrel-cli: " << args->User << " has no rotation; the calendar has no events\n";
  }
  if (args->Vdir) {
    TVdirResult done;
    const std::string key = args->Ics.Key.empty() ? KeyOfName(user->Name()) : args->Ics.Key;
    const auto err = WriteVdir(*args->Output, SplitIcsEvents(document), UidPrefix(key), done, DataDirPath(ctx));
    if (err) return DataError(ctx, err->Message + ": " + *args->Output);
    ctx.Out << *args->Output << ": " << done.Written << " written, " << done.Unchanged << " unchanged, "
            << done.Removed << " removed\n";
    return kExitOk;
  }
  if (args->Output && *args->Output == "-") {
    PrintDocument(ctx, *args, document);
    return kExitOk;
  }
  const std::string dataFolder = DataDirPath(ctx);
  const std::string file =
      args->Output ? *args->Output : DefaultExportName(ExportFolder(dataFolder), *user, args->Year, args->Format);
  if (auto err = WriteExportFile(file, document, dataFolder)) {
    return DataError(ctx, err->Message + ": " + file);
  }
  ctx.Out << file << '\n';
  return kExitOk;
}

}  // namespace kadrel
