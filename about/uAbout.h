// TAboutBox: the program's name, version, what it is for and its licence,
// with a link to the user's guide. It is created once at program start,
// lives until the end, and the main window's "关于..." shows it modally.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace kadrel {

class TKadrelFrame;

// The user's guide the about box links to, found from the program's folder
// (by default the executable's): a README.md beside the program, as in the
// build tree, else the installed one under share/doc; empty when neither
// exists.
QString FindReadme(const QString& programDir = {});

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* owner = nullptr);

  // The guide the link opens; empty leaves the link out.
  void SetReadmePath(const QString& path);
  QString ReadmePath() const { return readme_; }

  void OKButtonClick();
  void ReadmeLinkActivated();

  TKadrelFrame* Frame() const { return frame_; }

  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Comments = nullptr;
  QLabel* ReadmeLink = nullptr;
  QLabel* License = nullptr;
  QPushButton* OKButton = nullptr;

 private:
  TKadrelFrame* frame_ = nullptr;
  QString readme_;
};

}  // namespace kadrel
