#include "widgets/uFonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace kadrel {

namespace {

const QString kSongTi = QStringLiteral("宋体");

}  // namespace

QString KadrelCjkFace() { return QStringLiteral("Noto Sans Mono CJK SC"); }

bool InstallFontSubstitutes() {
  const QStringList faces = {KadrelCjkFace(), QStringLiteral("Noto Sans CJK SC"),
                             QStringLiteral("WenQuanYi Zen Hei Mono"),
                             QStringLiteral("AR PL UMing CN")};
  for (const QString& name : {kSongTi, QStringLiteral("SimSun"), QStringLiteral("新宋体"),
                              QStringLiteral("NSimSun")}) {
    QFont::removeSubstitutions(name);
    QFont::insertSubstitutions(name, faces);
  }
  return QFontDatabase::hasFamily(KadrelCjkFace());
}

QFont KadrelFont(int pixelSize) {
  QFont font(kSongTi);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace kadrel
