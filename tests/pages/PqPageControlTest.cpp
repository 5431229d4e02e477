#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

namespace kestrum {
namespace {

// Four pages like the ledger's: the fourth keeps its tab hidden.
class PqPageControlWidget : public testing::Test {
protected:
    PqPageControlWidget()
    {
        QPixmap image(16, 16);
        image.fill(Qt::red);
        images.Add(image);
        control.SetImages(&images);
        control.resize(600, 300);
        for (const char *caption : {"Income", "Expense", "Statistics", "Settings"}) {
            auto *sheet = new TPqTabSheet(&control);
            sheet->SetCaption(QString::fromLatin1(caption));
            sheet->SetImageIndex(0);
            sheets.push_back(sheet);
        }
        sheets[3]->SetTabVisible(false);
        edit = new QLineEdit(sheets[0]);
        control.SetActivePage(sheets[0]);
        control.OnChanging = [this](TPqPageControl *, int newIndex, bool &) {
            events << QStringLiteral("Changing(%1)").arg(newIndex);
        };
        control.OnChange = [this](TPqPageControl *) { events << "Change"; };
        control.OnTabClick = [this](TPqPageControl *) { events << "TabClick"; };
        control.show();
    }

    int activeIndex() const { return control.ActivePage() ? control.ActivePage()->PageIndex() : -1; }

    void sendKey(QWidget *target, int key, Qt::KeyboardModifiers modifiers)
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &event);
    }

    QString takeEvents()
    {
        const QString text = events.join(' ');
        events.clear();
        return text;
    }

    TImageList images;
    TPqPageControl control;
    std::vector<TPqTabSheet *> sheets;
    QLineEdit *edit = nullptr;
    QStringList events;
};

TEST_F(PqPageControlWidget, HiddenTabLeavesThreeTabs)
{
    EXPECT_EQ(control.Model().TabCount(), 3);
    EXPECT_EQ(sheets[3]->TabIndex(), -1);
    EXPECT_EQ(sheets[2]->TabIndex(), 2);
    EXPECT_EQ(control.FixedDimension(), std::max(22, QFontMetrics(control.font()).height() + 6));
}

TEST_F(PqPageControlWidget, CtrlTabCyclesOverVisibleTabsOnly)
{
    QString visited;
    for (int i = 0; i < 4; ++i) {
        sendKey(edit, Qt::Key_Tab, Qt::ControlModifier); // unused by the edit, it reaches the control
        visited += QString::number(activeIndex());
    }
    EXPECT_EQ(visited, "1201");
    for (int i = 0; i < 3; ++i) {
        sendKey(&control, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        visited += QString::number(activeIndex());
    }
    EXPECT_EQ(visited, "1201021");
}

TEST_F(PqPageControlWidget, HiddenPageShownFromCodeSelectsNoTab)
{
    control.SetActivePage(sheets[3]);
    EXPECT_EQ(control.ActivePage(), sheets[3]);
    EXPECT_EQ(control.TabIndex(), -1);
    EXPECT_TRUE(sheets[3]->isVisible());
    EXPECT_FALSE(sheets[0]->isVisible());
    EXPECT_EQ(takeEvents(), "") << "a page without a tab is shown without asking";
    sendKey(&control, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 0) << "Ctrl+Tab wraps from the last page to the first";
}

TEST_F(PqPageControlWidget, OnlyTheActiveSheetIsVisibleAndFillsThePageArea)
{
    control.SetActivePage(sheets[2]);
    EXPECT_EQ(takeEvents(), "Changing(2) Change");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sheets[std::size_t(i)]->isVisible(), i == 2) << i;
    EXPECT_EQ(sheets[2]->geometry(), control.PageArea());
    control.resize(500, 200);
    EXPECT_EQ(sheets[2]->geometry(), control.PageArea());
}

TEST_F(PqPageControlWidget, RefusedChangeKeepsThePage)
{
    control.OnChanging = [](TPqPageControl *, int, bool &allow) { allow = false; };
    control.SetActivePage(sheets[1]);
    EXPECT_EQ(activeIndex(), 0);
    sendKey(&control, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 0);
}

TEST_F(PqPageControlWidget, MouseClickSwitchesAndClickOnSelectedOnlyFocuses)
{
    QTest::mouseClick(&control, Qt::LeftButton, {}, control.TabRect(1).center());
    EXPECT_EQ(activeIndex(), 1);
    EXPECT_EQ(takeEvents(), "Changing(1) Change TabClick");
    QTest::mouseClick(&control, Qt::LeftButton, {}, control.TabRect(1).center());
    EXPECT_EQ(takeEvents(), "TabClick");
}

TEST_F(PqPageControlWidget, ArrowKeysMoveBetweenTabs)
{
    control.setFocus();
    sendKey(&control, Qt::Key_Left, {});
    EXPECT_EQ(activeIndex(), 2) << "Left on the first tab wraps to the last visible one";
    EXPECT_EQ(takeEvents(), "Changing(2) Change TabClick");
}

TEST_F(PqPageControlWidget, HidingTheActiveTabKeepsThePageWithoutSelection)
{
    control.SetActivePage(sheets[1]);
    sheets[1]->SetTabVisible(false);
    EXPECT_EQ(control.ActivePage(), sheets[1]);
    EXPECT_EQ(control.TabIndex(), -1);
    sheets[1]->SetTabVisible(true);
    EXPECT_EQ(control.TabIndex(), 1);
}

TEST_F(PqPageControlWidget, MovingAPageReordersTheTabs)
{
    sheets[2]->SetPageIndex(0);
    EXPECT_EQ(control.Pages(0), sheets[2]);
    EXPECT_EQ(control.Model().Tabs()[0].Caption, "Statistics");
    EXPECT_EQ(control.TabIndex(), 1) << "the selection follows the active page";
}

TEST_F(PqPageControlWidget, PaintsTheSelectedTabsHighlightBar)
{
    const QImage image = control.grab().toImage();
    const QRect tab = control.TabRect(0);
    EXPECT_EQ(image.pixelColor(tab.center().x() - 10, tab.top() + 3), control.Look().TabColors.HighlightBar);
    EXPECT_NE(image.pixelColor(control.TabRect(1).center().x(), control.TabRect(1).top() + 3),
              control.Look().TabColors.HighlightBar);
}

TEST_F(PqPageControlWidget, LoadingAppliesTheDefaultPageAtTheEnd)
{
    control.BeginLoading();
    control.SetActivePage(sheets[1]);
    EXPECT_EQ(activeIndex(), 0) << "while loading the page is only stored";
    control.SetActivePageDefault(sheets[2]);
    control.EndLoading();
    EXPECT_EQ(activeIndex(), 2);
    EXPECT_EQ(control.TabIndex(), 2);
    EXPECT_FALSE(sheets[1]->isVisible());
}

TEST_F(PqPageControlWidget, DeletedSheetLeavesTheList)
{
    delete sheets[1];
    EXPECT_EQ(control.PageCount(), 3);
    EXPECT_EQ(control.Model().TabCount(), 2);
    EXPECT_EQ(control.ActivePage(), sheets[0]);
}

} // namespace
} // namespace kestrum
