// Writes the seed corpora of the fuzz targets into the folder given as
// argument (fuzz/corpus/): for fuzz_table the three schedule schemas, empty
// and with records, and a users table with deleted slots on its free list;
// for fuzz_journal the journals of a Post, an edit, a Pack and a creation of
// its table; a few texts for the others. Run once; the output is committed.
#include <cstdio>
#include <string>

#include <filesystem>
#include <fstream>

#include "calendar/uHolidayData.h"
#include "fuzz/uFuzzJournal.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "store/uTableStream.h"

namespace {

using kadrel::TTableStream;

struct TField {
  const char* Name;
  std::int16_t Type;
  std::int32_t Width;
};

const TField kShift[] = {{"ID", 1, 4}, {"Count", 1, 4}, {"Name", 3, 10}, {"worklist", 3, 200}};
const TField kWork[] = {{"ID", 1, 4}, {"Name", 3, 10}, {"Hint", 3, 50}};
const TField kUser[] = {{"Name", 3, 10}, {"ShiftID", 1, 4}, {"Start", 4, 8}, {"FirstID", 1, 4}};
// Every field the three files have, in one table: the fuzzer hands one file
// to the user loader as users, schemes and duty kinds at once, and with this
// seed a mutated record can still resolve a whole cycle.
const TField kCombined[] = {{"ID", 1, 4},      {"Count", 1, 4},   {"Name", 3, 10}, {"worklist", 3, 200},
                            {"ShiftID", 1, 4}, {"Start", 4, 8},   {"FirstID", 1, 4}};

template <std::size_t N>
bool Create(TTableStream& t, const std::string& path, const TField (&fields)[N]) {
  if (!t.CreateTable(path)) return false;
  for (const auto& f : fields) t.Fields().AddField(f.Name, f.Type, f.Width);
  return t.Close() && t.Open(path);
}

bool Work(TTableStream& t, int id, const char* name, const char* hint) {
  return t.Append() && t.SetInteger(0, id) && t.SetText(1, name) && t.SetText(2, hint) && t.Post();
}

bool Shift(TTableStream& t, int id, int count, const char* name, const char* list) {
  return t.Append() && t.SetInteger(0, id) && t.SetInteger(1, count) && t.SetText(2, name) &&
         t.SetText(3, list) && t.Post();
}

bool User(TTableStream& t, const char* name, int shift, double start, int first) {
  return t.Append() && t.SetText(0, name) && t.SetInteger(1, shift) && t.SetFloat(2, start) &&
         t.SetInteger(3, first) && t.Post();
}

bool Combined(TTableStream& t, int id, int count, const char* name, const char* list, int shift, double start,
              int first) {
  return t.Append() && t.SetInteger(0, id) && t.SetInteger(1, count) && t.SetText(2, name) && t.SetText(3, list) &&
         t.SetInteger(4, shift) && t.SetFloat(5, start) && t.SetInteger(6, first) && t.Post();
}

bool MakeAll(const std::string& dir) {
  TTableStream t(TTableStream::kModeReadWrite);
  bool ok = Create(t, dir + "/shiftdat-empty.kd2", kShift) && t.Close();
  ok = ok && Create(t, dir + "/workdat-empty.kd2", kWork) && t.Close();
  ok = ok && Create(t, dir + "/userdat-empty.kd2", kUser) && t.Close();
  // Day, night, rest in GBK (白班, 夜班, 休息), one hint with CR LF.
  ok = ok && Create(t, dir + "/workdat-3.kd2", kWork) && Work(t, 1, "\xB0\xD7\xB0\xE0", "8:00-16:00") &&
       Work(t, 2, "\xD2\xB9\xB0\xE0", "0:00-8:00\r\n") && Work(t, 3, "\xD0\xDD\xCF\xA2", "") && t.Close();
  ok = ok && Create(t, dir + "/shiftdat-2.kd2", kShift) && Shift(t, 1, 4, "A", "1#1#2#3#") &&
       Shift(t, 2, 3, "B", "3#x#2#9#") && t.Close();
  ok = ok && Create(t, dir + "/userdat-3.kd2", kUser) && User(t, "Li", 2, 37627.0, 1) &&
       User(t, "Wang", 1, 45000.5, 0) && User(t, "\xD5\xC5\xC8\xFD", -1, 45292.0, -1) && t.Close();
  ok = ok && Create(t, dir + "/userdat-deleted.kd2", kUser);
  for (int i = 0; ok && i < 6; ++i) ok = User(t, ("u" + std::to_string(i)).c_str(), 1, 40000 + i, i);
  ok = ok && t.MoveBy(-3) && t.Delete() && t.MoveBy(2) && t.Delete() && t.Close();
  ok = ok && Create(t, dir + "/combined-3.kd2", kCombined) &&
       Combined(t, 1, 4, "A", "1#1#2#3#", 1, 37742.0, 2) && Combined(t, 2, 3, "B", "3#x#2#9#", 2, 45000.5, 7) &&
       Combined(t, 3, 1, "C", "3#", 3, -10.25, -1) && t.Close();
  return ok;
}

void Put(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string AsText(const std::vector<unsigned char>& b) { return std::string(b.begin(), b.end()); }

// A journal as a change of the fuzz table to `newLength` writes it: the
// table is shorter than a sector, so it holds all of it. `-1` undoes its
// creation instead. The seeds of the version before (v1-*) stay as they were
// written then.
std::string JournalSeed(const std::vector<unsigned char>& table, std::int64_t newLength) {
  kadrel::TJournal j;
  const std::uint64_t crc = kadrel::Crc64(table.data(), table.size());
  j.OldLength = newLength < 0 ? -1 : static_cast<std::int64_t>(table.size());
  j.OldCrc = newLength < 0 ? 0 : crc;
  j.NewLength = newLength < 0 ? static_cast<std::int64_t>(table.size()) : newLength;
  j.NewCrc = newLength < 0 ? crc : 0;
  if (newLength >= 0) j.Regions.push_back({0, table});
  return std::string(1, '\0') + AsText(kadrel::EncodeJournal(j));
}

bool MakeOthers(const std::filesystem::path& corpus) {
  kadrel::fuzz::TFuzzDir dir;
  const auto& table = kadrel::fuzz::FuzzJournalTable(dir);
  if (table.size() != 192 + 4 * 31) return false;
  Put(corpus / "journal" / "post-new", JournalSeed(table, 192 + 5 * 31));
  Put(corpus / "journal" / "edit", JournalSeed(table, 192 + 4 * 31));
  Put(corpus / "journal" / "pack", JournalSeed(table, 192 + 3 * 31));
  Put(corpus / "journal" / "create", JournalSeed(table, -1));
  Put(corpus / "gbk" / "names", kadrel::GbkLiteral("张三 Li 休息\r\n"));
  Put(corpus / "gbk" / "utf8", "白班 ABC\xF0\x9F\x98\x80");
  Put(corpus / "schedule" / "duty", std::string("\x06") + kadrel::GbkLiteral("白班") + "Li" + "\x0a" + "8:00-16:00" +
                                        "1#1#2#3#");
  Put(corpus / "schedule" / "blanks", std::string("\x05 ab \x01\x03x\ty") + "3#x#-2#+7# 9 #");
  Put(corpus / "holiday" / "shipped", std::string(kadrel::BuiltInHolidayFiles().back().Text));
  Put(corpus / "holiday" / "damaged", "\xEF\xBB\xBFyear 2027\r\n休 春节 2027-02-05 2027-02-11\n班 春节 2027-02-30\n"
                                      "休 一二三四五六七八九 2027-04-05\nyear 2101\n休 元旦 2101-01-01\nyear 2028\n");
  Put(corpus / "cli" / "date", "2024-02-29");
  Put(corpus / "cli" / "cycle", "1,1,2,3");
  Put(corpus / "cli" / "text", "a\tb\x01" + kadrel::GbkLiteral("夜班"));
  Put(corpus / "export" / "user", std::string("\x04") + kadrel::GbkLiteral("张三") + "\xd4\x07\xff\x0f" +
                                      std::string("\x00\x00\x00\x00\x60\x5f\xe2\x40", 8) + "\x02\x04" +
                                      kadrel::GbkLiteral("早班") + "\x04" + kadrel::GbkLiteral("休息"));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_table_seeds CORPUS-DIR\n");
    return 1;
  }
  std::filesystem::create_directories(std::filesystem::path(argv[1]) / "table");
  if (!MakeAll((std::filesystem::path(argv[1]) / "table").string()) || !MakeOthers(argv[1])) {
    std::fprintf(stderr, "make_table_seeds: failed\n");
    return 2;
  }
  return 0;
}
