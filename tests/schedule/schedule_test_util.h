// Helpers for the tests of the schedule files, the duty computation and the
// command-line tool: a scratch folder, whole-file reads, a fixed clock, and
// raw record writers that bypass the checks, for data the checks refuse.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/uClock.h"
#include "platform/uDateTime.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"
#include "store/uTableStream.h"
#include "tests/test_dir.h"

namespace kadrel::schedtest {

using Bytes = std::vector<unsigned char>;

class TScratchDir {
 public:
  std::string Path() const { return dir_.Path().string(); }
  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string File(TScheduleFile file) const { return SchedulePath(Path(), file); }
  // Names of everything in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  TTestDir dir_;
};

inline Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// 14 March 2026, 18:00: a fixed "now" with a time of day.
inline TDateTime FixedNow() { return static_cast<TDateTime>(EncodeDate(2026, 3, 14)) + 0.75; }

// Writers that store exactly what they are given.
inline void PutDuty(TTableStream& work, std::int32_t id, const std::string& name) {
  ASSERT_TRUE(work.Append());
  ASSERT_TRUE(work.SetInteger(kWorkID, id));
  ASSERT_TRUE(work.SetText(kWorkName, name));
  ASSERT_TRUE(work.SetText(kWorkHint, ""));
  ASSERT_TRUE(work.Post()) << work.ErrorString();
}

inline void PutScheme(TTableStream& shift, std::int32_t id, std::int32_t count, const std::string& name,
                      const std::string& worklist) {
  ASSERT_TRUE(shift.Append());
  ASSERT_TRUE(shift.SetInteger(kShiftID, id));
  ASSERT_TRUE(shift.SetInteger(kShiftCount, count));
  ASSERT_TRUE(shift.SetText(kShiftName, name));
  ASSERT_TRUE(shift.SetText(kShiftWorkList, worklist));
  ASSERT_TRUE(shift.Post()) << shift.ErrorString();
}

inline void PutUser(TTableStream& user, const std::string& name, std::int32_t shiftId, TDateTime start,
                    std::int32_t firstId) {
  ASSERT_TRUE(user.Append());
  ASSERT_TRUE(user.SetText(kUserName, name));
  ASSERT_TRUE(user.SetInteger(kUserShiftID, shiftId));
  ASSERT_TRUE(user.SetFloat(kUserStart, start));
  ASSERT_TRUE(user.SetInteger(kUserFirstID, firstId));
  ASSERT_TRUE(user.Post()) << user.ErrorString();
}

struct TUserSpec {
  std::string Name;  // UTF-8
  std::int32_t ShiftID = 1;
  TDateTime Start = 0;
  std::int32_t FirstID = 0;
};

// Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 cycles 白班 夜班 休息 and
// scheme 2 is 白班 alone; then the given users, in order.
// A set of thousands of users is written without waiting for the disk
// after each record: `unsynced`.
inline void WriteDataSet(const std::string& dir, const std::vector<TUserSpec>& users, bool withDuties = true,
                         bool unsynced = false) {
  struct TNoSync : TFileOps {
    int Sync(int) override { return 0; }
  } noSync;
  TScheduleTables tables;
  if (unsynced) {
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&noSync);
  }
  TScheduleError error;
  ASSERT_TRUE(OpenScheduleTables(tables, dir, TScheduleAccess::Write, error)) << error.Text();
  if (withDuties) {
    PutDuty(tables.Work, 1, GbkLiteral("白班"));
    PutDuty(tables.Work, 2, GbkLiteral("夜班"));
    PutDuty(tables.Work, 3, GbkLiteral("休息"));
    PutScheme(tables.Shift, 1, 3, GbkLiteral("三班"), "1#2#3#");
    PutScheme(tables.Shift, 2, 1, GbkLiteral("常白班"), "1#");
  }
  for (const TUserSpec& u : users) PutUser(tables.User, GbkLiteral(u.Name), u.ShiftID, u.Start, u.FirstID);
  ASSERT_TRUE(CloseScheduleTables(tables, error)) << error.Text();
}

// Every data file of the folder, for checking that nothing changed.
inline std::vector<Bytes> DataFileBytes(const TScratchDir& dir) {
  std::vector<Bytes> all;
  for (TScheduleFile f : kScheduleFiles) all.push_back(ReadFileBytes(dir.File(f)));
  return all;
}

// Fails every write, rename or cut of a table, as asked, through a table's
// file seam. Emptying a journal, the commit of every change, still works.
class TFailingOps : public TFileOps {
 public:
  bool FailWrites = false;
  bool FailRenames = false;
  bool FailTruncates = false;
  int Truncate(int fd, off_t length) override {
    if (FailTruncates && length > 0) {
      errno = EIO;
      return -1;
    }
    return TFileOps::Truncate(fd, length);
  }
  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (FailWrites) {
      errno = ENOSPC;
      return -1;
    }
    return TFileOps::Write(fd, data, size, offset);
  }
  int Rename(const char* from, const char* to) override {
    if (FailRenames) {
      errno = EIO;
      return -1;
    }
    return TFileOps::Rename(from, to);
  }
};

// The three tables of a scratch folder, opened for writing.
class TScheduleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleTables(tables_, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
  }
  void TearDown() override {
    TScheduleError error;
    EXPECT_TRUE(CloseScheduleTables(tables_, error)) << error.Text();
  }
  void Reopen() {
    TScheduleError error;
    ASSERT_TRUE(CloseScheduleTables(tables_, error)) << error.Text();
    ASSERT_TRUE(OpenScheduleTables(tables_, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
  }

  TScratchDir dir_;
  TScheduleTables tables_;
};

}  // namespace kadrel::schedtest
