// The exceptions and the rotation history from a shell: set, leave, extra,
// swap, note, drop and change-scheme, and the list of a user's exceptions.
// Every change goes through the data folder's rota records, which check
// every rule before anything is written, and prints what it stored in the
// lines `exceptions` lists. They change what a folder holds, so a folder
// without data is reported and gets no new files.
#include "cli/uCliRota.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/uCliCommands.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel {
namespace {

std::string DateText(TDateTime t) { return IsUsableDate(t) ? FormatIsoDate(WholeDays(t)) : std::string(); }

std::string JsonOrNull(std::string_view gbk) { return gbk.empty() ? "null" : JsonText(ShowText(gbk)); }

std::string JsonDate(TDateTime t) {
  const std::string text = DateText(t);
  return text.empty() ? "null" : JsonText(text);
}

// A request's days: FROM and TO as a range command takes them, or one DATE.
std::optional<TCliDayRange> DayArgument(TCliContext& ctx, const std::string& text, int& rc) {
  const auto day = ParseCliDate(text);
  if (!day) {
    rc = UsageError(ctx, "DATE must be YYYY-MM-DD, today, tomorrow, yesterday, +N or -N");
    return std::nullopt;
  }
  return TCliDayRange{*day, *day};
}

// DUTY: "-" for none, an ID, or a duty kind's name (A..Z without case). A
// name two duty kinds share says which IDs they have instead of guessing.
std::optional<std::int32_t> DutyArgument(TScheduleRecords& records, const std::string& utf8, std::string& problem) {
  if (utf8 == "-") return 0;
  if (auto id = ParseCliInteger(utf8)) return id;
  const auto gbk = Utf8ToGbk(utf8);
  std::vector<std::int32_t> ids;
  if (gbk) {
    for (const auto& kind : records.DutyKinds()) {
      if (SameTextIgnoringAZ(TrimBlanks(kind.Name), TrimBlanks(*gbk))) ids.push_back(kind.ID);
    }
  }
  if (ids.size() == 1) return ids.front();
  if (ids.empty()) {
    problem = "no duty kind is called " + utf8;
  } else {
    problem = std::to_string(ids.size());
    problem.append(" duty kinds are called ").append(utf8).append(" (IDs");
    for (std::int32_t id : ids) problem.append(" ").append(std::to_string(id));
    problem += "); give the ID";
  }
  return std::nullopt;
}

// The folder's name for the user, as stored; a message when there is none.
std::optional<std::string> StoredUser(TCliContext& ctx, TScheduleFolder& folder, const std::string& utf8,
                                      std::string& problem) {
  const auto snapshot = folder.Snapshot();
  const auto gbk = Utf8ToGbk(utf8);
  const auto user = gbk ? snapshot->FindUser(*gbk) : std::nullopt;
  if (user) return snapshot->UserName(*user);
  problem = NoUserText(ctx, utf8);
  return std::nullopt;
}

TCliChange Outcome(bool changed, const TRotaError& error) {
  if (changed) return {true, {}};
  return {false, error.Table.Failed() ? error.Text() : error.Reason};
}

// Adds the exception `request` for the user named by the first argument,
// after `prepare` has filled in what needs the folder, and prints what was
// stored (both halves of a swap).
int AddException(TCliContext& ctx, TExceptionRecord request,
                 const std::function<bool(TScheduleFolder&, TExceptionRecord&, std::string&)>& prepare = {}) {
  if (int rc = RequireData(ctx)) return rc;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string& output) -> TCliChange {
    std::string problem;
    const auto user = StoredUser(ctx, folder, ctx.Args[0], problem);
    if (!user || (prepare && !prepare(folder, request, problem))) return {false, problem};
    request.User = *user;
    TRotaError error;
    if (!folder.Rota().AddException(request, error)) return Outcome(false, error);
    const TExceptionText text(folder.Records());
    output = text.Line(request) + '\n';
    if (request.Kind == TExceptionKind::Swap) {
      if (auto half = folder.Rota().FindException(request.Link)) output += text.Line(*half) + '\n';
    }
    return {true, {}};
  });
}

TExceptionRecord Request(TExceptionKind kind, const TCliDayRange& days) {
  TExceptionRecord r;
  r.Kind = kind;
  r.First = static_cast<TDateTime>(days.First);
  r.Last = static_cast<TDateTime>(days.Last);
  return r;
}

// A text argument in GBK, or a data error naming `what`.
std::optional<std::string> TextArgument(TCliContext& ctx, const std::string& utf8, const char* what, int& rc) {
  auto gbk = Utf8ToGbk(utf8);
  if (!gbk) rc = DataError(ctx, std::string(what) + " " + utf8 + " cannot be written in GBK");
  return gbk;
}

// Fills the request's duty kind from the DUTY argument.
auto WithDuty(const std::string& duty) {
  return [&duty](TScheduleFolder& folder, TExceptionRecord& r, std::string& problem) {
    const auto id = DutyArgument(folder.Records(), duty, problem);
    if (id) r.DutyID = *id;
    return id.has_value();
  };
}

}  // namespace

std::string ExceptionKindWord(TExceptionKind kind) {
  switch (kind) {
    case TExceptionKind::Set: return "set";
    case TExceptionKind::Leave: return "leave";
    case TExceptionKind::Extra: return "extra";
    case TExceptionKind::Swap: return "swap";
    case TExceptionKind::Note: return "note";
    case TExceptionKind::None: break;
  }
  std::string word = "kind ";
  return word.append(std::to_string(static_cast<std::int32_t>(kind)));
}

TExceptionText::TExceptionText(TScheduleRecords& records) {
  for (auto& kind : records.DutyKinds()) names_.try_emplace(kind.ID, std::move(kind.Name));
}

std::string TExceptionText::DutyName(std::int32_t id) const {
  const auto it = names_.find(id);
  return it == names_.end() ? DeletedDutyName(id) : it->second;
}

std::string TExceptionText::Line(const TExceptionRecord& r) const {
  std::string duty;
  if (r.Kind == TExceptionKind::Set || r.Kind == TExceptionKind::Extra) {
    duty = r.Kind == TExceptionKind::Set && r.DutyID == 0 ? std::string("-") : ShowText(DutyName(r.DutyID));
  }
  std::string line = std::to_string(r.ID);
  for (const std::string& column : {ShowText(r.User), ExceptionKindWord(r.Kind), DateText(r.First), DateText(r.Last),
                                    duty, ShowText(r.Partner), ShowText(r.Leave), ShowText(r.Note)}) {
    line += '\t';
    line += column;
  }
  return line;
}

std::string TExceptionText::Json(const TExceptionRecord& r) const {
  const bool namesDuty = r.Kind == TExceptionKind::Extra || (r.Kind == TExceptionKind::Set && r.DutyID != 0);
  const std::string duty =
      namesDuty ? TJsonObject().Add("id", r.DutyID).Add("name", JsonText(ShowText(DutyName(r.DutyID)))).Close()
                : "null";
  return TJsonObject()
      .Add("id", r.ID)
      .Add("user", JsonText(ShowText(r.User)))
      .Add("kind", JsonText(ExceptionKindWord(r.Kind)))
      .Add("first", JsonDate(r.First))
      .Add("last", JsonDate(r.Last))
      .Add("duty", duty)
      .Add("partner", JsonOrNull(r.Partner))
      .Add("link", r.Link == 0 ? std::string("null") : std::to_string(r.Link))
      .Add("leave", JsonOrNull(r.Leave))
      .Add("note", JsonOrNull(r.Note))
      .Close();
}

int CmdSet(TCliContext& ctx) {
  int rc = kExitOk;
  const bool to = ctx.Args.size() == 4;
  const auto days = ParseFromTo(ctx, ctx.Args[1], to ? &ctx.Args[2] : nullptr, rc);
  if (!days) return rc;
  return AddException(ctx, Request(TExceptionKind::Set, *days), WithDuty(ctx.Args.back()));
}

// The third argument is TO when it reads as a date, else the leave's kind.
int CmdLeave(TCliContext& ctx) {
  int rc = kExitOk;
  const bool to = ctx.Args.size() == 4 || (ctx.Args.size() == 3 && ParseCliRange(ctx.Args[2]));
  const auto days = ParseFromTo(ctx, ctx.Args[1], to ? &ctx.Args[2] : nullptr, rc);
  if (!days) return rc;
  TExceptionRecord request = Request(TExceptionKind::Leave, *days);
  if (ctx.Args.size() > (to ? 3u : 2u)) {
    auto kind = TextArgument(ctx, ctx.Args.back(), "the leave kind", rc);
    if (!kind) return rc;
    request.Leave = *kind;
  }
  return AddException(ctx, std::move(request));
}

int CmdExtra(TCliContext& ctx) {
  int rc = kExitOk;
  const auto day = DayArgument(ctx, ctx.Args[1], rc);
  if (!day) return rc;
  // "-" is a valid DUTY elsewhere, so this is a refused request, not a misspelt one.
  if (ctx.Args[2] == "-") return DataError(ctx, "an extra shift needs a duty kind, not -");
  return AddException(ctx, Request(TExceptionKind::Extra, *day), WithDuty(ctx.Args[2]));
}

int CmdSwap(TCliContext& ctx) {
  int rc = kExitOk;
  const auto day = DayArgument(ctx, ctx.Args[2], rc);
  if (!day) return rc;
  return AddException(ctx, Request(TExceptionKind::Swap, *day),
                      [&](TScheduleFolder& folder, TExceptionRecord& r, std::string& problem) {
                        const auto partner = StoredUser(ctx, folder, ctx.Args[1], problem);
                        if (partner) r.Partner = *partner;
                        return partner.has_value();
                      });
}

int CmdNote(TCliContext& ctx) {
  int rc = kExitOk;
  const auto day = DayArgument(ctx, ctx.Args[1], rc);
  if (!day) return rc;
  auto note = TextArgument(ctx, ctx.Args[2], "the note", rc);
  if (!note) return rc;
  TExceptionRecord request = Request(TExceptionKind::Note, *day);
  request.Note = *note;
  return AddException(ctx, std::move(request));
}

int CmdExceptions(TCliContext& ctx) {
  int rc = kExitOk;
  TCliDayRange days{kFirstUsableDay, kLastUsableDay};
  if (ctx.Args.size() > 1) {
    const auto range = ParseFromTo(ctx, ctx.Args[1], ctx.Args.size() > 2 ? &ctx.Args[2] : nullptr, rc);
    if (!range) return rc;
    days = *range;
  }
  TScheduleFolder folder(ctx.DataDir);
  if (int opened = OpenCliFolder(ctx, folder)) return opened;
  std::string problem;
  const auto user = StoredUser(ctx, folder, ctx.Args[0], problem);
  if (!user) return DataError(ctx, problem);
  const TExceptionText text(folder.Records());
  const auto list = folder.Rota().ExceptionsOf(*user, static_cast<TDateTime>(days.First),
                                                static_cast<TDateTime>(days.Last));
  const char* separator = "";
  if (ctx.Json) ctx.Out << '[';
  for (const auto& r : list) {
    if (ctx.Json) {
      ctx.Out << separator << text.Json(r);
      separator = ",";
    } else {
      ctx.Out << text.Line(r) << '\n';
    }
  }
  if (ctx.Json) ctx.Out << "]\n";
  return kExitOk;
}

int CmdDrop(TCliContext& ctx) {
  const auto id = ParseCliInteger(ctx.Args[0]);
  if (!id) return UsageError(ctx, "ID must be an integer");
  if (int rc = RequireData(ctx)) return rc;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string& output) {
    std::vector<TExceptionRecord> dropped;
    TRotaError error;
    if (!folder.Rota().DropException(*id, dropped, error)) return Outcome(false, error);
    const TExceptionText text(folder.Records());
    for (const auto& r : dropped) output += text.Line(r) + '\n';
    return TCliChange{true, {}};
  });
}

// Prints the user's new assignment as `users` lists it.
int CmdChangeScheme(TCliContext& ctx) {
  int rc = kExitOk;
  const auto day = DayArgument(ctx, ctx.Args[1], rc);
  if (!day) return rc;
  const auto shiftId = ParseCliInteger(ctx.Args[2]);
  if (!shiftId) return UsageError(ctx, "SCHEME-ID must be an integer");
  const auto first = ParseCliInteger(ctx.Args[3]);
  if (!first) return UsageError(ctx, "FIRST must be an integer");
  if (int data = RequireData(ctx)) return data;
  return WithWritableFolder(ctx, [&](TScheduleFolder& folder, std::string& output) -> TCliChange {
    std::string problem;
    const auto user = StoredUser(ctx, folder, ctx.Args[0], problem);
    if (!user) return {false, problem};
    TRotaError error;
    if (!folder.Rota().ChangeScheme(*user, static_cast<TDateTime>(day->First), *shiftId, *first, error)) {
      return Outcome(false, error);
    }
    if (auto changed = folder.Records().FindUser(*user)) output = UserLine(folder.Records(), *changed) + '\n';
    return {true, {}};
  });
}

}  // namespace kadrel
