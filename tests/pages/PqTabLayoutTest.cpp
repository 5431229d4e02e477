#include "pages/PqTabLayout.h"

#include "core/Errors.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace kestrum {
namespace {

// 13 pixels per character and a 13-pixel line, like the ledger's font.
QSize measure(const QString &caption, bool bold)
{
    return QSize(int(caption.size()) * (bold ? 14 : 13), 13);
}

TPqTabMetrics ledgerMetrics()
{
    TPqTabMetrics metrics;
    metrics.ImageSize = QSize(16, 16);
    return metrics;
}

std::vector<TPqTabGeometryInput> ledgerTabs()
{
    return {{QString::fromUtf8("收入进帐"), true},
            {QString::fromUtf8("消费记账"), true},
            {QString::fromUtf8("综合统计"), true}};
}

QString rects(const TPqTabRowLayout &layout)
{
    QStringList parts;
    for (const QRect &rect : layout.TabRects)
        parts << (rect.isNull() ? QStringLiteral("-")
                                : QStringLiteral("%1+%2").arg(rect.x()).arg(rect.width()));
    return parts.join(' ');
}

TEST(PqTabLayout, LedgerTabsAre22HighAndOverlapByTen)
{
    const TPqTabRowLayout layout = PqLayoutTabRow(ledgerMetrics(), ledgerTabs(), measure, QSize(865, 500), 0);
    EXPECT_EQ(layout.FixedDimension, 22);
    // content 2 + 16 + 52 = 70; width 2 * 11 + 70 + 2 + 0 + 4 = 98; next starts 98 - 11 + 1 later
    EXPECT_EQ(rects(layout), "0+98 88+98 176+98");
    EXPECT_FALSE(layout.ScrollerVisible);
    EXPECT_EQ(layout.LastShown, 2);
}

TEST(PqTabLayout, OuterSizeFollowsTheStyle)
{
    struct Case {
        TPqTabStyle style;
        int tabHeight;
        QSize expected;
    };
    const Case cases[] = {
        {tsSingleSlant, 0, QSize(2 * 13 + 40 + 2 + 4, 26)},
        {tsSingleSlant, 30, QSize(2 * 13 + 40 + 2 + 15 + 4, 30)},
        {tsDoubleSlant, 0, QSize(2 * 22 + 40 + 2 + 4, 26)},
        {tsCutCorner, 0, QSize(40 + 12 + 8, 27)},
        {tsRoundCorners, 0, QSize(56, 26)},
    };
    for (const Case &c : cases) {
        TPqTabMetrics metrics;
        metrics.TabStyle = c.style;
        metrics.TabHeight = c.tabHeight;
        EXPECT_EQ(PqTabOuterSize(metrics, QSize(40, 20)), c.expected) << c.style;
    }
}

TEST(PqTabLayout, ContentCombinesImageAndCaptionByPosition)
{
    TPqTabMetrics metrics = ledgerMetrics();
    const TPqTabGeometryInput tab{QStringLiteral("abcd"), true};
    const std::pair<TPqImagePosition, QSize> cases[] = {
        {ipLeft, QSize(2 + 16 + 52, 16)}, {ipRight, QSize(70, 16)},   {ipTop, QSize(52, 2 + 16 + 13)},
        {ipBack, QSize(52, 16)},          {ipStretch, QSize(52, 13)},
    };
    for (const auto &[position, expected] : cases) {
        metrics.ImagePosition = position;
        EXPECT_EQ(PqTabContentSize(metrics, tab, measure), expected) << position;
    }
    // A tab without an image is its caption alone.
    metrics.ImagePosition = ipLeft;
    EXPECT_EQ(PqTabContentSize(metrics, {QStringLiteral("abcd"), false}, measure), QSize(52, 13));
}

TEST(PqTabLayout, EmptyCaptionKeepsAMinimumTab)
{
    TPqTabMetrics metrics;
    EXPECT_EQ(PqTabContentSize(metrics, {QString(), false}, measure), QSize(13, 13));
    metrics.TabStyle = tsRoundCorners;
    EXPECT_EQ(PqTabContentSize(metrics, {QString(), false}, measure), QSize(39, 13));
    metrics.TabWidth = 50; // a fixed size drops the minimum
    EXPECT_EQ(PqTabContentSize(metrics, {QString(), false}, measure), QSize(0, 13));
}

TEST(PqTabLayout, NarrowRowShowsTheScrollerAndStopsAtTheLastWholeTab)
{
    const TPqTabRowLayout layout = PqLayoutTabRow(ledgerMetrics(), ledgerTabs(), measure, QSize(250, 100), 0);
    EXPECT_TRUE(layout.ScrollerVisible);
    // 250 - 34 leaves 216 for the tabs: the second ends at 186, the third at 274.
    EXPECT_EQ(layout.LastShown, 1);
    EXPECT_EQ(layout.ScrollerRect, QRect(218, 3, 32, 16));

    const TPqTabRowLayout scrolled =
        PqLayoutTabRow(ledgerMetrics(), ledgerTabs(), measure, QSize(250, 100), 1);
    EXPECT_EQ(rects(scrolled), "- 0+98 88+98");
    EXPECT_EQ(scrolled.LastShown, 2);
    EXPECT_TRUE(scrolled.ScrollerVisible) << "scrolled-out tabs must stay reachable";
}

TEST(PqTabLayout, ReverseSequenceMirrorsFromTheRight)
{
    TPqTabMetrics metrics = ledgerMetrics();
    metrics.TabSequence = tsReverse;
    const TPqTabRowLayout layout = PqLayoutTabRow(metrics, ledgerTabs(), measure, QSize(400, 100), 0);
    EXPECT_EQ(rects(layout), "302+98 214+98 126+98");
}

TEST(PqTabLayout, TabWiderThanTheRowIsCut)
{
    const TPqTabRowLayout layout =
        PqLayoutTabRow(ledgerMetrics(), {{QString(40, QChar('x')), false}}, measure, QSize(200, 100), 0);
    EXPECT_EQ(layout.TabRects[0].width(), 200 - 34);
    EXPECT_EQ(layout.LastShown, 0);
}

TEST(PqTabLayout, PageAreaLeavesFrameAndShadow)
{
    TPqTabMetrics metrics = ledgerMetrics();
    EXPECT_EQ(PqPageArea(metrics, QSize(865, 500), 22), QRect(1, 23, 862, 475));
    metrics.ShowShadow = false;
    EXPECT_EQ(PqPageArea(metrics, QSize(865, 500), 22), QRect(1, 23, 863, 476));
    metrics.ShowCardFrame = false;
    EXPECT_EQ(PqPageArea(metrics, QSize(865, 500), 22), QRect(0, 22, 865, 478));
}

TEST(PqTabLayout, ShapesHaveTheirStylesPointCounts)
{
    const QRect rect(10, 0, 98, 22);
    // Right and bottom are left + width and top + height: (10, 0, 108, 22).
    EXPECT_EQ(PqTabShape(tsSingleSlant, toTop, rect, false, 6),
              QPolygon({QPoint(10, 22), QPoint(10, 2), QPoint(12, 0), QPoint(108 - 22, 0), QPoint(108, 22)}));
    EXPECT_EQ(PqTabShape(tsDoubleSlant, toTop, rect, false, 6),
              QPolygon({QPoint(10, 22), QPoint(10 + 22, 0), QPoint(108 - 22, 0), QPoint(108, 22)}));
    EXPECT_EQ(PqTabShape(tsCutCorner, toTop, rect, false, 6),
              QPolygon({QPoint(10, 22), QPoint(10, 0), QPoint(108 - 6, 0), QPoint(108, 6), QPoint(108, 22)}));
    EXPECT_EQ(PqTabShape(tsRoundCorners, toTop, rect, false, 6),
              QPolygon({QPoint(10, 22), QPoint(10, 2), QPoint(12, 0), QPoint(106, 0), QPoint(108, 2),
                        QPoint(108, 22)}));
    // A selected round tab grows by two pixels to the sides and upwards.
    EXPECT_EQ(PqTabShape(tsRoundCorners, toTop, rect, true, 6).boundingRect(), QRect(8, -2, 103, 25));
    // Bottom tabs stand on the card with their foot at the top.
    EXPECT_EQ(PqTabShape(tsSingleSlant, toBottom, QRect(10, 100, 98, 22), false, 6).first(), QPoint(10, 99));
    EXPECT_THROW(PqCheckTabShape(tsDoubleSlant, QPolygon({QPoint(0, 0)})), Exception);
}

TEST(PqTabLayout, HitTestPrefersTheSelectedThenTheEarlierTab)
{
    const TPqTabMetrics metrics = ledgerMetrics();
    const TPqTabRowLayout layout = PqLayoutTabRow(metrics, ledgerTabs(), measure, QSize(865, 500), 0);
    const QPoint overlapFoot(93, 20); // inside the foot of both the first and the second tab
    EXPECT_EQ(PqTabAt(metrics, layout, -1, overlapFoot), 0);
    EXPECT_EQ(PqTabAt(metrics, layout, 1, overlapFoot), 1);
    EXPECT_EQ(PqTabAt(metrics, layout, 0, QPoint(93, 3)), 1)
        << "the first tab's slant ends before x = 93 up here";
    EXPECT_EQ(PqTabAt(metrics, layout, 0, QPoint(400, 10)), -1);
    EXPECT_EQ(PqTabAt(metrics, layout, 0, QPoint(50, 30)), -1) << "below the row is the card";
}

} // namespace
} // namespace kestrum
