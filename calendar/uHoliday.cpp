#include "calendar/uHoliday.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "calendar/uCalend.h"
#include "calendar/uHolidayData.h"
#include "platform/uDateTime.h"
#include "platform/uGbk.h"

namespace kadrel {
namespace {

// The festivals the rules know, at fixed indexes; arrangement files may
// bring others (the one-off 抗战胜利纪念日 of 2015), appended after them.
enum TRuleFestival : std::uint8_t { kNone, kNewYear, kSpring, kQingming, kLabour, kDragonBoat, kMidAutumn, kNational };
constexpr std::array<std::string_view, 8> kRuleFestivals = {"",       "元旦",   "春节",   "清明节",
                                                            "劳动节", "端午节", "中秋节", "国庆节"};

constexpr std::size_t kMaxFestivalBytes = 16;  // 8 Chinese characters in GBK
constexpr std::int64_t kMaxSpanDays = 31;

const std::int64_t kFirstSerial = EncodeDate(kFirstHolidayYear, 1, 1);
const std::int64_t kEndSerial = EncodeDate(kLastHolidayYear + 1, 1, 1);

const std::array<std::string, kRuleFestivals.size()>& RuleFestivalsGbk() {
  static const auto names = [] {
    std::array<std::string, kRuleFestivals.size()> gbk;
    for (std::size_t i = 1; i < gbk.size(); ++i) gbk[i] = GbkLiteral(kRuleFestivals[i]);
    return gbk;
  }();
  return names;
}

struct TStatutoryDay {
  std::int64_t Serial = 0;
  TRuleFestival Festival = kNone;
};

// A year's statutory days, at most 1 + 4 + 1 + 3 + 1 + 1 + 3.
struct TStatutoryDays {
  std::array<TStatutoryDay, 16> Days{};
  std::size_t Count = 0;

  void Add(std::int64_t serial, TRuleFestival festival) {
    // A day named twice keeps the later rule: 中秋 on 1 to 3 October is 国庆.
    for (std::size_t i = 0; i < Count; ++i)
      if (Days[i].Serial == serial) return void(Days[i].Festival = festival);
    Days[Count++] = {serial, festival};
  }
  bool Holds(std::int64_t serial) const {
    return std::any_of(Days.begin(), Days.begin() + static_cast<std::ptrdiff_t>(Count),
                       [&](const TStatutoryDay& d) { return d.Serial == serial; });
  }
};

std::int64_t LunarSerial(int year, int month, int day) {
  const int offset = LunarToDayOffset(year, month, false, day);
  return offset < 0 ? -1 : kFirstCalendSerial + offset;
}

// Straight from the lunar tables: a few lookups a year rather than a lunar
// conversion a day.
TStatutoryDays StatutoryDays(int y) {
  TStatutoryDays days;
  if (y < kFirstHolidayYear || y > kLastHolidayYear) return days;
  days.Add(EncodeDate(y, 1, 1), kNewYear);
  const std::int64_t newYear = LunarSerial(y, 1, 1);
  const bool eve = y >= 2008 && (y <= 2013 || y >= 2025);
  const int lastDay = y >= 2008 && y <= 2013 ? 2 : 3;
  for (std::int64_t d = newYear - (eve ? 1 : 0); d < newYear + lastDay; ++d) days.Add(d, kSpring);
  if (y >= 2008) {
    days.Add(LunarSerial(y, 5, 5), kDragonBoat);
    days.Add(LunarSerial(y, 8, 15), kMidAutumn);
    days.Add(EncodeDate(y, 4, GetSolarTermDay(y, 7)), kQingming);
  }
  const int mayDays = y < 2008 ? 3 : y < 2025 ? 1 : 2;
  const std::int64_t may = EncodeDate(y, 5, 1), october = EncodeDate(y, 10, 1);
  for (int d = 0; d < mayDays; ++d) days.Add(may + d, kLabour);
  for (int d = 0; d < 3; ++d) days.Add(october + d, kNational);
  return days;
}

bool IsWeekend(std::int64_t serial) {
  const int weekday = DayOfWeekSerial(serial);
  return weekday == 1 || weekday == 7;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The blank-separated fields of a line; a fifth one only says there are
// too many.
struct TFields {
  std::array<std::string_view, 5> At;
  std::size_t Count = 0;
};

TFields Fields(std::string_view line) {
  TFields f;
  while (f.Count < f.At.size() && !(line = Trim(line)).empty()) {
    std::size_t end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    f.At[f.Count++] = line.substr(0, end);
    line.remove_prefix(end);
  }
  return f;
}

class TParser {
 public:
  TParser(std::string_view source, std::vector<THolidayMessage>& messages, int shown)
      : source_(source), messages_(messages), shown_(shown) {}

  void Line(int number, std::string_view text) {
    number_ = number;
    const TFields f = Fields(text);
    if (f.Count == 0 || f.At[0].starts_with('#')) return;
    if (f.At[0] == "year") return YearLine(f);
    if (f.At[0] == "休" || f.At[0] == "班") return DayLine(f);
    Bad({.Fault = THolidayFault::NotALine});
  }

  std::vector<THolidayYear> Finish() {
    if (bad_ > shown_)
      messages_.push_back({.Source = std::string(source_), .Fault = THolidayFault::MoreBadLines, .Number = bad_ - shown_});
    return std::move(years_);
  }

 private:
  // Everything a year needs while its lines are read.
  struct TOpenYear {
    std::size_t Index = 0;              // into years_
    std::int64_t First = 0, Last = 0;   // the days its lines may name
    std::bitset<31 + 366> Listed;       // by day from First
    TStatutoryDays Statutory;
  };

  void YearLine(const TFields& f) {
    current_ = nullptr;
    skipping_ = true;
    int year = 0;
    if (f.Count != 2 || !ParseYear(f.At[1], year)) return Bad({.Fault = THolidayFault::BadYearLine});
    if (year < kFirstHolidayYear || year > kLastHolidayYear)
      return Bad({.Fault = THolidayFault::YearOutOfRange, .Year = year});
    skipping_ = false;
    for (TOpenYear& open : open_)
      if (years_[open.Index].Year == year) current_ = &open;
    if (current_) return;
    years_.push_back({year, {}, 0});
    TOpenYear& open = open_.emplace_back();
    open.Index = years_.size() - 1;
    open.First = std::max(EncodeDate(year - 1, 12, 1), kFirstSerial);
    open.Last = EncodeDate(year, 12, 31);
    open.Statutory = StatutoryDays(year);
    // open_ only grows at a new year, and current_ is taken after it grew.
    current_ = &open;
  }

  void DayLine(const TFields& f) {
    if (skipping_) return;
    if (!current_) return Bad({.Fault = THolidayFault::DayBeforeYear});
    if (f.Count < 3 || f.Count > 4) return BadDay({.Fault = THolidayFault::BadDayLine});
    THolidayEntry e;
    e.Mark = f.At[0] == "休" ? THolidayMark::Off : THolidayMark::Work;
    const std::string* gbk = Festival(f.At[1]);
    if (!gbk) return BadDay({.Fault = THolidayFault::NameNotGbk});
    if (gbk->size() > kMaxFestivalBytes) return BadDay({.Fault = THolidayFault::NameTooLong});
    e.Festival = *gbk;
    const auto first = ParseIsoDate(f.At[2]);
    const auto last = f.Count == 4 ? ParseIsoDate(f.At[3]) : first;
    if (!first || !last) return BadDay({.Fault = THolidayFault::BadDate});
    if (*last < *first) return BadDay({.Fault = THolidayFault::Backwards});
    if (*last - *first >= kMaxSpanDays) return BadDay({.Fault = THolidayFault::SpanTooLong});
    THolidayYear& year = years_[current_->Index];
    if (*first < current_->First || *last > current_->Last)
      return BadDay({.Fault = THolidayFault::OutsideYear, .Year = year.Year});
    for (std::int64_t d = *first; d <= *last; ++d) {
      if (Listed(d)) return BadDay({.Fault = THolidayFault::ListedTwice, .Number = ListedOn(d), .Date = d});
      if (e.Mark == THolidayMark::Work && current_->Statutory.Holds(d))
        return BadDay({.Fault = THolidayFault::StatutoryWorkday, .Date = d});
    }
    for (std::int64_t d = *first; d <= *last; ++d) current_->Listed.set(static_cast<std::size_t>(d - current_->First));
    e.First = *first;
    e.Last = *last;
    e.Line = number_;
    year.Entries.push_back(std::move(e));
  }

  bool Listed(std::int64_t day) const { return current_->Listed[static_cast<std::size_t>(day - current_->First)]; }

  // The line of the entry that listed `day`; only asked after a clash.
  int ListedOn(std::int64_t day) const {
    for (const THolidayEntry& e : years_[current_->Index].Entries)
      if (e.First <= day && day <= e.Last) return e.Line;
    return 0;
  }

  // A file names a handful of festivals on many lines; each is converted
  // once, and those of the rules not at all.
  const std::string* Festival(std::string_view utf8) {
    for (std::size_t i = 1; i < kRuleFestivals.size(); ++i)
      if (kRuleFestivals[i] == utf8) return &RuleFestivalsGbk()[i];
    for (const auto& [name, gbk] : festivals_)
      if (name == utf8) return gbk ? &*gbk : nullptr;
    festivals_.emplace_back(std::string(utf8), Utf8ToGbk(utf8));
    const std::optional<std::string>& gbk = festivals_.back().second;
    return gbk ? &*gbk : nullptr;
  }

  static bool ParseYear(std::string_view text, int& year) {
    if (text.size() != 4 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    year = std::atoi(std::string(text).c_str());
    return true;
  }

  void Bad(THolidayMessage message) {
    if (++bad_ > shown_) return;
    message.Source = source_;
    message.Line = number_;
    messages_.push_back(std::move(message));
  }

  // A bad line of the open year, which counts towards its refusal.
  void BadDay(THolidayMessage message) {
    ++years_[current_->Index].BadLines;
    Bad(std::move(message));
  }

  std::string_view source_;
  std::vector<THolidayMessage>& messages_;
  int shown_;
  int bad_ = 0;
  std::vector<THolidayYear> years_;
  std::vector<TOpenYear> open_;
  TOpenYear* current_ = nullptr;  // points into open_
  bool skipping_ = false;         // after a refused year line
  std::vector<std::pair<std::string, std::optional<std::string>>> festivals_;
  int number_ = 0;
};

// Reads a file of at most kMaxHolidayFileBytes; a file that says it is
// larger is refused before a byte of it is read.
std::optional<std::string> ReadHolidayFile(const std::filesystem::path& file, std::vector<THolidayMessage>& messages) {
  const auto tooLarge = [&](std::uintmax_t size) {
    messages.push_back({.Source = file.string(), .Fault = THolidayFault::TooLarge, .Number = static_cast<std::int64_t>(size)});
    return std::nullopt;
  };
  const auto unreadable = [&](std::string why) {
    messages.push_back({.Source = file.string(), .Fault = THolidayFault::Unreadable, .Detail = std::move(why)});
    return std::nullopt;
  };
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) return unreadable(ec.message());
  if (size > kMaxHolidayFileBytes) return tooLarge(size);
  std::ifstream in(file, std::ios::binary);
  std::string text;
  std::array<char, 1 << 16> buffer;
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    // It grew after the first look.
    if (text.size() > kMaxHolidayFileBytes) return tooLarge(text.size());
  }
  if (!in.is_open() || in.bad()) return unreadable("the system refused to read it");
  return text;
}

// The years the built-in files give, parsed once, so that an installed copy
// of one of them costs a comparison rather than a second parse.
struct TBuiltInYears {
  const TBuiltInHolidayFile* File = nullptr;
  std::vector<THolidayYear> Years;
};

void LoadFolder(const std::string& folder, const std::vector<TBuiltInYears>& builtIn, std::vector<THolidayYear>& years,
                std::vector<THolidayMessage>& messages) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->path().extension() == ".txt" && it->is_regular_file(typeError)) files.push_back(it->path());
  }
  if (ec) messages.push_back({.Source = folder, .Fault = THolidayFault::FolderUnreadable, .Detail = ec.message()});
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    const std::optional<std::string> text = ReadHolidayFile(file, messages);
    if (!text) continue;
    const std::string name = file.filename().string();
    const auto same = std::find_if(builtIn.begin(), builtIn.end(), [&](const TBuiltInYears& b) {
      return b.File->Name == name && b.File->Text == *text;
    });
    if (same != builtIn.end()) {
      years.insert(years.end(), same->Years.begin(), same->Years.end());
    } else {
      std::vector<THolidayYear> parsed = ParseHolidayText(*text, file.string(), messages);
      std::move(parsed.begin(), parsed.end(), std::back_inserter(years));
    }
  }
}

struct TProgramHolidays {
  THolidayTable Table;
  std::vector<THolidayMessage> Messages;
};

TProgramHolidays LoadProgramHolidays() {
  TProgramHolidays h;
  h.Table = LoadHolidayTable(HolidayFolders(), h.Messages);
  return h;
}

TProgramHolidays& ProgramHolidays() {
  static TProgramHolidays holidays = LoadProgramHolidays();
  return holidays;
}

// The reason of a message without its place, English and Chinese.
struct TReason {
  std::string English, Chinese;
};

TReason Reason(const THolidayMessage& m) {
  const std::string n = std::to_string(m.Number), year = std::to_string(m.Year);
  const std::string date = m.Date != 0 ? FormatIsoDate(m.Date) : std::string();
  switch (m.Fault) {
    case THolidayFault::NotALine:
      return {"expected \"year YYYY\" or a line beginning with 休 or 班", "应为“year 年份”或以“休”“班”开头的行"};
    case THolidayFault::BadYearLine:
      return {"expected \"year YYYY\"; the lines up to the next year line are ignored",
              "应为“year 年份”；到下一个年份行为止的各行都已忽略"};
    case THolidayFault::YearOutOfRange:
      return {"the year must lie between 2000 and 2100; its lines are ignored",
              "年份" + year + "不在2000至2100之间，这一年的各行都已忽略"};
    case THolidayFault::DayBeforeYear:
      return {"a day before any \"year YYYY\" line", "这一行之前没有“year 年份”行"};
    case THolidayFault::BadDayLine:
      return {"expected 休|班 FESTIVAL FIRST [LAST]", "应为“休或班 节日 第一天 [最后一天]”"};
    case THolidayFault::NameNotGbk:
      return {"the festival's name is not UTF-8 text that GBK can hold", "节日名称不是GBK能表示的UTF-8文字"};
    case THolidayFault::NameTooLong:
      return {"the festival's name is longer than 8 characters", "节日名称超过8个字"};
    case THolidayFault::BadDate:
      return {"a date must be a real date written YYYY-MM-DD", "日期须是写作YYYY-MM-DD的真实日期"};
    case THolidayFault::Backwards:
      return {"the last day is before the first", "最后一天早于第一天"};
    case THolidayFault::SpanTooLong:
      return {"a span is at most 31 days", "一段最多31天"};
    case THolidayFault::OutsideYear:
      return {"the days of year " + year + " lie in that year or in the December before it",
              year + "年安排的日子须在这一年或前一年的12月"};
    case THolidayFault::ListedTwice:
      return {date + " is listed on line " + n + " already", date + "已在第" + n + "行列出"};
    case THolidayFault::StatutoryWorkday:
      return {date + " is a statutory day and cannot be a make-up workday", date + "是法定节假日，不能调休上班"};
    case THolidayFault::MoreBadLines:
      return {n + " more bad lines, not shown", "另有" + n + "行无法使用，不再一一列出"};
    case THolidayFault::TooLarge:
      return {"the file is " + n + " bytes, more than a holiday file may hold (1 MiB); it was not read",
              "文件有" + n + "字节，超过节假日安排文件的上限（1 MiB），未读取"};
    case THolidayFault::Unreadable:
      return {"cannot read the file: " + m.Detail, "无法读取这个文件"};
    case THolidayFault::FolderUnreadable:
      return {"cannot list the folder: " + m.Detail, "无法列出这个文件夹中的文件"};
    case THolidayFault::ArrangementUnknown: {
      const std::string known = m.Number > 0 ? " (the last one known is " + n + "'s)" : "";
      const std::string knownChinese = m.Number > 0 ? "（已知的最后一年是" + n + "年）" : "";
      return {"the holiday arrangement of " + year + " is not known" + known +
                  ": only the statutory days and the weekends joined to them are marked; once it is announced, "
                  "write it into " + m.Detail,
              "Kadrel还不知道" + year + "年的节假日安排" + knownChinese +
                  "，只标出法定节假日和与之相连的周末。这一年的安排公布后，请把它写入" + m.Detail + "。"};
    }
  }
  return {};
}

}  // namespace

std::string HolidayMessageText(const THolidayMessage& m) {
  std::string text = m.Source;
  if (m.Line > 0) text += ":" + std::to_string(m.Line);
  if (!text.empty()) text += ": ";
  return text + Reason(m).English;
}

std::string HolidayMessageChinese(const THolidayMessage& m) {
  std::string text = m.Source;
  if (m.Line > 0) text += " 第" + std::to_string(m.Line) + "行";
  if (!text.empty()) text += "：";
  return text + Reason(m).Chinese;
}

std::vector<THolidayYear> ParseHolidayText(std::string_view utf8, std::string_view source,
                                           std::vector<THolidayMessage>& messages, int shown) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);  // a byte-order mark some editors write
  TParser parser(source, messages, shown);
  int number = 0;
  while (!utf8.empty()) {
    const std::size_t end = utf8.find('\n');
    parser.Line(++number, utf8.substr(0, end));
    utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
  }
  return parser.Finish();
}

THolidayTable::THolidayTable(std::vector<THolidayYear> years) : first_(kFirstSerial) {
  festivals_.assign(RuleFestivalsGbk().begin(), RuleFestivalsGbk().end());
  Arrange(years);
  Rebuild();
}

void THolidayTable::SetArrangements(std::span<const THolidayYear> years) {
  std::vector<THolidayYear> copies(years.begin(), years.end());
  Arrange(copies);
  Rebuild();
}

void THolidayTable::Arrange(std::vector<THolidayYear>& years) {
  for (THolidayYear& year : years) {
    if (year.Entries.empty() && year.BadLines > 0) continue;
    if (year.Year < kFirstHolidayYear || year.Year > kLastHolidayYear) continue;
    auto at = std::lower_bound(arrangements_.begin(), arrangements_.end(), year.Year,
                               [](const THolidayYear& y, int value) { return y.Year < value; });
    if (at != arrangements_.end() && at->Year == year.Year)
      *at = std::move(year);
    else
      arrangements_.insert(at, std::move(year));
  }
}

void THolidayTable::Rebuild() {
  days_.assign(static_cast<std::size_t>(kEndSerial - kFirstSerial), 0);
  for (int y = kFirstHolidayYear; y <= kLastHolidayYear; ++y) {
    const TStatutoryDays statutory = StatutoryDays(y);
    for (std::size_t i = 0; i < statutory.Count; ++i)
      Set(statutory.Days[i].Serial, {THolidayMark::Off, true, statutory.Days[i].Festival});
  }
  // Years in ascending order: where two arrangements name the same December
  // day, the later year's has the last word.
  const std::int64_t last = first_ + static_cast<std::int64_t>(days_.size()) - 1;
  for (const THolidayYear& year : arrangements_) {
    for (const THolidayEntry& e : year.Entries) {
      const std::uint8_t festival = FestivalIndex(e.Festival);
      for (std::int64_t d = std::max(e.First, first_); d <= std::min(e.Last, last); ++d) {
        if (!At(d).Statutory) Set(d, {e.Mark, false, festival});
      }
    }
  }
  JoinWeekends();
}

void THolidayTable::JoinWeekends() {
  const std::int64_t end = first_ + static_cast<std::int64_t>(days_.size());
  const auto inTable = [&](std::int64_t d) { return d >= first_ && d < end; };
  const auto open = [&](std::int64_t d) { return inTable(d) && At(d).Mark == THolidayMark::None && IsWeekend(d); };
  // The festival of the nearest 休 before `d` in its run, else after it, up
  // to the weekday `from` that reached it. So the answer does not depend on
  // which end of the run reaches the day first.
  const auto festivalFor = [&](std::int64_t d, std::int64_t from) {
    std::int64_t before = d - 1;
    while (open(before)) --before;
    if (inTable(before) && At(before).Mark == THolidayMark::Off) return At(before).Festival;
    std::int64_t after = d + 1;
    while (after < from && open(after)) ++after;
    return At(after).Festival;
  };
  // A weekend joins a run with a weekday off through the Friday before it
  // or the Monday after it: the days off on those two weekdays are where
  // the runs are walked from, two days at most.
  constexpr int kMonday = 2, kFriday = 6;
  const int firstWeekday = DayOfWeekSerial(first_);
  for (const int weekday : {kFriday, kMonday}) {
    const std::int64_t step = weekday == kFriday ? 1 : -1;
    for (std::int64_t from = first_ + (weekday - firstWeekday + 7) % 7; from < end; from += 7) {
      if (At(from).Mark != THolidayMark::Off) continue;
      for (std::int64_t d = from + step; d != from + 3 * step; d += step) {
        if (open(d)) {
          Set(d, {THolidayMark::Off, false, festivalFor(d, from)});
        } else if (!inTable(d) || At(d).Mark != THolidayMark::Off) {
          break;
        }
      }
    }
  }
}

std::uint8_t THolidayTable::FestivalIndex(const std::string& gbk) {
  auto it = std::find(festivals_.begin(), festivals_.end(), gbk);
  if (it != festivals_.end()) return static_cast<std::uint8_t>(it - festivals_.begin());
  // Names are at most 8 characters and every file line adds at most one;
  // past the last index a byte of the table can hold, the last one stands
  // for the rest.
  if (festivals_.size() <= kMaxHolidayFestival) festivals_.push_back(gbk);
  return static_cast<std::uint8_t>(festivals_.size() - 1);
}

const std::string& THolidayTable::FestivalName(std::uint8_t festival) const {
  return festival < festivals_.size() ? festivals_[festival] : festivals_[0];
}

bool THolidayTable::HasArrangement(int year) const {
  return std::any_of(arrangements_.begin(), arrangements_.end(), [&](const THolidayYear& y) { return y.Year == year; });
}

int THolidayTable::LastArrangementYear() const { return arrangements_.empty() ? 0 : arrangements_.back().Year; }

std::vector<std::string> HolidayFolders() {
  const auto variable = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
  };
  std::vector<std::string> folders;
  std::string dirs = variable("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::vector<std::string> listed;
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // XDG base directories ignore relative entries.
    if (end > start && dirs[start] == '/') listed.push_back(dirs.substr(start, end - start) + "/kadrel/holidays");
    start = end + 1;
  }
  folders.assign(listed.rbegin(), listed.rend());
  std::string home = variable("XDG_DATA_HOME");
  if (home.empty() || home[0] != '/') {
    const std::string user = variable("HOME");
    home = user.empty() ? std::string() : user + "/.local/share";
  }
  if (!home.empty()) folders.push_back(home + "/kadrel/holidays");
  return folders;
}

THolidayTable LoadHolidayTable(const std::vector<std::string>& folders, std::vector<THolidayMessage>& messages) {
  std::vector<TBuiltInYears> builtIn;
  for (const TBuiltInHolidayFile& file : BuiltInHolidayFiles())
    builtIn.push_back({&file, ParseHolidayText(file.Text, "data/holidays/" + std::string(file.Name), messages)});
  std::vector<THolidayYear> later;
  for (const std::string& folder : folders) LoadFolder(folder, builtIn, later, messages);
  std::vector<THolidayYear> years;
  for (TBuiltInYears& b : builtIn) std::move(b.Years.begin(), b.Years.end(), std::back_inserter(years));
  std::move(later.begin(), later.end(), std::back_inserter(years));
  return THolidayTable(std::move(years));
}

std::optional<THolidayMessage> ArrangementWarning(const THolidayTable& table, int firstYear, int lastYear) {
  const int last = table.LastArrangementYear();
  const int year = std::max({firstYear, last + 1, kFirstHolidayYear});
  if (year > std::min(lastYear, kLastHolidayYear)) return std::nullopt;
  const std::vector<std::string> folders = HolidayFolders();
  const std::string folder = folders.empty() ? std::string("~/.local/share/kadrel/holidays") : folders.back();
  return THolidayMessage{.Fault = THolidayFault::ArrangementUnknown, .Year = year, .Number = last,
                         .Detail = folder + "/" + std::to_string(year) + ".txt"};
}

const THolidayTable& Holidays() { return ProgramHolidays().Table; }

const std::vector<THolidayMessage>& HolidayMessages() { return ProgramHolidays().Messages; }

void UseHolidayTable(THolidayTable table, std::vector<THolidayMessage> messages) {
  ProgramHolidays() = {std::move(table), std::move(messages)};
}

}  // namespace kadrel
