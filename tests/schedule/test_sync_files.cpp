#include <gtest/gtest.h>

#include <cerrno>

#include "platform/uFileOps.h"
#include "schedule/uSyncFiles.h"
#include "tests/schedule/schedule_test_util.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

const std::string kCal = "http://127.0.0.1:5232/alice/shifts/";

TEST(SyncFiles, RecordsAreKeptPerCalendarAndSurviveAReopen) {
  TTestDir dir;
  TScheduleError error;
  {
    TTableStream table;
    ASSERT_TRUE(OpenSyncFileIfAny(table, dir.Path(), TTableStream::kModeReadWrite, error));
    EXPECT_FALSE(table.IsOpen());  // no file: nothing published yet
    ASSERT_TRUE(OpenOrCreateSyncFile(table, dir.Path(), error)) << error.Text();
    TSyncState state(table, kCal);
    TSyncState other(table, "https://elsewhere/cal/");
    ASSERT_TRUE(state.Put({"k-1", "/alice/shifts/k-1.ics", "\"e1\"", "0123456789abcdef", {}}, error)) << error.Text();
    ASSERT_TRUE(state.Put({"k-2", "/alice/shifts/k-2.ics", "\"e2\"", "00000000000000aa", {}}, error));
    ASSERT_TRUE(other.Put({"k-1", "/cal/k-1.ics", "\"x\"", "00000000000000bb", {}}, error));
    ASSERT_TRUE(state.Put({"k-1", "/alice/shifts/k-1.ics", "\"e3\"", "0123456789abcdef", "00000000000000cc"}, error));
    ASSERT_TRUE(state.Drop("k-2", error));
    EXPECT_TRUE(state.Drop("never-there", error));

    // Refused whole, before the record is touched.
    const auto before = schedtest::ReadFileBytes(SyncPath(dir.Path()));
    EXPECT_FALSE(state.Put({"k-1", std::string(600, 'h'), "\"e4\"", "1", {}}, error));
    EXPECT_EQ(error.Fault, TEditFault::TooLong);
    EXPECT_FALSE(state.Put({"k-\xE5\xBC\xA0", "/h", "\"e4\"", "1", {}}, error));
    EXPECT_EQ(schedtest::ReadFileBytes(SyncPath(dir.Path())), before);
  }
  TTableStream table;
  ASSERT_TRUE(OpenSyncFileIfAny(table, dir.Path(), TTableStream::kModeReadShared, error)) << error.Text();
  const TSyncState state(table, kCal);
  ASSERT_EQ(state.Entries().size(), 1u);
  EXPECT_EQ(state.Entries().front(),
            (TSyncEntry{"k-1", "/alice/shifts/k-1.ics", "\"e3\"", "0123456789abcdef", "00000000000000cc"}));
  EXPECT_EQ(TSyncState(table, "https://elsewhere/cal/").Find("k-1")->ETag, "\"x\"");
}

// A publish holds its records and writes them in one commit: all or none,
// and the records in memory follow the file either way, so that a later
// change lands on the right slot.
TEST(SyncFiles, AHeldBatchIsOneCommitAndAFailedOneChangesNothing) {
  struct TNoSync : TFileOps {
    int Sync(int) override {
      errno = EIO;
      return -1;
    }
  } noSync;
  TTestDir dir;
  TScheduleError error;
  TTableStream table;
  ASSERT_TRUE(OpenOrCreateSyncFile(table, dir.Path(), error)) << error.Text();
  TSyncState state(table, kCal);
  ASSERT_TRUE(state.Put({"k-1", "/a/k-1.ics", "\"e1\"", "1", {}}, error));
  const auto before = schedtest::ReadFileBytes(SyncPath(dir.Path()));
  auto batch = [&](const std::string& tag) {
    return state.Hold(error) && state.Put({"k-2", "/a/k-2.ics", {}, {}, "2"}, error) &&
           state.Put({"k-1", "/a/k-1.ics", tag, "1", {}}, error) &&
           schedtest::ReadFileBytes(SyncPath(dir.Path())) == before && state.Flush(error);
  };
  table.SetFileOps(&noSync);
  EXPECT_FALSE(batch("\"e2\""));
  EXPECT_TRUE(error.Reason.starts_with("writing the records")) << error.Text();
  table.SetFileOps(nullptr);
  EXPECT_EQ(schedtest::ReadFileBytes(SyncPath(dir.Path())), before);
  ASSERT_EQ(state.Entries().size(), 1u);
  EXPECT_EQ(state.Find("k-1")->ETag, "\"e1\"");

  ASSERT_TRUE(batch("\"e3\"")) << error.Text();
  table.Close();
  ASSERT_TRUE(OpenSyncFileIfAny(table, dir.Path(), TTableStream::kModeReadShared, error));
  const TSyncState reread(table, kCal);
  EXPECT_EQ(reread.Entries().size(), 2u);
  EXPECT_EQ(reread.Find("k-1")->ETag, "\"e3\"");
}

TEST(SyncFiles, TheHashOfAnEventLeavesOutOnlyWhenItWasMade) {
  const std::string event = "BEGIN:VEVENT\r\nUID:k-1\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:早班\r\nEND:VEVENT\r\n";
  const std::string later = "BEGIN:VEVENT\r\nUID:k-1\r\nDTSTAMP:20261231T235959Z\r\nSUMMARY:早班\r\nEND:VEVENT\r\n";
  const std::string folded = "BEGIN:VEVENT\r\nUID:k-1\r\nDTSTAMP:20261231\r\n T235959Z\r\nSUMMARY:早班\r\nEND:VEVENT\r\n";
  EXPECT_EQ(EventHash(event), EventHash(later));
  EXPECT_EQ(EventHash(event), EventHash(folded));
  EXPECT_EQ(EventHash(event).size(), 16u);
  EXPECT_NE(EventHash(event), EventHash("BEGIN:VEVENT\r\nUID:k-1\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:夜班\r\nEND:VEVENT\r\n"));
  // A property that only begins like it is part of the text.
  EXPECT_NE(EventHash(event), EventHash(event + "DTSTAMPX:1\r\n"));
}

}  // namespace
}  // namespace kadrel
