// The navigator bar reached without a mouse: by the keyboard once it is a
// tab stop, and by a screen reader through its accessible buttons.
#include "navigator/NavigatorAccessible.h"
#include "navigator/Navigator.h"
#include "support/DbTestSupport.h"

#include "ui/AccessibleEvents.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QResizeEvent>
#include <QTest>

namespace kestrum::test {
namespace {

std::vector<int> &FocusedChildren()
{
    static std::vector<int> children;
    return children;
}

void RecordFocus(QAccessibleEvent &event)
{
    if (event.type() == QAccessible::Focus && dynamic_cast<TkvCustomNavigator *>(event.object()))
        FocusedChildren().push_back(event.child());
}

class NavigatorAccessibleTest : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(1, "2006-07-01", "a");
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        for (int index = 0; index < kvNavigatorButtonCount; ++index)
            FNavigator->Buttons().Button(index).SetVisible(index == nbInsert || index == nbDelete ||
                                                           index == nbPost || index == nbCancel);
        FNavigator->Buttons().Insert().SetHint(QString::fromUtf8("添加"));
        FNavigator->Buttons().Post().SetHint(QString::fromUtf8("保存"));
        FNavigator->ButtonsChanged();
        FNavigator->SetDataSource(&FSource);
        FNavigator->SetTabStop(true);
        FNavigator->setGeometry(10, 40, 178, 25);
        FBefore->setGeometry(10, 10, 100, 20);
        FForm.resize(300, 100);
        FForm.show();
        SetAccessibilityEventHandler(RecordFocus);
        FocusedChildren().clear();
    }
    void TearDown() override { SetAccessibilityEventHandler(nullptr); }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    QWidget FForm;
    QLineEdit *FBefore = new QLineEdit(&FForm);
    TkvDBNavigator *FNavigator = new TkvDBNavigator(&FForm);
};

TEST_F(NavigatorAccessibleTest, TabReachesTheBarAndKeysPressItsButtons)
{
    FBefore->setFocus();
    QTest::keyClick(FBefore, Qt::Key_Tab);
    ASSERT_EQ(FForm.focusWidget(), FNavigator) << "the navigator is the next tab stop";
    // The keyboard stands on the first visible button: Insert.
    EXPECT_EQ(FNavigator->ViewInfo().FocusedIndex(), nbInsert);
    QTest::keyClick(FNavigator, Qt::Key_Space);
    EXPECT_EQ(FQuery->State(), dsInsert);
    // Right twice: Delete, then Post; Enter presses it as Space does.
    QTest::keyClick(FNavigator, Qt::Key_Right);
    QTest::keyClick(FNavigator, Qt::Key_Right);
    EXPECT_EQ(FNavigator->ViewInfo().FocusedIndex(), nbPost);
    FQuery->FieldByName(QString::fromUtf8("进帐人"))->SetText(QStringLiteral("b"));
    QTest::keyClick(FNavigator, Qt::Key_Return);
    EXPECT_EQ(FQuery->State(), dsBrowse);
    EXPECT_EQ(FQuery->RecordCount(), 2);
}

TEST_F(NavigatorAccessibleTest, ReaderSeesButtonsNamedByTheirHintsAndPressesThem)
{
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(FNavigator);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::ToolBar);
    ASSERT_EQ(bar->childCount(), 4);
    QStringList names;
    for (int index = 0; index < bar->childCount(); ++index) {
        EXPECT_EQ(bar->child(index)->role(), QAccessible::PushButton);
        EXPECT_EQ(bar->indexOfChild(bar->child(index)), index);
        names << bar->child(index)->text(QAccessible::Name);
    }
    EXPECT_EQ(names.join(u'|'), QString::fromUtf8("添加|Delete record|保存|Cancel edit"));

    QAccessibleInterface *post = bar->child(2);
    EXPECT_TRUE(post->state().disabled);
    ASSERT_NE(post->actionInterface(), nullptr);
    post->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(FQuery->State(), dsBrowse) << "a disabled button is not pressed";

    QAccessibleInterface *insert = bar->child(0);
    EXPECT_FALSE(insert->state().disabled);
    EXPECT_EQ(insert->rect(),
              QRect(FNavigator->mapToGlobal(FNavigator->ViewInfo().ButtonBounds(nbInsert).topLeft()),
                    FNavigator->ViewInfo().ButtonBounds(nbInsert).size()));
    EXPECT_EQ(bar->childAt(insert->rect().center().x(), insert->rect().center().y()), insert);
    insert->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(FQuery->State(), dsInsert);
    EXPECT_FALSE(post->state().disabled);
}

TEST_F(NavigatorAccessibleTest, KeyboardMovesAreAnnouncedAsFocusOnTheButton)
{
    FNavigator->setFocus();
    QApplication::processEvents();
    if (!FNavigator->hasFocus())
        GTEST_SKIP() << "no window activation on this platform";
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(FNavigator);
    EXPECT_EQ(bar->focusChild(), bar->child(0));
    FocusedChildren().clear();
    QTest::keyClick(FNavigator, Qt::Key_Right);
    ASSERT_FALSE(FocusedChildren().empty());
    EXPECT_EQ(FocusedChildren().back(), 1);
    EXPECT_TRUE(bar->child(1)->state().focused);
    EXPECT_FALSE(bar->child(0)->state().focused);
}

} // namespace
} // namespace kestrum::test
