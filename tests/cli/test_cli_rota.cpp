// Exceptions and changes of scheme from kadrel-cli, run in-process: what
// each write stores and prints, what the reads resolve, and refusals that
// write nothing.
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "cli/uCliCommands.h"
#include "platform/uClock.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::Bytes;
using schedtest::ReadFileBytes;
using schedtest::TScratchDir;

// Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 四班 = 白班 白班 夜班 休息.
// From 2026-03-01 Li runs 夜 休 白 白 夜 休 白 …, Wu 白 白 夜 休 白 白 夜 …;
// Solo has no scheme.
class CliRota : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& args : std::vector<std::vector<std::string>>{{"add-user", "Solo", "0", "2026-01-01", "0"},
                                                                  {"add-duty", "白班"},
                                                                  {"add-duty", "夜班"},
                                                                  {"add-duty", "休息"},
                                                                  {"add-scheme", "四班", "1,1,2,3"},
                                                                  {"add-user", "Li", "1", "2026-03-01", "2"},
                                                                  {"add-user", "Wu", "1", "2026-03-01", "0"}}) {
      ASSERT_EQ(Run(args), 0) << err_.str();
    }
  }
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.begin(), {"--data", dir_.Path()});
    return CliMain(args, out_, err_);
  }
  // The output of a command that must succeed.
  std::string Ok(const std::vector<std::string>& args) {
    EXPECT_EQ(Run(args), 0) << err_.str();
    return out_.str();
  }
  std::map<std::string, Bytes> Files() const {
    std::map<std::string, Bytes> files;
    for (const auto& name : dir_.Entries()) files[name] = ReadFileBytes(dir_.File(name));
    return files;
  }

  TClockOverride clock_{schedtest::FixedNow};
  TScratchDir dir_;
  std::ostringstream out_, err_;
};

// The three files other programs read keep every byte while exceptions
// come and go.
TEST_F(CliRota, EachWritePrintsWhatItStoredAndEveryReadResolves) {
  const auto three = [&] {
    std::vector<Bytes> bytes;
    for (TScheduleFile file : kScheduleFiles) bytes.push_back(ReadFileBytes(dir_.File(file)));
    return bytes;
  };
  const auto before = three();
  EXPECT_EQ(Ok({"set", "Li", "2026-03-03", "夜班"}), "1\tLi\tset\t2026-03-03\t2026-03-03\t夜班\t\t\t\n");
  EXPECT_EQ(Ok({"set", "Li", "2026-03-04", "-"}), "2\tLi\tset\t2026-03-04\t2026-03-04\t-\t\t\t\n");
  EXPECT_EQ(Ok({"leave", "li", "2026-03-05", "2026-03-06", "年假"}),
            "3\tLi\tleave\t2026-03-05\t2026-03-06\t\t\t年假\t\n");
  EXPECT_EQ(Ok({"extra", "Li", "2026-03-07", "2"}), "4\tLi\textra\t2026-03-07\t2026-03-07\t夜班\t\t\t\n");
  EXPECT_EQ(Ok({"swap", "Li", "Wu", "2026-03-02"}),
            "5\tLi\tswap\t2026-03-02\t2026-03-02\t\tWu\t\t\n6\tWu\tswap\t2026-03-02\t2026-03-02\t\tLi\t\t\n");
  EXPECT_EQ(Ok({"note", "Li", "2026-03-02", "带钥匙"}), "7\tLi\tnote\t2026-03-02\t2026-03-02\t\t\t\t带钥匙\n");

  EXPECT_EQ(Ok({"duty", "Li", "2026-03-01", "2026-03-07"}),
            "2026-03-01\t夜班\n2026-03-02\t白班\n2026-03-03\t夜班\n2026-03-04\t\n2026-03-05\t年假\n"
            "2026-03-06\t年假\n2026-03-07\t白班+夜班\n");
  EXPECT_EQ(Ok({"today"}), "Solo\t\nLi\t休息\nWu\t白班\n");
  EXPECT_EQ(Ok({"exceptions", "Li", "2026-03-02"}),
            "5\tLi\tswap\t2026-03-02\t2026-03-02\t\tWu\t\t\n7\tLi\tnote\t2026-03-02\t2026-03-02\t\t\t\t带钥匙\n");
  EXPECT_EQ(Ok({"--json", "exceptions", "Li", "2026-03-06"}),
            "[{\"id\":3,\"user\":\"Li\",\"kind\":\"leave\",\"first\":\"2026-03-05\",\"last\":\"2026-03-06\","
            "\"duty\":null,\"partner\":null,\"link\":null,\"leave\":\"年假\",\"note\":null}]\n");
  EXPECT_TRUE(Ok({"--json", "duty", "Wu", "2026-03-02"})
                  .ends_with(",\"user\":\"Wu\",\"duty\":\"休息\",\"change\":{\"kind\":\"swap\",\"exception\":6,"
                             "\"replaced\":\"白班\",\"partner\":\"Li\",\"leave\":null,\"extras\":[],\"note\":null}}]\n"));
  const std::string day = Ok({"day", "2026-03-04", "--user", "Li"});
  EXPECT_EQ(day.substr(day.find("值班")), "值班\t无\n调整\t改班：无（原：白班）\n");

  // Dropping either half of a swap drops both.
  EXPECT_EQ(Ok({"drop", "6"}),
            "6\tWu\tswap\t2026-03-02\t2026-03-02\t\tLi\t\t\n5\tLi\tswap\t2026-03-02\t2026-03-02\t\tWu\t\t\n");
  EXPECT_EQ(Ok({"duty", "Li", "2026-03-02"}), "2026-03-02\t休息\n");
  EXPECT_EQ(Ok({"exceptions", "Wu"}), "");
  for (const char* id : {"1", "2", "3", "4", "7"}) ASSERT_EQ(Run({"drop", id}), 0) << err_.str();
  EXPECT_EQ(three(), before);
}

TEST_F(CliRota, RefusalsExitTwoWithOneLineAndWriteNothing) {
  ASSERT_EQ(Run({"leave", "Li", "2026-03-05", "2026-03-06"}), 0) << err_.str();
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"set", "Li", "2026-01-01", "2027-02-01", "1"}, "the range covers 397 days; at most 366"},
      {{"set", "Li", "1900-06-01", "1"}, "not a date of the years 1901 to"},
      {{"set", "Nobody", "2026-03-01", "1"}, "no user named Nobody"},
      {{"set", "Li", "2026-03-01", "9"}, "no duty kind has the ID 9"},
      {{"set", "Li", "2026-03-01", "晚班"}, "no duty kind is called 晚班"},
      {{"extra", "Li", "2026-03-01", "-"}, "needs a duty kind"},
      {{"swap", "Li", "li", "2026-03-01"}, "cannot swap with themselves"},
      {{"swap", "Li", "Solo", "2026-03-01"}, "the partner has no duty that day"},
      {{"swap", "Li", "Bob", "2026-03-01"}, "no user named Bob"},
      {{"leave", "Li", "2026-03-06", "2026-03-08", "病假"}, "overlaps leave 1 (2026-03-05 to 2026-03-06)"},
      {{"note", "Li", "2026-03-01", "长长长长长长长长长长长长长长长长长长长长长长长长长"}, "takes 50 bytes in GBK"},
      {{"note", "Li", "2026-03-01", "😀"}, "cannot be written in GBK"},
      {{"leave", "Li", "2026-04-01", "年假年假年假"}, "the leave kind takes 12 bytes"},
      {{"drop", "99"}, "no exception has the ID 99"},
      {{"change-scheme", "Li", "2026-04-01", "7", "0"}, "no scheme has the ID 7"},
      {{"change-scheme", "Li", "2026-04-01", "1", "4"}, "the first place must be from 0 to 3"},
      {{"rename-user", "Li", "wu"}, "already exists"},
  };
  const auto before = Files();
  for (const auto& [args, needle] : cases) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    EXPECT_EQ(Run(args), kExitData);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str().find('\n'), err_.str().size() - 1) << err_.str();
    EXPECT_NE(err_.str().find(needle), std::string::npos) << err_.str();
  }
  EXPECT_EQ(Files(), before);

  TScratchDir empty;
  EXPECT_EQ(CliMain({"--data", empty.Path(), "set", "Li", "2026-03-01", "1"}, out_, err_), kExitData);
  EXPECT_TRUE(empty.Entries().empty()) << "a folder without data gets no files";
}

// A damaged exceptions file stops the folder like a damaged schedule file,
// for readers and writers alike, and is left for the user to rescue.
TEST_F(CliRota, ADamagedExceptionsFileIsNamedAndLeftAlone) {
  const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'};
  schedtest::WriteFileBytes(dir_.File(TScheduleFile::Exceptions), junk);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"users"}, {"duty", "Li", "2026-03-01"}, {"set", "Li", "2026-03-01", "1"}, {"rename-user", "Li", "Lee"}}) {
    SCOPED_TRACE(args[0]);
    EXPECT_EQ(Run(args), kExitData);
    EXPECT_EQ(err_.str().rfind("kadrel-cli: excdat.kd2 in ", 0), 0u) << err_.str();
  }
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::Exceptions)), junk);
}

// The past keeps its duties; a rename and a deletion take the user's
// exceptions and history along.
TEST_F(CliRota, AChangeOfSchemeKeepsThePastAndTheRecordsFollowTheUser) {
  ASSERT_EQ(Ok({"add-scheme", "常白", "1"}), "2\n");
  EXPECT_EQ(Ok({"change-scheme", "Li", "2026-03-05", "2", "0"}), "Li\t常白\t2026-03-05\t0\n");
  EXPECT_EQ(Ok({"duty", "Li", "2026-03-01", "2026-03-06"}),
            "2026-03-01\t夜班\n2026-03-02\t休息\n2026-03-03\t白班\n2026-03-04\t白班\n2026-03-05\t白班\n2026-03-06\t白班\n");
  ASSERT_EQ(Run({"swap", "Wu", "Li", "2026-03-03"}), 0) << err_.str();
  EXPECT_EQ(Ok({"rename-user", "li", "Lee"}), "Lee\t常白\t2026-03-05\t0\n");
  EXPECT_EQ(Ok({"duty", "Lee", "2026-03-03", "--explain"}),
            "2026-03-03\t夜班\n\trotation\t白班\n"
            "\thistory\t白班\tscheme 1 from 2026-03-01 at place 2, until 2026-03-05\n"
            "\texception\t2\tLee\tswap\t2026-03-03\t2026-03-03\t\tWu\t\t\n");
  ASSERT_EQ(Run({"delete-user", "Lee"}), 0) << err_.str();
  EXPECT_EQ(Ok({"exceptions", "Wu"}), "") << "the partner's half went with the user";
  EXPECT_NE(Ok({"check"}).find("excdat.kd2: 2 slots, 0 live, 2 appended\nhistdat.kd2: 1 slots, 0 live"),
            std::string::npos);
}

// Extras count under their own duty; leave in lines of its own after the duties.
TEST_F(CliRota, StatsCountTheResolvedDaysAndTheListsNameTheirIds) {
  ASSERT_EQ(Run({"leave", "Li", "2026-03-05", "2026-03-06", "年假"}), 0) << err_.str();
  ASSERT_EQ(Run({"extra", "Li", "2026-03-07", "夜班"}), 0) << err_.str();
  EXPECT_EQ(Ok({"stats", "Li", "2026-03-01", "2026-03-07"}),
            "夜班\t2\t0\t0\t0\n休息\t1\t0\t0\t0\n白班\t3\t0\t0\t0\n年假\t2\t0\t0\t0\n");
  EXPECT_EQ(Ok({"--json", "stats", "Li", "2026-03-06"}),
            "[{\"leave\":\"年假\",\"days\":1,\"statutory\":0,\"otherOff\":0,\"makeUp\":0}]\n");
  EXPECT_EQ(Ok({"duties"}), "1\t白班\t\n2\t夜班\t\n3\t休息\t\n");
  EXPECT_EQ(Ok({"--json", "schemes"}),
            "[{\"id\":1,\"name\":\"四班\",\"cycle\":[1,1,2,3],\"duties\":[\"白班\",\"白班\",\"夜班\",\"休息\"]}]\n");
}

}  // namespace
}  // namespace kadrel
