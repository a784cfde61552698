#include "calendar/uHoliday.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

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

struct TLunar {
  int Year = 0, Month = 0, Day = 0;
  bool Leap = false;
};

TLunar LunarOf(std::int64_t serial) {
  const TYmd ymd = DecodeDate(serial);
  TLunar l;
  SolarToLunar(ymd.Year, ymd.Month, ymd.Day, l.Year, l.Month, l.Leap, l.Day);
  return l;
}

// The statutory festival of a day, kNone if it is none. Later rules win, so
// a 中秋 on 1 to 3 October is named 国庆节.
TRuleFestival StatutoryFestival(std::int64_t serial) {
  const TYmd ymd = DecodeDate(serial);
  const int y = ymd.Year;
  const TLunar today = LunarOf(serial);
  const TLunar tomorrow = LunarOf(serial + 1);
  const bool firstMonth = !today.Leap && today.Month == 1;
  const bool eve = !tomorrow.Leap && tomorrow.Month == 1 && tomorrow.Day == 1;
  TRuleFestival festival = kNone;
  if (ymd.Month == 1 && ymd.Day == 1) festival = kNewYear;
  if (y < 2008 || (y >= 2014 && y <= 2024)) {
    if (firstMonth && today.Day <= 3) festival = kSpring;
  } else if (y <= 2013) {
    if (eve || (firstMonth && today.Day <= 2)) festival = kSpring;
  } else if (eve || (firstMonth && today.Day <= 3)) {
    festival = kSpring;
  }
  if (y >= 2008) {
    if (!today.Leap && today.Month == 5 && today.Day == 5) festival = kDragonBoat;
    if (!today.Leap && today.Month == 8 && today.Day == 15) festival = kMidAutumn;
    if (GetSolarTermIndex(ymd.Year, ymd.Month, ymd.Day) == 7) festival = kQingming;
  }
  const int mayDays = y < 2008 ? 3 : y < 2025 ? 1 : 2;
  if (ymd.Month == 5 && ymd.Day <= mayDays) festival = kLabour;
  if (ymd.Month == 10 && ymd.Day <= 3) festival = kNational;
  return festival;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (!(line = Trim(line)).empty()) {
    const std::size_t end = line.find_first_of(" \t");
    fields.push_back(line.substr(0, end));
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
  }
  return fields;
}

// What ParseHolidayText keeps of a year while it reads: the year and the
// line that listed each of its days so far.
struct TYearInProgress {
  THolidayYear Year;
  std::map<std::int64_t, int> Listed;
};

class TParser {
 public:
  TParser(std::string_view source, std::vector<std::string>& messages) : source_(source), messages_(messages) {}

  void Line(int number, std::string_view text) {
    number_ = number;
    const std::vector<std::string_view> f = Fields(text);
    if (f.empty() || f[0].starts_with('#')) return;
    if (f[0] == "year") return YearLine(f);
    if (f[0] == "休" || f[0] == "班") return EntryLine(f);
    Bad("expected \"year YYYY\" or a line beginning with 休 or 班");
  }

  std::vector<THolidayYear> Years() {
    std::vector<THolidayYear> years;
    for (TYearInProgress& y : years_) years.push_back(std::move(y.Year));
    return years;
  }

 private:
  void YearLine(const std::vector<std::string_view>& f) {
    current_ = nullptr;
    int year = 0;
    if (f.size() != 2 || !ParseYear(f[1], year)) return Bad("expected \"year YYYY\"");
    if (year < kFirstHolidayYear || year > kLastHolidayYear)
      return Bad("the year must lie between 2000 and 2050; its lines are ignored");
    for (TYearInProgress& y : years_)
      if (y.Year.Year == year) current_ = &y;
    if (!current_) {
      years_.push_back({});
      current_ = &years_.back();
      current_->Year.Year = year;
    }
  }

  void EntryLine(const std::vector<std::string_view>& f) {
    if (!current_) return Bad("a day before any \"year YYYY\" line");
    if (f.size() < 3 || f.size() > 4) return Bad("expected 休|班 FESTIVAL FIRST [LAST]");
    THolidayEntry e;
    e.Mark = f[0] == "休" ? THolidayMark::Off : THolidayMark::Work;
    const auto gbk = Utf8ToGbk(f[1]);
    if (!gbk) return Bad("the festival's name is not UTF-8 text that GBK can hold");
    if (gbk->size() > kMaxFestivalBytes) return Bad("the festival's name is longer than 8 characters");
    e.Festival = *gbk;
    const auto first = ParseIsoDate(f[2]);
    const auto last = f.size() == 4 ? ParseIsoDate(f[3]) : first;
    if (!first || !last) return Bad("a date must be a real date written YYYY-MM-DD");
    if (*last < *first) return Bad("the last day is before the first");
    if (*last - *first >= kMaxSpanDays) return Bad("a span is at most 31 days");
    const int year = current_->Year.Year;
    if (*first < EncodeDate(year - 1, 12, 1) || *last > EncodeDate(year, 12, 31) || *first < kFirstSerial)
      return Bad("the days of year " + std::to_string(year) + " lie in that year or in the December before it");
    for (std::int64_t d = *first; d <= *last; ++d) {
      if (auto it = current_->Listed.find(d); it != current_->Listed.end())
        return Bad(FormatIsoDate(d) + " is listed on line " + std::to_string(it->second) + " already");
    }
    for (std::int64_t d = *first; d <= *last; ++d) current_->Listed.emplace(d, number_);
    e.First = *first;
    e.Last = *last;
    e.Where = std::string(source_) + ":" + std::to_string(number_);
    current_->Year.Entries.push_back(std::move(e));
  }

  static bool ParseYear(std::string_view text, int& year) {
    if (text.size() != 4 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    year = std::atoi(std::string(text).c_str());
    return true;
  }

  void Bad(const std::string& reason) {
    messages_.push_back(std::string(source_) + ":" + std::to_string(number_) + ": " + reason);
  }

  std::string_view source_;
  std::vector<std::string>& messages_;
  std::vector<TYearInProgress> years_;
  TYearInProgress* current_ = nullptr;  // points into years_, which only grows at a new year
  int number_ = 0;
};

void LoadFile(THolidayTable& table, std::string_view text, std::string_view source,
              std::vector<std::string>& messages) {
  for (const THolidayYear& year : ParseHolidayText(text, source, messages)) table.SetArrangement(year, messages);
}

void LoadFolder(THolidayTable& table, const std::string& folder, std::vector<std::string>& messages) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->path().extension() == ".txt" && it->is_regular_file(typeError)) files.push_back(it->path());
  }
  if (ec) messages.push_back(folder + ": cannot list the folder: " + ec.message());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
      messages.push_back(file.string() + ": cannot read the file");
      continue;
    }
    LoadFile(table, text.str(), file.string(), messages);
  }
}

struct TProgramHolidays {
  THolidayTable Table;
  std::vector<std::string> Messages;
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

}  // namespace

std::vector<THolidayYear> ParseHolidayText(std::string_view utf8, std::string_view source,
                                           std::vector<std::string>& messages) {
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);  // a byte-order mark some editors write
  TParser parser(source, messages);
  int number = 0;
  while (!utf8.empty()) {
    const std::size_t end = utf8.find('\n');
    parser.Line(++number, utf8.substr(0, end));
    utf8.remove_prefix(end == std::string_view::npos ? utf8.size() : end + 1);
  }
  return parser.Years();
}

THolidayTable::THolidayTable() : first_(kFirstSerial) {
  for (std::string_view name : kRuleFestivals) festivals_.push_back(name.empty() ? std::string() : GbkLiteral(name));
  rules_.resize(static_cast<std::size_t>(kEndSerial - kFirstSerial));
  for (std::int64_t serial = kFirstSerial; serial < kEndSerial; ++serial) {
    const TRuleFestival festival = StatutoryFestival(serial);
    if (festival != kNone) rules_[static_cast<std::size_t>(serial - first_)] = {THolidayMark::Off, true, festival};
  }
  days_ = rules_;
}

void THolidayTable::SetArrangement(const THolidayYear& year, std::vector<std::string>& messages) {
  THolidayYear kept{year.Year, {}};
  for (const THolidayEntry& e : year.Entries) {
    bool good = true;
    for (std::int64_t d = e.First; d <= e.Last && good; ++d) {
      if (e.Mark == THolidayMark::Work && rules_[static_cast<std::size_t>(d - first_)].Statutory) {
        messages.push_back(e.Where + ": " + FormatIsoDate(d) + " is a statutory day and cannot be a make-up workday");
        good = false;
      }
    }
    if (good) kept.Entries.push_back(e);
  }
  if (kept.Entries.empty()) return;
  auto at = std::lower_bound(arrangements_.begin(), arrangements_.end(), year.Year,
                             [](const THolidayYear& y, int value) { return y.Year < value; });
  if (at != arrangements_.end() && at->Year == year.Year)
    *at = std::move(kept);
  else
    arrangements_.insert(at, std::move(kept));
  Rebuild();
}

void THolidayTable::Rebuild() {
  days_ = rules_;
  // Years in ascending order: where two arrangements name the same December
  // day, the later year's has the last word.
  for (const THolidayYear& year : arrangements_) {
    for (const THolidayEntry& e : year.Entries) {
      const std::uint8_t festival = FestivalIndex(e.Festival);
      for (std::int64_t d = e.First; d <= e.Last; ++d) {
        THolidayDay& day = days_[static_cast<std::size_t>(d - first_)];
        if (!day.Statutory) day = {e.Mark, false, festival};
      }
    }
  }
}

std::uint8_t THolidayTable::FestivalIndex(const std::string& gbk) {
  auto it = std::find(festivals_.begin(), festivals_.end(), gbk);
  if (it != festivals_.end()) return static_cast<std::uint8_t>(it - festivals_.begin());
  // Names are at most 8 characters and every file line adds at most one;
  // past 255 distinct names the last one stands for the rest.
  if (festivals_.size() < 256) festivals_.push_back(gbk);
  return static_cast<std::uint8_t>(festivals_.size() - 1);
}

const std::string& THolidayTable::FestivalName(std::uint8_t festival) const {
  return festival < festivals_.size() ? festivals_[festival] : festivals_[0];
}

bool THolidayTable::HasArrangement(int year) const {
  return std::any_of(arrangements_.begin(), arrangements_.end(), [&](const THolidayYear& y) { return y.Year == year; });
}

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

THolidayTable LoadHolidayTable(const std::vector<std::string>& folders, std::vector<std::string>& messages) {
  THolidayTable table;
  for (const TBuiltInHolidayFile& file : BuiltInHolidayFiles())
    LoadFile(table, file.Text, "data/holidays/" + std::string(file.Name), messages);
  for (const std::string& folder : folders) LoadFolder(table, folder, messages);
  return table;
}

const THolidayTable& Holidays() { return ProgramHolidays().Table; }

const std::vector<std::string>& HolidayMessages() { return ProgramHolidays().Messages; }

void UseHolidayTable(THolidayTable table, std::vector<std::string> messages) {
  ProgramHolidays() = {std::move(table), std::move(messages)};
}

}  // namespace kadrel
