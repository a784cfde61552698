// What one change costs as the users file grows, at 100 and at 100,000
// users, on the disk of the temporary folder and on tmpfs (/dev/shm, where a
// sync costs nothing and what is left is the work on the bytes):
//   - BM_AddUser: what kadrel-cli add-user does, in this process: open the
//     three files for writing, check the name against every user, append,
//     close.
//   - BM_AddUserProcess: kadrel-cli add-user itself, the whole process
//     ("cli_cpu_ms": the CPU time it took, which a busy machine leaves alone).
//   - BM_DialogSave: the options dialog's save of one user on files it holds
//     open for the session (a rename through the records layer).
//   - BM_FirstCreation: the three files made in an empty folder, as one
//     change, as the first start does; "users" does not apply.
// Goals: a change at 100,000 users costs at most 1.5x one at 100, and the
// dialog's save takes under 1 ms at 100,000. "syncs" gives the syncs per
// change. Each change is undone untimed, so every one meets the same size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/uFileOps.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uScheduleRecords.h"
#include "store/uTransaction.h"

namespace kadrel {
namespace {

class TCountingOps : public TFileOps {
 public:
  bool NoSync = false;
  int Syncs = 0;
  int Sync(int fd) override { return ++Syncs, NoSync ? 0 : TFileOps::Sync(fd); }
};

// The three files in a fresh folder under `base`, `users` users in the last.
class TDataFolder {
 public:
  TDataFolder(const std::filesystem::path& base, int users) {
    std::string pattern = (base / "kadrel-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    dir_ = pattern;
    TScheduleTables tables;
    TScheduleError error;
    TCountingOps noSync;
    noSync.NoSync = true;
    tables.User.SetFileOps(&noSync);
    if (!OpenScheduleTables(tables, dir_, TScheduleAccess::Write, error)) std::abort();
    // Straight into the table, as one change: the records layer would check
    // each name against all before it, which takes minutes at this size.
    TTableStream& t = tables.User;
    TTableTransaction all;
    all.Begin({&t});
    for (int i = 0; i < users; ++i) {
      if (!(t.Append() && t.SetText(kUserName, Name("u", i)) && t.SetInteger(kUserShiftID, 0) &&
            t.SetFloat(kUserStart, 37627.0) && t.SetInteger(kUserFirstID, 0) && t.Post())) {
        std::abort();
      }
    }
    if (!all.Commit() || !CloseScheduleTables(tables, error)) std::abort();
    const std::string path = UserPath();
    header_.resize(32);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::pread(fd, header_.data(), 32, 0) != 32) std::abort();
    length_ = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    ::sync();
  }
  ~TDataFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  // What an added user changed: its slot cut off, the old header back.
  void Undo() const {
    int fd = ::open(UserPath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, length_) != 0 || ::pwrite(fd, header_.data(), 32, 0) != 32) std::abort();
    ::fsync(fd);
    ::close(fd);
  }
  const std::string& Dir() const { return dir_; }
  std::string UserPath() const { return SchedulePath(dir_, TScheduleFile::User); }
  static std::string Name(const char* prefix, std::int64_t i) {
    std::string name(prefix);
    name += std::to_string(i);
    return name;
  }

 private:
  std::string dir_;
  std::vector<char> header_;
  off_t length_ = 0;
};

std::filesystem::path Base(bool tmpfs) {
  return tmpfs ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
}

void Report(benchmark::State& state, const TCountingOps& ops, std::int64_t changes) {
  state.counters["syncs"] = changes ? static_cast<double>(ops.Syncs) / static_cast<double>(changes) : 0.0;
}

void BM_AddUser(benchmark::State& state) {
  const TDataFolder folder(Base(state.range(1) != 0), static_cast<int>(state.range(0)));
  TCountingOps ops;
  std::int64_t n = 0;
  for (auto _ : state) {
    TScheduleTables tables;
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&ops);
    TScheduleError error;
    bool ok = OpenScheduleTables(tables, folder.Dir(), TScheduleAccess::Write, error);
    TScheduleRecords records(tables, TWritePolicy::Trimmed);
    TUserRecord user{0, TDataFolder::Name("n", n++), 0, 37627.0, 0};
    ok = ok && records.SaveUser(user, error);
    ok = CloseScheduleTables(tables, error) && ok;
    if (!ok) state.SkipWithError(error.Text().c_str());
    state.PauseTiming();
    folder.Undo();
    state.ResumeTiming();
  }
  Report(state, ops, n);
}
BENCHMARK(BM_AddUser)
    ->ArgNames({"users", "tmpfs"})
    ->ArgsProduct({{100, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

#ifdef KADREL_CLI_PATH
void BM_AddUserProcess(benchmark::State& state) {
  const TDataFolder folder(Base(state.range(1) != 0), static_cast<int>(state.range(0)));
  // KADREL_CLI runs another build's program, for figures before and after a change.
  const char* cli = std::getenv("KADREL_CLI") ? std::getenv("KADREL_CLI") : KADREL_CLI_PATH;
  std::int64_t n = 0;
  // On a busy machine the wall clock says more about the others; what the
  // command itself took is its own CPU time, counted apart.
  struct rusage before {};
  ::getrusage(RUSAGE_CHILDREN, &before);
  for (auto _ : state) {
    std::string name = TDataFolder::Name("n", n++);
    pid_t pid = ::fork();
    if (pid == 0) {
      int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(cli, cli, "--data", folder.Dir().c_str(), "add-user", name.c_str(), "0",
              "2003-01-01", "0", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("kadrel-cli add-user failed");
      break;
    }
    state.PauseTiming();
    folder.Undo();
    state.ResumeTiming();
  }
  struct rusage after {};
  ::getrusage(RUSAGE_CHILDREN, &after);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  const double cpu = ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime);
  state.counters["cli_cpu_ms"] = n ? cpu / static_cast<double>(n) : 0.0;
}
BENCHMARK(BM_AddUserProcess)
    ->ArgNames({"users", "tmpfs"})
    ->ArgsProduct({{100, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
#endif

void BM_DialogSave(benchmark::State& state) {
  const TDataFolder folder(Base(state.range(1) != 0), static_cast<int>(state.range(0)));
  TCountingOps ops;
  TScheduleTables tables;
  for (TScheduleFile f : kScheduleFiles) {
    tables.Table(f).SetFileOps(&ops);
    tables.Table(f).SetWaits({.Session = true});  // as the main window holds them
  }
  TScheduleError error;
  if (!OpenScheduleTables(tables, folder.Dir(), TScheduleAccess::Write, error)) std::abort();
  TScheduleRecords records(tables, TWritePolicy::AsTyped);
  TUserRecord user = *records.FindUser("u1");
  std::int64_t n = 0;
  for (auto _ : state) {
    user.Name = TDataFolder::Name(n % 2 ? "u" : "v", 1);
    if (!records.SaveUser(user, error)) state.SkipWithError(error.Text().c_str());
    ++n;
  }
  Report(state, ops, n);
}
BENCHMARK(BM_DialogSave)
    ->ArgNames({"users", "tmpfs"})
    ->ArgsProduct({{100, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_FirstCreation(benchmark::State& state) {
  TCountingOps ops;
  std::int64_t n = 0;
  std::optional<TDataFolder> folder;
  for (auto _ : state) {
    state.PauseTiming();
    folder.reset();
    folder.emplace(Base(state.range(0) != 0), 0);
    for (TScheduleFile f : kScheduleFiles) std::filesystem::remove(SchedulePath(folder->Dir(), f));
    state.ResumeTiming();
    TScheduleTables tables;
    for (TScheduleFile f : kScheduleFiles) tables.Table(f).SetFileOps(&ops);
    TScheduleError error;
    bool ok = OpenScheduleTables(tables, folder->Dir(), TScheduleAccess::Write, error);
    ok = CloseScheduleTables(tables, error) && ok;
    if (!ok) state.SkipWithError(error.Text().c_str());
    ++n;
  }
  Report(state, ops, n);
}
BENCHMARK(BM_FirstCreation)->ArgName("tmpfs")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kadrel
