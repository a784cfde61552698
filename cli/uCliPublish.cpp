// kadrel-cli publish: a user's resolved rota put on a CalDAV server, only
// what changed since the last publish, through the same code as the
// dialog 同步到手机日历….
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/uCliCommands.h"
#include "output/uPublishUser.h"
#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "platform/uSecrets.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

struct TPublishArgs {
  std::string User;
  std::string Url;
  std::string Account;
  std::optional<std::string> PasswordFile;
  std::string Calendar;
  bool Overwrite = false;
  std::vector<std::string> Range;
};

struct TPublishOption {
  std::string_view Name;
  bool TakesValue;
  void (*Set)(TPublishArgs&, std::string);
};
constexpr TPublishOption kPublishOptions[] = {
    {"--user", true, [](TPublishArgs& a, std::string v) { a.Account = std::move(v); }},
    {"--password-file", true, [](TPublishArgs& a, std::string v) { a.PasswordFile = std::move(v); }},
    {"--calendar", true, [](TPublishArgs& a, std::string v) { a.Calendar = std::move(v); }},
    {"--overwrite", false, [](TPublishArgs& a, std::string) { a.Overwrite = true; }},
};

std::optional<TPublishArgs> ParsePublishArgs(TCliContext& ctx, int& rc) {
  TPublishArgs parsed;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < ctx.Args.size(); ++i) {
    const std::string& a = ctx.Args[i];
    const TPublishOption* option = nullptr;
    for (const TPublishOption& o : kPublishOptions) {
      if (a == o.Name) option = &o;
    }
    if (option && !option->TakesValue) {
      option->Set(parsed, {});
    } else if (option) {
      if (i + 1 >= ctx.Args.size() || ctx.Args[i + 1].empty()) {
        rc = UsageError(ctx, a + " needs a value");
        return std::nullopt;
      }
      option->Set(parsed, ctx.Args[++i]);
    } else if (a.starts_with("--")) {
      rc = UsageError(ctx, "unknown option " + a);
      return std::nullopt;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2 || positional.size() > 4) {
    rc = UsageError(ctx, "publish needs a user name, the server's address, and FROM TO or neither");
    return std::nullopt;
  }
  parsed.User = positional[0];
  parsed.Url = positional[1];
  parsed.Range.assign(positional.begin() + 2, positional.end());
  return parsed;
}

std::optional<TCliDayRange> PublishRange(TCliContext& ctx, const TPublishArgs& args, int& rc) {
  if (args.Range.empty()) {
    const std::int64_t today = WholeDays(Today());
    return TCliDayRange{today - kPublishDaysBack, today + kPublishDaysAhead};
  }
  auto range = ParseFromTo(ctx, args.Range[0], args.Range.size() > 1 ? &args.Range[1] : nullptr, rc);
  if (range && range->Last - range->First + 1 > kMaxCalendarDays) {
    rc = UsageError(ctx, "a calendar covers at most ten years");
    return std::nullopt;
  }
  return range;
}

// From the file named, else as the dialog kept it; never from the command
// line. An account without a user name is published to without one.
std::optional<std::string> Password(TCliContext& ctx, const TPublishArgs& args, int& rc) {
  std::string why;
  if (args.PasswordFile) {
    auto password = ReadPasswordFile(*args.PasswordFile, why);
    if (!password) rc = DataError(ctx, "cannot use the password file " + *args.PasswordFile + ": " + why);
    return password;
  }
  if (args.Account.empty()) return std::string();
  const std::string server = DavServerName(args.Url);
  TPasswordStore store;
  auto password = store.Lookup(server, args.Account, why);
  if (password) return password;
  rc = DataError(ctx, why.empty() ? "no password is kept for " + args.Account + " on calendar server " + server +
                                        "; give --password-file FILE, or save it once in Kadrel's dialog 同步到手机日历…"
                                  : "cannot read the password kept for " + args.Account + ": " + why);
  return std::nullopt;
}

}  // namespace

int CmdPublish(TCliContext& ctx) {
  int rc = kExitOk;
  auto args = ParsePublishArgs(ctx, rc);
  if (!args) return rc;
  auto range = PublishRange(ctx, *args, rc);
  if (!range) return rc;
  if (DavServerName(args->Url).empty()) return UsageError(ctx, "URL is not an address: " + args->Url);
  auto password = Password(ctx, *args, rc);
  if (!password) return rc;
  const auto gbk = Utf8ToGbk(args->User);
  if (int missing = RequireData(ctx)) return missing;

  // The records and the key are written, so the folder opens as a writer.
  TScheduleFolder folder(ctx.DataDir);
  TOpenFailure failure = folder.Open({TFolderAccess::Write, TWritePolicy::Trimmed});
  if (failure.Failed()) {
    if (failure.Fault == TOpenFault::InUse) failure.Why.Text += "; nothing was published";
    return FolderError(ctx, failure);
  }
  const auto snapshot = folder.Snapshot();
  const auto index = gbk ? snapshot->FindUser(*gbk) : std::nullopt;
  if (!index) return DataError(ctx, "no user named " + args->User + " in " + DescribeDataDir(ctx));
  TUserPublish how;
  how.Account.Url = args->Url;
  how.Account.User = args->Account;
  how.Account.Password = *password;
  how.CalendarName = args->Calendar;
  how.First = range->First;
  how.Last = range->Last;
  how.Overwrite = args->Overwrite;
  const TPublishResult result = PublishUser(folder, *gbk, how);
  TScheduleError closeError;
  const bool closed = folder.Close(closeError);
  if (!result.Ok() || !result.Conflicts.empty()) {
    std::string text = result.Text();
    if (!result.Conflicts.empty() && result.Ok()) {
      text = "calendar server " + DavServerName(result.Calendar) + ": " + text +
             "; --overwrite replaces them with Kadrel's";
    }
    return DataError(ctx, text);
  }
  ctx.Out << result.Calendar << ": " << result.Text() << '\n';
  if (!closed) ctx.Err << "kadrel-cli: warning: " << closeError.Text() << '\n';
  return kExitOk;
}

}  // namespace kadrel
