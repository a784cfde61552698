// A publish: the events of one user put on a calendar server with the fewest
// requests, and the record of what was written kept in the data folder.
//
// Order of work: find (or make) the calendar, list its objects, bring the
// records up to date with the listing, then one request per step of the
// plan (output/uPublishPlan.h), creates and updates before deletes.
//
// When records are written. Before the first request that changes anything,
// one commit of syncdat.kd2 brings the records up to date with the listing
// and marks every event about to be sent with the hash it is sent with
// (rule 4 of schedule/uSyncFiles.h): a create's record has no ETag yet, an
// update's keeps the ETag of what is on the server now. The answers are then
// recorded in one commit per kRecordBatch requests, and at the end. A kill
// at any point loses only answers not yet committed, and the marks recover
// them: the next listing shows each marked object either where its ETag
// moved (the write landed: the record takes the listed ETag) or as it was
// (it did not: the step is planned again). So the next publish converges
// without sending anything twice, and a change made on the server is never
// mistaken for Kadrel's own. Marks of steps never sent are cleared when a
// publish stops early. A publish that has nothing to record, or stops
// before its first commit, writes no file at all.
//
// Faults. A step refused with 412 (the object changed between the listing
// and the request) is a conflict, reported and left; so is a create refused
// because an object appeared there. A delete of an object already gone
// counts as done. Any other failure stops the publish: the steps done so far
// are recorded, the rest is sent by the next publish. The schedule files are
// never opened here.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "output/uCalDav.h"
#include "output/uPublishPlan.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {

struct TPublishOptions {
  std::string CalendarName;  // found in the account's calendar home, or made there
  std::string OwnPrefix;     // of the UIDs this publish owns (see uPublishPlan.h)
  bool Overwrite = false;
};

// Called once, before the first record is written, to make the records'
// table ready for writing (its file made, the calendar key kept); false with
// the error stops the publish before any request that changes anything.
using TBeforeFirstRecord = std::function<bool(TScheduleError&)>;

// Answers recorded per commit while a publish runs (see above).
inline constexpr int kRecordBatch = 100;

struct TPublishResult {
  std::string Calendar;  // the calendar's URL, once found
  int Created = 0;
  int Updated = 0;
  int Deleted = 0;
  int Unchanged = 0;
  std::vector<TSyncStep> Conflicts;  // changed on the server, left as they are
  TDavError Error;                   // the request that stopped the publish
  TScheduleError StateError;         // or the record that could not be written

  bool Ok() const { return !Error.Failed() && StateError.Fault == TEditFault::None; }
  // One line: what was done, and why it stopped if it did.
  std::string Text() const;
};

// `records` is syncdat.kd2 of the data folder, open when it exists; `events`
// the whole calendar's events as they are to be. Without `prepare` the
// table must be open for writing from the start.
TPublishResult Publish(TCalDavClient& client, TTableStream& records, const TEventTexts& events,
                       const TPublishOptions& options, const TBeforeFirstRecord& prepare = {});

}  // namespace kadrel
