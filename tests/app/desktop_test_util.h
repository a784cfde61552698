// A folder whose 夜班 has times and a reminder, for the desktop's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/uTimeZone.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uFolderSettings.h"
#include "schedule/uScheduleFolder.h"

namespace kadrel::apptest {

// A wall time of Shanghai, eight hours ahead of UTC.
inline TUtcTime Cst(int y, int mo, int d, int h, int mi) {
  return {WallTimeOf(EncodeDate(y, mo, d), h * 60 + mi).Seconds - 8 * 3600};
}

// 夜班 (duty kind 2 of WriteDataSet) 20:00 + 720 in Shanghai, reminded an
// hour ahead.
inline void SetNightTimes(const std::string& dir) {
  TScheduleFolder folder(dir);
  ASSERT_FALSE(folder.Open({TFolderAccess::Write}).Failed());
  TScheduleError open;
  TTimesError error;
  ASSERT_TRUE(folder.OpenForChange(TScheduleFile::Times, open) && folder.OpenForChange(TScheduleFile::Settings, open));
  const TDutyTimes night{2, 1200, 720, false, kNoColor, 60};
  ASSERT_TRUE(SetDutyTimes(folder.Tables().Times, folder.Records(), night, error)) << error.Text();
  ASSERT_TRUE(SetSetting(folder.Tables().Settings, kTimeZoneKey, "Asia/Shanghai", error)) << error.Text();
  ASSERT_TRUE(folder.Close(open));
}

}  // namespace kadrel::apptest
