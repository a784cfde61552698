// The requests a publish sends, as a pure function of three lists: the
// events to publish (UID -> iCalendar object), what Kadrel recorded of its
// last writes to that calendar (schedule/uSyncFiles.h), and what the server
// lists now (href and ETag of every event object).
//
// Kadrel owns the objects whose UID starts with the publisher's prefix; an
// event's object is named "<UID>.ics" in the calendar (PathSegment), so an
// object's href tells its UID and no UID can be on the server twice through
// Kadrel. Objects of other UIDs, and records of other prefixes, are never
// touched.
//
// For each event (h: its EventHash; rec: the record; obj: the server's object):
//   no obj                       Create (If-None-Match: *); also when rec
//                                exists: the object was removed on the server
//   obj, no rec                  Update (If-Match obj's ETag): a first write
//                                whose record was lost, written again
//   obj.ETag == rec.ETag         nothing when h == rec.Hash, else Update
//                                (If-Match rec.ETag)
//   obj.ETag != rec.ETag         changed on the server: a Conflict, left as it
//                                is; with Overwrite an Update (If-Match obj's)
// For each owned object no event names: Delete (If-Match obj's ETag), unless
// its record shows it changed on the server (a Conflict, as above).
//
// Before that, the records are brought up to date with the listing (Adopt,
// Forget), so that an interrupted publish converges:
//   - rec.Sending set (a PUT whose answer was not recorded): when the
//     server's ETag moved, that PUT landed: rec takes the server's ETag and
//     Sending as its hash. Sending is cleared either way.
//   - rec.ETag empty (the server gave no ETag when Kadrel wrote): rec takes
//     the listed one.
//   - no obj and no event: the record goes (a delete that landed, or an
//     object removed on the server that is no longer wanted).
// So a publish killed at any point leaves, at worst, an owned object without
// a record (rewritten next time), a record whose object is gone (recreated or
// forgotten), or a Sending mark (resolved as above): never a duplicate, never
// an orphan, and never a false conflict from Kadrel's own lost write.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output/uCalDav.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {

enum class TSyncAction { Create, Update, Delete };

struct TSyncStep {
  TSyncAction Action = TSyncAction::Create;
  std::string Uid;
  std::string Href;     // the path to send it to
  std::string IfMatch;  // Update, Delete: the ETag the object must still have
  std::string Hash;     // Create, Update: of the text sent
  friend bool operator==(const TSyncStep&, const TSyncStep&) = default;
};

struct TPublishPlan {
  std::vector<TSyncEntry> Adopt;    // records to store before any request
  std::vector<std::string> Forget;  // UIDs whose records go
  std::vector<TSyncStep> Steps;     // creates and updates in UID order, then deletes
  // Objects changed on the server since Kadrel wrote them, left as they are;
  // Action says what the publish would have done.
  std::vector<TSyncStep> Conflicts;
  int Unchanged = 0;
};

struct TPlanScope {
  std::string CalendarPath;  // the calendar collection's path, ending in "/"
  std::string OwnPrefix;     // the UIDs this publisher owns
  bool Overwrite = false;    // replace and delete objects changed on the server
};

TPublishPlan PlanPublish(const TEventTexts& events, std::span<const TSyncEntry> records,
                         std::span<const TDavObject> server, const TPlanScope& scope);

// The path of the object of event `uid` in the calendar at `calendarPath`.
std::string EventHref(std::string_view calendarPath, std::string_view uid);

}  // namespace kadrel
