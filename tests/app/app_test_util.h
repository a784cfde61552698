// Data sets for the main-window tests: duty kinds, schemes and users written
// straight into a scratch folder's files, and readable output of GBK text.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <string>
#include <vector>

#include "platform/uGbk.h"
#include "widgets/uListMenu.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel::apptest {

using schedtest::Bytes;
using schedtest::ReadFileBytes;
using schedtest::TScratchDir;
using schedtest::WriteFileBytes;

inline std::string G(std::string_view utf8) { return GbkLiteral(utf8); }
inline std::string U(std::string_view gbk) { return GbkToUtf8Lossy(gbk); }

struct TUserSpec {
  std::string Name;  // UTF-8
  std::int32_t ShiftID = 1;
  TDateTime Start = 0;
  std::int32_t FirstID = 0;
};

// Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 cycles 白班 夜班 休息 and
// scheme 2 is 白班 alone; then the given users, in order.
inline void WriteDataSet(const std::string& dir, const std::vector<TUserSpec>& users, bool withDuties = true) {
  TScheduleTables tables;
  TScheduleError error;
  ASSERT_TRUE(OpenScheduleTables(tables, dir, TScheduleAccess::Write, error)) << error.Text();
  if (withDuties) {
    schedtest::PutDuty(tables.Work, 1, G("白班"));
    schedtest::PutDuty(tables.Work, 2, G("夜班"));
    schedtest::PutDuty(tables.Work, 3, G("休息"));
    schedtest::PutScheme(tables.Shift, 1, 3, G("三班"), "1#2#3#");
    schedtest::PutScheme(tables.Shift, 2, 1, G("常白班"), "1#");
  }
  for (const TUserSpec& u : users) schedtest::PutUser(tables.User, G(u.Name), u.ShiftID, u.Start, u.FirstID);
  ASSERT_TRUE(CloseScheduleTables(tables, error)) << error.Text();
}

// The row of the user item captioned `caption`; -1, and a failure, if none.
inline int UserRow(const TListMenu& menu, const QString& caption) {
  for (int row = 0; row < menu.Count(); ++row)
    if (menu.Text(row) == caption) return row;
  ADD_FAILURE() << "no user item " << caption.toStdString();
  return -1;
}

// Every data file of the folder, for checking that nothing changed.
inline std::vector<Bytes> DataFileBytes(const TScratchDir& dir) {
  std::vector<Bytes> all;
  for (TScheduleFile f : kScheduleFiles) all.push_back(ReadFileBytes(dir.File(f)));
  return all;
}

}  // namespace kadrel::apptest

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << " x " << s.height(); }
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << "(" << p.x() << ", " << p.y() << ")"; }
inline void PrintTo(const QRect& r, std::ostream* os) {
  *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
