// Writes the seeds of fuzz_rota into the folder given as argument
// (fuzz/corpus/rota/): the flag byte, then an exceptions file with a record
// of every kind (a swap's two halves, a deleted duty kind, a freed slot) or a
// history file of two changes, and both empty. Run once; the output is
// committed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/uFuzzJournal.h"
#include "platform/uGbk.h"
#include "schedule/uRotaFiles.h"

namespace {

using namespace kadrel;

struct TException {
  std::int32_t ID, Kind;
  const char* User;
  double First, Last;
  std::int32_t DutyID;
  const char* Partner;
  std::int32_t Link;
  std::string Leave, Note;
};

bool Put(TTableStream& t, const TException& e) {
  return t.Append() && t.SetInteger(kExcID, e.ID) && t.SetText(kExcUser, e.User) && t.SetInteger(kExcKind, e.Kind) &&
         t.SetFloat(kExcFirst, e.First) && t.SetFloat(kExcLast, e.Last) && t.SetInteger(kExcDutyID, e.DutyID) &&
         t.SetText(kExcPartner, e.Partner) && t.SetInteger(kExcLink, e.Link) && t.SetText(kExcLeave, e.Leave) &&
         t.SetText(kExcNote, e.Note) && t.SetInteger(kExcStart, -1) && t.SetInteger(kExcLength, 0) && t.Post();
}

bool PutHistory(TTableStream& t, std::int32_t id, double until, std::int32_t shift, double start, std::int32_t first) {
  return t.Append() && t.SetInteger(kHistID, id) && t.SetText(kHistUser, "Zhang") && t.SetFloat(kHistUntil, until) &&
         t.SetInteger(kHistShiftID, shift) && t.SetFloat(kHistStart, start) && t.SetInteger(kHistFirstID, first) &&
         t.Post();
}

// The seed: the flag byte, then the file as it stands in `dir`.
bool Seed(const std::string& dir, TScheduleFile file, const std::filesystem::path& out) {
  const auto bytes = fuzz::ReadAllBytes(SchedulePath(dir, file));
  std::ofstream(out, std::ios::binary) << (file == TScheduleFile::History ? '\x01' : '\x00')
                                       << std::string(bytes.begin(), bytes.end());
  return !bytes.empty();
}

bool MakeAll(const std::filesystem::path& corpus) {
  fuzz::TFuzzDir scratch;
  const std::string dir = std::filesystem::path(scratch.File()).parent_path().string();
  TTableStream t(TTableStream::kModeReadWrite);
  TScheduleError error;
  bool ok = OpenOrCreateRotaFile(t, TScheduleFile::Exceptions, dir, error) && t.Close() &&
            Seed(dir, TScheduleFile::Exceptions, corpus / "exceptions-empty");
  ok = ok && OpenOrCreateRotaFile(t, TScheduleFile::History, dir, error) && t.Close() &&
       Seed(dir, TScheduleFile::History, corpus / "history-empty");

  const double day = 45667;  // 2025-01-10
  ok = ok && OpenOrCreateRotaFile(t, TScheduleFile::Exceptions, dir, error) &&
       Put(t, {1, 1, "Zhang", day, day, 2, "", 0, "", ""}) &&
       Put(t, {2, 2, "Li", day, day + 2, 0, "", 0, GbkLiteral("年假"), GbkLiteral("回老家")}) &&
       Put(t, {3, 3, "Zhang", day + 1, day + 1, 1, "", 0, "", ""}) &&
       Put(t, {4, 4, "Zhang", day + 3, day + 3, 0, "Li", 5, "", ""}) &&
       Put(t, {5, 4, "Li", day + 3, day + 3, 0, "Zhang", 4, "", ""}) &&
       Put(t, {6, 5, "Zhang", day + 4, day + 4, 0, "", 0, "", "n"}) &&
       Put(t, {7, 1, "zhang ", day + 5, day + 9, 9, "", 0, "", ""}) && Put(t, {8, 3, "Li", day, day, 2, "", 0, "", ""}) &&
       t.Delete() && t.Close() && Seed(dir, TScheduleFile::Exceptions, corpus / "exceptions-kinds");
  ok = ok && OpenOrCreateRotaFile(t, TScheduleFile::History, dir, error) && PutHistory(t, 1, day, 1, 45601, 0) &&
       PutHistory(t, 2, day + 30, 1, 45000.5, 1) && t.Close() && Seed(dir, TScheduleFile::History, corpus / "history-2");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_rota_seeds CORPUS-DIR\n");
    return 1;
  }
  std::filesystem::create_directories(argv[1]);
  if (!MakeAll(argv[1])) {
    std::fprintf(stderr, "make_rota_seeds: failed\n");
    return 2;
  }
  return 0;
}
