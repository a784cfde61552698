#include "store/uScheduleFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

constexpr std::int16_t kInteger = 1, kText = 3, kDate = 4;

constexpr std::array<TFieldSpec, 4> kShiftSchema = {{
    {"ID", kInteger, 4}, {"Count", kInteger, 4}, {"Name", kText, 10}, {"worklist", kText, 200}}};
constexpr std::array<TFieldSpec, 3> kWorkSchema = {{
    {"ID", kInteger, 4}, {"Name", kText, 10}, {"Hint", kText, 50}}};
constexpr std::array<TFieldSpec, 4> kUserSchema = {{
    {"Name", kText, 10}, {"ShiftID", kInteger, 4}, {"Start", kDate, 8}, {"FirstID", kInteger, 4}}};

constexpr std::int32_t RecordSize(std::span<const TFieldSpec> schema) {
  std::int32_t size = 0;
  for (const auto& f : schema) size += f.Width;
  return size;
}
constexpr std::int32_t DataStart(std::span<const TFieldSpec> schema) {
  return 64 + 32 * static_cast<std::int32_t>(schema.size());
}

// The record sizes and data starts the files have always had.
static_assert(RecordSize(kShiftSchema) == 218 && DataStart(kShiftSchema) == 192);
static_assert(RecordSize(kWorkSchema) == 64 && DataStart(kWorkSchema) == 160);
static_assert(RecordSize(kUserSchema) == 26 && DataStart(kUserSchema) == 192);
static_assert(kShiftSchema[kShiftWorkList].Width == kWorkListMaxBytes + 1);
static_assert(kWorkSchema[kWorkName].Width == kNameMaxBytes + 1);
static_assert(kWorkSchema[kWorkHint].Width == kHintMaxBytes + 1);
static_assert(kUserSchema[kUserName].Width == kNameMaxBytes + 1);
static_assert(kShiftSchema[kShiftName].Width == kNameMaxBytes + 1);

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::optional<std::int32_t> ParseId(std::string_view token) {
  token = TrimBlanks(token);
  if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (token.empty() || ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

char LowerAZ(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }


// The table names its file by the path it was given; callers here name it
// by its bare name, so the path is taken off.
std::string TableReason(TTableStream& table, const char* fallback) {
  std::string_view why = table.ErrorString();
  std::string prefix = table.FileName() + ": ";
  if (why.starts_with(prefix)) why.remove_prefix(prefix.size());
  return why.empty() ? std::string(fallback) : std::string(why);
}

// What a name or a description must be before it may go into a field.
bool CheckText(std::string_view text, std::size_t maxBytes, bool isName, const char* what,
               TEditError& error) {
  if (isName && text.empty()) return error.Fail(TEditFault::EmptyName, std::string(what) + " is empty");
  if (text.size() > maxBytes) {
    return error.Fail(TEditFault::TooLong,
                std::string(what) + " takes " + std::to_string(text.size()) +
                    " bytes in GBK; the field holds at most " + std::to_string(maxBytes));
  }
  for (char c : text) {
    // A zero byte would end the stored text early; names are single-line.
    if (c == '\0' || (isName && IsBlank(c) && c != ' ')) {
      return error.Fail(TEditFault::BadText, std::string(what) + " holds a control character");
    }
  }
  if (!GbkToUtf8(text)) return error.Fail(TEditFault::BadText, std::string(what) + " is not valid GBK text");
  return true;
}

bool CheckOpen(TTableStream& table, TEditError& error) {
  if (table.IsOpen()) return true;
  return error.Fail(TEditFault::WriteFailed, "the data file is not open");
}

// Takes the next identifier before Append, because a table in insert state
// cannot be taken back to browse without posting.
bool NextId(TTableStream& table, std::int32_t& id, TEditError& error) {
  if (table.AppendedCount() >= std::numeric_limits<std::int32_t>::max()) {
    return error.Fail(TEditFault::WriteFailed, "the data file has no identifiers left");
  }
  id = table.AppendedCount() + 1;
  return true;
}

bool PostOrFail(TTableStream& table, TEditError& error) {
  if (table.Post()) return true;
  return error.Fail(TEditFault::WriteFailed, "writing the data file failed: " + TableReason(table, "unknown error"));
}

bool AppendOrFail(TTableStream& table, TEditError& error) {
  if (table.Append()) return true;
  return error.Fail(TEditFault::WriteFailed,
              "the data file cannot take a new record: " + TableReason(table, "not in browse state"));
}

bool DeleteCurrent(TTableStream& table, bool pack, TEditError& error) {
  if (!table.Delete()) {
    return error.Fail(TEditFault::WriteFailed, "deleting the record failed: " + TableReason(table, "unknown error"));
  }
  if (pack && !table.Pack()) {
    return error.Fail(TEditFault::PackFailed,
                "the record is deleted, but compacting the file failed: " + TableReason(table, "unknown error"));
  }
  return error.Succeed();
}

// Builds the file under a temporary name and links it in place, so that a
// crash leaves no torn file and a file that appeared meanwhile is never
// replaced (only an empty one, which an older version's crash leaves).
bool CreateScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                        std::string& error) {
  const char* name = ScheduleFileName(file);
  if (!table.CreateTable(path, TTableStream::TCreateMode::KeepExisting)) {
    error = std::string(name) + ": cannot create: " + TableReason(table, "unknown error");
    return false;
  }
  bool written = true;
  for (const auto& f : ScheduleSchema(file)) written = written && table.Fields().AddField(f.Name, f.Type, f.Width);
  written = table.Close() && written;
  if (!written) error = std::string(name) + ": cannot create: " + TableReason(table, "unknown error");
  return written;
}

}  // namespace

const char* ScheduleFileName(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return "shiftdat.kd2";
    case TScheduleFile::Work: return "workdat.kd2";
    case TScheduleFile::User: return "userdat.kd2";
  }
  return "";
}

std::string SchedulePath(const std::string& dir, TScheduleFile file) {
  if (dir.empty()) return ScheduleFileName(file);
  return (std::filesystem::path(dir) / ScheduleFileName(file)).string();
}

std::span<const TFieldSpec> ScheduleSchema(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return kShiftSchema;
    case TScheduleFile::Work: return kWorkSchema;
    case TScheduleFile::User: return kUserSchema;
  }
  return {};
}

bool HasScheduleSchema(TTableStream& table, TScheduleFile file, std::string& error) {
  auto schema = ScheduleSchema(file);
  TFields& fields = table.Fields();
  bool same = fields.Count() == static_cast<int>(schema.size());
  for (std::size_t i = 0; same && i < schema.size(); ++i) {
    TFieldDef def = fields.Field(static_cast<int>(i));
    same = def.Name.size() == schema[i].Name.size() && def.Type == schema[i].Type &&
           def.Width == schema[i].Width;
    for (std::size_t c = 0; same && c < def.Name.size(); ++c) {
      same = LowerAZ(def.Name[c]) == LowerAZ(schema[i].Name[c]);
    }
  }
  if (!same) error = std::string(ScheduleFileName(file)) + ": its fields are not those of this file";
  return same;
}

bool ScheduleFileMissing(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && st.st_size == 0;
}

bool OpenScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                      std::uint16_t mode, std::string& error) {
  const char* name = ScheduleFileName(file);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) {
    error = std::string(name) + ": no such file";
    return false;
  }
  if (ScheduleFileMissing(path)) {
    error = std::string(name) + ": the file is empty (its creation was interrupted); Kadrel or a write command creates it again";
    return false;
  }
  if (!table.SetOpenMode(mode)) {
    error = std::string(name) + ": the table is already open";
    return false;
  }
  if (!table.Open(path)) {
    error = std::string(name) + ": " + TableReason(table, "cannot open the file");
    return false;
  }
  return HasScheduleSchema(table, file, error);
}

bool OpenOrCreateScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                              std::string& error) {
  std::string createError;
  // Whatever lies at the name once the creation is over is opened, ours or
  // not: a damaged file is reported, never overwritten.
  const bool missing = ScheduleFileMissing(path);
  if (missing) CreateScheduleFile(table, file, path, createError);
  if (OpenScheduleFile(table, file, path, TTableStream::kModeReadWrite, error)) return true;
  if (missing && ScheduleFileMissing(path) && !createError.empty()) error = createError;
  return false;
}

TTableStream& TScheduleTables::Table(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return Shift;
    case TScheduleFile::Work: return Work;
    case TScheduleFile::User: break;
  }
  return User;
}

bool OpenScheduleTables(TScheduleTables& tables, const std::string& dir, TScheduleAccess access,
                        std::string& error) {
  for (TScheduleFile file : kScheduleFiles) {
    std::string path = SchedulePath(dir, file);
    bool ok = access == TScheduleAccess::Write
                  ? OpenOrCreateScheduleFile(tables.Table(file), file, path, error)
                  : OpenScheduleFile(tables.Table(file), file, path, TTableStream::kModeReadShared, error);
    if (!ok) return false;
  }
  return true;
}

bool CloseScheduleTables(TScheduleTables& tables, std::string& error) {
  bool ok = true;
  for (TScheduleFile file : kScheduleFiles) {
    TTableStream& table = tables.Table(file);
    if (table.IsOpen() && !table.Close()) {
      if (ok) error = std::string(ScheduleFileName(file)) + ": " + TableReason(table, "closing failed");
      ok = false;
    }
  }
  return ok;
}

std::vector<std::optional<std::int32_t>> ReadWorkList(std::string_view text) {
  std::vector<std::optional<std::int32_t>> tokens;
  for (auto hash = text.find('#'); hash != std::string_view::npos; hash = text.find('#')) {
    tokens.push_back(ParseId(text.substr(0, hash)));
    text.remove_prefix(hash + 1);
  }
  return tokens;
}

std::vector<std::int32_t> WorkListIds(std::string_view text) {
  std::vector<std::int32_t> ids;
  for (const auto& token : ReadWorkList(text)) {
    if (token) ids.push_back(*token);
  }
  return ids;
}

std::string WriteWorkList(const std::vector<std::int32_t>& ids) {
  std::string text;
  for (std::int32_t id : ids) {
    text += std::to_string(id);
    text += '#';
  }
  return text;
}

std::vector<TResolvedEntry> ResolveWorkList(TTableStream& work, std::string_view text, std::size_t limit) {
  std::vector<TResolvedEntry> cycle;
  // A long cycle repeats a handful of duty kinds; each is looked up once.
  std::vector<std::pair<std::int32_t, std::optional<std::string>>> known;
  for (std::int32_t id : WorkListIds(text)) {
    if (cycle.size() >= limit) break;
    auto it = known.begin();
    while (it != known.end() && it->first != id) ++it;
    if (it == known.end()) {
      std::optional<std::string> name;
      if (LocateLiveInteger(work, "ID", id)) name = work.FieldByName("Name").AsString();
      known.emplace_back(id, std::move(name));
      it = known.end() - 1;
    }
    if (it->second) cycle.push_back({id, *it->second});
  }
  return cycle;
}

bool SameTextIgnoringAZ(std::string_view a, std::string_view b) { return GbkEqualFoldAZ(a, b); }

// The table's own search is the fast path; a deleted slot holds its old
// values, so a match on one is passed over and the walk goes on from there.
bool LocateLiveText(TTableStream& table, std::string_view field, std::string_view text) {
  if (!table.IsOpen() || !table.LocateText(field, text)) return false;
  while (table.IsDeleted()) {
    do {
      if (!table.Next()) return false;
    } while (!SameTextIgnoringAZ(table.FieldByName(field).AsString(), text));
  }
  return true;
}

bool LocateLiveInteger(TTableStream& table, std::string_view field, std::int32_t value) {
  if (!table.IsOpen() || !table.LocateInteger(field, value)) return false;
  while (table.IsDeleted()) {
    do {
      if (!table.Next()) return false;
    } while (table.FieldByName(field).AsInteger() != value);
  }
  return true;
}

std::int32_t LiveRecordCount(TTableStream& table) {
  if (!table.IsOpen()) return 0;
  return table.RecordCount() - table.DeletedCount();
}

bool CheckNameText(std::string_view name, TEditError& error) {
  return CheckText(TrimBlanks(name), kNameMaxBytes, true, "the name", error) && error.Succeed();
}

bool CheckHintText(std::string_view hint, TEditError& error) {
  return CheckText(TrimBlanks(hint), kHintMaxBytes, false, "the description", error) && error.Succeed();
}

bool CheckCycleText(const std::vector<std::int32_t>& cycle, TEditError& error) {
  std::size_t bytes = WriteWorkList(cycle).size();
  if (bytes <= kWorkListMaxBytes) return error.Succeed();
  return error.Fail(TEditFault::TooLong,
              "the cycle takes " + std::to_string(bytes) + " bytes; the field holds at most " +
                  std::to_string(kWorkListMaxBytes));
}

bool AddDutyKind(TTableStream& work, std::string_view name, std::string_view hint, std::int32_t& id,
                 TEditError& error) {
  std::string_view n = TrimBlanks(name), h = TrimBlanks(hint);
  if (!CheckOpen(work, error) || !CheckText(n, kNameMaxBytes, true, "the name", error) ||
      !CheckText(h, kHintMaxBytes, false, "the description", error)) {
    return false;
  }
  std::int32_t newId = 0;
  if (!NextId(work, newId, error) || !AppendOrFail(work, error)) return false;
  if (!work.SetInteger(kWorkID, newId) || !work.SetText(kWorkName, n) || !work.SetText(kWorkHint, h)) {
    return error.Fail(TEditFault::WriteFailed, "the duty-kinds file does not have the expected fields");
  }
  if (!PostOrFail(work, error)) return false;
  id = newId;
  return error.Succeed();
}

bool AddScheme(TTableStream& shift, TTableStream& work, std::string_view name,
               const std::vector<std::int32_t>& cycle, std::int32_t& id, TEditError& error) {
  std::string_view n = TrimBlanks(name);
  if (!CheckOpen(shift, error) || !CheckText(n, kNameMaxBytes, true, "the name", error)) return false;
  for (std::int32_t dutyId : cycle) {
    if (!LocateLiveInteger(work, "ID", dutyId)) {
      return error.Fail(TEditFault::BadReference, "no duty kind has the ID " + std::to_string(dutyId));
    }
  }
  if (!CheckCycleText(cycle, error)) return false;
  std::string text = WriteWorkList(cycle);
  std::int32_t newId = 0;
  if (!NextId(shift, newId, error) || !AppendOrFail(shift, error)) return false;
  if (!shift.SetInteger(kShiftID, newId) || !shift.SetInteger(kShiftCount, static_cast<std::int32_t>(cycle.size())) ||
      !shift.SetText(kShiftName, n) || !shift.SetText(kShiftWorkList, text)) {
    return error.Fail(TEditFault::WriteFailed, "the schemes file does not have the expected fields");
  }
  if (!PostOrFail(shift, error)) return false;
  id = newId;
  return error.Succeed();
}

bool AddUser(TScheduleTables& tables, std::string_view name, std::int32_t shiftId, TDateTime start,
             std::int32_t firstId, TEditError& error) {
  std::string_view n = TrimBlanks(name);
  if (!CheckOpen(tables.User, error) || !CheckText(n, kNameMaxBytes, true, "the name", error)) return false;
  if (LocateLiveText(tables.User, "Name", n)) {
    return error.Fail(TEditFault::Duplicate, "a user of that name already exists");
  }
  if (!IsUsableDate(start)) return error.Fail(TEditFault::BadDate, "the start is not a date of the years 1 to 9999");

  // 0 is how a user without a scheme is stored, and only while there is no
  // scheme to choose; otherwise the scheme must be one that can be chosen.
  std::size_t places = 0;
  if (shiftId == 0 && LiveRecordCount(tables.Shift) == 0) {
    places = 0;
  } else if (LocateLiveInteger(tables.Shift, "ID", shiftId)) {
    std::int32_t count = tables.Shift.FieldByName("Count").AsInteger();
    std::string text = tables.Shift.FieldByName("worklist").AsString();
    places = count > 0 ? ResolveWorkList(tables.Work, text, static_cast<std::size_t>(count)).size() : 0;
  } else {
    return error.Fail(TEditFault::BadReference, "no scheme has the ID " + std::to_string(shiftId));
  }
  bool placeOk = places == 0 ? firstId == 0 : (firstId >= 0 && static_cast<std::size_t>(firstId) < places);
  if (!placeOk) {
    return error.Fail(TEditFault::BadPlace,
                "the first place must be from 0 to " + std::to_string(places == 0 ? 0 : places - 1));
  }

  if (!AppendOrFail(tables.User, error)) return false;
  if (!tables.User.SetText(kUserName, n) || !tables.User.SetInteger(kUserShiftID, shiftId) ||
      !tables.User.SetFloat(kUserStart, start) || !tables.User.SetInteger(kUserFirstID, firstId)) {
    return error.Fail(TEditFault::WriteFailed, "the users file does not have the expected fields");
  }
  if (!PostOrFail(tables.User, error)) return false;
  return error.Succeed();
}

bool DeleteDutyKind(TTableStream& work, std::string_view name, TEditError& error) {
  if (!CheckOpen(work, error)) return false;
  if (!LocateLiveText(work, "Name", name)) return error.Fail(TEditFault::NotFound, "no duty kind has that name");
  return DeleteCurrent(work, true, error);
}

bool DeleteScheme(TTableStream& shift, std::int32_t id, TEditError& error) {
  if (!CheckOpen(shift, error)) return false;
  if (!LocateLiveInteger(shift, "ID", id)) {
    return error.Fail(TEditFault::NotFound, "no scheme has the ID " + std::to_string(id));
  }
  return DeleteCurrent(shift, false, error);
}

bool DeleteUser(TTableStream& user, std::string_view name, TEditError& error) {
  if (!CheckOpen(user, error)) return false;
  if (!LocateLiveText(user, "Name", name)) return error.Fail(TEditFault::NotFound, "no user has that name");
  return DeleteCurrent(user, true, error);
}

}  // namespace kadrel
