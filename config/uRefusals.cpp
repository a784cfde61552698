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

namespace {

QString YearSpan() { return QStringLiteral("%1年至%2年").arg(kFirstRotaYear).arg(kLastRotaYear); }

QString BadTextOf(const QString& what) {
  return what + QStringLiteral("中有无法保存的字符（如表情符号、韩文或控制字符），只能使用汉字、字母、数字和常用符号。");
}

QString WhoOf(const TRotaError& error, const TRotaNames& names) {
  return error.Field == TRotaField::Partner ? names.Partner : names.User;
}

}  // namespace

QString RotaRefusalText(const TRotaError& error, const TRotaNames& names) {
  const bool leave = error.Field == TRotaField::Leave;
  switch (error.Fault) {
    case TRotaFault::UnknownUser:
      return error.Field == TRotaField::Partner ? QStringLiteral("找不到要换班的用户，可能已被删除。")
                                                : QStringLiteral("找不到用户“%1”，可能已被删除。").arg(names.User);
    case TRotaFault::UnknownDuty: return QStringLiteral("所选的班次已不存在，请重新选择。");
    case TRotaFault::UnknownScheme: return QStringLiteral("所选的班制已不存在，请重新选择。");
    case TRotaFault::NotFound: return QStringLiteral("这项调整已不存在，可能已被撤销。");
    case TRotaFault::EmptyText: return QStringLiteral("备注不能为空。");
    case TRotaFault::TooLong:
      return leave ? QStringLiteral("假别太长了，最多只能有四个汉字或九个字母。")
                   : QStringLiteral("备注太长了，最多只能有二十四个汉字或四十九个字母。");
    case TRotaFault::BadText: return BadTextOf(leave ? QStringLiteral("假别") : QStringLiteral("备注"));
    case TRotaFault::BadDate:
      return (error.Field == TRotaField::Last ? QStringLiteral("结束日期") : QStringLiteral("日期")) +
             QStringLiteral("必须在%1之间。").arg(YearSpan());
    case TRotaFault::Reversed: return QStringLiteral("结束日期早于开始日期。");
    case TRotaFault::TooManyDays:
      return QStringLiteral("日期范围太长了，一次最多%1天；更长的请分几次记录。").arg(kMaxExceptionDays);
    case TRotaFault::SelfSwap: return QStringLiteral("不能和自己换班。");
    case TRotaFault::NoDuty: return QStringLiteral("%1这一天没有班，不能换班。").arg(WhoOf(error, names));
    case TRotaFault::AlreadySwapped:
      return QStringLiteral("%1这一天已经换过班了，请先撤销那次换班。").arg(WhoOf(error, names));
    case TRotaFault::Overlap: return QStringLiteral("这段请假与已有的请假重叠。");
    case TRotaFault::BadPlace: return QStringLiteral("勾选的班次超出了该班制的倒班规律，请勾选其中的一个班次。");
    case TRotaFault::BadTimes:
      return error.Field == TRotaField::Start ? QStringLiteral("上班时间应写成“20:00”这样的时刻（00:00至23:59）。")
                                              : QStringLiteral("班长应为1至2880分钟，并且要有上班时间。");
    case TRotaFault::Schedule:
      if (error.Edit == TEditFault::NotFound) return QStringLiteral("找不到用户“%1”，可能已被删除。").arg(names.User);
      break;
    case TRotaFault::BadKind:
    case TRotaFault::WriteFailed:
    case TRotaFault::None: break;
  }
  const QString file = error.File.empty() ? QString() : QStringLiteral("“%1”").arg(QString::fromStdString(error.File));
  return QStringLiteral("写入数据文件%1时出错，没有保存这项修改。").arg(file);
}

}  // namespace kadrel
