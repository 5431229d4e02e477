// The page control read by a screen reader: a list of page tabs named by
// their captions, the selected one marked, pressed to switch pages, and the
// tab reached with the arrow keys announced.
#include "pages/PqPageControlAccessible.h"
#include "pages/PqGroupBox.h"
#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"

#include <gtest/gtest.h>

#include "ui/AccessibleEvents.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace kestrum {
namespace {

QStringList &SeenEvents()
{
    static QStringList events;
    return events;
}

void RecordEvent(QAccessibleEvent &event)
{
    QAccessibleInterface *target = event.accessibleInterface();
    if (!target || target->role() != QAccessible::PageTab)
        return;
    if (event.type() == QAccessible::Focus)
        SeenEvents() << "Focus:" + target->text(QAccessible::Name);
    else if (event.type() == QAccessible::Selection)
        SeenEvents() << "Selection:" + target->text(QAccessible::Name);
}

class PqPageControlAccessibleTest : public testing::Test {
protected:
    PqPageControlAccessibleTest()
    {
        control.resize(600, 300);
        for (const char *caption : {"收入进帐", "消费记&帐", "统计", "隐藏"}) {
            auto *sheet = new TPqTabSheet(&control);
            sheet->SetCaption(QString::fromUtf8(caption));
            sheets.push_back(sheet);
        }
        sheets[1]->SetHint(QString::fromUtf8("支出"));
        sheets[3]->SetTabVisible(false);
        new QLineEdit(sheets[0]);
        control.SetActivePage(sheets[0]);
        control.show();
        SetAccessibilityEventHandler(RecordEvent);
        SeenEvents().clear();
    }
    ~PqPageControlAccessibleTest() override { SetAccessibilityEventHandler(nullptr); }

    QAccessibleInterface *TabList()
    {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&control);
        return accessible ? accessible->child(0) : nullptr;
    }

    TPqPageControl control;
    std::vector<TPqTabSheet *> sheets;
};

TEST_F(PqPageControlAccessibleTest, TabsAreAListOfPageTabsNamedByTheirCaptions)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&control);
    ASSERT_NE(accessible, nullptr);
    QAccessibleInterface *list = TabList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::PageTabList);
    EXPECT_EQ(accessible->indexOfChild(list), 0);
    // The hidden page has no tab; the sheets follow the list as children of their own.
    ASSERT_EQ(list->childCount(), 3);
    EXPECT_EQ(accessible->childCount(), 1 + 4);
    QStringList names;
    for (int index = 0; index < list->childCount(); ++index) {
        QAccessibleInterface *tab = list->child(index);
        EXPECT_EQ(tab->role(), QAccessible::PageTab);
        EXPECT_EQ(tab->parent(), list);
        EXPECT_EQ(list->indexOfChild(tab), index);
        names << tab->text(QAccessible::Name);
    }
    EXPECT_EQ(names.join(u'|'), QString::fromUtf8("收入进帐|消费记帐|统计"));
    EXPECT_EQ(list->child(1)->text(QAccessible::Description), QString::fromUtf8("支出"));
    EXPECT_EQ(list->child(1)->text(QAccessible::Accelerator), QString::fromUtf8("Alt+帐"));
    EXPECT_TRUE(list->child(0)->state().selected);
    EXPECT_FALSE(list->child(1)->state().selected);
    const QRect drawn = control.TabRect(2);
    EXPECT_EQ(list->child(2)->rect(), QRect(control.mapToGlobal(drawn.topLeft()), drawn.size()));
}

TEST_F(PqPageControlAccessibleTest, PressingATabShowsItsPageAndIsAnnounced)
{
    QAccessibleInterface *statistics = TabList()->child(2);
    ASSERT_NE(statistics->actionInterface(), nullptr);
    statistics->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(control.ActivePage(), sheets[2]);
    EXPECT_TRUE(statistics->state().selected);
    EXPECT_TRUE(SeenEvents().contains(QString::fromUtf8("Selection:统计")));

    SeenEvents().clear();
    control.setFocus();
    QApplication::processEvents();
    if (!control.hasFocus())
        GTEST_SKIP() << "no window activation on this platform";
    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, {});
    QApplication::sendEvent(&control, &left);
    EXPECT_TRUE(SeenEvents().contains(QString::fromUtf8("Focus:") +
                                      TabList()->child(control.TabIndex())->text(QAccessible::Name)));
    EXPECT_TRUE(TabList()->child(control.TabIndex())->state().focused);
}

} // namespace
} // namespace kestrum

namespace kestrum {
namespace {

TEST(PqGroupBoxAccessible, GroupBoxIsAGroupingNamedByItsCaption)
{
    TPqGroupBox box;
    box.SetCaption(QString::fromUtf8("收入&明细表"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Grouping);
    EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8("收入明细表"));
}

} // namespace
} // namespace kestrum
