// Publishing to a Radicale started on 127.0.0.1: a year, then only what
// changed, then a shorter range, a change made on the phone, and a publish
// killed half-way; and over one connection to a server that keeps it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "output/uPublish.h"
#include "platform/uDateTime.h"
#include "tests/output/caldav_servers.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

std::string DayEvent(const std::string& uid, std::int64_t day, const std::string& summary) {
  const TYmd d = DecodeDate(day);
  char date[16];
  std::snprintf(date, sizeof date, "%04d%02d%02d", d.Year, d.Month, d.Day);
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kadrel//Kadrel 2.0//ZH\r\nBEGIN:VEVENT\r\nUID:" + uid +
         "\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:" + date + "\r\nDURATION:P1D\r\nSUMMARY:" + summary +
         "\r\nTRANSP:TRANSPARENT\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// `days` events from 2026-01-01, in a four-day rotation.
TEventTexts Rota(int days, const std::string& prefix = "k-") {
  static const char* kCycle[] = {"早班", "中班", "夜班", "休息"};
  TEventTexts events;
  const std::int64_t first = EncodeDate(2026, 1, 1);
  for (int i = 0; i < days; ++i) {
    const std::string uid = prefix + std::to_string(20260000 + i);
    events[uid] = DayEvent(uid, first + i, kCycle[i % 4]);
  }
  return events;
}

int FilesIn(const fs::path& folder, const std::string& holding = {}) {
  int n = 0;
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(folder, ec)) {
    if (f.path().extension() == ".ics" && (holding.empty() || davtest::ReadAll(f.path()).find(holding) != std::string::npos)) ++n;
  }
  return n;
}

class Publishing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TTestDir;
    radicale_ = new davtest::TRadicale(dir_->Path() / "radicale");
  }
  static void TearDownTestSuite() {
    delete radicale_;
    delete dir_;
  }
  void SetUp() override {
    if (!radicale_->Running()) GTEST_SKIP() << radicale_->Error();
    TScheduleError error;
    ASSERT_TRUE(OpenOrCreateSyncFile(records_, data_.Path(), error)) << error.Text();
  }
  static TDavAccount Alice() { return {radicale_->Url(), "alice", "secret", {}, 5000, 30000}; }

  // One publish with a client of its own; `requests` counts what it sent.
  TPublishResult Publish(const TEventTexts& events, const std::string& calendar, bool overwrite = false,
                         int* requests = nullptr) {
    TCalDavClient client(Alice());
    TPublishResult result = kadrel::Publish(client, records_, events, {calendar, "k-", overwrite});
    if (requests) *requests = client.Requests();
    return result;
  }
  std::vector<TDavObject> Server(const std::string& calendar) {
    TCalDavClient client(Alice());
    auto objects = client.ListEvents(*client.FindCalendar(calendar, false), true);
    return objects ? *objects : std::vector<TDavObject>{};
  }

  static TTestDir* dir_;
  static davtest::TRadicale* radicale_;
  TTestDir data_;
  TTableStream records_;
};
TTestDir* Publishing::dir_ = nullptr;
davtest::TRadicale* Publishing::radicale_ = nullptr;

// The discovery: the well-known address, the home, the list of calendars.
constexpr int kFindRequests = 3;

TEST_F(Publishing, AYearThenOnlyWhatChangedThenDeletesForAShorterRange) {
  TEventTexts year = Rota(365);
  int requests = 0;
  TPublishResult r = Publish(year, "year", false, &requests);
  ASSERT_TRUE(r.Ok()) << r.Text();
  EXPECT_EQ(r.Created, 365);
  EXPECT_EQ(requests, kFindRequests + 1 /* MKCALENDAR */ + 1 /* listing */ + 365);
  const auto onServer = Server("year");
  ASSERT_EQ(onServer.size(), 365u);
  for (const TDavObject& obj : onServer) {
    const std::string uid = fs::path(PercentDecoded(obj.Href)).stem().string();
    ASSERT_TRUE(year.contains(uid)) << obj.Href;
    EXPECT_NE(obj.Data.find("UID:" + uid), std::string::npos);
  }

  r = Publish(year, "year", false, &requests);
  EXPECT_TRUE(r.Ok() && r.Unchanged == 365 && r.Created + r.Updated + r.Deleted == 0) << r.Text();
  EXPECT_EQ(requests, kFindRequests + 1);

  // An exception on one day, made again with a new DTSTAMP everywhere.
  for (auto& [uid, text] : year) text.replace(text.find("DTSTAMP:2026"), 12, "DTSTAMP:2027");
  year["k-20260100"] = DayEvent("k-20260100", EncodeDate(2026, 4, 11), "请假");
  r = Publish(year, "year", false, &requests);
  EXPECT_TRUE(r.Ok() && r.Updated == 1 && r.Unchanged == 364) << r.Text();
  EXPECT_EQ(requests, kFindRequests + 1 + 1);

  TEventTexts shorter = Rota(335);
  r = Publish(shorter, "year", false, &requests);
  EXPECT_TRUE(r.Ok() && r.Deleted == 30 && r.Updated == 1) << r.Text();
  EXPECT_EQ(Server("year").size(), 335u);
  EXPECT_EQ(TSyncState(records_, r.Calendar).Entries().size(), 335u);
}

TEST_F(Publishing, AChangeMadeOnThePhoneIsReportedAndNeverOverwrittenSilently) {
  TEventTexts events = Rota(7);
  TPublishResult r = Publish(events, "phone");
  ASSERT_TRUE(r.Ok()) << r.Text();
  // The phone edits one duty.
  TCalDavClient phone(Alice());
  const std::string href = UrlPath(r.Calendar) + "k-20260003.ics";
  const TSyncState state(records_, r.Calendar);
  const TSyncEntry* rec = state.Find("k-20260003");
  ASSERT_TRUE(rec);
  const std::string edited = DayEvent("k-20260003", EncodeDate(2026, 1, 4), "和小李换班");
  ASSERT_TRUE(phone.Put(href, edited, rec->ETag)) << phone.Error().Text();

  events["k-20260003"] = DayEvent("k-20260003", EncodeDate(2026, 1, 4), "加班");
  r = Publish(events, "phone");
  EXPECT_TRUE(r.Ok()) << r.Text();
  ASSERT_EQ(r.Conflicts.size(), 1u);
  EXPECT_EQ(r.Conflicts[0].Uid, "k-20260003");
  EXPECT_NE(r.Text().find("1 changed on the server and left as they are"), std::string::npos) << r.Text();
  auto server = Server("phone");
  auto it = std::find_if(server.begin(), server.end(), [&](const TDavObject& o) { return PercentDecoded(o.Href) == href; });
  ASSERT_NE(it, server.end());
  EXPECT_NE(it->Data.find("和小李换班"), std::string::npos);

  r = Publish(events, "phone", true);
  EXPECT_TRUE(r.Ok() && r.Updated == 1 && r.Conflicts.empty()) << r.Text();
  server = Server("phone");
  it = std::find_if(server.begin(), server.end(), [&](const TDavObject& o) { return PercentDecoded(o.Href) == href; });
  EXPECT_NE(it->Data.find("加班"), std::string::npos);
}

TEST_F(Publishing, StopsAtTheFirstFaultAndTheNextPublishFinishesTheJob) {
  TCalDavClient wrong({radicale_->Url(), "alice", "nope", {}, 5000, 30000});
  TPublishResult r = kadrel::Publish(wrong, records_, Rota(5), {"stops", "k-", false});
  EXPECT_EQ(r.Error.Fault, TDavFault::Unauthorized);
  EXPECT_EQ(r.Text(), "0 created, 0 updated, 0 deleted, 0 unchanged; stopped: calendar server 127.0.0.1:" +
                          std::to_string(radicale_->Port()) + ": the user name or password was refused (HTTP 401)");
  EXPECT_EQ(records_.RecordCount(), 0);
  TTableStream closed;
  TCalDavClient unused(Alice());
  r = kadrel::Publish(unused, closed, Rota(5), {"stops", "k-", false});
  EXPECT_EQ(r.StateError.Fault, TEditFault::CannotOpen);
  EXPECT_EQ(unused.Requests(), 0);

  // Someone else's object holds the UID of one event under another name.
  TCalDavClient other(Alice());
  const auto cal = other.FindCalendar("stops", true);
  ASSERT_TRUE(cal);
  const TEventTexts events = Rota(5);
  ASSERT_TRUE(other.Put(UrlPath(*cal) + "imported.ics", events.at("k-20260002"), ""));
  r = Publish(events, "stops");
  EXPECT_EQ(r.Error.Fault, TDavFault::Conflict) << r.Text();
  EXPECT_EQ(r.Created, 2);
  EXPECT_EQ(TSyncState(records_, *cal).Entries().size(), 2u);

  ASSERT_TRUE(other.Delete(UrlPath(*cal) + "imported.ics", ""));
  r = Publish(events, "stops");
  EXPECT_TRUE(r.Ok() && r.Created == 3 && r.Unchanged == 2) << r.Text();
}

// A publish killed while it writes, once among creates and once among
// updates: the next publish leaves exactly the events on the server, one
// object each, with no conflict of Kadrel's own making, and sends only what
// had not landed.
TEST_F(Publishing, APublishKilledHalfWayConvergesOnTheNextOne) {
  const fs::path folder = radicale_->Folder("alice", "killed");
  auto killWhen = [&](const TEventTexts& events, auto reached) {
    records_.Close();
    const pid_t child = ::fork();
    if (child == 0) {
      TTableStream table;
      TScheduleError error;
      OpenOrCreateSyncFile(table, data_.Path(), error);
      TCalDavClient client(Alice());
      kadrel::Publish(client, table, events, {"killed", "k-", false});
      ::_exit(0);
    }
    for (int i = 0; i < 2000 && !reached(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    TScheduleError error;
    ASSERT_TRUE(OpenOrCreateSyncFile(records_, data_.Path(), error)) << error.Text();
  };
  // What landed before the kill is recognised by its marked record, not sent again.
  const auto converged = [&](const TEventTexts& events, const std::string& summary) {
    // The server finishes the request in flight after the kill: count once
    // it has stood still for a second.
    int landed = FilesIn(folder, summary);
    for (int i = 0; i < 10; ++i) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      const int now = FilesIn(folder, summary);
      if (now == landed) break;
      landed = now;
    }
    TPublishResult r = Publish(events, "killed");
    EXPECT_TRUE(r.Ok() && r.Conflicts.empty()) << r.Text();
    EXPECT_EQ(r.Created + r.Updated, static_cast<int>(events.size()) - landed) << r.Text();
    EXPECT_EQ(FilesIn(folder), static_cast<int>(events.size()));
    EXPECT_EQ(FilesIn(folder, summary), static_cast<int>(events.size()));
    r = Publish(events, "killed");
    EXPECT_EQ(r.Unchanged, static_cast<int>(events.size())) << r.Text();
  };

  const TEventTexts events = Rota(40);
  killWhen(events, [&] { return FilesIn(folder) >= 15; });
  ASSERT_LT(FilesIn(folder), 40) << "the publish ended before it was killed";
  converged(events, "DTSTART");

  TEventTexts changed;
  for (const auto& [uid, text] : events) changed[uid] = DayEvent(uid, EncodeDate(2026, 1, 1), "年假");
  killWhen(changed, [&] { return FilesIn(folder, "年假") >= 15; });
  ASSERT_LT(FilesIn(folder, "年假"), 40) << "the publish ended before it was killed";
  converged(changed, "年假");
}

// Radicale under gunicorn keeps the connection: a whole publish needs one.
TEST(PublishingKeptAlive, OneConnectionCarriesEveryRequest) {
  TTestDir dir;
  davtest::TRadicale server(dir.Path() / "gunicorn", davtest::TRadicale::TAuth::Htpasswd,
                            davtest::TRadicale::TServe::Gunicorn);
  if (!server.Running()) GTEST_SKIP() << server.Error();
  TTableStream records;
  TScheduleError error;
  ASSERT_TRUE(OpenOrCreateSyncFile(records, dir.Path().string(), error)) << error.Text();
  TCalDavClient client({server.Url(), "alice", "secret", {}, 5000, 30000});
  const TPublishResult r = kadrel::Publish(client, records, Rota(30), {"kept", "k-", false});
  ASSERT_TRUE(r.Ok() && r.Created == 30) << r.Text();
  EXPECT_EQ(client.Requests(), kFindRequests + 2 + 30);  // MKCALENDAR, the listing, the PUTs
  EXPECT_EQ(client.Connections(), 1);
}

}  // namespace
}  // namespace kadrel
