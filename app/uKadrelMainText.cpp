#include "app/uKadrelMainText.h"

#include "platform/uDateTime.h"
#include "platform/uDateWords.h"
#include "platform/uGbk.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>

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

std::string CalendarHintText(const TCalendKD& day, const TShiftUser& user) {
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
  std::string duty;
  if (GetDutyName(user, static_cast<TDateTime>(EncodeDate(day.Year, day.Month, day.Day)), duty)) {
    text += '\r';
    text += l.Today;
    text += duty;
  }
  return text;
}

std::string HolidayNoticeText(const std::vector<std::string>& messages) {
  constexpr std::size_t kShown = 8;
  std::string text = "节假日安排文件中有 " + std::to_string(messages.size()) + " 行无法使用，已跳过：";
  for (std::size_t i = 0; i < messages.size() && i < kShown; ++i) text += "\n" + messages[i];
  if (messages.size() > kShown) text += "\n……";
  return text;
}

std::string BannerText(const TShiftUser& user) { return L().CurrentUser + user.Name; }

std::string UserItemCaption(std::string_view name) {
  std::string caption(name);
  caption += '_';
  return caption;
}

std::string UserNameOfCaption(std::string_view caption) {
  if (caption.ends_with('_')) caption.remove_suffix(1);
  return std::string(caption);
}

std::string YearCaption(int year) { return std::to_string(year) + GbkDateWords().Year; }

std::string MonthListDay(int day) { return std::to_string(day) + GbkDateWords().Day; }

namespace {

constexpr const char* kNothingChanged = "Kadrel现在退出，没有改动任何数据文件。";

// The number right after `after` in `text`, as text; empty if none.
std::string NumberAfter(std::string_view text, std::string_view after) {
  const std::size_t at = text.find(after);
  if (at == std::string_view::npos) return {};
  const std::string_view rest = text.substr(at + after.size());
  long long value = 0;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  return ec == std::errc() ? std::string(rest.data(), end) : std::string();
}

std::string WordAfter(std::string_view text, std::string_view after) {
  const std::size_t at = text.find(after);
  if (at == std::string_view::npos) return {};
  const std::string_view rest = text.substr(at + after.size());
  return std::string(rest.substr(0, rest.find(' ')));
}

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "文件夹";
  if (S_ISFIFO(mode)) return "命名管道";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "设备";
  if (S_ISSOCK(mode)) return "套接字";
  return "特殊文件";
}

// Why a missing file could not be made, from the system's error at the end
// of the store's reason.
std::string CreateDetail(std::string_view reason) {
  auto endsWith = [reason](int e) { return reason.ends_with(std::strerror(e)); };
  if (endsWith(ENOSPC)) return "磁盘已满";
  if (endsWith(EDQUOT)) return "超出了磁盘配额";
  if (endsWith(EIO)) return "读写磁盘时出错";
  return "系统拒绝了这一操作";
}

}  // namespace

// The store tells what is wrong in English; each kind of damage it knows is
// told here in Chinese, with the numbers that locate it.
std::string DamageDetail(std::string_view r) {
  auto has = [r](std::string_view s) { return r.find(s) != std::string_view::npos; };
  if (has("wrong signature")) return "文件开头没有Kadrel数据表的标记";
  if (has("32-byte header")) return "文件不足32字节，文件头不完整";
  if (r.starts_with("data start")) return "文件头记下的数据起点与字段数不符";
  if (has("shorter than its field table") || has("cannot read the field table")) return "字段表不完整";
  if (r.starts_with("field ")) return "第" + NumberAfter(r, "field ") + "个字段的定义无效";
  if (r.starts_with("file length ")) {
    return "文件长度为" + NumberAfter(r, "file length ") + "字节，与文件头记下的" + NumberAfter(r, "+ ") +
           "条记录不符，最后一条记录可能不完整";
  }
  if (has("slot count") || r.starts_with("deleted count") || r.starts_with("appended count") ||
      (r.starts_with("free-list head ") && has("out of range"))) {
    return "文件头记下的记录数互相矛盾";
  }
  if (r.starts_with("live slot ") || r.starts_with("cannot read slot ") || (r.starts_with("slot ") && has("status"))) {
    return "第" + NumberAfter(r, "slot ") + "条记录已损坏";
  }
  if (has("free list") || has("free-list") || has("deleted slots")) return "已删除记录的链表已损坏";
  if (has("its fields are not those of this file")) return "字段与这个数据文件应有的不同，它不是这个文件的数据表";
  if (r.starts_with("the journal ")) {
    return "旁边的日志文件“" + WordAfter(r, "the journal ") + "”无法使用，请把它移到别处";
  }
  if (has("cannot undo a change")) return "无法撤销上次被中断的修改";
  if (has("too large")) return "文件太大，不是Kadrel的数据表";
  if (has("keeps being replaced")) return "打开时文件一再被替换";
  if (r.starts_with("cannot read")) return "读取文件时出错";
  return "内容不合Kadrel数据表的格式";
}

std::string OpenFailureText(const TOpenFailure& failure) {
  const std::string file = "“" + failure.File + "”";
  switch (failure.Fault) {
    case TOpenFault::InUse:
      return "数据文件" + file + "正被另一个程序使用（另一个Kadrel，或正在修改数据的kadrel-cli）。\n" +
             "请先关闭它，Kadrel现在退出。";
    case TOpenFault::NoPermission:
      if (failure.Creating) {
        return "没有权限在数据文件夹中创建数据文件" + file + "。\n请检查数据文件夹的权限。" + kNothingChanged;
      }
      return "没有权限读取数据文件" + file + "。\n请检查该文件和数据文件夹的权限。" + kNothingChanged;
    case TOpenFault::NotRegular:
      return file + "不是普通文件，而是" + KindOfFile(failure.Mode) + "，不能作为数据文件使用。\n" + kNothingChanged;
    case TOpenFault::CannotCreate:
      return "无法创建数据文件" + file + "：" + CreateDetail(failure.Reason) + "。\n" + kNothingChanged;
    case TOpenFault::None:
    case TOpenFault::Damaged:
      break;
  }
  return "数据文件" + file + "已损坏：" + DamageDetail(failure.Reason) + "。\n" + kNothingChanged;
}

std::string ReadOnlyNoticeText() {
  return "数据文件是只读的，Kadrel现在只能查看，不能配置倒班规律。\n"
         "要修改，请让数据文件和数据文件夹可以写入，然后重新启动Kadrel。";
}

}  // namespace kadrel
