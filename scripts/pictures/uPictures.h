// What the picture programs share: the offscreen platform unless another is
// asked for, the folder named on the command line, and the grab of a window
// cut to its rounded outline, as a user sees it.
#pragma once

#include <QDir>
#include <QTextStream>
#include <QWidget>

#include <optional>

#include "widgets/uKadrelFrame.h"

namespace kadrel::pictures {

// For the QApplication's constructor, so that the platform is chosen first.
inline int& Offscreen(int& argc) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return argc;
}

// DIR, the one argument; nullopt after the usage line.
inline std::optional<QDir> PictureFolder(int argc, char** argv, const char* program) {
  if (argc < 2) {
    QTextStream(stderr) << "usage: " << program << " DIR\n";
    return std::nullopt;
  }
  return QDir(QString::fromLocal8Bit(argv[1]));
}

inline bool Save(QWidget& window, const QString& path) { return GrabKadrelWindow(window).save(path); }

}  // namespace kadrel::pictures
