#include "schedule/uSyncFiles.h"

#include <sys/random.h>

#include <array>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "schedule/uRotaRecords.h"
#include "schedule/uTableWalk.h"
#include "platform/uCrc64.h"

namespace kadrel {
namespace {

constexpr std::int16_t kText = 3;

constexpr std::array<TFieldSpec, 6> kSyncSchema = {{{"Calendar", kText, 256},
                                                     {"UID", kText, 128},
                                                     {"Href", kText, 512},
                                                     {"ETag", kText, 128},
                                                     {"Hash", kText, 17},
                                                     {"Sending", kText, 17}}};
static_assert(kSyncSchema[kSyncSending].Name == "Sending");

constexpr std::array<TFieldSpec, 2> kKeysSchema = {{{"User", kText, 10}, {"Key", kText, 33}}};
static_assert(kKeysSchema[kKeysUser].Width == kNameMaxBytes + 1 && kKeysSchema[kKeysKey].Width == kUserKeyLength + 1);

bool IsUserKey(std::string_view key) {
  return key.size() == kUserKeyLength &&
         key.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> NewUserKey(std::string& problem) {
  unsigned char bytes[kUserKeyLength / 2];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      problem = std::string("no random numbers: ") + std::strerror(errno);
      return std::nullopt;
    }
    got += static_cast<std::size_t>(n);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string key;
  for (unsigned char b : bytes) {
    key += kHex[b >> 4];
    key += kHex[b & 15];
  }
  return key;
}

namespace {

bool IsFoldedOrEnd(std::string_view rest) { return rest.empty() || rest[0] == ' ' || rest[0] == '\t'; }

bool IsDtstampLine(std::string_view line) {
  constexpr std::string_view kName = "DTSTAMP";
  if (line.size() <= kName.size() || (line[kName.size()] != ':' && line[kName.size()] != ';')) return false;
  for (std::size_t i = 0; i < kName.size(); ++i) {
    if ((line[i] & ~0x20) != kName[i]) return false;
  }
  return true;
}

// Whether `text` may go into field `index` (rule 5).
bool Fits(std::string_view text, int index) {
  if (text.size() >= static_cast<std::size_t>(kSyncSchema[static_cast<std::size_t>(index)].Width)) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

}  // namespace

TTableSchema SyncSchema() { return {kSyncFileName, kSyncSchema}; }
TTableSchema KeysSchema() { return {kKeysFileName, kKeysSchema}; }

std::optional<std::string> FindUserKey(TTableStream& keys, std::string_view user) {
  const std::string wanted = UserKey(user);
  std::optional<std::string> found;
  ForEachLive(keys, [&] {
    std::string key = keys.FieldByIndex(kKeysKey).AsString();
    if (UserKey(keys.FieldByIndex(kKeysUser).AsString()) != wanted || !IsUserKey(key)) return true;
    found = std::move(key);
    return false;
  });
  return found;
}

bool AddUserKey(TTableStream& keys, std::string_view user, std::string& key, TScheduleError& error) {
  std::string problem;
  const auto made = NewUserKey(problem);
  if (!made) return error.Fail(TEditFault::WriteFailed, problem, kKeysFileName);
  if (!StoreUserKey(keys, user, *made, error)) return false;
  key = *made;
  return true;
}

bool StoreUserKey(TTableStream& keys, std::string_view user, const std::string& key, TScheduleError& error) {
  assert(IsUserKey(key));
  if (!keys.IsOpen()) return error.Fail(TEditFault::WriteFailed, "the file is not open", kKeysFileName);
  // Checked before Append: a record in that state has no way back but Post.
  if (user.size() > kNameMaxBytes) return error.Fail(TEditFault::TooLong, "the user's name is too long", kKeysFileName);
  if (!keys.Append() || !keys.SetText(kKeysUser, std::string(user)) || !keys.SetText(kKeysKey, key) || !keys.Post()) {
    return error.Fail(TEditFault::WriteFailed, "writing the key: " + TableReason(keys, "unknown error"),
                      kKeysFileName, keys.Error());
  }
  return error.Succeed();
}

std::string SyncPath(const std::string& dir) {
  if (dir.empty()) return kSyncFileName;
  return (std::filesystem::path(dir) / kSyncFileName).string();
}

bool OpenSyncFileIfAny(TTableStream& table, const std::string& dir, std::uint16_t mode, TScheduleError& error) {
  const std::string path = SyncPath(dir);
  if (ScheduleFileMissing(path)) return error.Succeed();
  return OpenSchemaFile(table, SyncSchema(), path, mode, error);
}

bool OpenOrCreateSyncFile(TTableStream& table, const std::string& dir, TScheduleError& error) {
  return OpenOrCreateSchemaFile(table, SyncSchema(), SyncPath(dir), error);
}

std::string EventHash(std::string_view ics) {
  std::uint64_t crc = 0;
  bool skipping = false;
  while (!ics.empty()) {
    const std::size_t end = ics.find('\n');
    const std::string_view line = ics.substr(0, end == std::string_view::npos ? ics.size() : end + 1);
    ics.remove_prefix(line.size());
    // A folded line continues the one before it, and goes with it.
    skipping = IsFoldedOrEnd(line) ? skipping : IsDtstampLine(line);
    if (!skipping) crc = Crc64(reinterpret_cast<const unsigned char*>(line.data()), line.size(), crc);
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(crc));
  return hex;
}

TSyncState::TSyncState(TTableStream& table, std::string calendar) : table_(&table), calendar_(std::move(calendar)) {
  ForEachLive(table, [&] {
    if (table.FieldByIndex(kSyncCalendar).AsString() != calendar_) return true;
    TSyncEntry e{table.FieldByIndex(kSyncUid).AsString(), table.FieldByIndex(kSyncHref).AsString(),
                 table.FieldByIndex(kSyncETag).AsString(), table.FieldByIndex(kSyncHash).AsString(),
                 table.FieldByIndex(kSyncSending).AsString()};
    // Rule 1 keeps one record per UID; should a file hold more, the first counts.
    const std::string uid = e.Uid;
    byUid_.try_emplace(uid, TStored{table.CurrentSlot(), std::move(e)});
    return true;
  });
}

std::vector<TSyncEntry> TSyncState::Entries() const {
  std::vector<TSyncEntry> entries;
  entries.reserve(byUid_.size());
  for (const auto& [uid, stored] : byUid_) entries.push_back(stored.Entry);
  return entries;
}

const TSyncEntry* TSyncState::Find(std::string_view uid) const {
  const auto it = byUid_.find(std::string(uid));
  return it == byUid_.end() ? nullptr : &it->second.Entry;
}

bool TSyncState::Seek(std::int32_t slot) {
  TTableStream& t = *table_;
  if (slot < 1 || slot > t.RecordCount()) return false;
  t.First();
  if (slot > 1 && !t.MoveBy(slot - 1)) return false;
  return t.CurrentSlot() == slot && !t.IsDeleted();
}

bool TSyncState::FailWrite(TScheduleError& error, const char* what) {
  const std::string reason =
      table_->IsOpen() ? std::string(what) + ": " + TableReason(*table_, "unknown error") : "the file is not open";
  return error.Fail(TEditFault::WriteFailed, reason, kSyncFileName, table_->Error());
}

bool TSyncState::Put(const TSyncEntry& entry, TScheduleError& error) {
  const std::array<std::pair<const std::string*, int>, 6> texts = {{{&calendar_, kSyncCalendar},
                                                                     {&entry.Uid, kSyncUid},
                                                                     {&entry.Href, kSyncHref},
                                                                     {&entry.ETag, kSyncETag},
                                                                     {&entry.Hash, kSyncHash},
                                                                     {&entry.Sending, kSyncSending}}};
  // Checked before Append or Edit: a record in either state has no way back but Post.
  for (const auto& [text, index] : texts) {
    if (Fits(*text, index)) continue;
    const TFieldSpec& field = kSyncSchema[static_cast<std::size_t>(index)];
    return error.Fail(TEditFault::TooLong,
                      "the field " + std::string(field.Name) + " takes printable ASCII of at most " +
                          std::to_string(field.Width - 1) + " bytes",
                      kSyncFileName);
  }
  TTableStream& t = *table_;
  const auto it = byUid_.find(entry.Uid);
  const bool editing = it != byUid_.end();
  if (!t.IsOpen() || (editing && !Seek(it->second.Slot))) return FailWrite(error, "finding the record");
  if (!(editing ? t.Edit() : t.Append())) return FailWrite(error, "writing the record");
  for (const auto& [text, index] : texts) t.SetText(index, *text);
  if (!t.Post()) return FailWrite(error, "writing the record");
  byUid_.insert_or_assign(entry.Uid, TStored{t.CurrentSlot(), entry});
  return error.Succeed();
}

bool TSyncState::Drop(std::string_view uid, TScheduleError& error) {
  const auto it = byUid_.find(std::string(uid));
  if (it == byUid_.end()) return error.Succeed();
  if (!table_->IsOpen() || !Seek(it->second.Slot) || !table_->Delete()) return FailWrite(error, "deleting the record");
  byUid_.erase(it);
  return error.Succeed();
}

bool TSyncState::Hold(TScheduleError& error) {
  assert(!Holding());
  auto held = std::make_unique<TTableTransaction>();
  if (!table_->IsOpen() || !held->Begin({table_})) return FailWrite(error, "holding the records");
  held_ = std::move(held);
  atHold_ = byUid_;
  return error.Succeed();
}

bool TSyncState::Holding() const { return held_ && held_->Active(); }

bool TSyncState::Flush(TScheduleError& error) {
  if (!held_) return error.Succeed();
  const std::unique_ptr<TTableTransaction> held = std::move(held_);
  if (held->Commit()) return error.Succeed();
  // The slots of records appended since Hold are gone with them.
  byUid_ = std::move(atHold_);
  return error.Fail(TEditFault::WriteFailed, "writing the records: " + held->Error().Text, kSyncFileName,
                    held->Error());
}

}  // namespace kadrel
