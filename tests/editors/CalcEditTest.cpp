// The calculator edit: its character filter, the drop-down calculator
// working on the editor's text, and storing into a bound amount field.
#include "editors/CalcEdit.h"
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class CalcEditTest : public BoundEditorFixture {
protected:
    void SetUp() override
    {
        BoundEditorFixture::SetUp();
        TkvCustomEdit::SetBeepHandler([this] { ++FBeeps; });
    }
    void TearDown() override
    {
        TkvCustomEdit::SetBeepHandler(nullptr);
        BoundEditorFixture::TearDown();
    }
    //! Keys on the open calculator: characters, and "\n" for Enter.
    static void Calculate(TkvCustomCalcEdit &edit, const QString &keys)
    {
        for (QChar ch : keys) {
            if (ch == u'\n')
                edit.Calculator()->HandleKeyPress(Qt::Key_Return, Qt::NoModifier, "\r");
            else
                edit.Calculator()->HandleKeyPress(Qt::Key_unknown, Qt::NoModifier, QString(ch));
            edit.Calculator()->HandleKeyRelease(Qt::Key_unknown);
        }
    }

    int FBeeps = 0;
};

TEST_F(CalcEditTest, TypingKeepsToNumbersWithinThePrecision)
{
    TkvCalcEdit edit;
    edit.DoEnter();
    Type(edit, "1.2.3");
    EXPECT_EQ(edit.Text().toStdString(), "1.23");
    EXPECT_EQ(FBeeps, 1);
    Press(edit, Qt::Key_Escape);
    Type(edit, "1234567890123");
    Type(edit, "4");
    EXPECT_EQ(edit.Text().toStdString(), "1234567890123");
    EXPECT_EQ(FBeeps, 2);
    EXPECT_EQ(edit.Properties().EffectiveMaxLength(), 15);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), 1234567890123.0);
}

TEST_F(CalcEditTest, CalculatorWorksOnTheEditorTextAndClosingStoresNothing)
{
    TkvCalcEdit edit;
    edit.SetValue(100);
    edit.DoEnter();
    edit.DropDown();
    ASSERT_TRUE(edit.DroppedDown());
    Calculate(edit, "+5\n");
    EXPECT_FALSE(edit.DroppedDown());
    EXPECT_EQ(edit.Text().toStdString(), "105");
    EXPECT_TRUE(edit.HasPendingChange());
    EXPECT_DOUBLE_EQ(edit.Value(), 100);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(edit.Value(), 105);
}

TEST_F(CalcEditTest, EscClosesTheCalculatorAndAnErrorTextBecomesZero)
{
    TkvCalcEdit edit;
    edit.DoEnter();
    edit.DropDown();
    Calculate(edit, "5/0=");
    EXPECT_EQ(edit.Text().toStdString(), "错误");
    edit.Calculator()->HandleKeyPress(Qt::Key_Escape, Qt::NoModifier, QString());
    EXPECT_FALSE(edit.DroppedDown());
    EXPECT_EQ(edit.Text().toStdString(), "错误");
    edit.DropDown();
    EXPECT_EQ(edit.Text().toStdString(), "0");
    edit.CloseUp();
}

TEST_F(CalcEditTest, BoundEditorStoresTheResultOnlyOnEnter)
{
    TkvDBCalcEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("本次进帐"));
    edit.DoEnter();
    EXPECT_EQ(edit.Text().toStdString(), "120.5");
    edit.DropDown();
    Calculate(edit, "+5\n");
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 120.5);
    Press(edit, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 125.5);
    EXPECT_TRUE(FErrors.empty());
}

// Guards against a calculator error or a lone "-" that empties the stored amount without a word.
TEST_F(CalcEditTest, ATextThatIsNoNumberIsRefusedAndTheAmountStays)
{
    const char *const invalid = "Invalid input value. Use escape key to abandon changes";
    TkvDBCalcEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("本次进帐"));
    edit.DoEnter();
    edit.DropDown();
    Calculate(edit, "/0=");
    edit.CloseUp();
    ASSERT_EQ(edit.Text().toStdString(), "错误");
    Press(edit, Qt::Key_Return);
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], invalid);
    EXPECT_EQ(edit.Text().toStdString(), "错误");
    EXPECT_DOUBLE_EQ(Field("本次进帐").Value().toDouble(), 120.5);
    // Posting asks the editor for its text first, and fails with its error.
    EXPECT_THROW(FQuery->Post(), EkvEditValidationError);
    EXPECT_EQ(FQuery->State(), dsEdit);
    EXPECT_EQ(edit.Text().toStdString(), "错误");

    // A lone minus sign is no number either.
    Press(edit, Qt::Key_Escape);
    ASSERT_EQ(edit.Text().toStdString(), "120.5");
    edit.SelectAll();
    Type(edit, "-");
    ASSERT_EQ(edit.Text().toStdString(), "-");
    Press(edit, Qt::Key_Return);
    ASSERT_EQ(FErrors.size(), 2u);
    EXPECT_EQ(FErrors[1], invalid);
    EXPECT_THROW(edit.DoExit(), EkvEditValidationError); // leaving refuses it too
    EXPECT_THROW(FQuery->Post(), EkvEditValidationError);
    EXPECT_EQ(RawValue(FPath, "SELECT 本次进帐 FROM gain WHERE id = 1"), "120.5");

    // Once corrected, the post goes through.
    edit.SelectAll();
    Type(edit, "99");
    FQuery->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 本次进帐 FROM gain WHERE id = 1"), "99.0");
}

TEST_F(CalcEditTest, FocusChangesWithoutTypingFireNoChangeEvents)
{
    // Focused, the binding reads the amount as a number; unfocused, as the
    // field's text. The two stand for the same value.
    TkvDBCalcEdit edit;
    edit.DataBinding().SetDataSource(&FSource);
    edit.DataBinding().SetDataField(QString::fromUtf8("本次进帐"));
    int events = 0;
    edit.Properties().OnChange = [&](TkvCustomEdit *) { ++events; };
    edit.Properties().OnEditValueChanged = [&](TkvCustomEdit *) { ++events; };
    edit.DoEnter();
    edit.DoExit();
    edit.DoEnter();
    EXPECT_EQ(events, 0);
    Type(edit, "1");
    Press(edit, Qt::Key_Return);
    EXPECT_GT(events, 0);
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(CalcEditTest, AKeyOnADisplayThatIsNoNumberReportsTheConversionError)
{
    TkvCalcEdit edit;
    edit.DoEnter();
    Type(edit, "-");
    edit.DropDown();
    ASSERT_TRUE(edit.DroppedDown());
    // Through the widget's own key handling, as the keyboard reaches it.
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QCoreApplication::sendEvent(edit.Calculator(), &plus);
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_NE(FErrors[0].find("'-'"), std::string::npos);
    EXPECT_EQ(edit.Text().toStdString(), "-");
    EXPECT_EQ(edit.Calculator()->PressedKey(), cbNone);
    edit.CloseUp();

    edit.SetEditValue(Variant(QStringLiteral("错误")));
    EXPECT_THROW(edit.Value(), EVariantConversionError);
    edit.SetEditValue(Variant(QStringLiteral(" ")));
    EXPECT_DOUBLE_EQ(edit.Value(), 0);
}

} // namespace
} // namespace kestrum::test
