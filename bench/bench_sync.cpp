// Publishing a year of 365 one-day events to a Radicale started here on
// 127.0.0.1. Goals: the first publish under 2 s over one kept connection,
// an unchanged republish under 0.3 s given the records.
//
// Radicale's own HTTP server answers HTTP/1.0 and closes every connection,
// and its PUT reads every object of the calendar (to refuse a second object
// of the same UID), so a year costs it O(n^2). Each publish reports
// "server_s", the time Radicale itself logged for the requests, and
// "connections"; the lighttpd-fronted runs keep one connection as people
// deploy Radicale. BM_RecordYear is the records' share alone: 365 Posts of
// syncdat.kd2 in the benchmark's temporary folder.
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
  davtest::TDigestFront Front{Dir.Path() / "front"};
  static TServers& Get() {
    static TServers servers;
    return servers;
  }
};

// One publish of a fresh year to a new calendar, with new records.
void PublishYear(benchmark::State& state, bool front) {
  TServers& s = TServers::Get();
  const bool up = front ? s.Front.Running() : s.Radicale.Running();
  if (!up) return state.SkipWithError((front ? s.Front.Error() : s.Radicale.Error()).c_str());
  const fs::path serverLog = front ? s.Dir.Path() / "front/radicale/radicale.log" : s.Dir.Path() / "plain/radicale.log";
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TRecords records;
    const TEventTexts events = Year("k-" + std::to_string(round) + "-");
    const std::size_t logFrom = davtest::ReadAll(serverLog).size();
    TCalDavClient client(front ? TDavAccount{s.Front.Url(), "alice", "secret", s.Front.Certificate().string()}
                               : TDavAccount{s.Radicale.Url(), "alice", "secret", {}});
    state.ResumeTiming();
    const TPublishResult r = Publish(client, records.Table, events, {"year-" + std::to_string(round++), "k-", false});
    state.PauseTiming();
    if (!r.Ok() || r.Created != kDays) state.SkipWithError(r.Text().c_str());
    state.counters["requests"] = client.Requests();
    state.counters["connections"] = client.Connections();
    state.counters["server_s"] = ServerSeconds(davtest::ReadAll(serverLog), logFrom);
    state.ResumeTiming();
  }
}
void BM_PublishYear(benchmark::State& state) { PublishYear(state, false); }
void BM_PublishYearKeptConnection(benchmark::State& state) { PublishYear(state, true); }
BENCHMARK(BM_PublishYear)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_PublishYearKeptConnection)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same year published again, unchanged: discovery, one listing, no PUT.
void BM_RepublishUnchanged(benchmark::State& state) {
  TServers& s = TServers::Get();
  if (!s.Radicale.Running()) return state.SkipWithError(s.Radicale.Error().c_str());
  TRecords records;
  const TEventTexts events = Year("k-again-");
  const TDavAccount account{s.Radicale.Url(), "alice", "secret", {}};
  {
    TCalDavClient client(account);
    const TPublishResult r = Publish(client, records.Table, events, {"again", "k-", false});
    if (!r.Ok()) return state.SkipWithError(r.Text().c_str());
  }
  for (auto _ : state) {
    TCalDavClient client(account);
    const TPublishResult r = Publish(client, records.Table, events, {"again", "k-", false});
    if (!r.Ok() || r.Unchanged != kDays) state.SkipWithError(r.Text().c_str());
    state.counters["requests"] = client.Requests();
  }
}
BENCHMARK(BM_RepublishUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RecordYear(benchmark::State& state) {
  const TEventTexts events = Year("k-");
  for (auto _ : state) {
    state.PauseTiming();
    TRecords records;
    TSyncState sync(records.Table, "http://127.0.0.1/alice/year/");
    TScheduleError error;
    state.ResumeTiming();
    for (const auto& [uid, text] : events) {
      sync.Put({uid, "/alice/year/" + uid + ".ics", "\"" + std::string(64, 'e') + "\"", EventHash(text), {}}, error);
    }
  }
}
BENCHMARK(BM_RecordYear)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace kadrel
