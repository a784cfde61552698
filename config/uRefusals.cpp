#include "config/uRefusals.h"

namespace kadrel {

QString RefusalText(TTextField field, TEditFault fault) {
  static const char* const kWhat[] = {"用户名称", "倒班名称", "倒班说明", "班制名称", "倒班规律"};
  const QString what = QString::fromUtf8(kWhat[static_cast<int>(field)]);
  if (fault == TEditFault::BadText) {
    return what + QStringLiteral("中有无法保存的字符（如表情符号、韩文或控制字符），只能使用汉字、字母、数字和常用符号。");
  }
  switch (field) {
    case TTextField::DutyHint:
      return QStringLiteral("倒班说明太长了，最多只能有二十四个汉字或四十九个字母（一个换行占两个字母）。");
    case TTextField::Cycle:
      return QStringLiteral("倒班规律中的班次太多了，全部编号最多只能占199个字节（约九十九个一位数编号的班次）。");
    default:
      return what + QStringLiteral("太长了，最多只能有四个汉字或九个字母（空格也算一个字母）。");
  }
}

}  // namespace kadrel
