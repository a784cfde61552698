// A team's data folder for looking at the roster by eye: scripts/screenshot
// opens Kadrel on it under Xvfb.
//
//   roster_demo DIR    writes, into the empty folder DIR, three duty kinds
//                      with their times and colours (休息 a rest), a
//                      白 夜 休 休 rotation, twelve users at every place of
//                      it, and in the current month a leave, a swap, an
//                      extra shift and a changed duty.
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uScheduleFolder.h"
#include "schedule/uTimeFiles.h"

namespace {

using namespace kadrel;

bool WriteTeam(const std::string& dir, std::string& why) {
  TScheduleFolder folder(dir);
  if (folder.Open({TFolderAccess::Write, TWritePolicy::Trimmed}).Failed()) return why = "cannot open " + dir, false;
  TScheduleRecords& records = folder.Records();
  TScheduleError e;
  bool ok = true;
  for (const char* name : {"白班", "夜班", "休息"}) {
    TDutyKindRecord kind{0, GbkLiteral(name), ""};
    ok = ok && records.SaveDutyKind(kind, e);
  }
  TSchemeRecord scheme{0, GbkLiteral("两班倒"), {1, 2, 3, 3}};
  ok = ok && records.SaveScheme(scheme, e);
  const TYmd today = DecodeDate(WholeDays(Today()));
  const auto day = [&](int d) { return static_cast<TDateTime>(EncodeDate(today.Year, today.Month, d)); };
  const char* names[] = {"张三", "李四", "王五", "赵六", "钱七", "孙八", "周九", "吴十", "郑一", "冯二", "陈明", "褚亮"};
  int place = 0;
  for (const char* name : names) {
    TUserRecord user{0, GbkLiteral(name), 1, day(1), place++ % 4};
    ok = ok && records.SaveUser(user, e);
  }
  if (!ok) return why = e.Text(), false;

  TTableStream times(TTableStream::kModeReadWrite);
  if (!OpenOrCreateTimeFile(times, TTimeFile::Times, dir, e)) return why = e.Text(), false;
  TTimesError timesError;
  for (const TDutyTimes& t : {TDutyTimes{1, 8 * 60, 720, false, 0xFFE08A}, TDutyTimes{2, 20 * 60, 720, false, 0x8FB4F0},
                              TDutyTimes{3, -1, 0, true}}) {
    if (!SetDutyTimes(times, records, t, timesError)) return why = timesError.Text(), false;
  }
  times.Close();

  auto change = [&](TExceptionKind kind, const char* user, int first, int last, std::int32_t duty, const char* extra) {
    TExceptionRecord r;
    r.Kind = kind;
    r.User = GbkLiteral(user);
    r.First = day(first);
    r.Last = day(last);
    r.DutyID = duty;
    if (kind == TExceptionKind::Leave) r.Leave = GbkLiteral(extra);
    if (kind == TExceptionKind::Swap) r.Partner = GbkLiteral(extra);
    TRotaError error;
    if (!folder.Rota().AddException(r, error)) why = error.Text();
    return why.empty();
  };
  // 张三 and 李四 stand one place apart, so on the 6th both work.
  return change(TExceptionKind::Leave, "王五", 8, 10, 0, "年假") && change(TExceptionKind::Swap, "张三", 6, 6, 0, "李四") &&
         change(TExceptionKind::Extra, "赵六", 12, 12, 1, "") && change(TExceptionKind::Set, "钱七", 14, 14, 3, "") &&
         folder.Close(e);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: roster_demo DIR\n");
    return 1;
  }
  std::string why;
  if (!WriteTeam(argv[1], why)) {
    std::fprintf(stderr, "roster_demo: %s\n", why.c_str());
    return 2;
  }
  return 0;
}
