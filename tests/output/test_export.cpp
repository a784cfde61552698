#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "output/uExport.h"
#include "output_fixture.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

using TempDir = TTestDir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::size_t EntriesIn(const fs::path& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Fails one kind of call with a chosen errno: writes after `budget` bytes
// (writing short first), or the flush, or the rename.
class TFailingOps : public TFileOps {
 public:
  enum class What { Write, Sync, Rename };
  TFailingOps(What what, int err, std::size_t budget = 0) : what_(what), err_(err), budget_(budget) {}

  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (what_ != What::Write) return TFileOps::Write(fd, data, size, offset);
    if (budget_ == 0) {
      errno = err_;
      return -1;
    }
    std::size_t n = std::min(size, budget_);
    budget_ -= n;
    return TFileOps::Write(fd, data, n, offset);
  }
  int Sync(int fd) override {
    if (what_ == What::Sync) {
      errno = err_;
      return -1;
    }
    return TFileOps::Sync(fd);
  }
  int Rename(const char* from, const char* to) override {
    if (what_ == What::Rename) {
      errno = err_;
      return -1;
    }
    return TFileOps::Rename(from, to);
  }

 private:
  What what_;
  int err_;
  std::size_t budget_;
};

std::optional<TIoError> WriteFileOf(const fs::path& file, std::string_view bytes, const std::string& data = {}) {
  return WriteExportFile(file.string(), bytes, data);
}

TLineList YearOf(const TShiftUser& user, int year) {
  TLineList lines;
  for (int m = 1; m <= 12; ++m) AppendExportMonth(lines, user, year, m);
  return lines;
}

TEST(IoErrors, LinuxErrorsMapOntoTheClassicMessages) {
  EXPECT_EQ(IoErrorFromErrno(ENOENT, false).Message, "Invalid filename");
  EXPECT_EQ(IoErrorFromErrno(ENOENT, true).Message, "File not found");
  EXPECT_EQ(IoErrorFromErrno(EMFILE, true).Message, "Too many open files");
  EXPECT_EQ(IoErrorFromErrno(EACCES, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(EROFS, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(EISDIR, true).Message, "File access denied");
  EXPECT_EQ(IoErrorFromErrno(ENOSPC, true).Message, "Disk full");
  EXPECT_EQ(IoErrorFromErrno(EDQUOT, true).Code, 101);
  EXPECT_EQ(IoErrorFromErrno(EIO, true).Message, "I/O error 5");
  EXPECT_EQ(IoErrorFromErrno(EIO, true).Code, EIO);
}

TEST(SaveFiles, EachWriterWritesExactlyTheBuiltBytes) {
  TempDir dir;
  TShiftUser user = testing::ZhangSan();
  TLineList lines = YearOf(user, 2005);
  std::string title = ScheduleTitle(user, 2005);
  ASSERT_FALSE(SaveAsText(title, dir / "a.txt", lines));
  ASSERT_FALSE(SaveAsHtml(title, dir / "a.html", lines));
  ASSERT_FALSE(SaveAsDat(title, dir / "a.dat", lines));
  EXPECT_EQ(ReadFile(dir / "a.txt"), BuildTextFile(title, lines));
  EXPECT_EQ(ReadFile(dir / "a.html"), BuildHtmlFile(title, lines));
  EXPECT_EQ(ReadFile(dir / "a.dat"), BuildDatFile(lines));
  EXPECT_EQ(EntriesIn(dir.Path()), 3u);  // no temporary file left behind
}

TEST(SaveFiles, OverwritesAnExistingFileWithoutAsking) {
  TempDir dir;
  std::ofstream(dir / "a.dat") << "old contents that are longer than the new ones";
  TLineList lines;
  AppendExportMonth(lines, testing::ZhangSan(), 2005, 2);
  ASSERT_FALSE(SaveAsDat("", dir / "a.dat", lines));
  EXPECT_EQ(ReadFile(dir / "a.dat"), BuildDatFile(lines));
}

// Whatever names it, a file of the data folder is refused before a byte is
// written, and so is a name the store would use there that is still free.
TEST(SaveFiles, NoExportReachesTheDataFiles) {
  TempDir dir;
  const fs::path data = dir.Path() / "data", out = dir.Path() / "out";
  fs::create_directories(data);
  fs::create_directories(out);
  for (const char* name : {"userdat.kd2", "userdat.kd2-journal", "workdat.kd2.new-AbCdEf"})
    std::ofstream(data / name) << name;
  fs::create_symlink("../data/userdat.kd2", out / "link.html");
  fs::create_hard_link(data / "userdat.kd2", out / "second.html");
  fs::create_directory_symlink("../data", out / "folder");
  const fs::path previous = fs::current_path();
  fs::current_path(data);
  for (const fs::path& target : {data / "userdat.kd2", out / "link.html", out / "second.html",
                                 out / "folder/userdat.kd2", fs::path("userdat.kd2"), data / "shiftdat.kd2",
                                 data / "userdat.kd2-journal", data / "workdat.kd2.new-AbCdEf"}) {
    SCOPED_TRACE(target);
    auto err = WriteFileOf(target, "junk", target.is_relative() ? "" : data.string());
    ASSERT_TRUE(err);
    EXPECT_EQ(err->Code, 5);
    EXPECT_TRUE(err->Message.starts_with("refusing to overwrite Kadrel's data file ")) << err->Message;
    EXPECT_NE(err->Chinese.find("是 Kadrel 的数据文件"), std::string::npos) << err->Chinese;
  }
  fs::current_path(previous);
  EXPECT_EQ(ReadFile(data / "userdat.kd2"), "userdat.kd2");
  EXPECT_EQ(ReadFile(data / "userdat.kd2-journal"), "userdat.kd2-journal");
  EXPECT_EQ(EntriesIn(data), 3u);
  // The same names elsewhere, and other names in the data folder, are free.
  EXPECT_FALSE(WriteFileOf(out / "userdat.kd2", "export", data.string()));
  EXPECT_FALSE(WriteFileOf(data / "notes.txt", "export", data.string()));
}

TEST(SaveFiles, ExportsGoToTheDocumentsFolderNeverToTheDataFolder) {
  TempDir dir;
  fs::create_directories(dir.Path() / "home/文档");
  const std::string home = dir / "home", docs = dir / "home/文档";
  TScopedEnv setHome("HOME", home), setDocs("XDG_DOCUMENTS_DIR", docs);
  EXPECT_EQ(DefaultExportFolder(dir / "data"), docs);
  EXPECT_EQ(DefaultExportFolder(docs), home) << "documents kept as the data folder";
  TScopedEnv missing("XDG_DOCUMENTS_DIR", dir / "nowhere");
  EXPECT_EQ(DefaultExportFolder(dir / "data"), home);
  EXPECT_EQ(ExportPathOf("a.html", docs), docs + "/a.html");
  EXPECT_EQ(ExportPathOf("~/a.html", docs), home + "/a.html");
  EXPECT_EQ(ExportPathOf("/abs/a.html", docs), "/abs/a.html");
}

TEST(SaveFiles, AFifoOrADeviceIsRefusedAndNeverOpened) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir / "null");
  for (const char* name : {"pipe", "null"}) {
    auto err = WriteFileOf(dir / name, "bytes");
    ASSERT_TRUE(err) << name;
    EXPECT_EQ(err->Message, "File access denied");
    EXPECT_NE(err->Chinese.find("不是普通文件"), std::string::npos) << err->Chinese;
  }
}

TEST(SaveFiles, MissingFolderIsAnInvalidFilename) {
  TempDir dir;
  auto err = SaveAsText("t", dir / "no/such/folder/a.txt", {});
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Code, 3);
  EXPECT_EQ(err->Message, "Invalid filename");
  EXPECT_EQ(err->Chinese, "文件夹“" + dir / "no/such/folder" + "”不存在，无法保存“" + dir / "no/such/folder/a.txt" +
                              "”。请选择一个已有的文件夹。");
}

TEST(SaveFiles, AFolderInTheWayIsAccessDenied) {
  TempDir dir;
  fs::create_directory(dir / "taken.txt");
  auto err = SaveAsText("t", dir / "taken.txt", {});
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Message, "File access denied");
  EXPECT_EQ(err->Chinese, "“" + dir / "taken.txt" + "”是一个文件夹。请在文件夹后面写上文件名。");
  EXPECT_TRUE(fs::is_directory(dir / "taken.txt"));
}

// Root writes anywhere, so under root the attempt runs in a child that has
// given up its rights; the folder stays root's own and read-only to it.
TEST(SaveFiles, ReadOnlyFolderIsAccessDenied) {
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  auto attempt = [&] {
    auto err = SaveAsText("t", dir / "a.txt", {});
    return err && err->Message == "File access denied" && err->Chinese.starts_with("没有写入") &&
           !fs::exists(dir / "a.txt");
  };
  if (::geteuid() != 0) {
    EXPECT_TRUE(attempt());
    return;
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && attempt();
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

struct FailureCase {
  const char* name;
  TFailingOps::What what;
  int err;
  std::size_t budget;
  const char* message;
  const char* chinese;  // how the sentence starts
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedExport : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedExport, KeepsTheOldFileWholeAndLeavesNoTemporary) {
  const FailureCase& c = GetParam();
  TempDir dir;
  const std::string old = "the previous export\r\n";
  std::ofstream(dir / "year.html", std::ios::binary) << old;
  TFailingOps ops(c.what, c.err, c.budget);
  TShiftUser user = testing::ZhangSan();
  auto err = SaveAsHtml(ScheduleTitle(user, 2005), dir / "year.html", YearOf(user, 2005), ops);
  ASSERT_TRUE(err);
  EXPECT_EQ(err->Message, c.message);
  EXPECT_TRUE(err->Chinese.starts_with(c.chinese)) << err->Chinese;
  EXPECT_EQ(ReadFile(dir / "year.html"), old);
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Export, FailedExport,
    ::testing::Values(FailureCase{"FirstWrite", TFailingOps::What::Write, ENOSPC, 0, "Disk full", "磁盘空间不足"},
                      FailureCase{"AfterTenBytes", TFailingOps::What::Write, ENOSPC, 10, "Disk full", "磁盘空间不足"},
                      FailureCase{"AfterOneChunk", TFailingOps::What::Write, EDQUOT, 70000, "Disk full", "磁盘空间不足"},
                      FailureCase{"ReadOnlyFileSystem", TFailingOps::What::Write, EROFS, 0,
                                  "File access denied", "文件夹"},
                      FailureCase{"Flush", TFailingOps::What::Sync, EIO, 0, "I/O error 5", "写入"},
                      FailureCase{"Rename", TFailingOps::What::Rename, EACCES, 0, "File access denied", "没有写入"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kadrel
