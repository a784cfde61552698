// The publish plan: which requests go out, given the events, the records and
// the server's listing. Each row is a situation a user or a crash leaves.
#include <gtest/gtest.h>

#include "output/uPublishPlan.h"

namespace kadrel {
namespace {

const std::string kPath = "/alice/shifts/";

std::string Ics(const std::string& uid, const std::string& summary) {
  return "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:" + summary +
         "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}
std::string H(const std::string& uid, const std::string& summary) { return EventHash(Ics(uid, summary)); }

TPublishPlan Plan(const TEventTexts& events, std::vector<TSyncEntry> records, std::vector<TDavObject> server,
                  bool overwrite = false) {
  return PlanPublish(events, records, server, {kPath, "k-", overwrite});
}

TEST(PublishPlan, SendsOnlyWhatChangedOnEitherSide) {
  const TEventTexts events = {{"k-1", Ics("k-1", "早班")}, {"k-2", Ics("k-2", "夜班")}, {"k-3", Ics("k-3", "休息")}};
  const std::vector<TSyncEntry> records = {{"k-1", kPath + "k-1.ics", "e1", H("k-1", "早班"), {}},
                                           {"k-2", kPath + "k-2.ics", "e2", H("k-2", "早班"), {}},
                                           {"k-9", kPath + "k-9.ics", "e9", H("k-9", "早班"), {}}};
  // Radicale escapes '@' and others differently from Kadrel; the other
  // user's object and the calendar itself are no concern of this publish.
  const std::vector<TDavObject> server = {{kPath + "k-1.ics", "e1", {}},
                                          {kPath + "k-2.ics", "e2", {}},
                                          {kPath + "k-9.ics", "e9", {}},
                                          {kPath + "k-%40old.ics", "e8", {}},
                                          {kPath + "other-1.ics", "o1", {}}};
  const TPublishPlan plan = Plan(events, records, server);
  EXPECT_EQ(plan.Unchanged, 1);
  EXPECT_TRUE(plan.Adopt.empty() && plan.Forget.empty() && plan.Conflicts.empty());
  const std::vector<TSyncStep> expected = {
      {TSyncAction::Update, "k-2", kPath + "k-2.ics", "e2", H("k-2", "夜班")},
      {TSyncAction::Create, "k-3", kPath + "k-3.ics", "", H("k-3", "休息")},
      {TSyncAction::Delete, "k-9", kPath + "k-9.ics", "e9", ""},
      {TSyncAction::Delete, "k-@old", kPath + "k-%40old.ics", "e8", ""},
  };
  EXPECT_EQ(plan.Steps.size(), expected.size());
  for (const TSyncStep& step : expected) {
    EXPECT_NE(std::find(plan.Steps.begin(), plan.Steps.end(), step), plan.Steps.end()) << step.Uid;
  }
  EXPECT_EQ(EventHref(kPath, "k-@old"), kPath + "k-%40old.ics");
}

TEST(PublishPlan, ChangesMadeOnTheServerAreLeftUnlessOverwriteIsAsked) {
  const TEventTexts events = {{"k-1", Ics("k-1", "早班")}, {"k-2", Ics("k-2", "夜班")}};
  const std::vector<TSyncEntry> records = {{"k-1", kPath + "k-1.ics", "e1", H("k-1", "中班"), {}},
                                           {"k-2", kPath + "k-2.ics", "e2", H("k-2", "夜班"), {}},
                                           {"k-3", kPath + "k-3.ics", "e3", H("k-3", "夜班"), {}}};
  const std::vector<TDavObject> server = {
      {kPath + "k-1.ics", "phone1", {}}, {kPath + "k-2.ics", "phone2", {}}, {kPath + "k-3.ics", "phone3", {}}};
  const TPublishPlan kept = Plan(events, records, server);
  EXPECT_TRUE(kept.Steps.empty());
  ASSERT_EQ(kept.Conflicts.size(), 3u);
  EXPECT_EQ(kept.Conflicts[2].Action, TSyncAction::Delete);

  const TPublishPlan forced = Plan(events, records, server, true);
  ASSERT_EQ(forced.Steps.size(), 3u);
  EXPECT_EQ(forced.Steps[0].IfMatch, "phone1");
  EXPECT_EQ(forced.Steps[2].Action, TSyncAction::Delete);
  EXPECT_TRUE(forced.Conflicts.empty());
}

// What an interrupted publish leaves, and how the next one resolves it.
TEST(PublishPlan, AnInterruptedPublishConvergesWithoutDuplicatesOrFalseConflicts) {
  const TEventTexts events = {{"k-1", Ics("k-1", "夜班")}, {"k-2", Ics("k-2", "夜班")}, {"k-3", Ics("k-3", "早班")},
                              {"k-4", Ics("k-4", "早班")}};
  const std::vector<TSyncEntry> records = {
      // An update sent, its answer lost: it landed (the tag moved) ...
      {"k-1", kPath + "k-1.ics", "e1", H("k-1", "早班"), H("k-1", "夜班")},
      // ... or it did not (the tag is as recorded).
      {"k-2", kPath + "k-2.ics", "e2", H("k-2", "早班"), H("k-2", "夜班")},
      // A server that gave no tag with its answer.
      {"k-3", kPath + "k-3.ics", "", H("k-3", "早班"), {}},
      // A delete that landed.
      {"k-5", kPath + "k-5.ics", "e5", H("k-5", "早班"), {}}};
  const std::vector<TDavObject> server = {{kPath + "k-1.ics", "e1b", {}},
                                          {kPath + "k-2.ics", "e2", {}},
                                          {kPath + "k-3.ics", "e3", {}},
                                          // A create that landed without its record.
                                          {kPath + "k-4.ics", "e4", {}}};
  const TPublishPlan plan = Plan(events, records, server);
  const std::vector<TSyncEntry> adopt = {{"k-1", kPath + "k-1.ics", "e1b", H("k-1", "夜班"), {}},
                                         {"k-2", kPath + "k-2.ics", "e2", H("k-2", "早班"), {}},
                                         {"k-3", kPath + "k-3.ics", "e3", H("k-3", "早班"), {}}};
  EXPECT_EQ(plan.Adopt, adopt);
  EXPECT_EQ(plan.Forget, std::vector<std::string>{"k-5"});
  EXPECT_TRUE(plan.Conflicts.empty());
  EXPECT_EQ(plan.Unchanged, 2);
  const std::vector<TSyncStep> steps = {{TSyncAction::Update, "k-2", kPath + "k-2.ics", "e2", H("k-2", "夜班")},
                                        {TSyncAction::Update, "k-4", kPath + "k-4.ics", "e4", H("k-4", "早班")}};
  EXPECT_EQ(plan.Steps, steps);
}

}  // namespace
}  // namespace kadrel
