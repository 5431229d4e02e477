// The regular-expression modes of the mask edit: typing, completion of forced
// literals, Backspace and Delete, caret moves and validity.
#include "editors/MaskEditRegExprMode.h"
#include "MaskEditModeTestSupport.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

using namespace kestrum;
using kestrum::test::TypeKeys;

namespace {

class RegExprModeTest : public testing::Test {
protected:
    void SetUp() override { setRegionalSettings(RegionalSettings::simplifiedChinese()); }

    std::string Type(TkvMaskEditCustomMode &mode, const QString &script, const QString &start = QString(),
                     int caret = -1)
    {
        TkvMaskEditText state;
        state.Text = start;
        state.SelStart = caret < 0 ? int(start.size()) : caret;
        return TypeKeys(mode, state, script);
    }
};

TEST_F(RegExprModeTest, PlainModeInsertsOnlyAcceptedCharacters)
{
    TkvMaskEditRegExprMode mode;
    mode.SetMask("\\d\\d'-'\\d\\d");
    EXPECT_EQ(Type(mode, "1a2-34"), "12-34|!");
    EXPECT_EQ(Type(mode, "12"), "12|");
    // A tail that no longer fits after the new character is dropped.
    EXPECT_EQ(Type(mode, "9", "12-34", 0), "9|");
    EXPECT_EQ(mode.EmptyText().toStdString(), "");
}

TEST_F(RegExprModeTest, ExtendedModeCompletesAndBackspaceTakesTheLiteralAlong)
{
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("\\d\\d'-'\\d\\d");
    EXPECT_EQ(Type(mode, "12"), "12-|");
    EXPECT_EQ(Type(mode, "12<BS>"), "1|");
    EXPECT_EQ(Type(mode, "1234<BS><BS>"), "12-|");
    // Typing the separator that is already there is quietly absorbed.
    EXPECT_EQ(Type(mode, "12-34"), "12-34|");
    EXPECT_EQ(Type(mode, "12x"), "12-|!");
}

TEST_F(RegExprModeTest, ExtendedModeKeepsTheTailAroundCompletedLiterals)
{
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("\\d\\d'-'\\d\\d");
    // Overwriting the second digit keeps the "-" and the digits after it.
    EXPECT_EQ(Type(mode, "<SR>5", "12-34", 1), "15-|34");
    // Removing the second digit brings the tail forward and puts "-" back.
    EXPECT_EQ(Type(mode, "<DEL>", "12-34", 1), "1|3-4");
    EXPECT_EQ(Type(mode, "<BS>", "12-34", 3), "1|3-4");
    // Left and Right step over a digit and the literal it brought as one.
    EXPECT_EQ(Type(mode, "<L><L><L>", "12-34"), "1|2-34");
    EXPECT_EQ(Type(mode, "<L><L><L><R>", "12-34"), "12-|34");
    EXPECT_EQ(Type(mode, "<HOME><END>", "12-34"), "12-34|");
}

TEST_F(RegExprModeTest, TypingOverASelectionRefeedsTheTextBehindIt)
{
    // The selected first "x" goes; the "x" typed in its place must not just
    // step over the "x" that is left, or the text would read "x12".
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("'xx'\\d\\d");
    TkvMaskEditText state;
    state.Text = "xx12";
    state.SelStart = 0;
    state.SelLength = 1;
    mode.PressChar(state, u'x');
    EXPECT_TRUE(state.Accepted);
    EXPECT_EQ(test::RenderMaskState(state), "xx|12");
    EXPECT_TRUE(mode.IsValid(state.Text, false));
}

TEST_F(RegExprModeTest, ExtendedModeLeadingLiteralsFormTheEmptyText)
{
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("'ID-'\\d\\d");
    EXPECT_EQ(mode.EmptyText().toStdString(), "ID-");
    EXPECT_EQ(Type(mode, "<BS>", "ID-"), "ID-|!");
    EXPECT_EQ(Type(mode, "4<BS>", "ID-"), "ID-|");
    EXPECT_TRUE(mode.IsValid("ID-", false));
    EXPECT_FALSE(mode.IsValid("ID-4", false));
    EXPECT_TRUE(mode.IsValid("ID-4", true));
    EXPECT_TRUE(mode.IsValid("ID-42", false));
    EXPECT_FALSE(mode.IsValid("ID-42x", true));
}

TEST_F(RegExprModeTest, SettingTheTextFeedsItAndCompletesAfterIt)
{
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("\\d\\d'-'\\d\\d");
    EXPECT_EQ(Type(mode, "", ""), "|");
    TkvMaskEditText state;
    mode.SetText(state, "12");
    EXPECT_EQ(test::RenderMaskState(state), "12-|");
    mode.SetText(state, "1234");
    EXPECT_EQ(test::RenderMaskState(state), "12-34|");
    EXPECT_EQ(mode.FormatDisplay("1x2-3").toStdString(), "12-3");
}

TEST_F(RegExprModeTest, PasteLeavesOutCharactersThatDoNotFit)
{
    TkvMaskEditRegExprExMode mode;
    mode.SetMask("\\d\\d\\d\\d'-'\\d\\d'-'\\d\\d");
    TkvMaskEditText state;
    mode.Paste(state, "2024/01/05");
    EXPECT_EQ(test::RenderMaskState(state), "2024-01-05|");
}

TEST_F(RegExprModeTest, CaseInsensitiveTypingTakesThePatternSpelling)
{
    TkvMaskEditRegExprMode mode;
    mode.SetCaseInsensitive(true);
    mode.SetMask("'X'\\d");
    EXPECT_EQ(Type(mode, "x1"), "X1|");
    mode.SetCaseInsensitive(false);
    EXPECT_EQ(Type(mode, "x"), "|!");
}

TEST_F(RegExprModeTest, BadMaskRaisesAndKeepsTheOldOne)
{
    TkvMaskEditRegExprMode mode;
    mode.SetMask("\\d");
    try {
        mode.SetMask("(a");
        FAIL() << "no error";
    } catch (const EkvMaskEditError &error) {
        EXPECT_EQ(error.message(), "Regular expression errors:\r\nLine1, Char1: Missing ')'");
    }
    EXPECT_EQ(Type(mode, "a5"), "5|!");
}

} // namespace
