#pragma once
// The two kinds of chart view of the statistics page, each fitting its chart
// to the room it gets: a donut and the month bars shorten their labels before
// the chart would cut them.
#include "app/StatisticsCharts.h"

class QBarCategoryAxis;
class QValueAxis;

namespace kestrum {

//! A donut with its legend beside the ring. The chart gives a side legend at
//! most two fifths of its width and cuts longer texts short; where the full
//! labels (item, amount, share) would not fit there, the slices show item and
//! share only, and the amount stays in the hover text.
class TDonutChartView : public THintedChartView {
    Q_OBJECT
public:
    //! The slice properties holding the two forms of a label.
    static constexpr const char *FullLabelProperty = "kestrumFullLabel";
    static constexpr const char *ShortLabelProperty = "kestrumShortLabel";

    explicit TDonutChartView(QChart *chart, QWidget *parent = nullptr);
    //! Chooses the labels for the current width (again after the slices changed).
    void FitLegend();

protected:
    void resizeEvent(QResizeEvent *event) override;
};

//! The bars of twelve months. Their labels read "1月" to "12月"; where the
//! plot is too narrow for those, the numbers alone, with "月" as the axis
//! title, so that no month is cut or left out. The amount axis has as many
//! ticks as its labels have room for one above the other: the chart would
//! write "..." for labels that do not fit between two ticks.
class TMonthBarsView : public THintedChartView {
    Q_OBJECT
public:
    static constexpr int MostAmountTicks = 5;
    TMonthBarsView(QChart *chart, QBarCategoryAxis *monthAxis, QValueAxis *amountAxis,
                   QWidget *parent = nullptr);
    //! Chooses the month labels for the current width.
    void FitMonthLabels();
    //! The smallest and largest amount the bars and the line show.
    void SetAmountRange(double low, double high);
    //! Rounds the amount axis's range and chooses its ticks for the current
    //! height (again after the range changed).
    void FitAmountTicks();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QBarCategoryAxis *FMonthAxis;
    QValueAxis *FAmountAxis;
    // The amounts shown, before rounding: the axis's own range is already
    // rounded for the last height, and rounding that again only grows it.
    double FLowAmount = 0;
    double FHighAmount = 100;
};

} // namespace kestrum
