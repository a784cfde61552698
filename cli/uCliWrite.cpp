// The write commands of the three files: each opens the data folder for
// writing, creating any of the three that is missing, makes its change
// through the records layer that the options dialog uses too (with names
// trimmed, and every reference and place checked against the files; a user
// through the rota records, so that the user's exceptions and history
// follow), and closes the folder.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

TCliChange Outcome(bool changed, const TScheduleError& error) {
  return {changed || error.Fault == TEditFault::PackFailed, changed ? std::string() : error.Reason};
}

// A change of the three files' records.
int WithRecords(TCliContext& ctx, const std::function<bool(TScheduleRecords&, std::string&, TScheduleError&)>& change) {
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string& output) {
    TScheduleError error;
    const bool changed = change(folder.Records(), output, error);
    return Outcome(changed, error);
  });
}

// A change of a user, which the user's exceptions and history follow.
TCliChange Outcome(bool changed, const TRotaError& error) {
  if (changed) return {true, {}};
  // A table that refused names its file; a refused argument needs no file.
  return {error.Edit == TEditFault::PackFailed, error.Table.Failed() ? error.Text() : error.Reason};
}

}  // namespace

// Prints what the change produced only once every file is closed, so a
// printed ID always names a record that is on disk. A failure after the
// change is committed (compacting after a deletion, closing, printing) is a
// warning: the change is saved, and a retry must not make it twice.
int WithWritableFolder(TCliContext& ctx,
                       const std::function<TCliChange(TScheduleFolder&, std::string& output)>& change) {
  TScheduleFolder folder(ctx.DataDir);
  TOpenFailure failure = folder.Open({TFolderAccess::Write, TWritePolicy::Trimmed});
  if (failure.Failed()) {
    if (failure.Fault == TOpenFault::InUse) failure.Why.Text += "; nothing was changed";
    return FolderError(ctx, failure);
  }
  std::string output;
  const TCliChange outcome = change(folder, output);
  TScheduleError error;
  const bool closed = folder.Close(error);
  if (!outcome.Saved) return DataError(ctx, outcome.Problem);
  ctx.Saved = output.empty() ? "the change is saved" : "the change is saved as " + output.substr(0, output.find('\n'));
  ctx.Err << ctx.NewDataNote;
  ctx.Out << output;
  if (!outcome.Problem.empty()) ctx.Err << "kadrel-cli: warning: the change is saved; " << outcome.Problem << '\n';
  if (!closed) ctx.Err << "kadrel-cli: warning: the change is saved, but " << error.Text() << '\n';
  return kExitOk;
}

std::optional<std::string> NameArgument(TCliContext& ctx, const std::string& utf8, int& rc) {
  auto gbk = Utf8ToGbk(utf8);
  if (!gbk) {
    rc = DataError(ctx, "the name " + utf8 + " cannot be written in GBK");
    return std::nullopt;
  }
  TScheduleError error;
  if (!CheckNameText(*gbk, error)) {
    rc = DataError(ctx, error.Reason);
    return std::nullopt;
  }
  return gbk;
}

std::optional<std::vector<std::int32_t>> ParseCliIdList(std::string_view text) {
  std::vector<std::int32_t> ids;
  while (true) {
    auto comma = text.find(',');
    auto id = ParseCliInteger(text.substr(0, comma));
    if (!id) return std::nullopt;
    ids.push_back(*id);
    if (comma == std::string_view::npos) return ids;
    text.remove_prefix(comma + 1);
  }
}

int CmdAddDuty(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  std::string hint;
  if (ctx.Args.size() > 1) {
    auto gbk = Utf8ToGbk(ctx.Args[1]);
    if (!gbk) return DataError(ctx, "the description cannot be written in GBK");
    TScheduleError error;
    if (!CheckHintText(*gbk, error)) return DataError(ctx, error.Reason);
    hint = *gbk;
  }
  return WithRecords(ctx, [&](TScheduleRecords& r, std::string& out, TScheduleError& error) {
    TDutyKindRecord kind{0, *name, hint};
    if (!r.SaveDutyKind(kind, error)) return false;
    out = std::to_string(kind.ID) + "\n";
    return true;
  });
}

int CmdAddScheme(TCliContext& ctx) {
  auto cycle = ParseCliIdList(ctx.Args[1]);
  if (!cycle) return UsageError(ctx, "the cycle must be duty-kind IDs separated by commas, such as 1,1,2,3");
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  TScheduleError check;
  if (!CheckCycleText(*cycle, check)) return DataError(ctx, check.Reason);
  return WithRecords(ctx, [&](TScheduleRecords& r, std::string& out, TScheduleError& error) {
    TSchemeRecord scheme{0, *name, *cycle};
    if (!r.SaveScheme(scheme, error)) return false;
    out = std::to_string(scheme.ID) + "\n";
    return true;
  });
}

int CmdAddUser(TCliContext& ctx) {
  auto shiftId = ParseCliInteger(ctx.Args[1]);
  if (!shiftId) return UsageError(ctx, "SCHEME-ID must be an integer");
  auto start = ParseCliDate(ctx.Args[2]);
  if (!start) return UsageError(ctx, "START must be YYYY-MM-DD, today, tomorrow, yesterday, +N or -N");
  auto first = ParseCliInteger(ctx.Args[3]);
  if (!first) return UsageError(ctx, "FIRST must be an integer");
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  return WithRecords(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    TUserRecord user{0, *name, *shiftId, static_cast<TDateTime>(*start), *first};
    return r.SaveUser(user, error);
  });
}

int CmdDeleteDuty(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  return WithRecords(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    const std::optional<TDutyKindRecord> kind = r.FindDutyKindNamed(*name);
    if (!kind) return error.Fail(TEditFault::NotFound, "no duty kind has that name");
    return r.DeleteDutyKind(kind->ID, error);
  });
}

int CmdDeleteScheme(TCliContext& ctx) {
  auto id = ParseCliInteger(ctx.Args[0]);
  if (!id) return UsageError(ctx, "ID must be an integer");
  return WithRecords(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    return r.DeleteScheme(*id, error);
  });
}

int CmdDeleteUser(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string&) -> TCliChange {
    const std::optional<TUserRecord> user = folder.Records().FindUser(*name);
    if (!user) return {false, "no user has that name"};
    TRotaError error;
    return Outcome(folder.Rota().DeleteUser(user->Slot, error), error);
  });
}

int CmdRenameUser(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  auto renamed = NameArgument(ctx, ctx.Args[1], rc);
  if (!renamed) return rc;
  if (int data = RequireData(ctx)) return data;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string& output) -> TCliChange {
    std::optional<TUserRecord> user = folder.Records().FindUser(*name);
    if (!user) return {false, NoUserText(ctx, ctx.Args[0])};
    user->Name = *renamed;
    TRotaError error;
    if (!folder.Rota().SaveUser(*user, error)) return Outcome(false, error);
    output = UserLine(folder.Records(), *user) + "\n";
    return {true, {}};
  });
}

}  // namespace kadrel
