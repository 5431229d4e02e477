// The standard mask: parsing, applying texts, value texts, validity and the
// standard mode's typing.
#include "MaskEditModeTestSupport.h"
#include "core/RegionalSettings.h"
#include "editors/MaskEditStandardMode.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::TypeKeys;

namespace {

class StandardMaskTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegionalSettings settings = RegionalSettings::simplifiedChinese();
        settings.dateSeparator = '/';
        setRegionalSettings(settings);
    }
    void TearDown() override { setRegionalSettings(RegionalSettings::simplifiedChinese()); }

    std::string Type(const QString &mask, const QString &script)
    {
        TkvMaskEditStandardMode mode;
        mode.SetMask(mask);
        TkvMaskEditText state;
        mode.SetText(state, QString());
        return TypeKeys(mode, state, script);
    }
};

TEST_F(StandardMaskTest, DateMaskFillsPositionsAndSkipsSeparators)
{
    TkvStandardMask mask;
    mask.SetMask("!99/99/9999;1;_");
    EXPECT_TRUE(mask.Leading());
    EXPECT_EQ(mask.MaskedEmptyText().toStdString(), "__/__/____");
    EXPECT_EQ(Type("!99/99/9999;1;_", "12312006"), "12/31/2006|");
    EXPECT_EQ(Type("!99/99/9999;1;_", "1"), "1[_]/__/____");
    EXPECT_EQ(Type("!99/99/9999;1;_", "1/"), "1[_]/__/____!");
}

TEST_F(StandardMaskTest, ApplyingATextFillsAroundOrThroughLiterals)
{
    TkvStandardMask mask;
    mask.SetMask("99/99/9999;1;_");
    EXPECT_EQ(mask.Apply("12312006").toStdString(), "12/31/2006");
    EXPECT_EQ(mask.Apply("12/31/2006").toStdString(), "12/31/2006");
    EXPECT_EQ(mask.Apply("1 /3").toStdString(), "1_/3_/____");
    EXPECT_EQ(mask.TextForValue("1_/3_/____").toStdString(), "1 /3 /    ");
}

TEST_F(StandardMaskTest, TrailingFieldsChooseLiteralSavingAndBlank)
{
    TkvStandardMask mask;
    mask.SetMask("000-000;0");
    EXPECT_FALSE(mask.SaveLiteralCharacters());
    EXPECT_EQ(mask.TextForValue(mask.Apply("123456")).toStdString(), "123456");
    mask.SetMask("00;1;*");
    EXPECT_EQ(mask.BlankChar(), QChar('*'));
    EXPECT_EQ(mask.MaskedEmptyText().toStdString(), "**");
    // Anything else after ";" is a literal.
    mask.SetMask("0;xy0");
    EXPECT_EQ(mask.MaskedEmptyText().toStdString(), "_;xy_");
    mask.SetMask("\\0\\");
    EXPECT_EQ(mask.MaskedEmptyText().toStdString(), "0");
}

TEST_F(StandardMaskTest, ValidityNeedsRequiredPositions)
{
    TkvStandardMask mask;
    mask.SetMask("00-99;1;_");
    EXPECT_TRUE(mask.IsValid("12-34", false));
    EXPECT_TRUE(mask.IsValid("12-_ ", false));
    EXPECT_FALSE(mask.IsValid("1_-34", false));
    EXPECT_FALSE(mask.IsValid("12-345", false));
    EXPECT_FALSE(mask.IsValid("12+34", false));
    EXPECT_FALSE(mask.IsValid("__-__", false));
    EXPECT_TRUE(mask.IsValid("__-__", true));
    EXPECT_FALSE(mask.IsValid("1_-__", true));
}

TEST_F(StandardMaskTest, CaseControlConvertsUntilReset)
{
    EXPECT_EQ(Type(">LL<>ll", "abcd"), "ABcd|");
    EXPECT_EQ(Type("<LL", "AB"), "ab|");
    EXPECT_EQ(Type("LL", "1"), "[_]_!");
    EXPECT_EQ(Type("###", "+-5"), "+-5|");
    EXPECT_EQ(Type("AaCc", "z9#!"), "z9#!|");
}

TEST_F(StandardMaskTest, EditingKeysBlankPositionsAndSkipLiterals)
{
    const QString mask = "00-00;1;_";
    EXPECT_EQ(Type(mask, "1234<BS>"), "12-3[_]");
    EXPECT_EQ(Type(mask, "123<BS><BS>"), "1[_]-__");
    EXPECT_EQ(Type(mask, "1234<HOME><DEL>"), "[_]2-34");
    EXPECT_EQ(Type(mask, "1234<HOME><R><R>"), "12-[3]4");
    EXPECT_EQ(Type(mask, "1234<L><L>"), "12-[3]4");
    EXPECT_EQ(Type(mask, "1234<HOME><L>"), "[1]2-34!");
    EXPECT_EQ(Type(mask, "1234<ALL><BS>"), "[_]_-__");
}

TEST_F(StandardMaskTest, PasteFillsFromTheCaret)
{
    TkvMaskEditStandardMode mode;
    mode.SetMask("00-00;1;_");
    TkvMaskEditText state;
    mode.SetText(state, "9");
    mode.Right(state, false);
    mode.Paste(state, "1-2");
    EXPECT_EQ(test::RenderMaskState(state), "91-2[_]");
    EXPECT_EQ(mode.TextToValueText(state.Text).toStdString(), "91-2 ");
}

} // namespace
