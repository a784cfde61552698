// Data sets for the main-window tests: duty kinds, schemes and users written
// straight into a scratch folder's files, and readable output of GBK text.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "platform/uGbk.h"
#include "widgets/uListMenu.h"
#include "tests/schedule/schedule_test_util.h"

namespace kadrel::apptest {

using schedtest::Bytes;
using schedtest::DataFileBytes;
using schedtest::ReadFileBytes;
using schedtest::TScratchDir;
using schedtest::TUserSpec;
using schedtest::WriteDataSet;
using schedtest::WriteFileBytes;

inline std::string G(std::string_view utf8) { return GbkLiteral(utf8); }
inline std::string U(std::string_view gbk) { return GbkToUtf8Lossy(gbk); }

// The row of the user item captioned `caption`; -1, and a failure, if none.
inline int UserRow(const TListMenu& menu, const QString& caption) {
  for (int row = 0; row < menu.Count(); ++row)
    if (menu.Text(row) == caption) return row;
  ADD_FAILURE() << "no user item " << caption.toStdString();
  return -1;
}

// Runs `act` on the modal window of type T as soon as it is up, then makes
// sure no modal window is left, so a test that goes wrong fails instead of
// waiting forever.
template <class T>
void WhenModal(std::function<void(T&)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* window = dynamic_cast<T*>(modal)) {
      act(*window);
    } else {
      ADD_FAILURE() << "the expected modal window is not up";
    }
    if (QWidget* left = QApplication::activeModalWidget()) left->close();
  });
}

// Waits, at most `ms` milliseconds, for an answer from outside (the X
// server, the session bus) to reach Qt.
template <class Done>
bool WaitFor(Done done, int ms = 2000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QTest::qWait(20);
  return done();
}

}  // namespace kadrel::apptest

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << " x " << s.height(); }
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << "(" << p.x() << ", " << p.y() << ")"; }
inline void PrintTo(const QRect& r, std::ostream* os) {
  *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
