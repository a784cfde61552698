// A data folder with a rota: duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 is
// 白班 夜班 休息, scheme 2 夜班 休息. From 2025-01-01 Zhang runs scheme 1 from
// place 0 and Li from place 1, so on 1 January Zhang has 白班 and Li 夜班;
// Wang has no scheme. The exceptions and history tables are open for writing.
#pragma once

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/uGbk.h"
#include "schedule/uDayText.h"
#include "schedule/uRotaRecords.h"
#include "schedule/uRotaResolver.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel::schedtest {

inline TDateTime Day(int year, int month, int day) { return static_cast<TDateTime>(EncodeDate(year, month, day)); }
inline TDateTime Jan(int day) { return Day(2025, 1, day); }
inline std::string Utf8(std::string_view gbk) { return GbkToUtf8Lossy(gbk); }

inline TExceptionRecord Request(TExceptionKind kind, std::string user, TDateTime first, TDateTime last = 0) {
  TExceptionRecord r;
  r.Kind = kind;
  r.User = std::move(user);
  r.First = first;
  r.Last = last == 0 ? first : last;
  return r;
}

class TRotaFixture : public TScheduleFixture {
 protected:
  void SetUp() override {
    TScheduleFixture::SetUp();
    TScheduleError error;
    ASSERT_TRUE(OpenOrCreateRotaFile(exceptions_, TScheduleFile::Exceptions, dir_.Path(), error)) << error.Text();
    ASSERT_TRUE(OpenOrCreateRotaFile(history_, TScheduleFile::History, dir_.Path(), error)) << error.Text();
    PutDuty(tables_.Work, 1, GbkLiteral("白班"));
    PutDuty(tables_.Work, 2, GbkLiteral("夜班"));
    PutDuty(tables_.Work, 3, GbkLiteral("休息"));
    PutScheme(tables_.Shift, 1, 3, "A", "1#2#3#");
    PutScheme(tables_.Shift, 2, 2, "B", "2#3#");
    PutUser(tables_.User, "Zhang", 1, Jan(1), 0);
    PutUser(tables_.User, "Li", 1, Jan(1), 1);
    PutUser(tables_.User, "Wang", 0, Jan(1), 0);
  }
  void TearDown() override {
    EXPECT_TRUE(exceptions_.Close());
    EXPECT_TRUE(history_.Close());
    TScheduleFixture::TearDown();
  }

  std::int32_t Add(TExceptionRecord r) {
    TRotaError error;
    EXPECT_TRUE(rota_.AddException(r, error)) << error.Text();
    return r.ID;
  }
  std::shared_ptr<const TRotaSnapshot> Snapshot() { return TRotaSnapshot::Build(schedule_, exceptions_, history_); }
  TResolvedDay Resolve(std::string_view user, TDateTime day) {
    auto snapshot = Snapshot();
    TResolvedDay resolved = snapshot->Resolve(*snapshot->FindUser(user), day);
    keep_ = snapshot;  // the day's texts point into it
    return resolved;
  }
  // The duty text of the day, in UTF-8.
  std::string Duty(std::string_view user, TDateTime day) { return Utf8(DayDutyText(Resolve(user, day))); }

  TTableStream exceptions_{TTableStream::kModeReadWrite};
  TTableStream history_{TTableStream::kModeReadWrite};
  TScheduleRecords schedule_{tables_, TWritePolicy::Trimmed};
  TRotaRecords rota_{schedule_, exceptions_, history_};
  std::shared_ptr<const TRotaSnapshot> keep_;
};

}  // namespace kadrel::schedtest
