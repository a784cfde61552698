// "宋体" on Linux: the face it maps to, its half-width rule, and that every
// kind of caption the program shows has glyphs in that face.
#include "widgets/uFonts.h"
#include "widget_test_util.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QRawFont>
#include <gtest/gtest.h>

namespace kadrel {
namespace {

TEST(Fonts, SongTiMapsToTheMonospacedCjkFace) {
  ASSERT_TRUE(InstallFontSubstitutes()) << "fonts-noto-cjk is not installed";
  EXPECT_TRUE(InstallFontSubstitutes()) << "calling again is harmless";
  for (const char* name : {"宋体", "SimSun", "新宋体"}) {
    QFont font(QString::fromUtf8(name));
    font.setPixelSize(12);
    EXPECT_EQ(QFontInfo(font).family(), KadrelCjkFace()) << name;
  }
  EXPECT_EQ(QFontInfo(KadrelFont(13)).family(), KadrelCjkFace());
  EXPECT_EQ(QFontInfo(KadrelFont(13)).pixelSize(), 13);
}

TEST(Fonts, AnAsciiCharacterIsHalfAChineseOne) {
  // Even pixel heights and the default point size. At an odd height a
  // half-width advance is not a whole pixel, so it cannot be exactly half.
  for (int px : {12, 14, 16, 20, 24}) {
    const QFontMetrics fm(KadrelFont(px));
    const int han = fm.horizontalAdvance(QStringLiteral("中"));
    EXPECT_GT(han, 0) << px;
    EXPECT_EQ(han, 2 * fm.horizontalAdvance(u'a')) << px << " px";
    EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("2026年")), 3 * han) << px << " px";
    EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("十一月")), 3 * han) << px << " px";
  }
  QFont points(QStringLiteral("宋体"));
  const QFontMetrics fm(points);
  EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("班")), 2 * fm.horizontalAdvance(u'x'));
}

TEST(Fonts, EveryKindOfCaptionHasGlyphs) {
  const QStringList samples = {
      // window and menu captions, hints and notices
      QStringLiteral("Kadrel v2.0 点击这里开始... 当前用户：关闭 最小化 配置倒班规律 选择用户 年份导航 显示"),
      QStringLiteral("打印Kadrel 设置 导出 帮助 关于... 最小到任务栏 请先对Kadrel进行配置!(菜单-配置倒班规律)"),
      QStringLiteral("提示 错误 警告 询问 确认 帮助文件不存在！ 用户管理 班制管理 姓名 班制名称 开始时间"),
      QStringLiteral("增加 保存 取消 新建 修改 删除 本班列表 用户名称 选择班制 日期 倒班名称 倒班说明 新班制"),
      QStringLiteral("导出向导 上一步 下一步 完成 欢迎使用向导! 超文本文件(*.html/*.htm) 格式文件(*.dat) 谢谢使用!"),
      // views: months, weekdays, lunar names, stems, branches, zodiac
      QStringLiteral("年 一 月 十一月 十二月 星期日一二三四五六 正月 冬月 腊月 闰 初一 初十 廿一 廿九 三十"),
      QStringLiteral("甲乙丙丁戊己庚辛壬癸 子丑寅卯辰巳午未申酉戌亥 鼠牛虎兔龙蛇马羊猴鸡狗猪 农历：今天是："),
      // the 24 solar terms
      QStringLiteral("小寒大寒立春雨水惊蛰春分清明谷雨立夏小满芒种夏至小暑大暑立秋处暑白露秋分寒露霜降立冬小雪大雪冬至"),
  };
  for (int px : {12, 13, 15}) {
    const QRawFont raw = QRawFont::fromFont(KadrelFont(px));
    ASSERT_TRUE(raw.isValid());
    EXPECT_EQ(raw.familyName().toLower(), KadrelCjkFace().toLower());
    for (const QString& sample : samples) {
      for (QChar c : sample) {
        EXPECT_TRUE(raw.supportsCharacter(c)) << "no glyph for " << QString(c).toStdString() << " at " << px;
      }
    }
  }
}

}  // namespace
}  // namespace kadrel
