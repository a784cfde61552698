// The about box's link to the user's guide.
#include "about/uAbout.h"

#include "platform/gui/uShell.h"

#include <QFileInfo>
#include <QLabel>

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

TEST(AboutBox, TheLinkOpensTheGuideAndIsLeftOutWithoutOne) {
  TOpenedDocuments shell;
  TShellOverride override(shell);
  TAboutBox box;
  // Built from this tree, the guide is the tree's own README.
  ASSERT_FALSE(box.ReadmePath().isEmpty());
  EXPECT_TRUE(QFileInfo(box.ReadmePath()).isFile()) << box.ReadmePath().toStdString();
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
