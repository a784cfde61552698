#include "schedule/uScheduleFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/uGbk.h"
#include "schedule/uRotaFiles.h"
#include "schedule/uSyncFiles.h"
#include "schedule/uTableSchema.h"
#include "schedule/uTimeFiles.h"

namespace kadrel {
namespace {

constexpr std::int16_t kInteger = 1, kText = 3, kDate = 4;

constexpr std::array<TFieldSpec, 4> kShiftSchema = {{
    {"ID", kInteger, 4}, {"Count", kInteger, 4}, {"Name", kText, 10}, {"worklist", kText, 200}}};
constexpr std::array<TFieldSpec, 3> kWorkSchema = {{
    {"ID", kInteger, 4}, {"Name", kText, 10}, {"Hint", kText, 50}}};
constexpr std::array<TFieldSpec, 4> kUserSchema = {{
    {"Name", kText, 10}, {"ShiftID", kInteger, 4}, {"Start", kDate, 8}, {"FirstID", kInteger, 4}}};
constexpr std::array<TFieldSpec, 12> kExceptionSchema = {{{"ID", kInteger, 4},
                                                           {"User", kText, 10},
                                                           {"Kind", kInteger, 4},
                                                           {"First", kDate, 8},
                                                           {"Last", kDate, 8},
                                                           {"DutyID", kInteger, 4},
                                                           {"Partner", kText, 10},
                                                           {"Link", kInteger, 4},
                                                           {"Leave", kText, 10},
                                                           {"Note", kText, 50},
                                                           {"Start", kInteger, 4},
                                                           {"Length", kInteger, 4}}};
constexpr std::array<TFieldSpec, 6> kHistorySchema = {{{"ID", kInteger, 4},
                                                        {"User", kText, 10},
                                                        {"Until", kDate, 8},
                                                        {"ShiftID", kInteger, 4},
                                                        {"Start", kDate, 8},
                                                        {"FirstID", kInteger, 4}}};

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
static_assert(kExceptionSchema[kExcLength].Name == "Length" && kHistorySchema[kHistFirstID].Name == "FirstID");
static_assert(kExceptionSchema[kExcUser].Width == kNameMaxBytes + 1 &&
              kExceptionSchema[kExcPartner].Width == kNameMaxBytes + 1 &&
              kExceptionSchema[kExcLeave].Width == kNameMaxBytes + 1 &&
              kHistorySchema[kHistUser].Width == kNameMaxBytes + 1);
static_assert(kExceptionSchema[kExcNote].Width == kNoteMaxBytes + 1);

std::optional<std::int32_t> ParseId(std::string_view token) {
  token = TrimBlanks(token);
  if (token.size() > 1 && token.front() == '+' && token[1] != '-') token.remove_prefix(1);
  std::int32_t value = 0;
  auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (token.empty() || ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string TableReason(TTableStream& table, const char* fallback) {
  const std::string& why = table.Error().Text;
  return why.empty() ? std::string(fallback) : why;
}

const char* ScheduleFileName(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return "shiftdat.kd2";
    case TScheduleFile::Work: return "workdat.kd2";
    case TScheduleFile::User: return "userdat.kd2";
    case TScheduleFile::Exceptions: return "excdat.kd2";
    case TScheduleFile::History: return "histdat.kd2";
    case TScheduleFile::Times: return TimeFileName(TTimeFile::Times);
    case TScheduleFile::Settings: return TimeFileName(TTimeFile::Settings);
    case TScheduleFile::Ledger: return TimeFileName(TTimeFile::Ledger);
    case TScheduleFile::Sync: return kSyncFileName;
    case TScheduleFile::Keys: return kKeysFileName;
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
    case TScheduleFile::Exceptions: return kExceptionSchema;
    case TScheduleFile::History: return kHistorySchema;
    case TScheduleFile::Times: return TimeSchema(TTimeFile::Times).Fields;
    case TScheduleFile::Settings: return TimeSchema(TTimeFile::Settings).Fields;
    case TScheduleFile::Ledger: return TimeSchema(TTimeFile::Ledger).Fields;
    case TScheduleFile::Sync: return SyncSchema().Fields;
    case TScheduleFile::Keys: return KeysSchema().Fields;
  }
  return {};
}

bool HasScheduleSchema(TTableStream& table, TScheduleFile file, TScheduleError& error) {
  return HasSchema(table, SchemaOf(file), error);
}

bool ScheduleFileMissing(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode) && st.st_size == 0;
}

bool OpenScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                      std::uint16_t mode, TScheduleError& error) {
  return OpenSchemaFile(table, SchemaOf(file), path, mode, error);
}

bool OpenOrCreateScheduleFile(TTableStream& table, TScheduleFile file, const std::string& path,
                              TScheduleError& error) {
  return OpenOrCreateSchemaFile(table, SchemaOf(file), path, error);
}

TTableStream& TScheduleTables::Table(TScheduleFile file) {
  switch (file) {
    case TScheduleFile::Shift: return Shift;
    case TScheduleFile::Work: return Work;
    case TScheduleFile::User: return User;
    case TScheduleFile::Exceptions: return Exceptions;
    case TScheduleFile::History: return History;
    case TScheduleFile::Times: return Times;
    case TScheduleFile::Settings: return Settings;
    case TScheduleFile::Ledger: return Ledger;
    case TScheduleFile::Sync: return Sync;
    case TScheduleFile::Keys: break;
  }
  return Keys;
}

bool OpenScheduleTables(TScheduleTables& tables, const std::string& dir, TScheduleAccess access,
                        TScheduleError& error) {
  for (TScheduleFile file : kScheduleFiles) {
    std::string path = SchedulePath(dir, file);
    bool ok = access == TScheduleAccess::Write
                  ? OpenOrCreateScheduleFile(tables.Table(file), file, path, error)
                  : OpenScheduleFile(tables.Table(file), file, path, TTableStream::kModeReadShared, error);
    if (!ok) return false;
  }
  return true;
}

bool CloseScheduleTables(TScheduleTables& tables, TScheduleError& error) {
  bool ok = true;
  for (TScheduleFile file : kFolderFiles) {
    TTableStream& table = tables.Table(file);
    if (table.IsOpen() && !table.Close()) {
      if (ok) {
        error.Fail(TEditFault::WriteFailed, TableReason(table, "closing failed"), ScheduleFileName(file), table.Error());
      }
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

std::vector<TResolvedEntry> ResolveWorkList(TTableStream& work, const std::vector<std::int32_t>& ids,
                                            std::size_t limit) {
  std::vector<TResolvedEntry> cycle;
  // A long cycle repeats a handful of duty kinds; each is looked up once.
  std::vector<std::pair<std::int32_t, std::optional<std::string>>> known;
  for (std::int32_t id : ids) {
    if (cycle.size() >= limit) break;
    auto it = known.begin();
    while (it != known.end() && it->first != id) ++it;
    if (it == known.end()) {
      std::optional<std::string> name;
      if (LocateLiveInteger(work, kWorkID, id)) name = work.FieldByIndex(kWorkName).AsString();
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
bool LocateLiveText(TTableStream& table, int field, std::string_view text) {
  if (!table.IsOpen() || !table.LocateText(table.Fields().Field(field).Name, text)) return false;
  while (table.IsDeleted()) {
    do {
      if (!table.Next()) return false;
    } while (!SameTextIgnoringAZ(table.FieldByIndex(field).AsString(), text));
  }
  return true;
}

bool LocateLiveInteger(TTableStream& table, int field, std::int32_t value) {
  if (!table.IsOpen() || !table.LocateInteger(table.Fields().Field(field).Name, value)) return false;
  while (table.IsDeleted()) {
    do {
      if (!table.Next()) return false;
    } while (table.FieldByIndex(field).AsInteger() != value);
  }
  return true;
}

std::int32_t LiveRecordCount(TTableStream& table) {
  if (!table.IsOpen()) return 0;
  return table.RecordCount() - table.DeletedCount();
}

}  // namespace kadrel
