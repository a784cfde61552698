#include "platform/gui/uShell.h"

#include "platform/gui/uShellX11.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace kadrel {

namespace {

class TDesktopShell final : public TShell {
 public:
  bool FileExists(const QString& path) const override { return QFileInfo(path).isFile(); }
  TWindowId FindTopLevelWindow(const QString& title) const override { return FindX11TopLevelWindow(title); }
  void CloseWindow(TWindowId window) override { CloseX11Window(window); }
  void OpenDocument(const QString& path) override {
    if (path.endsWith(QLatin1String(".chm"), Qt::CaseInsensitive)) {
      const QString viewer = QStandardPaths::findExecutable(QStringLiteral("xchm"));
      if (!viewer.isEmpty() && QProcess::startDetached(viewer, {path})) return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }
};

// GUI thread only, like every window.
TShell* g_override = nullptr;

}  // namespace

TShell& Shell() {
  if (g_override) return *g_override;
  static TDesktopShell desktop;
  return desktop;
}

TShellOverride::TShellOverride(TShell& shell) : TScopedOverride(g_override, &shell) {}

}  // namespace kadrel
