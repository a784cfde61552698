#include "output/uPublish.h"

namespace kadrel {
namespace {

class TPublisher {
 public:
  TPublisher(TCalDavClient& client, TSyncState& state, const TEventTexts& events, TPublishResult& result)
      : client_(client), state_(state), events_(events), result_(result) {}

  // False when the publish must stop.
  bool Run(const TSyncStep& step) {
    switch (step.Action) {
      case TSyncAction::Create: return Write(step);
      case TSyncAction::Update: return Mark(step) && Write(step);
      case TSyncAction::Delete: return Remove(step);
    }
    return false;
  }

  bool Record(const TSyncEntry& entry) { return state_.Put(entry, result_.StateError); }

  // The ETags the server did not give with its answers, from one listing.
  void FillMissingTags() {
    if (missingTags_.empty()) return;
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
  // Rule 4 of uSyncFiles.h: the hash being sent, on the record of what is
  // on the server now.
  bool Mark(const TSyncStep& step) {
    const TSyncEntry* rec = state_.Find(step.Uid);
    TSyncEntry mark = rec ? *rec : TSyncEntry{step.Uid, step.Href, step.IfMatch, {}, {}};
    mark.Sending = step.Hash;
    return Record(mark);
  }

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

  // 412: the object is not as the listing showed it a moment ago; anything
  // else stops the publish.
  bool Refused(const TSyncStep& step) {
    if (client_.Error().Fault != TDavFault::Changed) {
      result_.Error = client_.Error();
      return false;
    }
    result_.Conflicts.push_back(step);
    // The mark of an update that did not land goes; the record stays as it was.
    const TSyncEntry* rec = state_.Find(step.Uid);
    if (!rec || rec->Sending.empty()) return true;
    TSyncEntry unmarked = *rec;
    unmarked.Sending.clear();
    return Record(unmarked);
  }

  TCalDavClient& client_;
  TSyncState& state_;
  const TEventTexts& events_;
  TPublishResult& result_;
  std::vector<TSyncEntry> missingTags_;
};

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
                       const TPublishOptions& options) {
  TPublishResult result;
  // Nothing is sent that could not be recorded.
  if (!records.IsOpen() || (records.OpenMode() & 3) == 0) {
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
  TPublisher publisher(client, state, events, result);
  for (const TSyncEntry& entry : plan.Adopt) {
    if (!publisher.Record(entry)) return result;
  }
  for (const std::string& uid : plan.Forget) {
    if (!state.Drop(uid, result.StateError)) return result;
  }
  for (const TSyncStep& step : plan.Steps) {
    if (!publisher.Run(step)) return result;
  }
  publisher.FillMissingTags();
  return result;
}

}  // namespace kadrel
