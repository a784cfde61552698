// Passwords: the file a user names, the private file without a Secret
// Service, and GNOME Keyring on a session bus of the test's own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/uSecrets.h"
#include "tests/output/caldav_servers.h"
#include "tests/test_dir.h"
#include "tests/test_env.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

void WriteFile(const std::string& path, const std::string& bytes, mode_t mode) {
  std::ofstream(path, std::ios::binary) << bytes;
  ::chmod(path.c_str(), mode);
}

TEST(PasswordFile, OnlyAPrivateRegularFileOfOursIsRead) {
  TTestDir dir;
  std::string error;
  WriteFile(dir / "pw", "s3cret\r\nignored\n", 0600);
  EXPECT_EQ(ReadPasswordFile(dir / "pw", error), "s3cret");

  ::chmod((dir / "pw").c_str(), 0640);
  EXPECT_FALSE(ReadPasswordFile(dir / "pw", error));
  EXPECT_EQ(error, dir / "pw" + ": group or others may read or change it (mode 0640); Kadrel reads passwords only "
                                "from a file of mode 0600 (chmod 600 the file)");
  ::chmod((dir / "pw").c_str(), 0602);
  EXPECT_FALSE(ReadPasswordFile(dir / "pw", error));
  if (::geteuid() == 0) {
    ::chmod((dir / "pw").c_str(), 0600);
    ASSERT_EQ(::chown((dir / "pw").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ReadPasswordFile(dir / "pw", error));
    EXPECT_NE(error.find("belongs to another user"), std::string::npos) << error;
  }
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadPasswordFile(dir / "fifo", error));  // refused, without waiting for a writer
  WriteFile(dir / "empty", "\n", 0600);
  EXPECT_FALSE(ReadPasswordFile(dir / "empty", error));
  EXPECT_EQ(error.find("s3cret"), std::string::npos);
}

TEST(PasswordStore, WithoutASecretServiceAFileOnlyItsOwnerMayReadKeepsThem) {
  TTestDir dir;
  TScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir / "no-bus"));
  TScopedEnv display("DISPLAY", nullptr);
  const std::string file = dir / "config/kadrel/passwords";
  TPasswordStore store(file);
  std::string error;
  EXPECT_FALSE(store.Lookup("https://a", "alice", error));
  EXPECT_EQ(error, "");
  ASSERT_TRUE(store.Store("https://a", "alice", "pa%ss\tword\n2", error)) << error;
  EXPECT_EQ(store.Place(), TSecretPlace::File);
  ASSERT_TRUE(store.Store("https://b", "alice", "other", error)) << error;
  ASSERT_TRUE(store.Store("https://a", "alice", "new", error)) << error;
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_EQ(ModeOf(dir / "config/kadrel"), 0700u);
  EXPECT_EQ(store.Lookup("https://a", "alice", error), "new");
  EXPECT_EQ(store.Lookup("https://b", "alice", error), "other");
  ASSERT_TRUE(store.Forget("https://a", "alice", error)) << error;
  EXPECT_FALSE(store.Lookup("https://a", "alice", error));
  EXPECT_EQ(store.Lookup("https://b", "alice", error), "other");

  // A file others may read is neither read nor written.
  ::chmod(file.c_str(), 0644);
  const std::string before = davtest::ReadAll(file);
  EXPECT_FALSE(store.Lookup("https://b", "alice", error));
  EXPECT_NE(error.find("mode 0644"), std::string::npos) << error;
  EXPECT_FALSE(store.Store("https://c", "alice", "x", error));
  EXPECT_EQ(davtest::ReadAll(file), before);
}

// A session bus and an unlocked GNOME Keyring of the test's own, as a
// desktop session has them.
TEST(PasswordStore, TheSecretServiceKeepsThemWhenTheSessionHasOne) {
  TTestDir dir;
  const fs::path root = dir.Path();
  fs::create_directories(root / "home");
  fs::create_directories(root / "run");
  ::chmod((root / "run").c_str(), 0700);
  TScopedEnv home("HOME", (root / "home").string());
  TScopedEnv data("XDG_DATA_HOME", (root / "home/data").string());
  TScopedEnv runtime("XDG_RUNTIME_DIR", (root / "run").string());
  TScopedEnv display("DISPLAY", nullptr);
  const std::string socket = (root / "bus").string();
  davtest::TProcess bus;
  ASSERT_TRUE(bus.Start({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket}, root / "bus.log"));
  for (int i = 0; i < 200 && !fs::exists(socket); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!fs::exists(socket)) GTEST_SKIP() << "dbus-daemon did not start: " << davtest::ReadAll(root / "bus.log");
  TScopedEnv address("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket);
  // --unlock reads the new login keyring's password from its input.
  davtest::TProcess keyring;
  WriteFile(root / "unlock", "keyring-pw", 0600);
  ASSERT_TRUE(keyring.Start({"sh", "-c", "exec gnome-keyring-daemon --foreground --unlock --components=secrets < " +
                                             (root / "unlock").string()},
                            root / "keyring.log"));

  // Until the daemon owns its name on the bus, a store would go to the file.
  bool owned = false;
  for (int i = 0; i < 100 && !owned; ++i) {
    const fs::path answer = root / ("owner-" + std::to_string(i));
    davtest::RunTool({"dbus-send", "--session", "--dest=org.freedesktop.DBus", "--print-reply", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"},
                     answer);
    owned = davtest::ReadAll(answer).find("boolean true") != std::string::npos;
    if (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!owned) GTEST_SKIP() << "no Secret Service (package gnome-keyring): " << davtest::ReadAll(root / "keyring.log");

  const std::string file = (root / "passwords").string();
  TPasswordStore store(file);
  std::string error;
  ASSERT_TRUE(store.Store("https://a", "alice", "in-the-keyring", error)) << error;
  EXPECT_EQ(store.Place(), TSecretPlace::SecretService);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(TPasswordStore(file).Lookup("https://a", "alice", error), "in-the-keyring") << error;
  EXPECT_FALSE(store.Lookup("https://a", "bob", error));
  ASSERT_TRUE(store.Forget("https://a", "alice", error)) << error;
  EXPECT_FALSE(store.Lookup("https://a", "alice", error));
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace kadrel
