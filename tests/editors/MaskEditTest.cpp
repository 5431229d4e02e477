// The mask edit as the keyboard drives it: typing through the mode, the
// validation text, and a bad mask at assignment.
#include "editors/MaskEdit.h"
#include "EditorTestSupport.h"
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

class MaskEditTest : public testing::Test {
protected:
    void SetUp() override
    {
        TkvCustomEdit::SetExceptionHandler(
            [this](const std::exception &error) { FErrors.push_back(error.what()); });
        TkvCustomEdit::SetBeepHandler([this] { ++FBeeps; });
    }
    void TearDown() override
    {
        TkvCustomEdit::SetExceptionHandler(nullptr);
        TkvCustomEdit::SetBeepHandler(nullptr);
    }
    static void Type(TkvCustomEdit &edit, const QString &text)
    {
        for (QChar ch : text)
            QTest::keyClick(edit.InnerWidget(), ch.toLatin1());
    }

    std::vector<std::string> FErrors;
    int FBeeps = 0;
};

TEST_F(MaskEditTest, ExtendedRegExprMaskCompletesAndValidates)
{
    TkvMaskEdit edit;
    edit.Properties().SetMaskKind(emkRegExprEx);
    edit.Properties().SetEditMask("\\d\\d'-'\\d\\d");
    edit.Properties().SetBeepOnError(true);
    edit.DoEnter();
    Type(edit, "12");
    EXPECT_EQ(edit.Text().toStdString(), "12-");
    Type(edit, "x");
    EXPECT_EQ(FBeeps, 1);
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Backspace);
    EXPECT_EQ(edit.Text().toStdString(), "1");
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Return);
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], "The edit value is invalid");
    Type(edit, "234");
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Return);
    EXPECT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(edit.EditValue().toString().toStdString(), "12-34");
}

TEST_F(MaskEditTest, IgnoreMaskBlankAcceptsAnIncompleteText)
{
    TkvMaskEdit edit;
    edit.Properties().SetMaskKind(emkRegExpr);
    edit.Properties().SetEditMask("\\d\\d\\d");
    edit.Properties().SetIgnoreMaskBlank(true);
    edit.DoEnter();
    Type(edit, "1a");
    EXPECT_EQ(edit.Text().toStdString(), "1");
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Return);
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(edit.EditValue().toString().toStdString(), "1");
}

TEST_F(MaskEditTest, StandardMaskShowsBlanksAndSkipsLiterals)
{
    TkvMaskEdit edit;
    edit.Properties().SetEditMask("!99/99/9999;1;_");
    edit.DoEnter();
    EXPECT_EQ(edit.Text().toStdString(), "__-__-____");
    Type(edit, "12312006");
    EXPECT_EQ(edit.Text().toStdString(), "12-31-2006");
    QTest::keyClick(edit.InnerWidget(), Qt::Key_Return);
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(edit.EditValue().toString().toStdString(), "12-31-2006");
    edit.DoExit();
    EXPECT_EQ(edit.Text().toStdString(), "12-31-2006");
}

TEST_F(MaskEditTest, MaskThatDoesNotCompileRaisesAndKeepsTheOldOne)
{
    TkvMaskEdit edit;
    edit.Properties().SetMaskKind(emkRegExpr);
    edit.Properties().SetEditMask("\\d");
    try {
        edit.Properties().SetEditMask("[z-a]");
        FAIL() << "no error";
    } catch (const EkvMaskEditError &error) {
        EXPECT_EQ(error.message(),
                  "Regular expression errors:\r\nLine1, Char2: The starting character of the "
                  "subrange must be less than the finishing one");
    }
    EXPECT_EQ(edit.Properties().EditMask().toStdString(), "\\d");
    edit.DoEnter();
    Type(edit, "a7");
    EXPECT_EQ(edit.Text().toStdString(), "7");
}

} // namespace
} // namespace kestrum::test
