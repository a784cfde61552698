// kadrel-cli publish against a Radicale started on 127.0.0.1: a year, read
// back; one exception sends one PUT and dropping it restores the rotation's
// duty; a shorter range deletes; a change made on the server is reported
// and kept; and the faults a user meets name the server.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/uCliCommands.h"
#include "output/uCalDav.h"
#include "output/uPublishUser.h"
#include "output/uVdir.h"
#include "platform/uGbk.h"
#include "schedule/uScheduleFolder.h"
#include "tests/cli/cli_test_util.h"
#include "tests/output/caldav_servers.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

using clitest::RunCli;
using clitest::TRun;

// 张三 runs 白班 夜班 休息 from 2026-01-01.
class CliCalendar : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.Path() / "data";
    fs::create_directory(dir_);
    std::ofstream(temp_.Path() / "pw", std::ios::binary) << "secret\n";
    fs::permissions(temp_.Path() / "pw", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(Run({"add-duty", "白班"}).Code, 0);
    ASSERT_EQ(Run({"add-duty", "夜班"}).Code, 0);
    ASSERT_EQ(Run({"add-duty", "休息"}).Code, 0);
    ASSERT_EQ(Run({"add-scheme", "三班", "1,2,3"}).Code, 0);
    ASSERT_EQ(Run({"add-user", "张三", "1", "2026-01-01", "0"}).Code, 0);
  }
  std::string Read(const fs::path& p) { return davtest::ReadAll(p); }

  TRun Run(std::vector<std::string> args) { return RunCli(std::move(args), dir_.string()); }
  TTestDir temp_;
  fs::path dir_;
};

class CliPublish : public CliCalendar {
 protected:
  static void SetUpTestSuite() {
    servers_ = new TTestDir;
    radicale_ = new davtest::TRadicale(servers_->Path() / "radicale");
  }
  static void TearDownTestSuite() {
    delete radicale_;
    delete servers_;
  }
  void SetUp() override {
    if (!radicale_->Running()) GTEST_SKIP() << radicale_->Error();
    CliCalendar::SetUp();
  }
  TRun Publish(const std::string& url, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"publish", "张三", url, "--user", "alice", "--password-file",
                                     (temp_.Path() / "pw").string(), "--calendar", calendar_};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
  // The calendar's objects as a REPORT gives them, by the day they start.
  std::map<std::string, std::string> Server() {
    TCalDavClient client({radicale_->Url(), "alice", "secret", {}, 5000, 30000});
    std::map<std::string, std::string> days;
    const auto calendar = client.FindCalendar(calendar_, false);
    const auto objects = calendar ? client.ListEvents(*calendar, true) : std::nullopt;
    for (const TDavObject& obj : objects.value_or(std::vector<TDavObject>{})) {
      const std::size_t at = obj.Data.find("DTSTART;VALUE=DATE:");
      days[at == std::string::npos ? obj.Href : obj.Data.substr(at + 19, 8)] = obj.Data;
    }
    return days;
  }
  void ChangeDay(std::int64_t day, std::int32_t duty, bool drop = false) {
    TScheduleFolder folder(dir_.string());
    ASSERT_FALSE(folder.Open({TFolderAccess::Write}).Failed());
    TRotaError error;
    if (drop) {
      std::vector<TExceptionRecord> dropped;
      const auto list = folder.Rota().ExceptionsOf(GbkLiteral("张三"), static_cast<TDateTime>(day), static_cast<TDateTime>(day));
      ASSERT_EQ(list.size(), 1u);
      ASSERT_TRUE(folder.Rota().DropException(list[0].ID, dropped, error)) << error.Text();
      return;
    }
    TExceptionRecord set;
    set.Kind = TExceptionKind::Set;
    set.User = GbkLiteral("张三");
    set.First = set.Last = static_cast<TDateTime>(day);
    set.DutyID = duty;
    ASSERT_TRUE(folder.Rota().AddException(set, error)) << error.Text();
  }

  static TTestDir* servers_;
  static davtest::TRadicale* radicale_;
  std::string calendar_ = "shifts";
};
TTestDir* CliPublish::servers_ = nullptr;
davtest::TRadicale* CliPublish::radicale_ = nullptr;

std::string Summary(const std::string& ics) {
  const std::size_t at = ics.find("SUMMARY:");
  // The REPORT's XML gives the lines ended by LF alone.
  return ics.substr(at + 8, ics.find_first_of("\r\n", at) - at - 8);
}

// A range is a subscription file, written whole, whose UIDs stay what they
// were; a vdir holds one file per event, and a shorter range removes only
// Kadrel's files of the days it no longer covers.
TEST_F(CliCalendar, ARangeIsASubscriptionAndAVdirKeepsOnlyItsOwnStaleFilesAway) {
  const fs::path ics = temp_.Path() / "shifts.ics";
  TRun r = Run({"export", "张三", "2026-01-01", "2026-01-10", "--format", "ics", "-o", ics.string()});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const std::string first = Read(ics);
  EXPECT_NE(first.find("\r\nREFRESH-INTERVAL;VALUE=DURATION:PT12H\r\nX-PUBLISHED-TTL:PT12H\r\n"), std::string::npos);
  const std::size_t uid = first.find("UID:kadrel-");
  ASSERT_NE(uid, std::string::npos);
  const std::string key = first.substr(uid + 11, 32);
  EXPECT_NE(first.find("UID:kadrel-" + key + "-20260110-day\r\n"), std::string::npos);
  EXPECT_EQ(SplitIcsEvents(first).size(), 10u);
  ASSERT_EQ(Run({"export", "张三", "2026", "--format", "ics", "--months", "1", "-o", ics.string()}).Code, 0);
  EXPECT_NE(Read(ics).find("UID:kadrel-" + key + "-20260131-day"), std::string::npos) << "one key for every export";

  const fs::path vdir = temp_.Path() / "vdir";
  fs::create_directory(vdir);
  std::ofstream(vdir / "phone-made.ics") << "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n";
  r = Run({"export", "张三", "2026-01-01", "2026-01-10", "--format", "vdir", "-o", vdir.string()});
  EXPECT_EQ(r.Out, vdir.string() + ": 10 written, 0 unchanged, 0 removed\n") << r.Err;
  r = Run({"export", "张三", "2026-01-01", "2026-01-07", "--format", "vdir", "-o", vdir.string()});
  EXPECT_EQ(r.Out, vdir.string() + ": 0 written, 7 unchanged, 3 removed\n") << r.Err;
  EXPECT_TRUE(fs::exists(vdir / "phone-made.ics"));
  EXPECT_TRUE(fs::exists(vdir / ("kadrel-" + key + "-20260107-day.ics")));

  EXPECT_EQ(Run({"export", "张三", "2026-01-01", "2026-01-10", "--format", "txt"}).Code, kExitUsage);
  EXPECT_EQ(Run({"export", "张三", "2020", "2031", "--format", "ics"}).Code, kExitUsage);
  EXPECT_EQ(Run({"export", "张三", "2026", "--format", "vdir"}).Code, kExitUsage);
  EXPECT_EQ(Run({"export", "张三", "-30", "+400", "--format", "ics", "-o", ics.string()}).Code, 0);
}

TEST_F(CliPublish, AYearThenOneExceptionThenItsUndoingThenAShorterRange) {
  TRun r = Publish(radicale_->Url(), {"2026-01-01", "2026-12-31"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find(": 365 created, 0 updated, 0 deleted, 0 unchanged"), std::string::npos) << r.Out;
  auto days = Server();
  ASSERT_EQ(days.size(), 365u);
  EXPECT_EQ(Summary(days["20260101"]), "白班");
  EXPECT_EQ(Summary(days["20260102"]), "夜班");
  EXPECT_EQ(days["20260102"].find("张三"), std::string::npos) << "no name in an object's UID or text but the title";

  // khal reads what the server holds, once it is a vdir.
  TEventTexts objects;
  for (const auto& [day, text] : days) objects[day] = text;
  TVdirResult written;
  ASSERT_FALSE(WriteVdir((temp_.Path() / "vdir").string(), objects, "", written));
  const fs::path khalConf = temp_.Path() / "khal.conf";
  std::ofstream(khalConf) << "[calendars]\n[[shifts]]\npath = " << (temp_.Path() / "vdir").string()
                          << "\n[locale]\ntimeformat = %H:%M\ndateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\n"
                             "datetimeformat = %Y-%m-%d %H:%M\nlongdatetimeformat = %Y-%m-%d %H:%M\n";
  davtest::TProcess khal;
  ASSERT_TRUE(khal.Start({"khal", "-c", khalConf.string(), "list", "2026-03-01", "2026-03-03"}, temp_.Path() / "khal.log"));
  EXPECT_TRUE(khal.Wait());
  const std::string listed = davtest::ReadAll(temp_.Path() / "khal.log");
  EXPECT_NE(listed.find("白班"), std::string::npos) << listed;
  EXPECT_NE(listed.find("休息"), std::string::npos) << listed;

  const std::int64_t may1 = EncodeDate(2026, 5, 1);
  ChangeDay(may1, 3);
  r = Publish(radicale_->Url(), {"2026-01-01", "2026-12-31"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find(": 0 created, 1 updated, 0 deleted, 364 unchanged"), std::string::npos) << r.Out;
  EXPECT_EQ(Summary(Server()["20260501"]), "休息");

  ChangeDay(may1, 0, true);
  r = Publish(radicale_->Url(), {"2026-01-01", "2026-12-31"});
  EXPECT_NE(r.Out.find(": 0 created, 1 updated"), std::string::npos) << r.Out << r.Err;
  EXPECT_EQ(Summary(Server()["20260501"]), Summary(days["20260501"])) << "back to the rotation's duty";

  r = Publish(radicale_->Url(), {"2026-01-01", "2026-11-30"});
  EXPECT_NE(r.Out.find(": 0 created, 0 updated, 31 deleted, 334 unchanged"), std::string::npos) << r.Out << r.Err;
  EXPECT_EQ(Server().size(), 334u);
}

TEST_F(CliPublish, AChangeOnTheServerIsReportedAndKept) {
  calendar_ = "phone";
  ASSERT_EQ(Publish(radicale_->Url(), {"2026-03"}).Code, 0);
  TCalDavClient phone({radicale_->Url(), "alice", "secret", {}, 5000, 30000});
  const auto calendar = phone.FindCalendar("phone", false);
  ASSERT_TRUE(calendar);
  auto objects = phone.ListEvents(*calendar, true).value();
  const auto edited = std::find_if(objects.begin(), objects.end(),
                                   [](const TDavObject& o) { return o.Data.find(":20260310") != std::string::npos; });
  ASSERT_NE(edited, objects.end());
  std::string text = edited->Data;
  text.replace(text.find("SUMMARY:"), 8, "SUMMARY:换班 ");
  ASSERT_TRUE(phone.Put(edited->Href, text, edited->ETag)) << phone.Error().Text();
  ChangeDay(EncodeDate(2026, 3, 10), 2);

  const TRun r = Publish(radicale_->Url(), {"2026-03"});
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_EQ(r.Err, "kadrel-cli: calendar server " + DavServerName(radicale_->Url()) +
                       ": 0 created, 0 updated, 0 deleted, 30 unchanged; 1 changed on the server and left as they "
                       "are; --overwrite replaces them with Kadrel's\n");
  EXPECT_NE(Server()["20260310"].find("SUMMARY:换班 "), std::string::npos) << "not overwritten";
  EXPECT_EQ(Publish(radicale_->Url(), {"2026-03", "--overwrite"}).Code, 0);
  EXPECT_EQ(Summary(Server()["20260310"]), "夜班");
}

// Each fault names the server and why, exits 2, and writes nothing to the
// schedule files.
TEST_F(CliPublish, FaultsNameTheServerAndTheReason) {
  const std::string server = DavServerName(radicale_->Url());
  const int closed = davtest::FreePort();
  TRun r = Publish("http://127.0.0.1:" + std::to_string(closed) + "/");
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_TRUE(r.Err.starts_with("kadrel-cli: 0 created, 0 updated, 0 deleted, 0 unchanged; stopped: calendar server 127.0.0.1:" +
                                std::to_string(closed) + ": "))
      << r.Err;

  std::ofstream(temp_.Path() / "pw", std::ios::trunc) << "wrong\n";
  r = Publish(radicale_->Url());
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_NE(r.Err.find("calendar server " + server + ": "), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("user name or password"), std::string::npos) << r.Err;
  // Nothing was put, so nothing was recorded: no file of records, no key.
  EXPECT_FALSE(fs::exists(dir_ / "syncdat.kd2"));
  EXPECT_FALSE(fs::exists(dir_ / "uiddat.kd2"));

  fs::permissions(temp_.Path() / "pw", fs::perms::group_read, fs::perm_options::add);
  r = Publish(radicale_->Url());
  EXPECT_EQ(r.Code, kExitData);
  EXPECT_TRUE(r.Err.starts_with("kadrel-cli: cannot use the password file ")) << r.Err;

  TScopedEnv config("XDG_CONFIG_HOME", (temp_.Path() / "config").string());
  TScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  r = Run({"publish", "张三", radicale_->Url(), "--user", "alice"});
  EXPECT_EQ(r.Err, "kadrel-cli: no password is kept for alice on calendar server " + server +
                       "; give --password-file FILE, or save it once in Kadrel's dialog 同步到手机日历…\n");
  EXPECT_EQ(Run({"publish", "张三", "ftp://x/"}).Code, kExitData);
  EXPECT_EQ(Run({"publish", "张三", radicale_->Url(), "2020", "2031"}).Err,
            "kadrel-cli: a calendar covers at most ten years (see kadrel-cli --help)\n");
}

}  // namespace
}  // namespace kadrel
