#include "ui/Fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QRawFont>

namespace kestrum {
namespace {

TEST(Fonts, SongTiResolvesToASimplifiedChineseFamilyAtPixelSize)
{
    RegisterFontSubstitutions();
    const QFont font = DesignFont(SongTiFamily(), 13);
    EXPECT_EQ(font.pixelSize(), 13);
    EXPECT_EQ(font.pointSize(), -1) << "designed fonts are sized in pixels";
    const QFontInfo info(font);
    EXPECT_EQ(info.family(), "AR PL UMing CN");
    EXPECT_EQ(info.pixelSize(), 13);
    // Qt keeps substitutes in lower case.
    EXPECT_EQ(QFont::substitutes(SongTiFamily()).mid(0, 2),
              QStringList({"ar pl uming cn", "noto serif cjk sc"}));
}

TEST(Fonts, ChineseTextIsCoveredByTheChosenFont)
{
    const QRawFont raw = QRawFont::fromFont(DesignFont(SongTiFamily(), 13));
    ASSERT_TRUE(raw.isValid());
    for (const QChar ch : QString::fromUtf8("收入进帐消费记账综合统计系统设置"))
        EXPECT_TRUE(raw.supportsCharacter(ch)) << int(ch.unicode());
}

TEST(Fonts, MsSansSerifIsALatinSansWithChineseFallback)
{
    RegisterFontSubstitutions();
    const QFont font = DesignFont(MsSansSerifFamily(), 11, true);
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans");
    EXPECT_TRUE(font.families().contains("AR PL UMing CN"));
}

} // namespace
} // namespace kestrum
