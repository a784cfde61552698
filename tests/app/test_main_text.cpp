// The hover text, the banner motion, the user-menu captions and what the
// user is told when the data files cannot be opened.
#include "app/uKadrelMainText.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <regex>

#include "tests/app/app_test_util.h"

namespace kadrel {
namespace {

using apptest::G;
using apptest::U;

TCalendKD Day(int y, int m, int d) {
  TCalendKD day;
  day.Year = y;
  day.Month = m;
  day.Day = d;
  FillDay(day);
  return day;
}

// 白班 夜班 休息 with 白班 on 1 February 2024.
TShiftUser ThreeShiftUser() {
  TShiftUser user;
  user.Name = G("张三");
  user.ShiftID = 1;
  user.Count = 3;
  user.Start = static_cast<TDateTime>(EncodeDate(2024, 2, 1));
  user.worklist = {G("白班"), G("夜班"), G("休息")};
  return user;
}

struct THintCase {
  const char* Name;
  int Y, M, D;
  bool WithCycle;
  const char* Expected;  // UTF-8, lines joined by "\r"
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const THintCase& c, std::ostream* os) { *os << c.Name; }

class HintText : public ::testing::TestWithParam<THintCase> {};

// The day as the resolver gives it without exceptions: the rotation's duty.
TResolvedDay Rotation(const TShiftUser& user, int y, int m, int d) {
  TResolvedDay day;
  static std::string name;
  if (GetDutyName(user, static_cast<TDateTime>(EncodeDate(y, m, d)), name)) day.Duty = {true, 1, name};
  day.Replaced = day.Duty;
  return day;
}

TEST_P(HintText, ReadsAsTheTooltipShowsIt) {
  const THintCase& c = GetParam();
  const TShiftUser user = c.WithCycle ? ThreeShiftUser() : TShiftUser{};
  EXPECT_EQ(U(CalendarHintText(Day(c.Y, c.M, c.D), Rotation(user, c.Y, c.M, c.D))), c.Expected);
}

TEST(HintTextOfAChangedDay, NamesTheChangeAfterTheDuty) {
  const std::string day = G("白班"), night = G("夜班"), annual = G("年假"), note = G("替李四");
  TResolvedDay leave;
  leave.Replaced = {true, 1, day};
  leave.Kind = TExceptionKind::Leave;
  leave.Leave = annual;
  leave.Note = note;
  EXPECT_EQ(U(CalendarHintText(Day(2024, 2, 5), leave)),
            "今天是：2月5日\r农历：癸卯兔年十二月廿六\r今天年假\r请假：年假（原：白班）\r备注：替李四");
  TResolvedDay extra;
  extra.Duty = extra.Replaced = {true, 1, day};
  extra.Kind = TExceptionKind::Extra;
  extra.Extras.push_back({7, {true, 2, night}});
  EXPECT_EQ(U(CalendarHintText(Day(2024, 2, 5), extra)),
            "今天是：2月5日\r农历：癸卯兔年十二月廿六\r今天白班+夜班\r加班：夜班");
  TResolvedDay off;  // changed to no duty: nothing to say after 今天
  off.Replaced = {true, 2, night};
  off.Kind = TExceptionKind::Set;
  EXPECT_EQ(U(CalendarHintText(Day(2024, 2, 5), off)), "今天是：2月5日\r农历：癸卯兔年十二月廿六\r改班：无（原：夜班）");
}

INSTANTIATE_TEST_SUITE_P(
    Days, HintText,
    ::testing::Values(
        THintCase{"UserWithoutCycleTwoLines", 2024, 2, 5, false, "今天是：2月5日\r农历：癸卯兔年十二月廿六"},
        THintCase{"UserWithCycleThreeLines", 2024, 2, 5, true, "今天是：2月5日\r农历：癸卯兔年十二月廿六\r今天夜班"},
        // A holiday mark adds its line before the duty.
        THintCase{"MakeUpWorkday", 2024, 2, 4, true,
                  "今天是：2月4日\r农历：癸卯兔年十二月廿五\r调休上班：春节\r今天白班"},
        THintCase{"StatutoryDay", 2024, 2, 10, false, "今天是：2月10日\r农历：甲辰龙年正月初一\r节假日：春节（法定）"},
        THintCase{"OtherDayOff", 2023, 10, 5, false, "今天是：10月5日\r农历：癸卯兔年八月廿一\r节假日：国庆节"},
        THintCase{"DayBeforeTheStartRunsBackwards", 2024, 1, 31, true,
                  "今天是：1月31日\r农历：癸卯兔年十二月廿一\r今天休息"},
        THintCase{"LeapMonth", 2023, 3, 22, false, "今天是：3月22日\r农历：癸卯兔年闰二月初一"},
        THintCase{"LeapDay", 2024, 2, 29, true, "今天是：2月29日\r农历：甲辰龙年正月二十\r今天夜班"},
        // The navigator reaches 1900, where the lunar tables end: no names,
        // but the text is still whole and the duty still known.
        THintCase{"BeforeTheLunarTables", 1900, 6, 1, true, "今天是：6月1日\r农历：\r今天夜班"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(UserCaption, TheNameAndAnUnderscore) {
  // 沖 ends in the byte of "_" in GBK; a name may hold "_" of its own.
  for (const char* name : {"a_b", "沖", "_", "a__", "张三"}) {
    const std::string gbk = G(name);
    EXPECT_EQ(UserItemCaption(gbk), gbk + "_") << name;
  }
}

// The message of a start on a folder `damage` spoiled, the folder shown as
// "D"; every one is Chinese apart from the names of the folder, the file and
// the programs.
std::string StartMessage(const std::function<void(apptest::TScratchDir&)>& damage) {
  apptest::TScratchDir dir;
  apptest::WriteDataSet(dir.Path(), {{"张三", 1, 45000, 0}});
  damage(dir);
  TScheduleFolder folder(dir.Path());
  const TOpenFailure failure = folder.Open({TFolderAccess::WriteElseView, TWritePolicy::AsTyped});
  EXPECT_TRUE(failure.Failed());
  std::string text = OpenFailureText(failure, dir.Path());
  const auto at = text.find("“" + dir.Path() + "”");
  EXPECT_NE(at, std::string::npos) << text;
  if (at != std::string::npos) text = text.substr(0, at + 3) + "D" + text.substr(at + 3 + dir.Path().size());
  const std::string rest = std::regex_replace(text, std::regex("[a-z]+dat\\.kd2(-journal)?|Kadrel|kadrel-cli|“D”"), "");
  EXPECT_FALSE(std::regex_search(rest, std::regex("[A-Za-z]"))) << text;
  return text;
}

TEST(OpenFailureText, DamageIsToldWithWhatIsWrong) {
  using apptest::Bytes;
  const std::string user = "userdat.kd2";
  auto spoil = [](std::function<void(Bytes&)> change) {
    return [change](apptest::TScratchDir& dir) {
      Bytes bytes = apptest::ReadFileBytes(dir.File(TScheduleFile::User));
      change(bytes);
      apptest::WriteFileBytes(dir.File(TScheduleFile::User), bytes);
    };
  };
  const char* const after = "。\n请从备份恢复数据文件夹中的数据文件。Kadrel现在退出，没有改动任何数据文件。";
  EXPECT_EQ(StartMessage(spoil([](Bytes& b) { b.resize(b.size() - 3); })),
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：文件长度为220字节，与文件头记下的1条记录不符，最后一条记录可能不完整" +
                std::string(after));
  EXPECT_EQ(StartMessage(spoil([](Bytes& b) { b[0] = 'X'; })),
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：文件开头没有Kadrel数据表的标记" + std::string(after));
  EXPECT_EQ(StartMessage(spoil([](Bytes& b) { b.resize(11); })),
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：文件不足32字节，文件头不完整" + std::string(after));
  EXPECT_EQ(StartMessage(spoil([](Bytes& b) { b[192] = 'X'; })),  // the status byte of the first record
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：第1条记录已损坏" + std::string(after));
  EXPECT_EQ(StartMessage([](apptest::TScratchDir& dir) {
              apptest::WriteFileBytes(dir.File(TScheduleFile::User),
                                      apptest::ReadFileBytes(dir.File(TScheduleFile::Work)));
            }),
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：字段与这个数据文件应有的不同，它不是这个文件的数据表" + std::string(after));
  EXPECT_EQ(StartMessage([](apptest::TScratchDir& dir) {
              std::filesystem::create_directory(dir.File(TScheduleFile::User) + "-journal");
            }),
            "数据文件夹“D”中的数据文件“userdat.kd2”已损坏：旁边的日志文件“userdat.kd2-journal”无法使用，请把它移到别处。\n"
            "Kadrel现在退出，没有改动任何数据文件。");
  EXPECT_EQ(DamageDetail(TTableError::Of(TTableFault::CannotOpen, "cannot lock: No locks available")),
            "内容不合Kadrel数据表的格式");
}

TEST(OpenFailureText, EveryOtherKindNamesTheFileAndWhatIsInTheWay) {
  EXPECT_EQ(StartMessage([](apptest::TScratchDir& dir) {
              std::filesystem::remove(dir.File(TScheduleFile::Work));
              ASSERT_EQ(::mkfifo(dir.File(TScheduleFile::Work).c_str(), 0600), 0);
            }),
            "数据文件夹“D”中的“workdat.kd2”不是普通文件，而是命名管道，不能作为数据文件使用。\n"
            "请把它移到别处，或从备份恢复数据文件。Kadrel现在退出，没有改动任何数据文件。");
  TTableError folder = TTableError::Of(TTableFault::NotRegular, "not a regular file (a folder)");
  folder.FileType = S_IFDIR;
  TOpenFailure failure{TOpenFault::NotRegular, "userdat.kd2", folder, false};
  auto text = [&failure] { return OpenFailureText(failure, "/d"); };
  const std::string nothing = "Kadrel现在退出，没有改动任何数据文件。";
  EXPECT_EQ(text(), "数据文件夹“/d”中的“userdat.kd2”不是普通文件，而是文件夹，不能作为数据文件使用。\n"
                    "请把它移到别处，或从备份恢复数据文件。" + nothing);
  failure = {TOpenFault::InUse, "shiftdat.kd2", TTableError::Of(TTableFault::InUse, "in use"), false};
  EXPECT_EQ(text(), "数据文件夹“/d”中的数据文件“shiftdat.kd2”正被另一个程序使用（另一个Kadrel，或正在修改数据的kadrel-cli）。\n"
                    "请先关闭另一个Kadrel，或等kadrel-cli完成，再启动Kadrel。Kadrel现在退出。");
  failure = {TOpenFault::NoPermission, "workdat.kd2",
             TTableError::System(EACCES, TTableFault::CannotOpen, "cannot open"), false};
  EXPECT_EQ(text(), "没有权限读取数据文件夹“/d”中的数据文件“workdat.kd2”。\n请检查该文件和数据文件夹的权限。" + nothing);
  failure.Creating = true;
  EXPECT_EQ(text(), "没有权限在数据文件夹“/d”中创建数据文件“workdat.kd2”。\n请检查数据文件夹的权限。" + nothing);
  failure = {TOpenFault::CannotCreate, "userdat.kd2",
             TTableError::System(ENOSPC, TTableFault::CannotOpen, "cannot create"), true};
  EXPECT_EQ(text(), "无法在数据文件夹“/d”中创建数据文件“userdat.kd2”：磁盘已满。\n请腾出磁盘空间后再启动Kadrel。" + nothing);
  failure.Why = TTableError::System(EDQUOT, TTableFault::CannotOpen, "cannot create");
  EXPECT_EQ(text(), "无法在数据文件夹“/d”中创建数据文件“userdat.kd2”：超出了磁盘配额。\n请腾出磁盘空间后再启动Kadrel。" +
                        nothing);
  failure.Why = TTableError::System(EIO, TTableFault::IoError, "write failed");
  EXPECT_EQ(text(), "无法在数据文件夹“/d”中创建数据文件“userdat.kd2”：读写磁盘时出错。\n请检查磁盘后再启动Kadrel。" + nothing);
  failure = {TOpenFault::Missing, "workdat.kd2", TTableError::Of(TTableFault::CannotOpen, "no such file"), false};
  EXPECT_EQ(text(), "在数据文件夹“/d”中找不到数据文件“workdat.kd2”。\n请从备份恢复数据文件夹中的数据文件。" + nothing);
}

}  // namespace
}  // namespace kadrel
