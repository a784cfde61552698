#include "output/uPublishPlan.h"

#include <algorithm>
#include <cassert>
#include <unordered_map>

namespace kadrel {
namespace {

constexpr std::string_view kSuffix = ".ics";

// The UID an owned object's href names; empty for an object that is not ours
// or not directly in the calendar.
std::string OwnedUid(std::string_view href, const TPlanScope& scope) {
  const std::string path = PercentDecoded(href);
  const std::string folder = PercentDecoded(scope.CalendarPath);
  if (path.size() <= folder.size() + kSuffix.size() || path.compare(0, folder.size(), folder) != 0) return {};
  std::string name = path.substr(folder.size());
  if (name.find('/') != std::string::npos || !name.ends_with(kSuffix)) return {};
  name.resize(name.size() - kSuffix.size());
  return name.starts_with(scope.OwnPrefix) ? name : std::string();
}

// Brings a record up to date with what the server lists (see the header).
TSyncEntry Reconciled(TSyncEntry rec, const TDavObject* obj) {
  if (!rec.Sending.empty()) {
    if (obj && obj->ETag != rec.ETag) {
      rec.ETag = obj->ETag;
      rec.Hash = rec.Sending;
    }
    rec.Sending.clear();
  } else if (rec.ETag.empty() && obj) {
    rec.ETag = obj->ETag;
  }
  return rec;
}

}  // namespace

std::string EventHref(std::string_view calendarPath, std::string_view uid) {
  std::string href(calendarPath);
  if (href.empty() || href.back() != '/') href += '/';
  return href + PathSegment(uid) + std::string(kSuffix);
}

TPublishPlan PlanPublish(const TEventTexts& events, std::span<const TSyncEntry> records,
                         std::span<const TDavObject> server, const TPlanScope& scope) {
  TPublishPlan plan;
  std::unordered_map<std::string, const TDavObject*> objects;  // owned, by UID
  for (const TDavObject& obj : server) {
    if (std::string uid = OwnedUid(obj.Href, scope); !uid.empty()) objects.emplace(std::move(uid), &obj);
  }
  auto objectOf = [&](const std::string& uid) -> const TDavObject* {
    const auto it = objects.find(uid);
    return it == objects.end() ? nullptr : it->second;
  };

  std::unordered_map<std::string, TSyncEntry> recs;
  for (const TSyncEntry& rec : records) {
    if (!rec.Uid.starts_with(scope.OwnPrefix)) continue;
    const TDavObject* obj = objectOf(rec.Uid);
    if (!obj && !events.contains(rec.Uid)) {
      plan.Forget.push_back(rec.Uid);
      continue;
    }
    TSyncEntry now = Reconciled(rec, obj);
    if (now != rec) plan.Adopt.push_back(now);
    recs.emplace(rec.Uid, std::move(now));
  }

  for (const auto& [uid, text] : events) {
    // An event outside the prefix would be written and never cleaned up.
    assert(uid.starts_with(scope.OwnPrefix));
    const TDavObject* obj = objectOf(uid);
    const auto rec = recs.find(uid);
    TSyncStep step{TSyncAction::Update, uid, obj ? obj->Href : EventHref(scope.CalendarPath, uid), {}, EventHash(text)};
    if (!obj) {
      step.Action = TSyncAction::Create;
    } else if (rec == recs.end()) {
      step.IfMatch = obj->ETag;
    } else if (obj->ETag == rec->second.ETag) {
      if (step.Hash == rec->second.Hash) {
        ++plan.Unchanged;
        continue;
      }
      step.IfMatch = rec->second.ETag;
    } else {
      step.IfMatch = obj->ETag;
      (scope.Overwrite ? plan.Steps : plan.Conflicts).push_back(std::move(step));
      continue;
    }
    plan.Steps.push_back(std::move(step));
  }

  for (const auto& [uid, obj] : objects) {
    if (events.contains(uid)) continue;
    const auto rec = recs.find(uid);
    const bool changed = rec != recs.end() && rec->second.ETag != obj->ETag;
    TSyncStep step{TSyncAction::Delete, uid, obj->Href, obj->ETag, {}};
    (changed && !scope.Overwrite ? plan.Conflicts : plan.Steps).push_back(std::move(step));
  }
  // Deletes came from a hash map; their order is the UID's, so a plan reads
  // the same every time.
  const auto firstDelete = std::find_if(plan.Steps.begin(), plan.Steps.end(),
                                        [](const TSyncStep& s) { return s.Action == TSyncAction::Delete; });
  std::sort(firstDelete, plan.Steps.end(), [](const TSyncStep& a, const TSyncStep& b) { return a.Uid < b.Uid; });
  auto byUid = [](const auto& a, const auto& b) { return a.Uid < b.Uid; };
  std::sort(plan.Conflicts.begin(), plan.Conflicts.end(), byUid);
  std::sort(plan.Adopt.begin(), plan.Adopt.end(), byUid);
  std::sort(plan.Forget.begin(), plan.Forget.end());
  return plan;
}

}  // namespace kadrel
