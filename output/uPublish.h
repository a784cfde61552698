// A publish: the events of one user put on a calendar server with the fewest
// requests, and the record of what was written kept in the data folder.
//
// Order of work: find (or make) the calendar, list its objects, bring the
// records up to date with the listing, then one request per step of the
// plan (output/uPublishPlan.h), creates and updates before deletes.
//
// When records are written. Each record is one Post of syncdat.kd2, on disk
// when it returns, and written right after the request it describes
// succeeded: a create's or update's new ETag and hash, a delete's removal.
// Before an update the record is marked with the hash being sent (rule 4 of
// schedule/uSyncFiles.h), since only that mark tells Kadrel's own landed
// write from a change made on the server. No mark is needed before a create
// or a delete: an owned object without a record is written again, and a
// record without its object is recreated or forgotten, by the plan alone.
// So a kill at any point loses at most the answer of the one request in
// flight, and the next publish converges. Records are not batched: a Post is
// all-or-nothing for one record only, so a batch would widen what a kill can
// lose and save only the wait for the disk, a fraction of the server's time
// per request (bench/bench_sync.cpp measures both).
//
// Faults. A step refused with 412 (the object changed between the listing
// and the request) is a conflict, reported and left; so is a create refused
// because an object appeared there. A delete of an object already gone
// counts as done. Any other failure stops the publish: the steps done so far
// are recorded, the rest is sent by the next publish. The schedule files are
// never opened here.
#pragma once

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

// `records` is syncdat.kd2 of the data folder, open for writing; `events`
// the whole calendar's events as they are to be.
TPublishResult Publish(TCalDavClient& client, TTableStream& records, const TEventTexts& events,
                       const TPublishOptions& options);

}  // namespace kadrel
