// Runs the built kadrel-cli in a scratch folder and checks its output, its
// one-line errors, its exit codes and what it leaves on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/uGbk.h"
#include "tests/schedule/schedule_test_util.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

using schedtest::ReadFileBytes;
using schedtest::TScratchDir;

struct TRun {
  int Code = -1;
  std::string Out;
  std::string Err;
};

std::string Slurp(const std::string& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// The desktop's data folder the program sees: empty unless a test fills it,
// so that no test reads the data of the person running the tests.
const TScratchDir& XdgDataHome() {
  static TScratchDir xdg;
  return xdg;
}

// Output goes to files outside the folder under test, so that the folder
// holds only what the program itself created.
// `stdoutFd`, when given, is the program's output instead of the file.
TRun RunCli(const std::string& cwd, const std::vector<std::string>& args, const std::string& xdg = XdgDataHome().Path(),
            int stdoutFd = -1) {
  static TScratchDir io;
  const std::string outPath = io.File("out"), errPath = io.File("err");
  std::vector<std::string> all = {KADREL_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0 || ::setenv("XDG_DATA_HOME", xdg.c_str(), 1) != 0) {
      ::_exit(126);
    }
    ::dup2(stdoutFd >= 0 ? stdoutFd : out, 1);
    ::dup2(err, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  TRun run;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.Code = WEXITSTATUS(status);
  run.Out = Slurp(outPath);
  run.Err = Slurp(errPath);
  return run;
}

bool IsOneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

class CliProgram : public ::testing::Test {
 protected:
  TRun Run(const std::vector<std::string>& args) { return RunCli(dir_.Path(), args); }

  // The first write in an empty folder says where it created the files.
  void ExpectOk(const std::vector<std::string>& args, const std::string& out) {
    TRun r = Run(args);
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, out);
    if (r.Err == NewFilesNote()) r.Err.clear();
    EXPECT_EQ(r.Err, "");
  }

  std::string Folder() const { return std::filesystem::canonical(dir_.Path()).string(); }
  std::string NewFilesNote() const {
    return "kadrel-cli: no data files here or in " + XdgDataHome().Path() + "/kadrel; created them in " + Folder() +
           "\n";
  }

  void ExpectError(const std::vector<std::string>& args, int code, const std::string& needle) {
    TRun r = Run(args);
    EXPECT_EQ(r.Code, code);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(IsOneLine(r.Err)) << r.Err;
    EXPECT_EQ(r.Err.rfind("kadrel-cli: ", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find(needle), std::string::npos) << r.Err;
  }

  // Duty kinds 1 白班, 2 夜班, 3 休息; scheme 1 四班 = day, day, night, rest;
  // user Li on night duty on 1 May 2003.
  void MakeWorkedExample() {
    ExpectOk({"add-duty", "白班", "8:00-16:00"}, "1\n");
    ExpectOk({"add-duty", "夜班"}, "2\n");
    ExpectOk({"add-duty", "休息"}, "3\n");
    ExpectOk({"add-scheme", "四班", "1,1,2,3"}, "1\n");
    ExpectOk({"add-user", "Li", "1", "2003-05-01", "2"}, "");
  }

  TScratchDir dir_;
};

TEST_F(CliProgram, WorkedExampleEndToEnd) {
  MakeWorkedExample();
  ExpectOk({"users"}, "Li\t四班\t2003-05-01\t2\n");
  ExpectOk({"duty", "li", "2003-04-27", "2003-05-05"},
           "2003-04-27\t夜班\n2003-04-28\t休息\n2003-04-29\t白班\n2003-04-30\t白班\n"
           "2003-05-01\t夜班\n2003-05-02\t休息\n2003-05-03\t白班\n2003-05-04\t白班\n2003-05-05\t夜班\n");
  ExpectOk({"duty", "LI", "2003-05-02"}, "2003-05-02\t休息\n");
  ExpectOk({"check"},
           "folder: " + Folder() + "\n"
           "shiftdat.kd2: 1 slots, 1 live, 1 appended\n"
           "workdat.kd2: 3 slots, 3 live, 3 appended\n"
           "userdat.kd2: 1 slots, 1 live, 1 appended\n");
}

// Exceptions live in a file of their own: adding and dropping them leaves
// the three files other programs read byte for byte as they were.
TEST_F(CliProgram, ExceptionsLeaveTheThreeSpecifiedFilesAsTheyWere) {
  MakeWorkedExample();
  ExpectOk({"add-user", "Wu", "1", "2003-05-01", "0"}, "");
  const auto before = schedtest::DataFileBytes(dir_);
  for (auto args : std::vector<std::vector<std::string>>{{"set", "Li", "2003-05-01", "2003-05-03", "白班"},
                                                         {"leave", "Li", "2003-05-04", "病假"},
                                                         {"extra", "Wu", "2003-05-01", "夜班"},
                                                         {"swap", "Wu", "Li", "2003-05-06"},
                                                         {"note", "Li", "2003-05-06", "换给了Wu"},
                                                         {"drop", "1"},
                                                         {"drop", "5"}}) {
    TRun r = Run(args);
    EXPECT_EQ(r.Code, 0) << args[0] << ": " << r.Err;
  }
  EXPECT_EQ(schedtest::DataFileBytes(dir_), before);
  ExpectOk({"duty", "Li", "2003-05-01", "2003-05-06"},
           "2003-05-01\t夜班\n2003-05-02\t休息\n2003-05-03\t白班\n2003-05-04\t病假\n2003-05-05\t夜班\n2003-05-06\t休息\n");
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"excdat.kd2", "shiftdat.kd2", "userdat.kd2", "workdat.kd2"}));
}

TEST_F(CliProgram, AUserWithoutCycleHasEmptyDuties) {
  ExpectOk({"add-user", "Solo", "0", "2020-01-01", "0"}, "");
  ExpectOk({"users"}, "Solo\t\t2020-01-01\t0\n");
  ExpectOk({"duty", "Solo", "2020-01-01", "2020-01-02"}, "2020-01-01\t\n2020-01-02\t\n");
}

TEST_F(CliProgram, ReadCommandsInAFolderWithoutDataCreateNothing) {
  for (auto args : std::vector<std::vector<std::string>>{{"users"}, {"check"}, {"duty", "Li", "2003-05-01"}}) {
    SCOPED_TRACE(args[0]);
    ExpectError(args, 2, "no schedule data in the current directory");
  }
  EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(CliProgram, UsageErrorsExitOneAndCreateNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"--verbose", "users"},
      {"--data"},
      {"users", "extra"},
      {"duty", "Li"},
      {"duty", "Li", "2003-13-01"},
      {"duty", "Li", "2003-05-02", "2003-05-01"},
      {"duty", "Li", "1 May 2003"},
      {"add-duty"},
      {"add-scheme", "S", "1,,2"},
      {"add-scheme", "S", "one"},
      {"add-user", "Li", "x", "2003-01-01", "0"},
      {"add-user", "Li", "1", "2003-02-30", "0"},
      {"add-user", "Li", "1", "2003-01-01", "1.5"},
      {"delete-scheme", "abc"},
      {"day", "someday"},
      {"day", "+"},
      {"days", "2024-13"},
      {"duty", "Li", "2024", "2023-12"},
      {"--json", "add-duty", "A"},
      {"export", "Li", "2024", "--encoding", "gbk", "-o", "out.txt"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? std::string("(none)") : args[0] + " ...");
    TRun r = Run(args);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(IsOneLine(r.Err)) << r.Err;
  }
  EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(CliProgram, HelpGoesToStandardOutput) {
  TRun r = Run({"--help"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out.rfind("usage: kadrel-cli [--data DIR] [--json] COMMAND", 0), 0u);
  for (const char* command : {"check", "users", "today", "duty", "add-duty", "add-scheme", "add-user", "delete-duty",
                              "delete-scheme", "delete-user"}) {
    EXPECT_NE(r.Out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
  }
}

TEST_F(CliProgram, UnknownUserIsADataError) {
  MakeWorkedExample();
  ExpectError({"duty", "Bob", "2003-05-01"}, 2, "no user named Bob");
  ExpectError({"duty", "😀", "2003-05-01"}, 2, "no user named");
}

TEST_F(CliProgram, NamesThatDoNotFitOrCannotBeGbkAreRefusedBeforeAnyFileIsMade) {
  ExpectError({"add-duty", "一二三四五"}, 2, "10 bytes in GBK");
  ExpectError({"add-duty", "abcdefghij"}, 2, "at most 9");
  ExpectError({"add-duty", "😀"}, 2, "cannot be written in GBK");
  ExpectError({"add-duty", "   "}, 2, "empty");
  ExpectError({"add-duty", "A", "😀"}, 2, "description cannot be written in GBK");
  ExpectError({"add-duty", "A", std::string(50, 'x')}, 2, "at most 49");
  ExpectError({"add-scheme", "一二三四五", "1"}, 2, "at most 9");
  ExpectError({"add-user", "一二三四五", "0", "2003-01-01", "0"}, 2, "at most 9");
  ExpectError({"add-user", "😀", "0", "2003-01-01", "0"}, 2, "GBK");
  EXPECT_TRUE(dir_.Entries().empty());
  ExpectOk({"add-duty", "一二三四a"}, "1\n");
  ExpectOk({"users"}, "");
}

TEST_F(CliProgram, ACycleLongerThanItsFieldIsRefused) {
  ExpectOk({"add-duty", "A"}, "1\n");
  std::string hundred = "1";
  for (int i = 1; i < 100; ++i) hundred += ",1";
  ExpectError({"add-scheme", "S", hundred}, 2, "at most 199");
  ExpectOk({"add-scheme", "S", hundred.substr(2)}, "1\n");  // 99 entries
}

TEST_F(CliProgram, DuplicateUserInAnotherCaseIsRefused) {
  MakeWorkedExample();
  auto before = ReadFileBytes(dir_.File(TScheduleFile::User));
  ExpectError({"add-user", "LI", "1", "2003-05-01", "0"}, 2, "already exists");
  ExpectError({"add-user", " li ", "1", "2003-05-01", "0"}, 2, "already exists");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), before);
}

// The options dialog stores a name as typed: its blanks do not hide it.
TEST_F(CliProgram, ANameStoredWithBlanksIsTakenToo) {
  MakeWorkedExample();
  {
    TScheduleTables tables;
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleTables(tables, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
    schedtest::PutUser(tables.User, GbkLiteral("  赵六 "), 1, 37742.0, 0);
  }
  auto before = ReadFileBytes(dir_.File(TScheduleFile::User));
  ExpectError({"add-user", "赵六", "1", "2003-05-01", "0"}, 2, "already exists");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), before);
}

TEST_F(CliProgram, BadReferencesAreRefusedAndWriteNothing) {
  MakeWorkedExample();
  auto shift = ReadFileBytes(dir_.File(TScheduleFile::Shift));
  auto user = ReadFileBytes(dir_.File(TScheduleFile::User));
  ExpectError({"add-scheme", "S", "1,4"}, 2, "no duty kind has the ID 4");
  ExpectError({"add-user", "Wu", "2", "2003-05-01", "0"}, 2, "no scheme has the ID 2");
  ExpectError({"add-user", "Wu", "0", "2003-05-01", "0"}, 2, "no scheme has the ID 0");
  ExpectError({"add-user", "Wu", "1", "2003-05-01", "4"}, 2, "from 0 to 3");
  ExpectError({"add-user", "Wu", "1", "2003-05-01", "-1"}, 2, "from 0 to 3");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::Shift)), shift);
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), user);
}

TEST_F(CliProgram, DeletionsPackExactlyAsTheDialogsDo) {
  MakeWorkedExample();
  ExpectOk({"delete-duty", "休息"}, "");
  ExpectOk({"delete-scheme", "1"}, "");
  // The scheme's slot is only marked, so its user still resolves it; the
  // cycle has closed up over the deleted rest day.
  ExpectOk({"duty", "Li", "2003-05-01", "2003-05-03"}, "2003-05-01\t夜班\n2003-05-02\t白班\n2003-05-03\t白班\n");
  ExpectOk({"users"}, "Li\t四班\t2003-05-01\t2\n");
  ExpectOk({"delete-user", "li"}, "");
  ExpectOk({"check"},
           "folder: " + Folder() + "\n"
           "shiftdat.kd2: 1 slots, 0 live, 1 appended\n"
           "workdat.kd2: 2 slots, 2 live, 3 appended\n"
           "userdat.kd2: 0 slots, 0 live, 1 appended\n");
  ExpectError({"delete-user", "Li"}, 2, "no user has that name");
  ExpectError({"delete-scheme", "1"}, 2, "no scheme has the ID 1");
  ExpectError({"delete-duty", "休息"}, 2, "no duty kind has that name");
  ExpectOk({"add-duty", "中班"}, "4\n");  // never the freed 3
}

TEST_F(CliProgram, DataFolderCanBeGiven) {
  TScratchDir elsewhere;
  TRun r = RunCli(elsewhere.Path(), {"--data", dir_.Path(), "add-duty", "A"});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Out, "1\n");
  EXPECT_TRUE(elsewhere.Entries().empty());
  r = RunCli(elsewhere.Path(), {"--data=" + dir_.Path(), "check"});
  EXPECT_EQ(r.Code, 0) << r.Err;
  EXPECT_NE(r.Out.find("workdat.kd2: 1 slots, 1 live, 1 appended"), std::string::npos);
  r = RunCli(elsewhere.Path(), {"--data", elsewhere.File("missing"), "users"});
  EXPECT_EQ(r.Code, 2);
  r = RunCli(elsewhere.Path(), {"--data", elsewhere.File("missing"), "add-duty", "A"});
  EXPECT_EQ(r.Code, 2);
  EXPECT_TRUE(IsOneLine(r.Err));
}

TEST_F(CliProgram, ADamagedFileIsReportedAndLeftAlone) {
  MakeWorkedExample();
  auto bytes = ReadFileBytes(dir_.File(TScheduleFile::User));
  bytes.pop_back();  // a torn last slot
  schedtest::WriteFileBytes(dir_.File(TScheduleFile::User), bytes);
  TRun check = Run({"check"});
  EXPECT_EQ(check.Code, 2);
  EXPECT_EQ(check.Out, "folder: " + Folder() +
                           "\nshiftdat.kd2: 1 slots, 1 live, 1 appended\nworkdat.kd2: 3 slots, 3 live, 3 appended\n");
  EXPECT_TRUE(IsOneLine(check.Err)) << check.Err;
  EXPECT_EQ(check.Err.rfind("kadrel-cli: userdat.kd2 in " + Folder() + ": ", 0), 0u) << check.Err;
  EXPECT_TRUE(check.Err.ends_with("; restore the folder's files from a backup\n")) << check.Err;
  ExpectError({"users"}, 2, "userdat.kd2");
  ExpectError({"add-duty", "X"}, 2, "userdat.kd2");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), bytes);
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::Work)).size(), 160u + 3u * 69u);
}

TEST_F(CliProgram, ASingleMissingFileIsNamed) {
  MakeWorkedExample();
  std::filesystem::remove(dir_.File(TScheduleFile::Work));
  ExpectError({"users"}, 2, "workdat.kd2 in " + Folder() + ": no such file");
  EXPECT_FALSE(std::filesystem::exists(dir_.File(TScheduleFile::Work)));
}

// As while Kadrel runs: this process holds the three files for writing.
TEST_F(CliProgram, ReadsWorkBesideTheWriterAndASecondWriterIsTurnedAway) {
  MakeWorkedExample();
  TScheduleTables gui;
  TScheduleError error;
  for (TScheduleFile f : {TScheduleFile::Shift, TScheduleFile::Work, TScheduleFile::User}) {
    gui.Table(f).SetWaits({.Session = true});  // as the main window holds them
  }
  ASSERT_TRUE(OpenScheduleTables(gui, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
  ExpectOk({"users"}, "Li\t四班\t2003-05-01\t2\n");
  ExpectOk({"duty", "li", "2003-05-01"}, "2003-05-01\t夜班\n");
  auto before = ReadFileBytes(dir_.File(TScheduleFile::User));
  ExpectError({"add-user", "Wu", "1", "2003-05-01", "0"}, 2,
              "shiftdat.kd2 in " + Folder() + ": in use by another writer (a running Kadrel or a kadrel-cli write "
              "command); nothing was changed; close the other Kadrel, or wait for the other kadrel-cli, and try again");
  ExpectError({"delete-user", "Li"}, 2, "nothing was changed");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::User)), before);
  TScheduleRecords records(gui, TWritePolicy::AsTyped);
  ASSERT_TRUE(records.DeleteUser(records.FindUser("Li")->Slot, error)) << error.Text();
  ExpectOk({"users"}, "");  // a change is seen as soon as it is made
  EXPECT_TRUE(CloseScheduleTables(gui, error));

  // A writer that holds the files for one change only is waited for.
  TScheduleTables brief;
  ASSERT_TRUE(OpenScheduleTables(brief, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    TScheduleError closing;
    CloseScheduleTables(brief, closing);
  });
  ExpectOk({"add-user", "Wu", "1", "2003-05-01", "0"}, "");
  release.join();
}

// A retry after a reported failure would make the change twice: once the
// change is saved, no failure to print its result may report it as not made.
TEST_F(CliProgram, AnOutputFailureAfterTheChangeIsAWarning) {
  ExpectOk({"add-duty", "白班"}, "1\n");
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  TRun r = RunCli(dir_.Path(), {"add-duty", "早班"}, XdgDataHome().Path(), full);
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Err, "kadrel-cli: warning: the change is saved as 2, but printing its result failed\n");
  r = RunCli(dir_.Path(), {"check"}, XdgDataHome().Path(), full);
  EXPECT_EQ(r.Code, 2) << "a read command whose output is lost has failed";
  ::close(full);
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ::close(pipe[0]);  // a reader that went away
  r = RunCli(dir_.Path(), {"add-duty", "晚班"}, XdgDataHome().Path(), pipe[1]);
  ::close(pipe[1]);
  EXPECT_EQ(r.Code, 0) << "killed by SIGPIPE after the change was saved";
  EXPECT_NE(r.Err.find("saved as 3"), std::string::npos) << r.Err;
}

TEST_F(CliProgram, ControlBytesFromAForeignFileAreShownEscaped) {
  {
    TScheduleTables tables;
    TScheduleError error;
    ASSERT_TRUE(OpenScheduleTables(tables, dir_.Path(), TScheduleAccess::Write, error)) << error.Text();
    schedtest::PutDuty(tables.Work, 1, "a\tb\x01");
    schedtest::PutScheme(tables.Shift, 1, 1, "s\nt", "1#");
    schedtest::PutUser(tables.User, "x\ry", 1, 37742.0, 0);
  }
  ExpectOk({"users"}, "x\\ry\ts\\nt\t2003-05-01\t0\n");
  ExpectOk({"duty", "x\ry", "2003-05-01"}, "2003-05-01\ta\\tb\\x01\n");
}

TEST_F(CliProgram, AnEmptyFileCountsAsMissingAndAFifoNeverHangs) {
  schedtest::WriteFileBytes(dir_.File(TScheduleFile::Work), {});
  ExpectError({"users"}, 2, "no schedule data");
  ExpectOk({"add-duty", "A"}, "1\n");
  EXPECT_EQ(ReadFileBytes(dir_.File(TScheduleFile::Work)).size(), 160u + 69u) << "the empty file was made anew";
  std::filesystem::remove(dir_.File(TScheduleFile::User));
  ASSERT_EQ(::mkfifo(dir_.File(TScheduleFile::User).c_str(), 0600), 0);
  ExpectError({"users"}, 2, "userdat.kd2 in " + Folder() + ": not a regular file (a FIFO); move it away, or restore");
  ExpectError({"add-duty", "B"}, 2, "userdat.kd2 in " + Folder() + ": not a regular file (a FIFO)");
}

TEST_F(CliProgram, DayPrintsTheDateAndItsWeekday) {
  TRun r = Run({"day", "2024-02-29"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out.rfind("2024-02-29", 0), 0u);
  EXPECT_NE(r.Out.find("星期四"), std::string::npos);
  EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(CliProgram, VersionNamesTheProgram) {
  TRun r = Run({"--version"});
  EXPECT_EQ(r.Code, 0);
  EXPECT_EQ(r.Out, "kadrel-cli 2.0\n");
}

// The current folder when it holds any file, else the desktop's folder when
// that does, else the current folder again, where only a write creates files.
TEST_F(CliProgram, TheDataFolderIsFoundWhereTheDesktopKeepsIt) {
  TScratchDir xdg, elsewhere;
  const std::string desktop = xdg.Path() + "/kadrel";
  TRun none = RunCli(elsewhere.Path(), {"users"}, xdg.Path());
  EXPECT_EQ(none.Code, 2);
  EXPECT_EQ(none.Err, "kadrel-cli: no schedule data in the current directory or in " + desktop +
                          " (shiftdat.kd2, workdat.kd2 and userdat.kd2 are missing)\n");
  EXPECT_TRUE(xdg.Entries().empty());

  std::filesystem::create_directory(desktop);
  ASSERT_EQ(RunCli(elsewhere.Path(), {"--data", desktop, "add-duty", "白班"}, xdg.Path()).Code, 0);
  TRun found = RunCli(elsewhere.Path(), {"check"}, xdg.Path());
  EXPECT_EQ(found.Code, 0) << found.Err;
  EXPECT_EQ(found.Out.substr(0, found.Out.find('\n')), "folder: " + desktop);
  TRun added = RunCli(elsewhere.Path(), {"add-duty", "夜班"}, xdg.Path());
  EXPECT_EQ(added.Out, "2\n");
  EXPECT_EQ(added.Err, "");
  EXPECT_TRUE(elsewhere.Entries().empty());

  // A file in the current folder wins, even a single one.
  ExpectOk({"add-duty", "休息"}, "1\n");
  std::filesystem::remove(dir_.File(TScheduleFile::Shift));
  std::filesystem::remove(dir_.File(TScheduleFile::User));
  TRun here = RunCli(dir_.Path(), {"check"}, xdg.Path());
  EXPECT_EQ(here.Code, 2);
  EXPECT_NE(here.Err.find("shiftdat.kd2 in " + Folder() + ": no such file"), std::string::npos) << here.Err;
}

TEST_F(CliProgram, TheFirstWriteInAnEmptyFolderSaysWhereItCreatedTheFiles) {
  TRun first = Run({"add-duty", "A"});
  EXPECT_EQ(first.Code, 0);
  EXPECT_EQ(first.Err, NewFilesNote());
  TRun second = Run({"add-duty", "B"});
  EXPECT_EQ(second.Err, "");
}

TEST_F(CliProgram, JsonForTheReadCommands) {
  MakeWorkedExample();
  ExpectOk({"add-user", "Q\"\\", "1", "2003-05-01", "0"}, "");
  ExpectOk({"--json", "users"},
           "[{\"name\":\"Li\",\"scheme\":\"四班\",\"start\":\"2003-05-01\",\"first\":2},"
           "{\"name\":\"Q\\\"\\\\\",\"scheme\":\"四班\",\"start\":\"2003-05-01\",\"first\":0}]\n");
  const std::string day =
      "{\"date\":\"2024-02-04\",\"weekday\":\"星期日\",\"lunarYear\":2023,\"lunarMonth\":12,\"leap\":false,"
      "\"lunarDay\":25,\"yearName\":\"癸卯兔年\",\"monthName\":\"十二月\",\"dayName\":\"廿五\",\"term\":\"立春\","
      "\"mark\":\"班\",\"festival\":\"春节\",\"statutory\":false";
  // A day is the same object wherever it appears; null where nothing is known.
  const std::string li = day + ",\"user\":\"Li\",\"duty\":\"夜班\",\"change\":null}";
  ExpectOk({"--json", "day", "2024-02-04", "--user", "Li"}, li + "\n");
  ExpectOk({"duty", "li", "2024-02-04", "--json"}, "[" + li + "]\n");
  EXPECT_NE(Run({"--json", "roster", "2024-02-04", "--users", "Li"}).Out.find("\"days\":[" + li + "]"), std::string::npos);
  ExpectOk({"--json", "days", "2024-02-04"}, "[" + day + ",\"user\":null,\"duty\":null,\"change\":null}]\n");
  ExpectOk({"--json", "users", "--json"}, Run({"--json", "users"}).Out);
}

TEST_F(CliProgram, MonthsAndYearsAreRanges) {
  MakeWorkedExample();
  TRun month = Run({"duty", "Li", "2003-02"});
  EXPECT_EQ(month.Code, 0);
  EXPECT_EQ(std::count(month.Out.begin(), month.Out.end(), '\n'), 28);
  EXPECT_TRUE(month.Out.starts_with("2003-02-01\t")) << month.Out;
  TRun span = Run({"days", "2003-11", "2004"});
  EXPECT_EQ(std::count(span.Out.begin(), span.Out.end(), '\n'), 61 + 366);
  EXPECT_NE(span.Out.find("\n2004-12-31\t"), std::string::npos);
}

// A zh_CN.GBK locale of the tests' own (LOCPATH), so that the machine needs
// none generated; empty when localedef cannot make it.
std::string GbkLocales() {
  static TScratchDir dir;
  static const bool made =
      std::system(("localedef -i zh_CN -f GBK " + dir.File("zh_CN.GBK") + " >/dev/null 2>&1").c_str()) == 0;
  return made ? dir.Path() : "";
}

TEST_F(CliProgram, AGbkTerminalTypesAndReadsChineseWhileFilesKeepTheirBytes) {
  MakeWorkedExample();
  ExpectOk({"add-user", "张三", "1", "2003-05-01", "0"}, "");
  const std::string locales = GbkLocales();
  ASSERT_FALSE(locales.empty()) << "localedef cannot make zh_CN.GBK";
  TScopedEnv path("LOCPATH", locales), all("LC_ALL", "zh_CN.GBK");
  // glibc keeps LOCPATH's list without freeing it; the sanitizer build's leak
  // check would make every run fail for it.
  const char* lsan = std::getenv("LSAN_OPTIONS");
  TScopedEnv leaks("LSAN_OPTIONS", std::string(lsan ? lsan : "") + ":suppressions=" KADREL_LSAN_SUPPRESSIONS);
  auto G = [](const char* utf8) { return Utf8ToGbk(utf8).value(); };

  TRun duty = Run({"duty", G("张三"), "2003-05-01"});
  EXPECT_EQ(duty.Code, 0) << duty.Err;
  EXPECT_EQ(duty.Out, G("2003-05-01\t白班\n"));
  TRun unknown = Run({"duty", G("李四"), "2003-05-01"});
  EXPECT_EQ(unknown.Code, 2);
  EXPECT_NE(unknown.Err.find(G("no user named 李四 in")), std::string::npos) << unknown.Err;
  // JSON stays JSON that any program reads, and readable in the terminal.
  const std::string json = Run({"duty", G("张三"), "2003-05-01", "--json"}).Out;
  EXPECT_NE(json.find("\"user\":\"\\u5f20\\u4e09\",\"duty\":\"\\u767d\\u73ed\""), std::string::npos) << json;
  EXPECT_TRUE(std::all_of(json.begin(), json.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  // A calendar file is UTF-8 by its standard wherever it is printed.
  const std::string ics = Run({"export", G("张三"), "2003", "--format", "ics", "-o", "-"}).Out;
  EXPECT_TRUE(ics.find("X-WR-CALNAME:张三的Kadrel 2003年") != std::string::npos);
  // A folder name reaches the system as typed.
  const std::string folder = dir_.File(G("数据"));
  std::filesystem::create_directory(folder);
  EXPECT_EQ(Run({"--data", folder, "add-duty", G("早班")}).Code, 0);
  EXPECT_TRUE(std::filesystem::exists(folder + "/shiftdat.kd2"));
  EXPECT_EQ(Run({"duty", "\xD5", "today"}).Code, 1);  // half a character
}

}  // namespace
}  // namespace kadrel
