#include "about/uAbout.h"

#include "platform/gui/uShell.h"
#include "widgets/uFonts.h"
#include "widgets/uKadrelFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace kadrel {

QString FindReadme(const QString& programDir) {
  const QDir dir(programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir);
  for (const QString& relative : {QStringLiteral("README.md"), QStringLiteral(KADREL_README_FROM_PROGRAM)}) {
    const QString path = QDir::cleanPath(dir.filePath(relative));
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("关于Kadrel"));
  setFixedSize(330, 256);
  setFont(KadrelFont(13));
  frame_ = new TKadrelFrame(this);
  frame_->SetTitle(QStringLiteral("关于Kadrel"));
  QWidget* body = frame_->AddBody({6, 35, 318, 198});

  ProductName = new QLabel(QStringLiteral("Kadrel"), body);
  QFont big = KadrelFont(28);
  big.setBold(true);
  ProductName->setFont(big);
  ProductName->setGeometry(16, 10, 286, 40);

  Version = new QLabel(QStringLiteral("版本 %1").arg(QStringLiteral(KADREL_VERSION)), body);
  Version->setGeometry(18, 52, 284, 20);

  Comments = new QLabel(QStringLiteral("倒班日历：按倒班规律算出每天的班次，"
                                       "并显示每天的农历和节气。"),
                        body);
  Comments->setWordWrap(true);
  Comments->setGeometry(18, 76, 284, 40);

  ReadmeLink = new QLabel(body);
  ReadmeLink->setGeometry(18, 118, 284, 20);
  ReadmeLink->setTextFormat(Qt::RichText);
  ReadmeLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  ReadmeLink->setText(QStringLiteral("<a href=\"readme\">使用说明（README）</a>"));
  // Opened through the shell seam rather than by the label itself, so the
  // guide opens the way every other document of the program does.
  connect(ReadmeLink, &QLabel::linkActivated, this, &TAboutBox::ReadmeLinkActivated);

  License = new QLabel(QStringLiteral("许可证：GNU GPL 第3版或更新版本"), body);
  License->setGeometry(18, 140, 284, 20);
  License->setToolTip(QStringLiteral("Kadrel 是自由软件：你可以依照 GNU 通用公共许可证第3版或（由你选择）\n"
                                     "任何更新的版本再发布和修改它。Kadrel 不提供任何担保。"));

  OKButton = new QPushButton(QStringLiteral("确定"), body);
  OKButton->setGeometry(122, 166, 73, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

  SetReadmePath(FindReadme());
}

void TAboutBox::SetReadmePath(const QString& path) {
  readme_ = path;
  ReadmeLink->setVisible(!path.isEmpty());
  ReadmeLink->setToolTip(path);
}

void TAboutBox::OKButtonClick() { accept(); }

void TAboutBox::ReadmeLinkActivated() {
  if (!readme_.isEmpty()) Shell().OpenDocument(readme_);
}

}  // namespace kadrel
