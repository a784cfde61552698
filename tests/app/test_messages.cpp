// The message-box seam: what tests rely on to answer boxes.
#include "platform/gui/uMessages.h"

#include <gtest/gtest.h>

namespace kadrel {
namespace {

TEST(MessageSeam, RecordsEachBoxAndAnswersQuestionsNoByDefault) {
  TMessageBoxOverride seam;
  ShowNotice(nullptr, QStringLiteral("n"));
  ShowError(nullptr, QStringLiteral("e"));
  ShowWarning(nullptr, QStringLiteral("w"));
  EXPECT_FALSE(AskYesNo(nullptr, QStringLiteral("确认"), QStringLiteral("q")));
  ASSERT_EQ(seam.Shown().size(), 4u);
  EXPECT_EQ(seam.Shown()[0].Caption, QStringLiteral("提示"));
  EXPECT_EQ(seam.Shown()[1].Caption, QStringLiteral("错误"));
  EXPECT_EQ(seam.Shown()[1].Icon, TMsgIcon::Error);
  EXPECT_EQ(seam.Shown()[2].Caption, QStringLiteral("警告"));
  EXPECT_EQ(seam.Shown()[3].Caption, QStringLiteral("确认"));
  EXPECT_EQ(seam.Shown()[3].Buttons, TMsgButtons::YesNo);
}

TEST(MessageSeam, TheInnermostOverrideAnswersAndTheOuterOneReturns) {
  TMessageBoxOverride outer;
  {
    TMessageBoxOverride inner([](const TMessageRequest&) { return TMsgResult::Yes; });
    EXPECT_TRUE(AskYesNo(nullptr, QStringLiteral("询问"), QStringLiteral("q")));
    EXPECT_EQ(inner.Shown().size(), 1u);
  }
  EXPECT_TRUE(outer.Shown().empty());
  EXPECT_FALSE(AskYesNo(nullptr, QStringLiteral("询问"), QStringLiteral("q")));
  EXPECT_EQ(outer.Shown().size(), 1u);
}

}  // namespace
}  // namespace kadrel
