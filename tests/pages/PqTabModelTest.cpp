#include "pages/PqTabModel.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <set>

namespace kestrum {
namespace {

// Records what the model asks of its control as one string.
class RecordingHost : public TPqTabControlHost {
public:
    void DoChanging(int newIndex, bool &allowChange) override
    {
        log << QStringLiteral("Changing(%1)").arg(newIndex);
        if (refused.count(newIndex))
            allowChange = false;
    }
    void DoChange() override { log << "Change"; }
    void DoTabClick() override { log << "TabClick"; }
    void TabSelected(int tabIndex) override { log << QStringLiteral("Show(%1)").arg(tabIndex); }
    void Invalidate(bool) override {}
    bool TakeFocus() override
    {
        log << "Focus";
        return canFocus;
    }
    void StartHotTrackTimer() override { timerRunning = true; }
    void StopHotTrackTimer() override { timerRunning = false; }

    QString take()
    {
        const QString text = log.join(' ');
        log.clear();
        return text;
    }

    QStringList log;
    std::set<int> refused;
    bool canFocus = true;
    bool timerRunning = false;
};

QSize measure(const QString &caption, bool)
{
    return QSize(int(caption.size()) * 13, 13);
}

class PqTabModel : public testing::Test {
protected:
    PqTabModel() : model(host)
    {
        model.SetTextMeasure(measure);
        model.Metrics().ImageSize = QSize(16, 16);
        model.SetControlSize(QSize(865, 500));
        model.SetTabs({entry("&Alpha", 0), entry("Beta", 1), entry("&Data", 3), entry("Omega", 4)});
        model.SetTabIndex(0);
        host.take();
    }

    static TPqTabEntry entry(const char *caption, int pageIndex, bool enabled = true)
    {
        TPqTabEntry tab;
        tab.Caption = QString::fromUtf8(caption);
        tab.ImageIndex = 0;
        tab.TabEnabled = enabled;
        tab.PageIndex = pageIndex;
        return tab;
    }

    QPoint centreOf(int tab) const { return model.TabRect(tab).center() + QPoint(-8, 4); }

    RecordingHost host;
    TPqTabControlModel model;
};

TEST_F(PqTabModel, ClickingAnotherTabAsksSwitchesAndReports)
{
    model.MouseDown(centreOf(1), true);
    EXPECT_EQ(host.take(), "Changing(1) Show(1) Change TabClick");
    EXPECT_EQ(model.TabIndex(), 1);
    model.CheckConsistency();
}

TEST_F(PqTabModel, ClickingTheSelectedTabOnlyTakesFocusAndReportsTheClick)
{
    model.MouseDown(centreOf(0), true);
    EXPECT_EQ(host.take(), "Focus Show(0) TabClick");
    host.canFocus = false;
    model.MouseDown(centreOf(0), true);
    EXPECT_EQ(host.take(), "Focus") << "a control that cannot take the focus stops there";
}

TEST_F(PqTabModel, RefusedOrDisabledTabLeavesTheSelection)
{
    host.refused = {2};
    model.MouseDown(centreOf(2), true);
    EXPECT_EQ(host.take(), "Changing(2)");
    EXPECT_EQ(model.TabIndex(), 0);

    model.SetTabs({entry("&Alpha", 0), entry("Beta", 1, false), entry("&Data", 3), entry("Omega", 4)});
    host.take();
    model.MouseDown(centreOf(1), true);
    EXPECT_EQ(host.take(), "");
    EXPECT_FALSE(model.SetTabIndex(1));
    EXPECT_EQ(model.TabIndex(), 0);

    model.Designing = true; // disabled tabs may be chosen while designing
    EXPECT_TRUE(model.SetTabIndex(1));
}

TEST_F(PqTabModel, IndexOutOfRangeClearsTheSelectionWithoutEvents)
{
    model.SetTabIndex(7);
    EXPECT_EQ(model.TabIndex(), -1);
    EXPECT_EQ(host.take(), "");
    model.SetTabIndex(-1);
    EXPECT_EQ(model.TabIndex(), -1);
}

TEST_F(PqTabModel, ArrowsWrapAndSkipTabsThatMayNotBeSelected)
{
    model.SetTabIndex(3);
    host.take();
    model.KeyDown(TPqTabKey::Next);
    EXPECT_EQ(host.take(), "Changing(0) Show(0) Change TabClick")
        << "Right on the last tab wraps to the first";

    host.refused = {1};
    model.KeyDown(TPqTabKey::Next);
    EXPECT_EQ(host.take(), "Changing(1) Changing(2) Show(2) Change TabClick");
    EXPECT_EQ(model.TabIndex(), 2);

    model.KeyDown(TPqTabKey::Previous);
    EXPECT_EQ(host.take(), "Changing(1) Changing(0) Show(0) Change TabClick");
}

TEST_F(PqTabModel, HomeAndEndStopAtTheCurrentTab)
{
    model.KeyDown(TPqTabKey::Home);
    EXPECT_EQ(host.take(), "") << "Home on the first tab does nothing";
    model.KeyDown(TPqTabKey::End);
    EXPECT_EQ(host.take(), "Changing(3) Show(3) Change TabClick");
    host.refused = {0, 1, 2};
    model.KeyDown(TPqTabKey::Home);
    EXPECT_EQ(host.take(), "Changing(0) Changing(1) Changing(2)");
    EXPECT_EQ(model.TabIndex(), 3);
}

TEST_F(PqTabModel, ReverseSequenceTurnsTheArrows)
{
    model.Metrics().TabSequence = tsReverse;
    model.KeyDown(TPqTabKey::Next);
    EXPECT_EQ(model.TabIndex(), 3);
    model.KeyDown(TPqTabKey::Previous);
    EXPECT_EQ(model.TabIndex(), 0);
}

TEST_F(PqTabModel, AcceleratorSelectsItsTabIgnoringCase)
{
    EXPECT_TRUE(model.Accelerator(QChar('d'), true));
    EXPECT_EQ(host.take(), "Focus Changing(2) Show(2) Change TabClick");
    EXPECT_FALSE(model.Accelerator(QChar('b'), true)) << "Beta has no accelerator";
    EXPECT_FALSE(model.Accelerator(QChar('a'), false)) << "a control that cannot focus ignores accelerators";
    EXPECT_EQ(model.TabIndex(), 2);
}

TEST_F(PqTabModel, SelectingAScrolledOutTabScrollsItIntoView)
{
    model.SetControlSize(QSize(250, 100));
    EXPECT_EQ(model.Layout().LastShown, 1);
    model.SetTabIndex(3);
    EXPECT_EQ(model.FirstShown(), 2);
    EXPECT_EQ(model.Layout().LastShown, 3);
    model.SetTabIndex(0);
    EXPECT_EQ(model.FirstShown(), 0);
    model.Scroll(1);
    EXPECT_EQ(model.FirstShown(), 1);
    model.Scroll(5);
    EXPECT_EQ(model.FirstShown(), 2) << "scrolling stops once the last tab is in view";
    model.CheckConsistency();
}

TEST_F(PqTabModel, RebuildKeepsTheSelectedPage)
{
    model.SetTabIndex(2); // page 3
    model.SetTabs({entry("&Alpha", 0), entry("&Data", 3), entry("Omega", 4)});
    EXPECT_EQ(model.TabIndex(), 1);
    model.SetTabs({entry("&Alpha", 0), entry("Omega", 4)});
    EXPECT_EQ(model.TabIndex(), -1);
    model.CheckConsistency();
}

TEST_F(PqTabModel, HotTabFollowsTheMouseAndClearsOffTheRow)
{
    model.MouseMove(centreOf(1));
    EXPECT_EQ(model.HotTab(), 1);
    EXPECT_TRUE(host.timerRunning);
    model.HotTrackTick(centreOf(1));
    EXPECT_EQ(model.HotTab(), 1);
    model.HotTrackTick(QPoint(600, 60));
    EXPECT_EQ(model.HotTab(), -1);
    EXPECT_FALSE(host.timerRunning);

    model.MouseMove(centreOf(2));
    model.MouseMove(QPoint(600, 5));
    EXPECT_EQ(model.HotTab(), -1) << "moving over no tab clears at once";

    model.HotTrack = false;
    model.MouseMove(centreOf(2));
    EXPECT_EQ(model.HotTab(), -1);
    model.TabHints = true;
    model.SetTabs({entry("&Alpha", 0)});
    TPqTabEntry hinted = entry("Hinted", 1);
    hinted.Hint = "the hint";
    model.SetTabs({entry("&Alpha", 0), hinted});
    model.MouseMove(centreOf(1));
    EXPECT_EQ(model.CurrentHint(), "the hint");
}

} // namespace
} // namespace kestrum
