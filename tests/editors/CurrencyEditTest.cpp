// The currency edit: its display and edit texts under the pinned Chinese
// settings, the character filter, Null handling, the range and pasting.
#include "editors/CurrencyEdit.h"
#include "editors/CustomEdit.h"

#include <QTest>

#include <QApplication>
#include <QClipboard>

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class CurrencyEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TkvCustomEdit::SetBeepHandler([this] { ++FBeeps; });
        TkvCustomEdit::SetExceptionHandler(
            [this](const std::exception &error) { FErrors.push_back(error.what()); });
    }
    void TearDown() override
    {
        TkvCustomEdit::SetBeepHandler(nullptr);
        TkvCustomEdit::SetExceptionHandler(nullptr);
    }
    static void Type(TkvCustomEdit &edit, const QString &text)
    {
        for (QChar ch : text)
            QTest::keyClick(edit.InnerWidget(), ch.toLatin1());
    }
    static void Press(TkvCustomEdit &edit, Qt::Key key, Qt::KeyboardModifiers shift = Qt::NoModifier)
    {
        QTest::keyClick(edit.InnerWidget(), key, shift);
    }
    static std::string Shown(const TkvCustomEdit &edit) { return edit.DisplayText().toStdString(); }

    int FBeeps = 0;
    std::vector<std::string> FErrors;
};

TEST_F(CurrencyEditTest, AmountShowsThePatternUnfocusedAndTheBareNumberFocused)
{
    TkvCurrencyEdit edit;
    edit.SetValue(1234.5);
    EXPECT_EQ(Shown(edit), "￥1,234.50");
    edit.DoEnter();
    EXPECT_EQ(Shown(edit), "1234.5");
    edit.DoExit();
    edit.SetValue(-0.5);
    EXPECT_EQ(Shown(edit), "-￥0.50");
    // An assigned pattern wins over the locale's and is marked for storing,
    // also when it equals the pattern in force.
    EXPECT_FALSE(edit.Properties().IsDisplayFormatStored());
    edit.Properties().SetDisplayFormat(edit.Properties().DisplayFormat());
    EXPECT_TRUE(edit.Properties().IsDisplayFormatStored());
    edit.Properties().SetDisplayFormat("0.0");
    edit.SetValue(2.25);
    EXPECT_EQ(Shown(edit), "2.3");
    // Without a pattern the general format shows.
    edit.Properties().SetDisplayFormat(QString());
    edit.SetValue(1e20);
    EXPECT_EQ(Shown(edit), "1E20");
    // A value that is no number shows its own text.
    edit.SetEditValue(Variant(QStringLiteral("abc")));
    EXPECT_EQ(Shown(edit), "abc");
}

TEST_F(CurrencyEditTest, TypingKeepsTheTextANumberWithinTheDecimalPlaces)
{
    TkvCurrencyEdit edit;
    edit.DoEnter();
    Type(edit, "12,345");
    // The comma entered the decimal separator; the third decimal was refused.
    EXPECT_EQ(Shown(edit), "12.34");
    EXPECT_EQ(FBeeps, 1);
    Type(edit, "x.");
    EXPECT_EQ(Shown(edit), "12.34");
    EXPECT_EQ(FBeeps, 3);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), 12.34);
    EXPECT_EQ(edit.EditValue().type(), VarType::Float64);

    edit.SelectAll();
    Type(edit, "-");
    EXPECT_EQ(Shown(edit), "-");
    Type(edit, "5-");
    EXPECT_EQ(Shown(edit), "-5");
    EXPECT_EQ(FBeeps, 4);
    // A text that would not read as a number refuses the character.
    edit.SelectAll();
    Type(edit, "1.2E");
    EXPECT_EQ(Shown(edit), "1.2");
    EXPECT_EQ(FBeeps, 5);
}

TEST_F(CurrencyEditTest, ThousandsSeparatorMayBeTypedOnlyWhenSwitchedOn)
{
    TkvCurrencyEdit edit;
    edit.Properties().SetUseThousandSeparator(true);
    edit.Properties().SetDecimalPlaces(1);
    edit.DoEnter();
    Type(edit, "1,234.56");
    EXPECT_EQ(Shown(edit), "1,234.5");
    EXPECT_EQ(FBeeps, 1);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), 1234.5);
}

TEST_F(CurrencyEditTest, EmptyTextIsNullOrZeroAndTheNullStringReadsBackAsNull)
{
    TkvCurrencyEdit edit;
    edit.SetValue(7);
    edit.DoEnter();
    Press(edit, Qt::Key_Backspace); // the whole text was selected on entry
    edit.DoExit();
    EXPECT_TRUE(edit.EditValue().isNull());
    EXPECT_EQ(Shown(edit), "");

    edit.Properties().SetNullable(false);
    edit.SetValue(7);
    edit.DoEnter();
    Press(edit, Qt::Key_Backspace);
    edit.DoExit();
    EXPECT_EQ(edit.EditValue().type(), VarType::Currency);
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
    EXPECT_EQ(Shown(edit), "￥0.00");
    edit.SetEditValue(Variant::null());
    EXPECT_EQ(Shown(edit), "0");

    edit.Properties().SetNullable(true);
    edit.Properties().SetNullString("0");
    EXPECT_EQ(Shown(edit), "0");
    edit.SetValue(3);
    edit.DoEnter();
    Type(edit, "0");
    Press(edit, Qt::Key_Return);
    EXPECT_TRUE(edit.EditValue().isNull());
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
}

// Guards against a lone "-" that stores Null over the amount without a word.
TEST_F(CurrencyEditTest, ATextThatIsNoNumberIsRefusedAndTheValueStays)
{
    TkvCurrencyEdit edit;
    edit.SetValue(120.5);
    edit.DoEnter();
    Type(edit, "-"); // the whole text was selected on entry
    ASSERT_EQ(Shown(edit), "-");
    int key = Qt::Key_Return;
    try {
        edit.KeyDown(key, Qt::NoModifier);
        ADD_FAILURE() << "the text was taken";
    } catch (const EkvEditValidationError &error) {
        EXPECT_STREQ(error.what(), "Invalid input value. Use escape key to abandon changes");
    }
    EXPECT_DOUBLE_EQ(edit.Value(), 120.5);
    EXPECT_THROW(edit.DoExit(), EkvEditValidationError);
    EXPECT_DOUBLE_EQ(edit.Value(), 120.5);
    EXPECT_EQ(Shown(edit), "-");
}

TEST_F(CurrencyEditTest, RangeClampsTheValueAndRejectsATypedAmountOutside)
{
    TkvCurrencyEdit edit;
    edit.Properties().SetMinValue(0);
    edit.Properties().SetMaxValue(100);
    edit.SetValue(150);
    EXPECT_DOUBLE_EQ(edit.Value(), 100);
    edit.SetValue(-3);
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
    edit.DoEnter();
    Type(edit, "150");
    int key = Qt::Key_Return;
    EXPECT_THROW(edit.KeyDown(key, Qt::NoModifier), EkvEditValidationError);
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
    EXPECT_EQ(Shown(edit), "150");
}

TEST_F(CurrencyEditTest, PasteKeepsTheTextANumberAndTakesAnAmountAsDisplayed)
{
    TkvCurrencyEdit edit;
    edit.SetValue(5);
    edit.DoEnter();
    QApplication::clipboard()->setText("abc");
    Press(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Shown(edit), "5");
    EXPECT_FALSE(edit.HasPendingChange());

    // An amount copied from a display text, symbol and separators included.
    QApplication::clipboard()->setText(QString::fromUtf8("￥1,234.56"));
    edit.SelectAll();
    Press(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Shown(edit), "1234.56");
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), 1234.56);
    QApplication::clipboard()->setText(QString::fromUtf8("-￥2,000.00"));
    edit.SelectAll();
    Press(edit, Qt::Key_V, Qt::ControlModifier);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), -2000);
}

TEST_F(CurrencyEditTest, ValueOfAStringIsItsAmountOrZero)
{
    TkvCurrencyEdit edit;
    edit.SetEditValue(Variant(QStringLiteral("12.5")));
    EXPECT_DOUBLE_EQ(edit.Value(), 12.5);
    edit.SetEditValue(Variant(QStringLiteral("")));
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
    EXPECT_EQ(Shown(edit), "");
}

} // namespace
} // namespace kestrum::test
