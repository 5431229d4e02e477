#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "ui/ImageList.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
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

// A text box that takes every key it gets, as an editor on a page does.
class KeyEatingEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent *event) override { event->accept(); }
};

// Guards against Ctrl+Tab being swallowed by a control on a page that takes
// every key it gets (the editors' line edits and memo) instead of switching pages.
TEST_F(PqPageControlWidget, CtrlTabSwitchesPagesFromControlsThatEatEveryKey)
{
    auto *eating = new KeyEatingEdit(sheets[0]);
    auto *deepBox = new QWidget(sheets[1]);
    auto *deepEating = new KeyEatingEdit(deepBox);
    QTest::keyClick(eating, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 1);
    QTest::keyClick(deepEating, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 2);
    QTest::keyClick(edit, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(activeIndex(), 1);
    QTest::keyClick(deepEating, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(activeIndex(), 0);
    auto *memo = new QPlainTextEdit(sheets[0]);
    QTest::keyClick(memo, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 1);
    EXPECT_EQ(memo->toPlainText(), "") << "no tab typed";
}

// A control that claims Ctrl+Tab for itself keeps it.
class TabClaimingEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    int Pressed = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        return QLineEdit::event(event);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        ++Pressed;
        event->accept();
    }
};

TEST_F(PqPageControlWidget, CtrlTabStaysWithAControlThatClaimsIt)
{
    auto *claiming = new TabClaimingEdit(sheets[0]);
    QTest::keyClick(claiming, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(activeIndex(), 0);
    EXPECT_GT(claiming->Pressed, 0);
}

TEST_F(PqPageControlWidget, CtrlTabInANestedPageControlSwitchesOnlyItsPages)
{
    auto *inner = new TPqPageControl(sheets[0]);
    auto *first = new TPqTabSheet(inner);
    auto *second = new TPqTabSheet(inner);
    inner->SetActivePage(first);
    auto *innerEdit = new QPlainTextEdit(first);
    QTest::keyClick(innerEdit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(inner->ActivePage(), second);
    EXPECT_EQ(activeIndex(), 0);
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

TEST_F(PqPageControlWidget, ShowingAControlOnAHiddenSheetBringsTheSheetUp)
{
    // Deep inside the second sheet, added after the control was shown.
    auto *box = new QWidget(sheets[1]);
    auto *deep = new QLineEdit(box);
    deep->hide();
    deep->show();
    EXPECT_EQ(activeIndex(), 1);
    EXPECT_EQ(takeEvents(), "Changing(1) Change");
    EXPECT_TRUE(deep->isVisible());

    // A control moved onto the third sheet later is watched as well.
    auto *moved = new QLineEdit;
    moved->hide();
    moved->setParent(box);
    moved->setParent(sheets[2]);
    moved->show();
    EXPECT_EQ(activeIndex(), 2);

    // The page without a tab comes up without a tab, and without asking.
    takeEvents();
    auto *onHidden = new QLineEdit(sheets[3]);
    onHidden->hide();
    onHidden->show();
    EXPECT_EQ(activeIndex(), 3);
    EXPECT_EQ(control.TabIndex(), -1);
    EXPECT_EQ(takeEvents(), "");

    // Showing a control of the active sheet changes nothing.
    auto *here = new QLineEdit(sheets[3]);
    here->hide();
    here->show();
    EXPECT_EQ(activeIndex(), 3);
}

TEST_F(PqPageControlWidget, PartsOfControlsAndControlsOfAFormBeingBuiltDoNotSwitch)
{
    // A composite control shows its own parts (a grid its scroll bars).
    auto *composite = new QLineEdit(sheets[2]);
    auto *part = new QWidget(composite);
    part->hide();
    part->show();
    EXPECT_EQ(activeIndex(), 0);
    EXPECT_EQ(takeEvents(), "");

    // While the form is not up yet, every control is shown in turn.
    TPqPageControl building;
    auto *first = new TPqTabSheet(&building);
    auto *second = new TPqTabSheet(&building);
    building.SetActivePage(first);
    auto *onSecond = new QLineEdit(second);
    onSecond->hide();
    onSecond->show();
    EXPECT_EQ(building.ActivePage(), first);
}

TEST_F(PqPageControlWidget, ShowingARefusedSheetsControlKeepsThePage)
{
    control.OnChanging = [](TPqPageControl *, int, bool &allow) { allow = false; };
    auto *other = new QLineEdit(sheets[2]);
    other->hide();
    other->show();
    EXPECT_EQ(activeIndex(), 0);
    EXPECT_FALSE(sheets[2]->isVisible());
}

TEST_F(PqPageControlWidget, FocusingAControlOnAHiddenSheetBringsTheSheetUp)
{
    // Focus moves, with its focus-in events, only inside the active window.
    // Made active here directly, not asked of the platform, so that no
    // window manager or clock decides the outcome.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QApplication::setActiveWindow(&control);
    QT_WARNING_POP
    ASSERT_TRUE(control.isActiveWindow());
    auto *other = new QLineEdit(sheets[2]);
    other->setFocus();
    EXPECT_EQ(activeIndex(), 2);
    EXPECT_TRUE(other->isVisible());
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(control.TabIndex(), 2);
}

TEST_F(PqPageControlWidget, NestedPageControlsBothComeUp)
{
    auto *inner = new TPqPageControl(sheets[1]);
    auto *first = new TPqTabSheet(inner);
    auto *second = new TPqTabSheet(inner);
    first->SetCaption("A");
    second->SetCaption("B");
    inner->SetActivePage(first);
    EXPECT_EQ(activeIndex(), 0) << "the inner control switching its own pages is no request";
    auto *deep = new QLineEdit(second);
    deep->hide();
    deep->show();
    EXPECT_EQ(inner->ActivePage(), second);
    EXPECT_EQ(activeIndex(), 1);
    EXPECT_TRUE(deep->isVisible());
}

TEST_F(PqPageControlWidget, DisabledTabsAskForTheirCaptionColoursToo)
{
    sheets[1]->SetTabEnabled(false);
    QStringList asked;
    const QColor replaced(255, 0, 255);
    control.OnGetTextColor = [&](TPqPageControl *, int tab, TPqTextColorStyle style, QColor &color,
                                 bool &handled) {
        asked << QStringLiteral("%1:%2").arg(tab).arg(int(style));
        if (tab == 1 && style == tcsDisabledShadow) {
            color = replaced;
            handled = true;
        }
    };
    const QImage image = control.grab().toImage();
    asked.sort();
    EXPECT_EQ(asked.join(' '), QStringLiteral("0:%1 1:%2 1:%3 2:%4")
                                   .arg(int(tcsSelected))
                                   .arg(int(tcsDisabledHighlight))
                                   .arg(int(tcsDisabledShadow))
                                   .arg(int(tcsUnselected)));
    int painted = 0;
    const QRect tab = control.TabRect(1);
    for (int y = tab.top(); y <= tab.bottom(); ++y)
        for (int x = tab.left(); x <= tab.right(); ++x)
            painted += image.pixelColor(x, y) == replaced;
    EXPECT_GT(painted, 5) << "the replaced shadow colour draws the disabled caption";
}

// Plain colours so that every pixel tells which part painted it.
class PqTabShapePixels : public PqPageControlWidget {
protected:
    PqTabShapePixels()
    {
        control.SetHotTrack(false);
        control.ChangeLook([this](TPqTabLook &look) {
            look.FlatColor = outline;
            look.FlatColorAdjustment = 0;
            look.BackgroundColor = background;
            look.UseGradients = false;
            look.TabColors.Unselected = unselected;
            look.ShowFocusRect = false;
        });
    }

    const QColor outline{255, 0, 0};
    const QColor background{255, 255, 255};
    const QColor unselected{0, 255, 0};
};

TEST_F(PqTabShapePixels, OutlinesRunThroughTheTabsCornerPoints)
{
    const QImage image = control.grab().toImage();
    auto at = [&](int x, int y) { return image.pixelColor(x, y); };
    ASSERT_EQ(control.FixedDimension(), 22);

    // The last tab's slant, from (right - 22, top) down to (right, bottom),
    // where right = left + width and bottom = top + 22.
    const QRect last = control.TabRect(2);
    const int right = last.left() + last.width();
    EXPECT_EQ(at(right - 22, 0), outline);
    EXPECT_EQ(at(right - 21, 0), background);
    EXPECT_EQ(at(right - 23, 0), outline) << "the top edge runs up to the slant";
    EXPECT_EQ(at(right - 22, 1), unselected);
    EXPECT_EQ(at(right - 21, 1), outline);
    EXPECT_EQ(at(right - 20, 1), background);
    EXPECT_EQ(at(right - 1, 21), outline);
    EXPECT_EQ(at(right, 21), background);
    EXPECT_EQ(at(right, 22), outline) << "the foot stands on the card's frame";

    // The selected first tab's cut corner: (left, top + 2) to (left + 2, top).
    EXPECT_EQ(at(0, 2), outline);
    EXPECT_EQ(at(1, 1), outline);
    EXPECT_EQ(at(2, 0), outline);
    EXPECT_EQ(at(0, 0), background);
    EXPECT_EQ(at(1, 0), background);
    EXPECT_EQ(at(0, 1), background);

    // The card's frame is open under the selected tab, between its feet.
    const QRect first = control.TabRect(0);
    const int firstRight = first.left() + first.width();
    EXPECT_NE(at(firstRight - 3, 22), outline);
    EXPECT_EQ(at(firstRight + 1, 22), outline);
}

} // namespace
} // namespace kestrum
