// The clipboard operations of the editor core: what of a pasted text may be
// typed, and what a password or a read-only editor gives up to the clipboard.
#include "editors/EditClipboard.h"
#include "editors/TextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <gtest/gtest.h>

namespace kestrum {
namespace {

bool AnyChar(QChar)
{
    return true;
}

TEST(FilterTypableText, SingleLineTakesTheFirstLineWithoutControlCharacters)
{
    EXPECT_EQ(FilterTypableText(QStringLiteral("ab\tc\x01"
                                               "d\r\nsecond"),
                                false, AnyChar),
              QStringLiteral("abcd"));
    EXPECT_EQ(FilterTypableText(QStringLiteral("\nsecond"), false, AnyChar), QString());
    EXPECT_EQ(FilterTypableText(QStringLiteral("1a2,5"), false, [](QChar ch) { return ch.isDigit(); }),
              QStringLiteral("125"));
}

TEST(FilterTypableText, MultiLineKeepsLineBreaksAndTabsAsOneLineFeedEach)
{
    EXPECT_EQ(FilterTypableText(QStringLiteral("a\r\nb\rc\nd\te\x1f"), true, AnyChar),
              QStringLiteral("a\nb\nc\nd\te"));
}

class EditClipboardTest : public testing::Test {
protected:
    void SetUp() override { QApplication::clipboard()->setText(QStringLiteral("before")); }

    static void SelectAllOf(TkvTextEdit &edit, const QString &text)
    {
        edit.SetText(text);
        edit.DoEnter();
        edit.SelectAll();
    }
};

TEST_F(EditClipboardTest, APasswordNeverReachesTheClipboard)
{
    TkvTextEdit edit;
    edit.Properties().SetEchoMode(eemPassword);
    SelectAllOf(edit, QStringLiteral("secret"));
    edit.CopyToClipboard();
    edit.CutToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_EQ(edit.Text(), QStringLiteral("secret"));
}

TEST_F(EditClipboardTest, AReadOnlyEditorCopiesButNeitherCutsNorDeletes)
{
    TkvTextEdit edit;
    edit.Properties().SetReadOnly(true);
    SelectAllOf(edit, QStringLiteral("kept"));
    edit.CutToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    edit.ClearSelection();
    edit.PasteFromClipboard();
    EXPECT_EQ(edit.Text(), QStringLiteral("kept"));
    edit.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
}

TEST_F(EditClipboardTest, CutMovesTheSelectionToTheClipboardAsAUserChange)
{
    TkvTextEdit edit;
    SelectAllOf(edit, QStringLiteral("moved"));
    edit.CutToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("moved"));
    EXPECT_EQ(edit.Text(), QString());
    EXPECT_TRUE(edit.HasPendingChange());
    edit.PasteFromClipboard();
    EXPECT_EQ(edit.Text(), QStringLiteral("moved"));
}

} // namespace
} // namespace kestrum
