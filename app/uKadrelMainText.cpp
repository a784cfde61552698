#include "app/uKadrelMainText.h"

#include "platform/uDateTime.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"
#include "schedule/uDayText.h"

#include <sys/stat.h>

#include <cerrno>

namespace kadrel {

namespace {

struct TLiterals {
  std::string TodayIs = GbkLiteral("今天是：");
  std::string Lunar = GbkLiteral("农历：");
  std::string Today = GbkLiteral("今天");
  std::string CurrentUser = GbkLiteral("当前用户：");
};

const TLiterals& L() {
  static const TLiterals literals;
  return literals;
}

}  // namespace

std::string CalendarHintText(const TCalendKD& day, const TResolvedDay& duty) {
  const TLiterals& l = L();
  std::string text;
  text.reserve(64);
  text += l.TodayIs;
  text += std::to_string(day.Month);
  text += GbkDateWords().Month;
  text += std::to_string(day.Day);
  text += GbkDateWords().Day;
  text += '\r';
  text += l.Lunar;
  text += day.YearName;
  text += day.MonthName;
  text += day.DayName;
  if (day.Mark != THolidayMark::None) {
    text += '\r';
    text += HolidayText(day);
  }
  // A duty of the rotation shows even when its name is empty, as it always
  // did; a leave shows its kind.
  const std::string dutyText = DayDutyText(duty);
  if (duty.Duty.Has || !dutyText.empty()) {
    text += '\r';
    text += l.Today;
    text += dutyText;
  }
  for (const std::string& line : DayHoverLines(duty)) {
    text += '\r';
    text += line;
  }
  return text;
}

std::string HolidayNoticeText(const std::vector<THolidayMessage>& messages) {
  constexpr std::size_t kShown = 8;
  std::string text = "节假日安排文件中有无法使用的内容，已跳过，其余照常使用：";
  for (std::size_t i = 0; i < messages.size() && i < kShown; ++i) {
    text += '\n';
    text += HolidayMessageChinese(messages[i]);
  }
  if (messages.size() > kShown) text += "\n……";
  return text;
}

std::string BannerText(const TShiftUser& user) { return L().CurrentUser + user.Name; }

std::string UserItemCaption(std::string_view name) {
  std::string caption(name);
  caption += '_';
  return caption;
}

std::string YearCaption(int year) { return std::to_string(year) + GbkDateWords().Year; }

std::string MonthListDay(int day) { return std::to_string(day) + GbkDateWords().Day; }

namespace {

constexpr const char* kNothingChanged = "Kadrel现在退出，没有改动任何数据文件。";

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "文件夹";
  if (S_ISFIFO(mode)) return "命名管道";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "设备";
  if (S_ISSOCK(mode)) return "套接字";
  return "特殊文件";
}

// Why a missing file could not be made.
std::string CreateDetail(const TTableError& why) {
  if (why.Kind == TTableFault::NoSpace) return why.Errno == EDQUOT ? "超出了磁盘配额" : "磁盘已满";
  if (why.Errno == EIO) return "读写磁盘时出错";
  return "系统拒绝了这一操作";
}

// What to do about it.
std::string CreateAdvice(const TTableError& why) {
  if (why.Kind == TTableFault::NoSpace) return "请腾出磁盘空间后再启动Kadrel。";
  if (why.Errno == EIO) return "请检查磁盘后再启动Kadrel。";
  return "请检查数据文件夹的权限。";
}

}  // namespace

std::string DamageDetail(const TTableError& why) {
  constexpr const char* kNotATable = "内容不合Kadrel数据表的格式";
  // Opening only reads, so a failing system call there is a failing read.
  if (why.Kind == TTableFault::IoError) return "读取文件时出错";
  if (why.Kind != TTableFault::Damaged) return kNotATable;
  const std::string n = std::to_string(why.Number);
  switch (why.Damage) {
    case TDamage::Signature: return "文件开头没有Kadrel数据表的标记";
    case TDamage::HeaderSize: return "文件不足32字节，文件头不完整";
    case TDamage::DataStart: return "文件头记下的数据起点与字段数不符";
    case TDamage::FieldTable: return "字段表不完整";
    case TDamage::Field: return "第" + n + "个字段的定义无效";
    case TDamage::FileLength:
      return "文件长度为" + n + "字节，与文件头记下的" + std::to_string(why.Count) + "条记录不符，最后一条记录可能不完整";
    case TDamage::Counts: return "文件头记下的记录数互相矛盾";
    case TDamage::Slot: return "第" + n + "条记录已损坏";
    case TDamage::FreeList: return "已删除记录的链表已损坏";
    case TDamage::ForeignFields: return "字段与这个数据文件应有的不同，它不是这个文件的数据表";
    case TDamage::Journal: return "旁边的日志文件“" + why.Name + "”无法使用，请把它移到别处";
    case TDamage::CannotUndo: return "无法撤销上次被中断的修改";
    case TDamage::TooLarge: return "文件太大，不是Kadrel的数据表";
    case TDamage::Replaced: return "打开时文件一再被替换";
    case TDamage::None: break;
  }
  return kNotATable;
}

std::string OpenFailureText(const TOpenFailure& failure, const std::string& folder) {
  const std::string file = "“" + failure.File + "”", in = "数据文件夹“" + folder + "”中的";
  switch (failure.Fault) {
    case TOpenFault::InUse:
      return in + "数据文件" + file + "正被另一个程序使用（另一个Kadrel，或正在修改数据的kadrel-cli）。\n" +
             "请先关闭另一个Kadrel，或等kadrel-cli完成，再启动Kadrel。Kadrel现在退出。";
    case TOpenFault::NoPermission:
      if (failure.Creating) {
        return "没有权限在数据文件夹“" + folder + "”中创建数据文件" + file + "。\n请检查数据文件夹的权限。" +
               kNothingChanged;
      }
      return "没有权限读取" + in + "数据文件" + file + "。\n请检查该文件和数据文件夹的权限。" + kNothingChanged;
    case TOpenFault::NotRegular:
      return in + file + "不是普通文件，而是" + KindOfFile(static_cast<mode_t>(failure.Why.FileType)) +
             "，不能作为数据文件使用。\n请把它移到别处，或从备份恢复数据文件。" + kNothingChanged;
    case TOpenFault::CannotCreate:
      return "无法在数据文件夹“" + folder + "”中创建数据文件" + file + "：" + CreateDetail(failure.Why) + "。\n" +
             CreateAdvice(failure.Why) + kNothingChanged;
    // Only a reader meets these; the main window makes what is missing.
    case TOpenFault::NoData:
    case TOpenFault::Missing:
      return "在数据文件夹“" + folder + "”中找不到数据文件" + (failure.File.empty() ? std::string() : file) +
             "。\n请从备份恢复数据文件夹中的数据文件。" + kNothingChanged;
    case TOpenFault::None:
    case TOpenFault::Damaged:
      break;
  }
  // A journal in the way is mended by moving it, which its detail says.
  const bool journal = failure.Why.Kind == TTableFault::Damaged && failure.Why.Damage == TDamage::Journal;
  return in + "数据文件" + file + "已损坏：" + DamageDetail(failure.Why) + "。\n" +
         (journal ? "" : "请从备份恢复数据文件夹中的数据文件。") + kNothingChanged;
}

std::string ReadOnlyNoticeText() {
  return "数据文件是只读的，Kadrel现在只能查看，不能配置倒班规律。\n"
         "要修改，请让数据文件和数据文件夹可以写入，然后重新启动Kadrel。";
}

}  // namespace kadrel
