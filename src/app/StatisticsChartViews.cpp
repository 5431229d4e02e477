#include "app/StatisticsChartViews.h"
#include "app/AmountAxis.h"

#include "core/Utf8.h"

#include <QBarCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>
#include <QResizeEvent>
#include <QValueAxis>

#include <algorithm>

namespace kestrum {

namespace {

// Room around the chart's plot, and between the labels of two months.
constexpr qreal Margin = 6;
constexpr qreal LabelGap = 8;
// The share of its width a chart gives a legend at its side, and the frame
// the chart keeps inside its margins.
constexpr qreal LegendShare = 0.4;
constexpr qreal ChartFrame = 12;

} // namespace

TDonutChartView::TDonutChartView(QChart *chart, QWidget *parent) : THintedChartView(chart, parent)
{
    chart->legend()->setAlignment(Qt::AlignRight);
}

void TDonutChartView::resizeEvent(QResizeEvent *event)
{
    THintedChartView::resizeEvent(event);
    FitLegend();
}

void TDonutChartView::FitLegend()
{
    QPieSeries *donut = nullptr;
    for (QAbstractSeries *series : chart()->series())
        if ((donut = qobject_cast<QPieSeries *>(series)))
            break;
    if (!donut || donut->count() == 0)
        return;
    auto useLabels = [donut](const char *property) {
        for (QPieSlice *slice : donut->slices()) {
            const QString label = slice->property(property).toString();
            if (slice->label() != label)
                slice->setLabel(label);
        }
    };
    useLabels(FullLabelProperty);
    const QMargins margins = chart()->margins();
    const qreal room = LegendShare * (width() - margins.left() - margins.right() - 2 * ChartFrame);
    if (chart()->legend()->effectiveSizeHint(Qt::PreferredSize).width() > room)
        useLabels(ShortLabelProperty);
}

TMonthBarsView::TMonthBarsView(QChart *chart, QBarCategoryAxis *monthAxis, QValueAxis *amountAxis,
                               QWidget *parent)
    : THintedChartView(chart, parent), FMonthAxis(monthAxis), FAmountAxis(amountAxis)
{
    FMonthAxis->setTitleFont(FMonthAxis->labelsFont());
}

void TMonthBarsView::resizeEvent(QResizeEvent *event)
{
    THintedChartView::resizeEvent(event);
    FitMonthLabels();
    FitAmountTicks();
}

void TMonthBarsView::FitAmountTicks()
{
    // The plot's height is the view's less the title, the month labels, the
    // month axis's title and the legend, a line each, and the margins.
    const qreal line = QFontMetricsF(FAmountAxis->labelsFont()).height();
    const qreal plot = height() - 4 * line - 8 * Margin;
    // A label needs its own height and a little more between two ticks.
    const int fit = std::clamp(int(plot / (1.5 * line)) + 1, 2, MostAmountTicks);
    const TAmountAxisTicks ticks = NiceAmountTicks(FLowAmount, FHighAmount, fit);
    FAmountAxis->setRange(ticks.Low, ticks.High);
    FAmountAxis->setTickCount(ticks.Count);
}

void TMonthBarsView::SetAmountRange(double low, double high)
{
    FLowAmount = low;
    FHighAmount = high;
    FitAmountTicks();
}

void TMonthBarsView::FitMonthLabels()
{
    // The plot takes the width less the amount axis at the left; its labels
    // are at most "-000000" wide at the chart's font.
    const QFontMetricsF metrics(FMonthAxis->labelsFont());
    const qreal amountAxis = metrics.horizontalAdvance(QStringLiteral("-0000000")) + 4 * Margin;
    const qreal slot = (width() - amountAxis) / 12;
    const bool withUnit = slot >= metrics.horizontalAdvance(QStringLiteral("12") + utf8("月")) + LabelGap;
    QStringList labels;
    for (int month = 1; month <= 12; ++month)
        labels << (withUnit ? QString::number(month) + utf8("月") : QString::number(month));
    if (labels == FMonthAxis->categories())
        return;
    FMonthAxis->setCategories(labels);
    FMonthAxis->setTitleText(withUnit ? QString() : utf8("月"));
}

} // namespace kestrum
