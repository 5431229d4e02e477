// The memo's key rules: Enter is a new line (and may start editing the
// record), Tab moves on unless the memo wants tabs, Ctrl+A selects all.
#include "editors/Memo.h"
#include "EditorTestSupport.h"
#include "editors/DbTextEdit.h"

#include <QPlainTextEdit>

namespace kestrum::test {
namespace {

class MemoTest : public BoundEditorFixture {
protected:
    void SetUp() override
    {
        BoundEditorFixture::SetUp();
        FMemo.DataBinding().SetDataSource(&FSource);
        FMemo.DataBinding().SetDataField(QString::fromUtf8("备注"));
    }
    TkvDBMemo FMemo;
};

TEST_F(MemoTest, EnterMakesANewLineAndStartsEditingTheRecord)
{
    FMemo.DoEnter();
    EXPECT_FALSE(FMemo.Properties().AutoSelect());
    FMemo.InnerControl()->SetSelection(2, 0);
    Press(FMemo, Qt::Key_Return);
    EXPECT_EQ(FQuery->State(), dsEdit);
    Type(FMemo, "b");
    EXPECT_EQ(FMemo.Lines(), QStringList({QString::fromUtf8("七月"), QStringLiteral("b")}));
    FMemo.DoExit();
    FQuery->Post();
    EXPECT_EQ(RawValue(FPath, "SELECT 备注 FROM gain WHERE id = 1"), "七月\nb");
}

TEST_F(MemoTest, WithoutWantReturnsEnterIsNoText)
{
    FMemo.Properties().SetWantReturns(false);
    FMemo.DoEnter();
    Press(FMemo, Qt::Key_Return);
    EXPECT_EQ(FMemo.Text(), QString::fromUtf8("七月"));
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(MemoTest, TabMovesOnUnlessTheMemoWantsTabs)
{
    QWidget form;
    FMemo.setParent(&form);
    TkvDBTextEdit next(&form);
    FMemo.DoEnter();
    Press(FMemo, Qt::Key_Tab);
    EXPECT_FALSE(FMemo.Focused());
    EXPECT_EQ(FMemo.Text(), QString::fromUtf8("七月"));

    FMemo.Properties().SetWantTabs(true);
    FMemo.DoEnter();
    FMemo.InnerControl()->SetSelection(0, 0);
    Press(FMemo, Qt::Key_Tab);
    EXPECT_TRUE(FMemo.Focused());
    EXPECT_EQ(FMemo.Text(), QString::fromUtf8("\t七月"));
    EXPECT_EQ(FQuery->State(), dsEdit);
    FMemo.setParent(nullptr);
}

TEST_F(MemoTest, CtrlASelectsTheWholeText)
{
    FMemo.DoEnter();
    FMemo.InnerControl()->SetSelection(0, 0);
    Press(FMemo, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(FMemo.InnerControl()->SelLength(), FMemo.Text().size());
    EXPECT_EQ(FQuery->State(), dsBrowse);
}

TEST_F(MemoTest, ArrowKeysStayInTheMemo)
{
    int handedOn = 0;
    FMemo.OnHostKeyDown = [&](TkvCustomEdit *, int &, Qt::KeyboardModifiers) { ++handedOn; };
    FMemo.DoEnter();
    for (int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_Home})
        EXPECT_FALSE(Consumed(FMemo, key));
    EXPECT_EQ(handedOn, 0);
}

TEST_F(MemoTest, TextFieldWithoutSizeHasNoLimit)
{
    EXPECT_EQ(FMemo.Properties().EffectiveMaxLength(), 0);
    FMemo.Properties().SetMaxLength(3);
    FMemo.DoEnter();
    FMemo.InnerControl()->SetSelection(0, int(FMemo.Text().size()));
    Type(FMemo, "abcd");
    Press(FMemo, Qt::Key_Return);
    EXPECT_EQ(FMemo.Text(), QStringLiteral("abc"));
}

} // namespace
} // namespace kestrum::test

namespace kestrum::test {
namespace {

TEST(InplaceMemo, OffersKeysItHasNoUseForToTheHostExceptUpAndDown)
{
    QWidget site;
    TkvMemo memo(&site, true);
    memo.SetText(QStringLiteral("one"));
    std::string handed;
    memo.OnHostKeyDown = [&](TkvCustomEdit *, int &key, Qt::KeyboardModifiers) {
        handed += key == Qt::Key_F5     ? "F5 "
                  : key == Qt::Key_Up   ? "Up "
                  : key == Qt::Key_Left ? "Left "
                                        : "? ";
    };
    memo.ActivateInPlace();
    memo.InnerControl()->SetSelection(0, 0);
    QTest::keyClick(memo.InnerWidget(), Qt::Key_F5);
    QTest::keyClick(memo.InnerWidget(), Qt::Key_Up);   // the caret stays, but Up and Down are the memo's
    QTest::keyClick(memo.InnerWidget(), Qt::Key_Left); // at the start the caret cannot move
    QTest::keyClick(memo.InnerWidget(), Qt::Key_Right);
    EXPECT_EQ(handed, "F5 Left ");
    EXPECT_EQ(memo.InnerControl()->SelStart(), 1);
}

} // namespace
} // namespace kestrum::test
