// kadrel-cli killed (SIGKILL, by strace's fault injection) at every
// write-related system call of a few commands: check run next leaves each
// file on disk as it was before or after the command, with no journal or
// temporary file beside it, and so does the next writer.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/uGbk.h"
#include "schedule/uRotaFiles.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel {
namespace {

using schedtest::Bytes;
using schedtest::ReadFileBytes;
using schedtest::TScratchDir;

// Every call by which the program changes a file or a name.
const std::vector<std::string> kSyscalls = {"openat", "pwrite64", "write", "fsync", "fdatasync", "ftruncate",
                                            "unlink", "unlinkat", "rename", "renameat", "renameat2", "link",
                                            "linkat"};

std::string FindStrace() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    std::size_t colon = dirs.find(':', at);
    std::string candidate = dirs.substr(at, colon - at) + "/strace";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) break;
    at = colon + 1;
  }
  return {};
}

// Runs argv in `cwd` with output to `out`; the exit code, or 128 + signal.
int Exec(const std::string& cwd, std::vector<std::string> argv, const std::string& out) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    std::FILE* f = std::fopen(out.c_str(), "w");
    if (!f || ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::dup2(::fileno(f), 1);
    ::dup2(::fileno(f), 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The folder's files; a table's creation date (bytes 4 to 11) is blanked,
// since a file made again after a kill is made on the day of the test.
std::map<std::string, Bytes> Files(const TScratchDir& dir) {
  std::map<std::string, Bytes> files;
  for (const auto& name : dir.Entries()) {
    Bytes b = ReadFileBytes(dir.File(name));
    if (name.ends_with(".kd2") && b.size() >= 12) std::fill(b.begin() + 4, b.begin() + 12, 0);
    files[name] = b;
  }
  return files;
}

class CliCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    // A sanitizer build's leak check cannot run under ptrace; the programs
    // this test starts go without it (this process keeps it: it read its
    // options at start).
    const char* asan = std::getenv("ASAN_OPTIONS");
    ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
    strace_ = FindStrace();
    if (strace_.empty()) GTEST_SKIP() << "strace is not installed";
    if (Exec(io_.Path(), {strace_, "-f", "-qq", "-o", "/dev/null", "/bin/true"}, io_.File("probe")) != 0) {
      GTEST_SKIP() << "tracing is not permitted here: " << Slurp(io_.File("probe"));
    }
    // Files a write command creates in an empty folder, and the rota files
    // as their first change creates them: states between "missing" and the
    // command's change, with the data of "missing".
    TScratchDir empty;
    Exec(empty.Path(), {KADREL_CLI_PATH, "delete-user", "nobody"}, io_.File("out"));
    for (TScheduleFile f : {TScheduleFile::Exceptions, TScheduleFile::History}) {
      TTableStream table;
      TScheduleError error;
      ASSERT_TRUE(OpenOrCreateRotaFile(table, f, empty.Path(), error)) << error.Text();
    }
    fresh_ = Files(empty);
    ASSERT_EQ(fresh_.size(), 5u);
  }
  int Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {KADREL_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return Exec(dir_.Path(), argv, io_.File("out"));
  }
  void Restore(const std::map<std::string, Bytes>& files) {
    for (const auto& name : dir_.Entries()) std::filesystem::remove(dir_.File(name));
    for (const auto& [name, bytes] : files) schedtest::WriteFileBytes(dir_.File(name), bytes);
  }

  // Kills `args` at every call of kSyscalls in turn, starting each time from
  // the folder `prepare` leaves. `between`, if given, makes the state
  // between the command's two changes from the state before. `whole` says
  // what a kill may leave of a change of several records.
  enum class TWhole {
    EachFile,  // each file as before or after (or `between`)
    Folder,    // the whole folder as before or after
    // Each record as before or after, so a file may hold some of the
    // change's writes: a change of several records is not yet one commit.
    // Every file must still read whole and take the next writer.
    EachRecord,
  };
  void KillAtEveryCall(const std::vector<std::string>& args, const std::function<void()>& prepare,
                       const std::function<void()>& between = nullptr, TWhole whole = TWhole::EachFile) {
    prepare();
    const auto before = Files(dir_);
    std::map<std::string, Bytes> mid;
    if (between) {
      between();
      mid = Files(dir_);
      Restore(before);
    }
    std::vector<std::string> trace = {strace_, "-f", "-qq", "-o", io_.File("trace"), "-e",
                                      "trace=" + Join(kSyscalls), KADREL_CLI_PATH};
    trace.insert(trace.end(), args.begin(), args.end());
    ASSERT_EQ(Exec(dir_.Path(), trace, io_.File("out")), 0) << Slurp(io_.File("out"));
    const auto after = Files(dir_);
    std::map<std::string, int> counts;
    const std::regex call(R"(^(?:\d+ +)?(\w+)\()");
    std::ifstream log(io_.File("trace"));
    for (std::string line; std::getline(log, line);) {
      std::smatch m;
      if (std::regex_search(line, m, call)) ++counts[m[1]];
    }
    for (const auto& [syscall, count] : counts) {
      for (int n = 1; n <= count; ++n) {
        SCOPED_TRACE(args[0] + " killed at " + syscall + " #" + std::to_string(n));
        Restore(before);
        std::vector<std::string> kill = {strace_, "-f", "-qq", "-o", "/dev/null", "-e",
                                         "inject=" + syscall + ":signal=KILL:when=" + std::to_string(n),
                                         KADREL_CLI_PATH};
        kill.insert(kill.end(), args.begin(), args.end());
        Exec(dir_.Path(), kill, io_.File("out"));
        ++kills_;
        auto expectWhole = [&](const char* who) {
          const auto found = Files(dir_);
          for (const auto& [name, bytes] : found) {
            const bool old = before.count(name) && before.at(name) == bytes;
            const bool now = after.count(name) && after.at(name) == bytes;
            const bool made = !before.count(name) && fresh_.count(name) && fresh_.at(name) == bytes;
            const bool half = mid.count(name) && mid.at(name) == bytes;
            EXPECT_TRUE(old || now || made || half || whole == TWhole::EachRecord) << name << " is neither as before nor as after, after " << who;
          }
          for (const auto& [name, bytes] : found) {
            EXPECT_TRUE(name.ends_with(".kd2")) << name << " is left after " << who;
          }
          if (whole == TWhole::Folder) {
            EXPECT_TRUE(Data(found) == Data(before) || Data(found) == Data(after))
                << "the change is neither undone nor whole after " << who;
          }
        };
        // check recovers the folder on disk, not only in what it reads.
        const int read = Cli({"check"});
        const std::string seen = Counts(Slurp(io_.File("out")));
        // Only a file not yet created may be missing; none may be damaged.
        EXPECT_TRUE(read == 0 || seen.find("no schedule data") != std::string::npos ||
                    seen.find(": no such file") != std::string::npos)
            << seen;
        expectWhole("check");
        // The next writer: a command that changes nothing.
        Cli({"delete-user", "nobody"});
        expectWhole("the next writer");
        if (read == 0) {
          EXPECT_EQ(Cli({"check"}), 0);
          EXPECT_EQ(Counts(Slurp(io_.File("out"))), seen) << "the reader saw another state than the writer kept";
        }
        if (HasFailure()) return;
      }
    }
  }

  // The folder's data: a rota file that holds nothing is as good as none.
  std::map<std::string, Bytes> Data(std::map<std::string, Bytes> files) const {
    for (const char* name : {"excdat.kd2", "histdat.kd2"}) {
      if (files.count(name) && files.at(name) == fresh_.at(name)) files.erase(name);
    }
    return files;
  }

  // check's output without what it says it cleared: the tables as it read them.
  static std::string Counts(const std::string& output) {
    std::string counts;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      if (line.find(" slots, ") != std::string::npos || line.find("kadrel-cli: ") == 0) counts += line + '\n';
    }
    return counts;
  }

  static std::string Join(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += (s.empty() ? "" : ",") + n;
    return s;
  }

  void MakeWorkedExample() {
    Restore({});
    for (auto args : std::vector<std::vector<std::string>>{{"add-duty", "白班"},
                                                           {"add-duty", "夜班"},
                                                           {"add-duty", "休息"},
                                                           {"add-scheme", "四班", "1,1,2,3"},
                                                           {"add-user", "Li", "1", "2003-05-01", "2"}}) {
      ASSERT_EQ(Cli(args), 0) << Slurp(io_.File("out"));
    }
  }

  std::string strace_;
  std::map<std::string, Bytes> fresh_;
  TScratchDir dir_;
  TScratchDir io_;
  int kills_ = 0;
};

TEST_F(CliCrash, EveryKillLeavesEachFileAsBeforeOrAfter) {
  const auto start = std::chrono::steady_clock::now();
  KillAtEveryCall({"add-duty", "A"}, [&] { Restore({}); });  // creates the three files
  KillAtEveryCall({"add-user", "Wu", "1", "2003-05-01", "0"}, [&] { MakeWorkedExample(); });
  KillAtEveryCall({"delete-duty", "休息"}, [&] { MakeWorkedExample(); }, [&] {
    // Deleted, not yet packed.
    TTableStream work(dir_.File(TScheduleFile::Work), TTableStream::kModeReadWrite);
    ASSERT_TRUE(LocateLiveText(work, kWorkName, GbkLiteral("休息")) && work.Delete());
  });
  KillAtEveryCall({"delete-scheme", "1"}, [&] { MakeWorkedExample(); });
  // The first exception creates its file; dropping one deletes a record.
  KillAtEveryCall({"set", "Li", "2003-05-02", "白班"}, [&] { MakeWorkedExample(); });
  KillAtEveryCall({"drop", "1"}, [&] {
    MakeWorkedExample();
    ASSERT_EQ(Cli({"leave", "Li", "2003-05-02", "2003-05-09"}), 0) << Slurp(io_.File("out"));
  });
  // Changes of several records or files, each one call into the folder.
  const auto twoUsers = [&] {
    MakeWorkedExample();
    for (auto args : std::vector<std::vector<std::string>>{{"add-user", "Wu", "1", "2003-05-01", "0"},
                                                           {"leave", "Li", "2003-05-02"},
                                                           {"change-scheme", "Li", "2003-05-05", "1", "0"},
                                                           {"swap", "Li", "Wu", "2003-05-06"}}) {
      ASSERT_EQ(Cli(args), 0) << Slurp(io_.File("out"));
    }
  };
  KillAtEveryCall({"swap", "Li", "Wu", "2003-05-03"}, twoUsers, nullptr, TWhole::EachRecord);
  KillAtEveryCall({"rename-user", "Li", "Lu"}, twoUsers, nullptr, TWhole::EachRecord);
  KillAtEveryCall({"change-scheme", "Li", "2003-05-04", "1", "1"}, twoUsers, nullptr, TWhole::EachRecord);
  KillAtEveryCall({"delete-user", "Li"}, twoUsers, nullptr, TWhole::EachRecord);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("kills", kills_);
  std::printf("%d kills in %.1f s\n", kills_, seconds);
}

}  // namespace
}  // namespace kadrel
