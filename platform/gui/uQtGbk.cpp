#include "platform/gui/uQtGbk.h"

#include "platform/uGbk.h"

namespace kadrel {

QString GbkToQString(std::string_view gbk) { return QString::fromStdString(GbkToUtf8Lossy(gbk)); }

bool QStringToGbk(const QString& text, std::string& gbk) {
  if (!text.isValidUtf16()) return false;
  auto converted = Utf8ToGbk(text.toStdString());
  if (!converted) return false;
  gbk = std::move(*converted);
  return true;
}

}  // namespace kadrel
