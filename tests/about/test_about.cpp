// The about box's link to the user's guide.
#include "about/uAbout.h"

#include "platform/gui/uShell.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kadrel {
namespace {

class TOpenedDocuments : public TShell {
 public:
  QStringList Opened;
  bool FileExists(const QString&) const override { return true; }
  TWindowId FindTopLevelWindow(const QString&) const override { return 0; }
  void CloseWindow(TWindowId) override {}
  void OpenDocument(const QString& path) override { Opened << path; }
};

void Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// The guide is looked for from the program's folder only, in the build
// tree's layout and in the installed one, never in the source tree.
TEST(AboutBox, TheGuideIsFoundBesideTheProgramOrWhereItIsInstalled) {
  QTemporaryDir root;
  const QString program = root.filePath(QStringLiteral("usr/libexec/kadrel"));
  QDir().mkpath(program);
  EXPECT_EQ(FindReadme(program), QString());
  Touch(root.filePath(QStringLiteral("usr/share/doc/kadrel/README.md")));
  EXPECT_EQ(FindReadme(program), root.filePath(QStringLiteral("usr/share/doc/kadrel/README.md")));
  Touch(root.filePath(QStringLiteral("usr/libexec/kadrel/README.md")));
  EXPECT_EQ(FindReadme(program), root.filePath(QStringLiteral("usr/libexec/kadrel/README.md")));
}

TEST(AboutBox, TheLinkOpensTheGuideAndIsLeftOutWithoutOne) {
  TOpenedDocuments shell;
  TShellOverride override(shell);
  TAboutBox box;
  box.SetReadmePath(QStringLiteral("/guide/README.md"));
  EXPECT_FALSE(box.ReadmeLink->isHidden());
  emit box.ReadmeLink->linkActivated(QStringLiteral("readme"));
  EXPECT_EQ(shell.Opened, QStringList{box.ReadmePath()});

  box.SetReadmePath({});
  EXPECT_TRUE(box.ReadmeLink->isHidden());
  box.ReadmeLinkActivated();
  EXPECT_EQ(shell.Opened.size(), 1);
}

}  // namespace
}  // namespace kadrel
