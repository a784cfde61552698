// The write commands: each opens the three files for reading and writing,
// creating any that is missing, makes its change through the records layer
// that the options dialog uses too (with names trimmed, and every reference
// and place checked against the files), and closes the files.
#include <optional>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

// Prints what the change produced only once every file is closed, so a
// printed ID always names a record that is on disk. A failure after the
// change is committed (compacting after a deletion, closing, printing) is a
// warning: the change is saved, and a retry must not make it twice.
template <class Change>
int WithWritableTables(TCliContext& ctx, Change change) {
  TScheduleFolder folder(ctx.DataDir);
  TOpenFailure failure = folder.Open({TFolderAccess::Write, TWritePolicy::Trimmed});
  if (failure.Failed()) {
    if (failure.Fault == TOpenFault::InUse) failure.Why.Text += "; nothing was changed";
    return FolderError(ctx, failure);
  }
  std::string output;
  TScheduleError editError;
  bool changed = change(folder.Records(), output, editError);
  TScheduleError error;
  bool closed = folder.Close(error);
  if (!changed && editError.Fault != TEditFault::PackFailed) return DataError(ctx, editError.Reason);
  ctx.Saved = output.empty() ? "the change is saved" : "the change is saved as " + output.substr(0, output.find('\n'));
  ctx.Err << ctx.NewDataNote;
  ctx.Out << output;
  if (!changed) ctx.Err << "kadrel-cli: warning: the change is saved; " << editError.Reason << '\n';
  if (!closed) ctx.Err << "kadrel-cli: warning: the change is saved, but " << error.Text() << '\n';
  return kExitOk;
}

// The GBK form of an argument that is to be stored or looked up, checked
// before any file is opened so that a refused argument creates nothing.
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

}  // namespace

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
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string& out, TScheduleError& error) {
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
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string& out, TScheduleError& error) {
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
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    TUserRecord user{0, *name, *shiftId, static_cast<TDateTime>(*start), *first};
    return r.SaveUser(user, error);
  });
}

int CmdDeleteDuty(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    const std::optional<TDutyKindRecord> kind = r.FindDutyKindNamed(*name);
    if (!kind) return error.Fail(TEditFault::NotFound, "no duty kind has that name");
    return r.DeleteDutyKind(kind->ID, error);
  });
}

int CmdDeleteScheme(TCliContext& ctx) {
  auto id = ParseCliInteger(ctx.Args[0]);
  if (!id) return UsageError(ctx, "ID must be an integer");
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    return r.DeleteScheme(*id, error);
  });
}

int CmdDeleteUser(TCliContext& ctx) {
  int rc = kExitOk;
  auto name = NameArgument(ctx, ctx.Args[0], rc);
  if (!name) return rc;
  return WithWritableTables(ctx, [&](TScheduleRecords& r, std::string&, TScheduleError& error) {
    const std::optional<TUserRecord> user = r.FindUser(*name);
    if (!user) return error.Fail(TEditFault::NotFound, "no user has that name");
    return r.DeleteUser(user->Slot, error);
  });
}

}  // namespace kadrel
