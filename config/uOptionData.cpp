#include "config/uOptionData.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "platform/uGbk.h"

namespace kadrel {
namespace {


bool WriteFault(TTableStream& table, TEditError& error, const char* what) {
  const std::string& why = table.ErrorString();
  return error.Fail(TEditFault::WriteFailed, std::string(what) + (why.empty() ? "" : ": " + why));
}

// Every live slot in order, the cursor standing on it while `visit` runs.
template <typename TVisit>
void ForEachLive(TTableStream& table, TVisit visit) {
  if (!table.IsOpen() || table.RecordCount() == 0) return;
  for (table.First(); !table.Eof(); table.Next()) {
    if (!table.IsDeleted()) visit();
  }
}

std::string DutyKindName(TTableStream& work, std::int32_t id) {
  if (id < 0 || !LocateLiveInteger(work, "ID", id)) return {};
  return work.FieldByName("Name").AsString();
}

}  // namespace

bool SeekLiveSlot(TTableStream& table, std::int32_t slot) {
  if (!table.IsOpen() || slot < 1 || slot > table.RecordCount()) return false;
  table.First();
  if (slot > 1 && !table.MoveBy(slot - 1)) return false;
  return table.CurrentSlot() == slot && !table.IsDeleted();
}

std::string LongTimeText(TDateTime t) {
  if (!std::isfinite(t)) return {};
  constexpr long long kMsPerDay = 86400000;
  long long ms = std::llround(std::fabs(t - std::trunc(t)) * kMsPerDay);
  if (ms >= kMsPerDay) ms = kMsPerDay - 1;  // a fraction a hair below 1 is still 23:59:59
  const long long seconds = ms / 1000;
  char text[16];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

std::int32_t SchemePlaceId(TTableStream& shift, std::int32_t place) {
  if (place < 0 || shift.FieldByName("Count").AsInteger() < place) return -1;
  const auto tokens = ReadWorkList(shift.FieldByName("worklist").AsString());
  if (static_cast<std::size_t>(place) >= tokens.size() || !tokens[static_cast<std::size_t>(place)]) return -1;
  return *tokens[static_cast<std::size_t>(place)];
}

std::vector<TUserRow> ReadUserRows(TTableStream& users, TTableStream& shift, TTableStream& work) {
  std::vector<TUserRow> rows;
  ForEachLive(users, [&] {
    TUserRow row;
    row.Slot = users.CurrentSlot();
    row.Name = users.FieldByName("Name").AsString();
    const std::int32_t shiftId = users.FieldByName("ShiftID").AsInteger();
    if (shift.IsOpen() && shift.LocateInteger("ID", shiftId)) {
      row.SchemeName = shift.FieldByName("Name").AsString();
      const std::int32_t dutyId = SchemePlaceId(shift, users.FieldByName("FirstID").AsInteger());
      row.StartText = LongTimeText(users.FieldByName("Start").AsDateTime()) + DutyKindName(work, dutyId);
    }
    rows.push_back(std::move(row));
  });
  return rows;
}

std::vector<std::string> SchemeCycleNames(TTableStream& shift, TTableStream& work, std::int32_t id) {
  static const std::string kNotFound = GbkLiteral("没有找到");
  std::vector<std::string> names;
  if (!shift.IsOpen() || !shift.LocateInteger("ID", id)) return names;
  for (const auto& token : ReadWorkList(shift.FieldByName("worklist").AsString())) {
    if (!token) {
      names.push_back(kNotFound);
    } else if (LocateLiveInteger(work, "ID", *token)) {
      names.push_back(work.FieldByName("Name").AsString());
    }
  }
  return names;
}

std::vector<TSchemeInfo> ReadSchemes(TTableStream& shift, TTableStream* work) {
  std::vector<TSchemeInfo> schemes;
  std::vector<std::string> cycles;
  ForEachLive(shift, [&] {
    schemes.push_back({shift.FieldByName("ID").AsInteger(), shift.FieldByName("Name").AsString(), {}});
    cycles.push_back(shift.FieldByName("worklist").AsString());
  });
  // Resolved after the walk: ResolveWorkList moves only the duty kinds'
  // cursor, but the walk should not depend on that.
  if (work) {
    for (std::size_t i = 0; i < schemes.size(); ++i) {
      schemes[i].Entries = ResolveWorkList(*work, cycles[i], std::numeric_limits<std::size_t>::max());
    }
  }
  return schemes;
}

std::vector<TDutyKindInfo> ReadDutyKinds(TTableStream& work) {
  std::vector<TDutyKindInfo> kinds;
  ForEachLive(work, [&] {
    kinds.push_back({work.FieldByName("ID").AsInteger(), work.FieldByName("Name").AsString(),
                     work.FieldByName("Hint").AsString()});
  });
  return kinds;
}

bool CheckTypedName(std::string_view typed, bool mayBeEmpty, TEditError& error) {
  if (!(mayBeEmpty && TrimBlanks(typed).empty()) && !CheckNameText(typed, error)) return false;
  if (typed.size() > kNameMaxBytes) {
    return error.Fail(TEditFault::TooLong,
                "the name takes " + std::to_string(typed.size()) + " bytes with its blanks; the field holds at most " +
                    std::to_string(kNameMaxBytes));
  }
  for (char c : typed) {
    if (static_cast<unsigned char>(c) < 0x20) return error.Fail(TEditFault::BadText, "the name holds a control character");
  }
  return error.Succeed();
}

bool OtherUserHasName(TTableStream& users, std::string_view name, std::int32_t exceptSlot) {
  const std::string_view wanted = TrimBlanks(name);
  bool found = false;
  ForEachLive(users, [&] {
    if (!found && users.CurrentSlot() != exceptSlot) {
      found = SameTextIgnoringAZ(users.FieldByName("Name").AsString(), wanted);
    }
  });
  return found;
}

bool WriteUser(TTableStream& users, std::int32_t slot, const TUserRecord& user, TEditError& error) {
  if (!users.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the users file is not open");
  if (!CheckTypedName(user.Name, false, error)) return false;
  if (slot == 0) {
    if (!users.Append()) return WriteFault(users, error, "the users file cannot take a new record");
  } else {
    if (!SeekLiveSlot(users, slot)) return error.Fail(TEditFault::NotFound, "the user is no longer in the file");
    if (!users.Edit()) return WriteFault(users, error, "the user cannot be changed");
  }
  if (!users.SetText(kUserName, user.Name) || !users.SetInteger(kUserShiftID, user.ShiftID) ||
      !users.SetFloat(kUserStart, user.Start) || !users.SetInteger(kUserFirstID, user.FirstID)) {
    return error.Fail(TEditFault::WriteFailed, "the users file does not have the expected fields");
  }
  if (!users.Post()) return WriteFault(users, error, "writing the users file failed");
  return error.Succeed();
}

bool DeleteUserThenPack(TTableStream& users, std::int32_t slot, bool remove, TEditError& error) {
  if (!users.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the users file is not open");
  if (remove && SeekLiveSlot(users, slot) && !users.Delete()) {
    return WriteFault(users, error, "deleting the user failed");
  }
  if (!users.Pack()) return error.Fail(TEditFault::PackFailed, "compacting the users file failed: " + users.ErrorString());
  return error.Succeed();
}

bool UpdateDutyKind(TTableStream& work, std::int32_t id, std::string_view name, std::string_view hint,
                    TEditError& error) {
  const std::string_view n = TrimBlanks(name), h = TrimBlanks(hint);
  if (!CheckNameText(n, error) || !CheckHintText(h, error)) return false;
  if (!LocateLiveInteger(work, "ID", id)) return error.Fail(TEditFault::NotFound, "the duty kind is no longer in the file");
  if (!work.Edit()) return WriteFault(work, error, "the duty kind cannot be changed");
  if (!work.SetText(kWorkName, n) || !work.SetText(kWorkHint, h)) {
    return error.Fail(TEditFault::WriteFailed, "the duty-kinds file does not have the expected fields");
  }
  if (!work.Post()) return WriteFault(work, error, "writing the duty-kinds file failed");
  return error.Succeed();
}

bool DeleteDutyKindById(TTableStream& work, std::int32_t id, TEditError& error) {
  if (!LocateLiveInteger(work, "ID", id)) return error.Fail(TEditFault::NotFound, "the duty kind is no longer in the file");
  if (!work.Delete()) return WriteFault(work, error, "deleting the duty kind failed");
  if (!work.Pack()) return error.Fail(TEditFault::PackFailed, "compacting the duty-kinds file failed: " + work.ErrorString());
  return error.Succeed();
}

bool WriteScheme(TTableStream& shift, std::int32_t& id, std::string_view name, const std::vector<std::int32_t>& ids,
                 TEditError& error) {
  if (!shift.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the schemes file is not open");
  if (!CheckTypedName(name, true, error) || !CheckCycleText(ids, error)) return false;
  std::int32_t newId = id;
  if (id == 0) {
    // The identifier is taken before Append: an appended count at its limit
    // must be refused while the table can still say no.
    if (shift.AppendedCount() >= std::numeric_limits<std::int32_t>::max()) {
      return error.Fail(TEditFault::WriteFailed, "the schemes file has no identifiers left");
    }
    newId = shift.AppendedCount() + 1;
    if (!shift.Append()) return WriteFault(shift, error, "the schemes file cannot take a new record");
  } else {
    if (!LocateLiveInteger(shift, "ID", id)) return error.Fail(TEditFault::NotFound, "the scheme is no longer in the file");
    if (!shift.Edit()) return WriteFault(shift, error, "the scheme cannot be changed");
  }
  if (!shift.SetInteger(kShiftID, newId) || !shift.SetInteger(kShiftCount, static_cast<std::int32_t>(ids.size())) ||
      !shift.SetText(kShiftName, name) || !shift.SetText(kShiftWorkList, WriteWorkList(ids))) {
    return error.Fail(TEditFault::WriteFailed, "the schemes file does not have the expected fields");
  }
  if (!shift.Post()) return WriteFault(shift, error, "writing the schemes file failed");
  id = newId;
  return error.Succeed();
}

}  // namespace kadrel
