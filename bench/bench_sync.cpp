// Publishing a year of 365 one-day events to a Radicale started here on
// 127.0.0.1. Goals: the first publish under 2 s over one kept connection,
// an unchanged republish under 0.3 s given the records.
//
// Radicale's own HTTP server answers HTTP/1.0 and closes every connection;
// served by gunicorn's threaded worker it keeps one. Either way its PUT of a
// new object reads every object of the calendar (to refuse a second object
// of the same UID), so a year costs it O(n^2). Each publish reports
// "server_s", the time Radicale itself logged for the requests, and
// "connections"; the rest of the time is the client's, the records' and
// the HTTP server's around Radicale. BM_RecordYear is the records' share
// alone, as a publish writes them (one commit per kRecordBatch answers,
// after one of the marks), beside BM_RecordYearEach, one commit per record.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "output/uPublish.h"
#include "platform/uDateTime.h"
#include "tests/output/caldav_servers.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

constexpr int kDays = 365;

TEventTexts Year(const std::string& prefix) {
  static const char* kCycle[] = {"早班", "中班", "夜班", "休息"};
  TEventTexts events;
  for (int i = 0; i < kDays; ++i) {
    const TYmd d = DecodeDate(EncodeDate(2026, 1, 1) + i);
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", d.Year, d.Month, d.Day);
    const std::string uid = prefix + date;
    events[uid] = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kadrel//Kadrel 2.0//ZH\r\nBEGIN:VEVENT\r\nUID:" + uid +
                  "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:" + date + "\r\nDURATION:P1D\r\nSUMMARY:" +
                  kCycle[i % 4] + "\r\nTRANSP:TRANSPARENT\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  }
  return events;
}

// Seconds Radicale logged for the requests it answered since `from` bytes
// into its log.
double ServerSeconds(const std::string& log, std::size_t from) {
  static const std::regex kTook(R"( in ([0-9.]+) seconds)");
  double total = 0;
  const std::string part = log.size() > from ? log.substr(from) : "";
  for (std::sregex_iterator it(part.begin(), part.end(), kTook), end; it != end; ++it) total += std::stod((*it)[1]);
  return total;
}

// syncdat.kd2 in a data folder of its own.
struct TRecords {
  TTestDir Data;
  TTableStream Table;
  TRecords() {
    TScheduleError error;
    OpenOrCreateSyncFile(Table, Data.Path(), error);
  }
};

struct TServers {
  TTestDir Dir;
  davtest::TRadicale Radicale{Dir.Path() / "plain"};
  davtest::TRadicale Gunicorn{Dir.Path() / "gunicorn", davtest::TRadicale::TAuth::Htpasswd,
                              davtest::TRadicale::TServe::Gunicorn};
  davtest::TDigestFront Front{Dir.Path() / "front"};
  static TServers& Get() {
    static TServers servers;
    return servers;
  }
};

enum class TServer { Own, Gunicorn, Front };

struct TTarget {
  bool Up;
  std::string Error;
  fs::path Log;
  TDavAccount Account;
};

TTarget Target(TServer which) {
  TServers& s = TServers::Get();
  switch (which) {
    case TServer::Own:
      return {s.Radicale.Running(), s.Radicale.Error(), s.Dir.Path() / "plain/radicale.log",
              {s.Radicale.Url(), "alice", "secret", {}}};
    case TServer::Gunicorn:
      return {s.Gunicorn.Running(), s.Gunicorn.Error(), s.Dir.Path() / "gunicorn/radicale.log",
              {s.Gunicorn.Url(), "alice", "secret", {}}};
    case TServer::Front: break;
  }
  return {s.Front.Running(), s.Front.Error(), s.Dir.Path() / "front/radicale/radicale.log",
          {s.Front.Url(), "alice", "secret", s.Front.Certificate().string()}};
}

// One publish of a fresh year to a new calendar, with new records.
void PublishYear(benchmark::State& state, TServer which) {
  const TTarget target = Target(which);
  if (!target.Up) return state.SkipWithError(target.Error.c_str());
  static int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TRecords records;
    const std::string name = "year-" + std::to_string(round++);
    const TEventTexts events = Year("k-" + name + "-");
    const std::size_t logFrom = davtest::ReadAll(target.Log).size();
    TCalDavClient client(target.Account);
    state.ResumeTiming();
    const TPublishResult r = Publish(client, records.Table, events, {name, "k-", false});
    state.PauseTiming();
    if (!r.Ok() || r.Created != kDays) state.SkipWithError(r.Text().c_str());
    state.counters["requests"] = client.Requests();
    state.counters["connections"] = client.Connections();
    state.counters["server_s"] = ServerSeconds(davtest::ReadAll(target.Log), logFrom);
    state.ResumeTiming();
  }
}
void BM_PublishYear(benchmark::State& state) { PublishYear(state, TServer::Own); }
void BM_PublishYearGunicorn(benchmark::State& state) { PublishYear(state, TServer::Gunicorn); }
void BM_PublishYearKeptConnection(benchmark::State& state) { PublishYear(state, TServer::Front); }
BENCHMARK(BM_PublishYear)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PublishYearGunicorn)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PublishYearKeptConnection)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same year published again, unchanged: discovery, one listing, no PUT.
void RepublishUnchanged(benchmark::State& state, TServer which) {
  const TTarget target = Target(which);
  if (!target.Up) return state.SkipWithError(target.Error.c_str());
  TRecords records;
  const TEventTexts events = Year("k-again-");
  {
    TCalDavClient client(target.Account);
    const TPublishResult r = Publish(client, records.Table, events, {"again", "k-", false});
    if (!r.Ok()) return state.SkipWithError(r.Text().c_str());
  }
  for (auto _ : state) {
    TCalDavClient client(target.Account);
    const TPublishResult r = Publish(client, records.Table, events, {"again", "k-", false});
    if (!r.Ok() || r.Unchanged != kDays) state.SkipWithError(r.Text().c_str());
    state.counters["requests"] = client.Requests();
    state.counters["connections"] = client.Connections();
  }
}
void BM_RepublishUnchanged(benchmark::State& state) { RepublishUnchanged(state, TServer::Own); }
void BM_RepublishUnchangedGunicorn(benchmark::State& state) { RepublishUnchanged(state, TServer::Gunicorn); }
BENCHMARK(BM_RepublishUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RepublishUnchangedGunicorn)->Unit(benchmark::kMillisecond)->UseRealTime();

// 365 creates recorded: marked in one commit, then answered, `batch`
// answers per commit; 0: unmarked, each answer its own commit.
void RecordYear(benchmark::State& state, int batch) {
  const TEventTexts events = Year("k-");
  const std::string etag = "\"" + std::string(64, 'e') + "\"";
  for (auto _ : state) {
    state.PauseTiming();
    TRecords records;
    TSyncState sync(records.Table, "http://127.0.0.1/alice/year/");
    TScheduleError error;
    state.ResumeTiming();
    if (batch > 0) {
      sync.Hold(error);
      for (const auto& [uid, text] : events) sync.Put({uid, "/alice/year/" + uid + ".ics", {}, {}, EventHash(text)}, error);
      sync.Flush(error);
    }
    int held = 0;
    for (const auto& [uid, text] : events) {
      if (batch > 0 && held == 0) sync.Hold(error);
      sync.Put({uid, "/alice/year/" + uid + ".ics", etag, EventHash(text), {}}, error);
      if (batch > 0 && ++held == batch) {
        sync.Flush(error);
        held = 0;
      }
    }
    if (held > 0) sync.Flush(error);
    if (error.Fault != TEditFault::None) state.SkipWithError(error.Text().c_str());
  }
}
void BM_RecordYear(benchmark::State& state) { RecordYear(state, kRecordBatch); }
void BM_RecordYearEach(benchmark::State& state) { RecordYear(state, 0); }
BENCHMARK(BM_RecordYear)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_RecordYearEach)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kadrel
