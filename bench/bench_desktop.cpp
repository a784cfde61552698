// What the desktop's timer costs at each minute's wake, over a folder of 100
// users whose every duty kind has times and a reminder: reading the folder
// again, the reminders due (none) and the tray's words. It runs once a
// minute, so anything under a millisecond is nothing to the idle machine.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <filesystem>
#include <string>

#include <stdlib.h>

#include "app/uReminderTimer.h"
#include "platform/gui/uNotifier.h"
#include "platform/uClock.h"
#include "platform/uGbk.h"
#include "schedule/uDutyTimes.h"
#include "schedule/uScheduleFolder.h"

namespace {

using namespace kadrel;

class TSilentNotifier : public TNotifier {
 public:
  bool Available() override { return true; }
  void Notify(const TNotification&, std::function<void(const QString&)> done) override { done({}); }
};

std::string MakeFolder() {
  std::string dir = (std::filesystem::temp_directory_path() / "kadrel-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) std::abort();
  TScheduleFolder folder(dir);
  TScheduleError error;
  TTimesError timesError;
  bool ok = !folder.Open({TFolderAccess::Write}).Failed() && folder.OpenForChange(TScheduleFile::Times, error);
  TScheduleRecords& records = folder.Records();
  for (const char* duty : {"白班", "夜班", "早班", "休息"}) {
    TDutyKindRecord kind{0, GbkLiteral(duty), ""};
    ok = ok && records.SaveDutyKind(kind, error);
  }
  TSchemeRecord scheme{0, "S", {1, 2, 3, 4}};
  ok = ok && records.SaveScheme(scheme, error);
  for (int u = 0; u < 100; ++u) {
    TUserRecord user{0, std::string("u").append(std::to_string(u)), 1, static_cast<TDateTime>(EncodeDate(2025, 1, 1)),
                     u % 4};
    ok = ok && records.SaveUser(user, error);
  }
  for (auto [id, start, length] : {std::tuple{1, 480, 480}, std::tuple{2, 1200, 720}, std::tuple{3, 360, 480}}) {
    ok = ok && SetDutyTimes(folder.Tables().Times, records, {id, start, length, false, kNoColor, 60}, timesError);
  }
  if (!ok || !folder.Close(error)) std::abort();
  return dir;
}

void BM_ReminderTimerWake(benchmark::State& state) {
  static const std::string dir = MakeFolder();
  TScheduleFolder folder(dir);
  if (folder.Open({TFolderAccess::Write}).Failed()) std::abort();
  TSilentNotifier notifier;
  TNotifierOverride seam(notifier);
  // 10:30 in Shanghai: nothing is due.
  TUtcClockOverride clock([] { return TUtcTime{WallTimeOf(EncodeDate(2025, 7, 31), 150).Seconds}; });
  TReminderTimer timer(folder);
  for (auto _ : state) {
    timer.Wake();
    benchmark::DoNotOptimize(timer.TrayTextsOf("u7"));
  }
}
BENCHMARK(BM_ReminderTimerWake)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
