#include <random>

#include "tests/schedule/rota_test_util.h"

namespace kadrel {
namespace {

using schedtest::Jan;
using schedtest::Request;
using schedtest::Utf8;

class RotaResolver : public schedtest::TRotaFixture {
 protected:
  TExceptionRecord Set(std::string user, TDateTime day, std::int32_t duty) {
    TExceptionRecord r = Request(TExceptionKind::Set, std::move(user), day);
    r.DutyID = duty;
    return r;
  }
  TExceptionRecord Leave(std::string user, TDateTime first, TDateTime last, std::string kind) {
    TExceptionRecord r = Request(TExceptionKind::Leave, std::move(user), first, last);
    r.Leave = GbkLiteral(kind);
    return r;
  }
  TExceptionRecord Extra(std::string user, TDateTime day, std::int32_t duty, std::string note = {}) {
    TExceptionRecord r = Set(std::move(user), day, duty);
    r.Kind = TExceptionKind::Extra;
    r.Note = std::move(note);
    return r;
  }
  TExceptionRecord Swap(std::string user, std::string partner, TDateTime day) {
    TExceptionRecord r = Request(TExceptionKind::Swap, std::move(user), day);
    r.Partner = std::move(partner);
    return r;
  }
  std::vector<std::string> Hover(std::string_view user, TDateTime day) {
    std::vector<std::string> lines;
    for (const auto& line : DayHoverLines(Resolve(user, day))) lines.push_back(Utf8(line));
    return lines;
  }
};

// Without exceptions and history, every day is exactly what GetDutyName says,
// for cycles with deleted duty kinds, stale counts, places out of range,
// starts with a time of day and users without a scheme.
TEST_F(RotaResolver, WithoutExceptionsEveryDayIsTheRotationsDuty) {
  std::mt19937 random(18);
  auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
  for (int id = 4; id <= 8; ++id) schedtest::PutDuty(tables_.Work, id, std::string("K").append(std::to_string(id)));
  for (int scheme = 3; scheme <= 20; ++scheme) {
    std::vector<std::int32_t> cycle(static_cast<std::size_t>(pick(1, 9)));
    for (auto& id : cycle) id = pick(1, 10);  // 9 and 10 do not exist
    schedtest::PutScheme(tables_.Shift, scheme, static_cast<std::int32_t>(cycle.size()) - pick(-1, 2), "S",
                         WriteWorkList(cycle));
  }
  for (int u = 0; u < 40; ++u) {
    schedtest::PutUser(tables_.User, std::string("u").append(std::to_string(u)), pick(-1, 22), Jan(1) + pick(-4000, 4000) + 0.25 * pick(0, 3),
                       pick(-12, 12));
  }
  Add(Set("Zhang", Jan(5), 3));  // exceptions of one user leave every other alone
  auto snapshot = Snapshot();
  TScheduleRecords records(tables_, TWritePolicy::Trimmed);
  for (const auto& record : records.Users()) {
    if (record.Name == "Zhang") continue;
    TShiftUser user;
    LoadShiftUser(user, records, record);
    const std::size_t index = *snapshot->FindUser(record.Name);
    for (int i = 0; i < 300; ++i) {
      const TDateTime day = Jan(1) + pick(-50000, 50000);
      std::string expected;
      const bool has = GetDutyName(user, day, expected);
      const TResolvedDay resolved = snapshot->Resolve(index, day);
      ASSERT_EQ(resolved.Duty.Has, has) << record.Name << " on " << day;
      ASSERT_EQ(resolved.Duty.Name, has ? expected : "") << record.Name << " on " << day;
      ASSERT_EQ(DayDutyText(resolved), has ? expected : "");
      ASSERT_EQ(resolved.Kind, TExceptionKind::None);
      ASSERT_TRUE(DayHoverLines(resolved).empty());
    }
  }
}

TEST_F(RotaResolver, TheMostRecentSetLeaveOrSwapWinsAndExtrasAdd) {
  EXPECT_EQ(Duty("Zhang", Jan(1)), "白班");
  const std::int32_t set = Add(Set("Zhang", Jan(1), 2));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "夜班");
  const std::int32_t leave = Add(Leave("Zhang", Jan(1), Jan(1), "病假"));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "病假");
  Add(Set("Zhang", Jan(1), 0));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "");
  EXPECT_EQ(Resolve("Zhang", Jan(1)).Kind, TExceptionKind::Set);

  Add(Extra("Zhang", Jan(1), 3, "late"));
  Add(Extra("Zhang", Jan(1), 1));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "休息+白班");
  EXPECT_EQ(Utf8(Resolve("Zhang", Jan(1)).Note), "late");
  std::vector<TExceptionRecord> dropped;
  TRotaError error;
  ASSERT_TRUE(rota_.DropException(set + 2, dropped, error));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "病假+休息+白班");
  ASSERT_TRUE(rota_.DropException(leave, dropped, error));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "夜班+休息+白班");
}

TEST_F(RotaResolver, ARangeCoversExactlyItsDays) {
  Add(Leave("Zhang", Jan(10), Jan(12), "年假"));
  EXPECT_EQ(Duty("Zhang", Jan(9)) + Duty("Zhang", Jan(13)), "休息白班");
  for (int d = 10; d <= 12; ++d) EXPECT_EQ(Duty("Zhang", Jan(d)), "年假") << d;
}

TEST_F(RotaResolver, ASwapExchangesTheDutiesAsPlannedWithoutIt) {
  Add(Set("Li", Jan(1), 3));  // Li: 休息 in place of 夜班
  Add(Swap("Zhang", "Li", Jan(1)));
  EXPECT_EQ(Duty("Zhang", Jan(1)), "休息");
  EXPECT_EQ(Duty("Li", Jan(1)), "白班");
  const TResolvedDay zhang = Resolve("Zhang", Jan(1));
  EXPECT_EQ(zhang.Kind, TExceptionKind::Swap);
  EXPECT_EQ(zhang.Partner, "Li");
  EXPECT_EQ(Utf8(zhang.Replaced.Name), "白班");

  // Li goes on leave after the swap: absent from the 白班 taken over, while
  // Zhang still works Li's duty.
  Add(Leave("Li", Jan(1), Jan(1), "病假"));
  EXPECT_EQ(Duty("Li", Jan(1)), "病假");
  EXPECT_EQ(Duty("Zhang", Jan(1)), "休息");
  EXPECT_EQ(Hover("Zhang", Jan(1)), std::vector<std::string>{"换班：与Li（原：白班）"});
  EXPECT_EQ(Hover("Li", Jan(1)), std::vector<std::string>{"请假：病假（原：夜班）"});
}

TEST_F(RotaResolver, ADeletedDutyKindShowsItsIdAndStaysListed) {
  Add(Set("Zhang", Jan(3), 2));
  Add(Extra("Zhang", Jan(3), 2));
  TScheduleError error;
  ASSERT_TRUE(schedule_.DeleteDutyKind(2, error)) << error.Text();
  EXPECT_EQ(Duty("Zhang", Jan(3)), "#2+#2");
  // The cycle closes up without the deleted kind, as it always has.
  EXPECT_EQ(Hover("Zhang", Jan(3)), (std::vector<std::string>{"改班：#2（原：白班）", "加班：#2"}));
  EXPECT_EQ(rota_.Exceptions().size(), 2u);
}

TEST_F(RotaResolver, MarksAndHoverLines) {
  Add(Set("Zhang", Jan(2), 0));
  Add(Extra("Zhang", Jan(3), 2));
  TExceptionRecord note = Request(TExceptionKind::Note, "Zhang", Jan(4));
  note.Note = GbkLiteral("带钥匙");
  Add(note);
  Add(Set("Wang", Jan(5), 1));
  EXPECT_EQ(Hover("Zhang", Jan(2)), std::vector<std::string>{"改班：无（原：夜班）"});
  EXPECT_EQ(Hover("Zhang", Jan(3)), std::vector<std::string>{"加班：夜班"});
  EXPECT_EQ(Hover("Zhang", Jan(4)), std::vector<std::string>{"备注：带钥匙"});
  EXPECT_EQ(Hover("Wang", Jan(5)), std::vector<std::string>{"改班：白班"});  // nothing was replaced
  std::string marks;
  for (int d = 1; d <= 5; ++d) marks += Utf8(DayMark(Resolve("Zhang", Jan(d)))) + ".";
  EXPECT_EQ(marks, ".改.加..." );
}

TEST_F(RotaResolver, ExplainShowsEveryLayer) {
  TRotaError error;
  ASSERT_TRUE(rota_.ChangeScheme("Zhang", Jan(10), 2, 0, error)) << error.Text();
  const std::int32_t older = Add(Extra("Zhang", Jan(4), 3));
  const std::int32_t newer = Add(Set("Zhang", Jan(4), 2));
  auto snapshot = Snapshot();
  const TDayLayers layers = snapshot->Explain(*snapshot->FindUser("zhang"), Jan(4));
  EXPECT_EQ(Utf8(layers.Rotation.Name), "夜班");  // scheme 2, from 10 January, run backwards
  ASSERT_TRUE(layers.History);
  EXPECT_EQ(layers.History->Until, Jan(10));
  EXPECT_EQ(Utf8(layers.HistoryDuty.Name), "白班");
  ASSERT_EQ(layers.Exceptions.size(), 2u);
  EXPECT_EQ(layers.Exceptions[0].ID, older);
  EXPECT_EQ(layers.Exceptions[1].ID, newer);
  EXPECT_EQ(Utf8(DayDutyText(layers.Result)), "夜班+休息");
  EXPECT_EQ(Utf8(layers.Result.Replaced.Name), "白班");
}

}  // namespace
}  // namespace kadrel
