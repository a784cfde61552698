#include "output/uPublish.h"

#include <algorithm>
#include <optional>

namespace kadrel {
namespace {

class TPublisher {
 public:
  TPublisher(TCalDavClient& client, TSyncState& state, const TEventTexts& events, TPublishResult& result)
      : client_(client), state_(state), events_(events), result_(result) {}

  // False when the publish must stop.
  bool Run(const TSyncStep& step) {
    switch (step.Action) {
      case TSyncAction::Create:
      case TSyncAction::Update: return Write(step);
      case TSyncAction::Delete: return Remove(step);
    }
    return false;
  }

  bool Record(const TSyncEntry& entry) { return state_.Put(entry, result_.StateError); }

  // The record a step leaves until its answer is recorded.
  bool Mark(const TSyncStep& step) {
    if (step.Action == TSyncAction::Delete) return true;
    const TSyncEntry* rec = state_.Find(step.Uid);
    TSyncEntry mark = step.Action == TSyncAction::Create || !rec ? TSyncEntry{step.Uid, step.Href, step.IfMatch, {}, {}}
                                                                 : *rec;
    mark.Sending = step.Hash;
    return Record(mark);
  }

  // A step never sent leaves nothing behind: a create's mark goes, an
  // update's record is as it was.
  bool Unmark(const TSyncStep& step) {
    const TSyncEntry* rec = state_.Find(step.Uid);
    if (!rec || rec->Sending.empty()) return true;
    if (step.Action == TSyncAction::Create) return state_.Drop(step.Uid, result_.StateError);
    TSyncEntry unmarked = *rec;
    unmarked.Sending.clear();
    return Record(unmarked);
  }

  bool MissesTags() const { return !missingTags_.empty(); }
  // The ETags the server did not give with its answers, from one listing.
  void FillMissingTags() {
    const auto listed = client_.ListEvents(result_.Calendar);
    if (!listed) return;  // the next publish takes them from its own listing
    for (const TDavObject& obj : *listed) {
      for (const TSyncEntry& e : missingTags_) {
        if (PercentDecoded(obj.Href) != PercentDecoded(e.Href)) continue;
        TSyncEntry tagged = e;
        tagged.ETag = obj.ETag;
        if (!Record(tagged)) return;
      }
    }
  }

 private:
  bool Write(const TSyncStep& step) {
    const auto etag = client_.Put(step.Href, events_.at(step.Uid), step.IfMatch);
    if (!etag) return Refused(step);
    const TSyncEntry entry{step.Uid, step.Href, *etag, step.Hash, {}};
    if (etag->empty()) missingTags_.push_back(entry);
    ++(step.Action == TSyncAction::Create ? result_.Created : result_.Updated);
    return Record(entry);
  }

  bool Remove(const TSyncStep& step) {
    const bool gone = client_.Delete(step.Href, step.IfMatch) || client_.Error().Fault == TDavFault::NotFound;
    if (!gone) return Refused(step);
    ++result_.Deleted;
    return state_.Drop(step.Uid, result_.StateError);
  }

  // 412: the object is not as the listing showed it a moment ago (or, for a
  // create, one appeared there), so the write did not land; anything else
  // stops the publish, the step's mark kept, since it may have landed.
  bool Refused(const TSyncStep& step) {
    if (client_.Error().Fault != TDavFault::Changed) {
      result_.Error = client_.Error();
      return false;
    }
    result_.Conflicts.push_back(step);
    return Unmark(step);
  }

  TCalDavClient& client_;
  TSyncState& state_;
  const TEventTexts& events_;
  TPublishResult& result_;
  std::vector<TSyncEntry> missingTags_;
};

bool IsWritable(const TTableStream& records) { return records.IsOpen() && (records.OpenMode() & 3) != 0; }

// The records ready for the first write: made by the caller's hook when
// given. A file that another publish made meanwhile holds records this plan
// did not see, so the publish stops rather than write beside them.
bool PrepareRecords(TTableStream& records, TSyncState& state, const TBeforeFirstRecord& prepare,
                    TScheduleError& error) {
  if (!prepare) return error.Succeed();
  const bool wasOpen = records.IsOpen();
  if (!prepare(error)) return false;
  if (!IsWritable(records)) return error.Fail(TEditFault::CannotOpen, "the file is not open for writing", kSyncFileName);
  if (wasOpen) return error.Succeed();
  state = TSyncState(records, state.Calendar());
  if (state.Entries().empty()) return error.Succeed();
  return error.Fail(TEditFault::WriteFailed, "another publish wrote the records meanwhile; publish again",
                    kSyncFileName);
}

}  // namespace

std::string TPublishResult::Text() const {
  std::string text = std::to_string(Created) + " created, " + std::to_string(Updated) + " updated, " +
                     std::to_string(Deleted) + " deleted, " + std::to_string(Unchanged) + " unchanged";
  if (!Conflicts.empty()) {
    text += "; " + std::to_string(Conflicts.size()) + " changed on the server and left as they are";
  }
  if (Error.Failed()) text += "; stopped: " + Error.Text();
  if (StateError.Fault != TEditFault::None) text += "; stopped: " + StateError.Text();
  return text;
}

TPublishResult Publish(TCalDavClient& client, TTableStream& records, const TEventTexts& events,
                       const TPublishOptions& options, const TBeforeFirstRecord& prepare) {
  TPublishResult result;
  // Nothing is sent that could not be recorded.
  if (!prepare && !IsWritable(records)) {
    result.StateError.Fail(TEditFault::CannotOpen, "the file is not open for writing", kSyncFileName);
    return result;
  }
  const auto calendar = client.FindCalendar(options.CalendarName, true);
  if (!calendar) {
    result.Error = client.Error();
    return result;
  }
  result.Calendar = *calendar;
  const auto listed = client.ListEvents(*calendar);
  if (!listed) {
    result.Error = client.Error();
    return result;
  }
  TSyncState state(records, *calendar);
  const TPublishPlan plan =
      PlanPublish(events, state.Entries(), *listed, {UrlPath(*calendar), options.OwnPrefix, options.Overwrite});
  result.Unchanged = plan.Unchanged;
  result.Conflicts = plan.Conflicts;
  if (plan.Adopt.empty() && plan.Forget.empty() && plan.Steps.empty()) return result;
  if (!PrepareRecords(records, state, prepare, result.StateError) || !state.Hold(result.StateError)) return result;

  TPublisher publisher(client, state, events, result);
  bool ok = true;
  for (const TSyncEntry& entry : plan.Adopt) ok = ok && publisher.Record(entry);
  for (const std::string& uid : plan.Forget) ok = ok && state.Drop(uid, result.StateError);
  for (const TSyncStep& step : plan.Steps) ok = ok && publisher.Mark(step);
  // Not one request before the marks are on disk.
  if (!ok || !state.Flush(result.StateError)) return result;

  std::size_t sent = 0;
  while (sent < plan.Steps.size() && state.Hold(result.StateError)) {
    const std::size_t end = std::min(plan.Steps.size(), sent + kRecordBatch);
    while (sent < end && publisher.Run(plan.Steps[sent])) ++sent;
    if (sent < end) {
      // The steps after the one that stopped it were never sent; that one
      // may have landed unless the server answered it.
      const std::size_t unsent = sent + (result.Error.Status == 0 ? 1 : 0);
      for (std::size_t i = unsent; i < plan.Steps.size() && result.StateError.Fault == TEditFault::None; ++i) {
        publisher.Unmark(plan.Steps[i]);
      }
      TScheduleError flushError;
      if (!state.Flush(flushError) && result.StateError.Fault == TEditFault::None) result.StateError = flushError;
      return result;
    }
    if (!state.Flush(result.StateError)) return result;
  }
  if (sent < plan.Steps.size()) return result;  // Hold failed
  if (publisher.MissesTags() && state.Hold(result.StateError)) {
    publisher.FillMissingTags();
    state.Flush(result.StateError);
  }
  return result;
}

}  // namespace kadrel
