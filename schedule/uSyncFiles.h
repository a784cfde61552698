// What Kadrel has put on each calendar server it publishes to: one record per
// event object it wrote, so that a publish sends only what changed since the
// last one. A table of the same kind as the schedule files, in the same
// folder, created by the first publish; a folder without it has published
// nothing (the next publish finds its events on the server and takes them
// over). A publish never changes any other file of the folder.
//
//   file          holds             fields (index: name, type, width)
//   syncdat.kd2   objects written   0 "Calendar" 3/256, 1 "UID" 3/128, 2 "Href" 3/512,
//                                   3 "ETag" 3/128, 4 "Hash" 3/17, 5 "Sending" 3/17
//
// Rules:
//   1. "Calendar" is the absolute URL of the calendar collection, as discovery
//      found it; every other field is read within it. At most one live record
//      per "Calendar" and "UID" (compared byte for byte).
//   2. "Href" is the object's path on that server, "ETag" the entity tag the
//      server gave for the text Kadrel wrote last, empty when it gave none.
//   3. "Hash" is EventHash of the text that ETag belongs to: the text as sent,
//      less its DTSTAMP line.
//   4. "Sending" is the hash of a text whose PUT went out without its answer
//      being recorded, empty otherwise. It is written before the PUT, so that
//      the next publish can tell its own lost write (the server's ETag moved
//      and Sending is set) from someone else's change on the server (the ETag
//      moved and Sending is empty). Before a create the record has an empty
//      "ETag" and "Hash": any object found there later is that create's.
//   5. Every text is printable ASCII (servers' addresses and tags are, once
//      percent-encoded), no longer than the field holds less its zero byte.
//   Deleting a record does not pack the file; Append reuses the slot.
//
// Beside it, the key of each user's calendar: what the UIDs of the user's
// events carry instead of the name, so that two folders with a user of the
// same name never meet on one server and no name shows in a UID.
//
//   file          holds             fields (index: name, type, width)
//   uiddat.kd2    calendar keys     0 "User" 3/10, 1 "Key" 3/33
//
//   6. "User" holds a user's "Name" as userdat.kd2 stores it, matched as the
//      rota files match it (UserKey). "Key" is 32 lowercase hex digits, 128
//      bits from the system's random source, made the first time a calendar
//      of the user is exported or published and never changed after: a new
//      key would give every event a new UID, and every calendar holding the
//      old ones a duplicate of each. A record whose key is not so formed
//      counts as none.
//   7. At most one live record per user. Renaming the user renames it and
//      deleting the user deletes it, in the same change (uRotaRecords.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "schedule/uScheduleFiles.h"
#include "schedule/uTableSchema.h"
#include "store/uTableStream.h"
#include "store/uTransaction.h"

namespace kadrel {

inline constexpr int kSyncCalendar = 0, kSyncUid = 1, kSyncHref = 2, kSyncETag = 3, kSyncHash = 4, kSyncSending = 5;

inline constexpr int kKeysUser = 0, kKeysKey = 1;
inline constexpr std::size_t kUserKeyLength = 32;

inline constexpr const char* kSyncFileName = "syncdat.kd2";
inline constexpr const char* kKeysFileName = "uiddat.kd2";
TTableSchema SyncSchema();
TTableSchema KeysSchema();
// The file's name inside `dir`; the bare name when `dir` is empty.
std::string SyncPath(const std::string& dir);

// As OpenRotaFileIfAny and OpenOrCreateRotaFile (schedule/uRotaFiles.h).
bool OpenSyncFileIfAny(TTableStream& table, const std::string& dir, std::uint16_t mode, TScheduleError& error);
bool OpenOrCreateSyncFile(TTableStream& table, const std::string& dir, TScheduleError& error);

// The key of `user` (rule 6), or nullopt when the table holds none or is not
// open.
std::optional<std::string> FindUserKey(TTableStream& keys, std::string_view user);
// Makes a key for `user`, who has none, and stores it; `keys` must be open
// for writing.
bool AddUserKey(TTableStream& keys, std::string_view user, std::string& key, TScheduleError& error);
// A new key, not stored: a publish stores it only once it writes anything.
std::optional<std::string> NewUserKey(std::string& problem);
// Stores `key` for `user`, who has none; `keys` must be open for writing.
bool StoreUserKey(TTableStream& keys, std::string_view user, const std::string& key, TScheduleError& error);

// The hash of rule 3: CRC-64 of the text without its DTSTAMP line, as 16 hex
// digits. DTSTAMP says when a text was made, not what it says, so an export
// made again of an unchanged duty hashes alike.
std::string EventHash(std::string_view ics);

// The events of a calendar as objects: UID -> iCalendar text, one VCALENDAR
// holding that UID's event.
using TEventTexts = std::map<std::string, std::string>;

struct TSyncEntry {
  std::string Uid;
  std::string Href;
  std::string ETag;
  std::string Hash;
  std::string Sending;
  friend bool operator==(const TSyncEntry&, const TSyncEntry&) = default;
};

// The records of one calendar, read once, and every change to them: each
// change is one Post (or Delete) of the table, so each is on disk, whole,
// when it returns, unless changes are held: from Hold to Flush they are
// written as one commit, since a commit's syncs, not its records, are what a
// publish of hundreds of records waits for. Over a table that is not open
// there are no records, and every change is refused.
class TSyncState {
 public:
  TSyncState(TTableStream& table, std::string calendar);

  const std::string& Calendar() const { return calendar_; }
  std::vector<TSyncEntry> Entries() const;
  const TSyncEntry* Find(std::string_view uid) const;

  // Stores `entry` as the calendar's record of entry.Uid, replacing one there.
  bool Put(const TSyncEntry& entry, TScheduleError& error);
  // Removes the record of `uid`; none there is no failure.
  bool Drop(std::string_view uid, TScheduleError& error);

  // Holds the changes from here on in memory (the table must be open for
  // writing); Flush writes them as one commit and holds nothing after. A
  // failed Flush leaves the file and these records as they were at Hold.
  bool Hold(TScheduleError& error);
  bool Flush(TScheduleError& error);
  bool Holding() const;

 private:
  struct TStored {
    std::int32_t Slot = 0;
    TSyncEntry Entry;
  };
  bool Seek(std::int32_t slot);
  bool FailWrite(TScheduleError& error, const char* what);

  TTableStream* table_;
  std::string calendar_;
  std::unordered_map<std::string, TStored> byUid_;
  std::unique_ptr<TTableTransaction> held_;
  std::unordered_map<std::string, TStored> atHold_;
};

}  // namespace kadrel
