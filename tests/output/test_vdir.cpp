#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "output/uVdir.h"
#include "tests/test_dir.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

std::string Ics(const std::string& uid, const std::string& summary, const std::string& stamp = "20260101T000000Z") {
  return "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTAMP:" + stamp + "\r\nSUMMARY:" + summary +
         "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

ino_t Inode(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(Vdir, WritesWhatChangedRemovesItsOwnStaleFilesAndLeavesOthersAlone) {
  TTestDir dir;
  const fs::path vdir = dir.Path() / "shifts";
  TVdirResult r;
  ASSERT_FALSE(WriteVdir(vdir, {{"k-1", Ics("k-1", "早班")}, {"k-2", Ics("k-2", "夜班")}, {"k-3", Ics("k-3", "休息")}},
                         "k-", r));
  EXPECT_EQ(r.Written, 3);
  EXPECT_EQ(Read(vdir / "k-2.ics"), Ics("k-2", "夜班"));
  // What a sync tool or a person put there.
  std::ofstream(vdir / "phone-added.ics") << Ics("phone-added", "看牙");
  std::ofstream(vdir / "k-notes.txt") << "mine";
  fs::create_directory(vdir / "k-4.ics");
  const ino_t k1 = Inode(vdir / "k-1.ics");

  // Made again a day later: only k-2 says something new; k-3 is gone.
  ASSERT_FALSE(WriteVdir(vdir, {{"k-1", Ics("k-1", "早班", "20260102T000000Z")}, {"k-2", Ics("k-2", "加班")}}, "k-", r));
  EXPECT_EQ(r.Written, 1);
  EXPECT_EQ(r.Unchanged, 1);
  EXPECT_EQ(r.Removed, 1);
  EXPECT_EQ(Inode(vdir / "k-1.ics"), k1);
  EXPECT_EQ(Read(vdir / "k-2.ics"), Ics("k-2", "加班"));
  EXPECT_FALSE(fs::exists(vdir / "k-3.ics"));
  EXPECT_TRUE(fs::exists(vdir / "phone-added.ics") && fs::exists(vdir / "k-notes.txt") && fs::is_directory(vdir / "k-4.ics"));
}

TEST(Vdir, AFailedWriteKeepsTheOldFileAndSaysWhere) {
  TTestDir dir;
  TVdirResult r;
  ASSERT_FALSE(WriteVdir(dir.Path(), {{"k-1", Ics("k-1", "早班")}}, "k-", r));
  struct TFullDisk : TFileOps {
    ssize_t Write(int, const void*, std::size_t, off_t) override {
      errno = ENOSPC;
      return -1;
    }
  } full;
  const auto error = WriteVdir(dir.Path(), {{"k-1", Ics("k-1", "夜班")}, {"k-2", Ics("k-2", "夜班")}}, "k-", r, {}, full);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Code, 101);
  EXPECT_NE(error->Chinese.find(dir / "k-1.ics"), std::string::npos) << error->Chinese;
  EXPECT_EQ(Read(dir / "k-1.ics"), Ics("k-1", "早班"));
  EXPECT_EQ(r.Written, 0);
  EXPECT_FALSE(fs::exists(dir / "k-2.ics"));
}

}  // namespace
}  // namespace kadrel
