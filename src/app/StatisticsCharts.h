#pragma once
// The charts of the statistics page: income and expense per month of a year
// as bars with the surplus as a line, and the expense by item of a month and
// of the year as donuts. They only draw figures that TLedgerTotals summed;
// hovering shows an amount exactly, in the currency format, and a click on a
// month's bar is handed on as MonthClicked.
#include "app/LedgerTotals.h"

#include <QChartView>
#include <QString>
#include <QWidget>

#include <array>
#include <vector>

class QBarCategoryAxis;
class QGridLayout;
class QBarSeries;
class QBarSet;
class QChart;
class QLineSeries;
class QPieSeries;
class QPieSlice;
class QValueAxis;

namespace kestrum {

//! A chart view that writes a short hint across its plot, for a chart with
//! nothing to show.
class THintedChartView : public QChartView {
    Q_OBJECT
public:
    explicit THintedChartView(QChart *chart, QWidget *parent = nullptr);
    const QString &Hint() const { return FHint; }
    void SetHint(const QString &hint);
    //! The text of what the mouse is over ("" when nothing): shown as the
    //! tool tip at once and whenever a tool tip is asked for.
    const QString &HoverText() const { return FHoverText; }
    void SetHoverText(const QString &text);

protected:
    bool viewportEvent(QEvent *event) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    QString FHint;
    QString FHoverText;
};

//! How a chart uses the room of its cell: bars over twelve months want width,
//! a donut with its legend beside the ring stays close to its ring.
enum class TChartShape { Wide, Round };

//! The charts are cells of a grid that flows with the widget's size: one
//! column on a narrow page, more as the page widens, a wide chart taking a
//! whole row when the grid has a free cell. One more chart joins the page by
//! AddChart(view, shape) after the others; nothing else needs to change.
class TStatisticsCharts : public QWidget {
    Q_OBJECT
public:
    //! The least room a chart needs to stay readable (its axis labels and
    //! legend whole); below it the page scrolls.
    static constexpr QSize MinimumCellSize{300, 140};

    //! At most this many slices in a donut, the last one gathering the rest.
    static constexpr int DonutSlices = 6;

    explicit TStatisticsCharts(QWidget *parent = nullptr);

    //! Bars, line and the year's donut for year.
    void ShowYear(const TYearTotals &year);
    //! The donut of one month (1..12) of year.
    void ShowMonth(const TYearTotals &year, int month);
    //! Empty charts with a hint instead of figures (a picker text that names
    //! no year or month, a ledger that cannot be read).
    void ShowYearHint(const QString &hint);
    void ShowMonthHint(const QString &hint);

    //! The text a hover over a bar (set 0 income, 1 expense) of month index
    //! 0..11, or over a donut slice, shows.
    QString BarToolTip(int set, int monthIndex) const;
    QString SurplusToolTip(int monthIndex) const;
    static QString SliceToolTip(const QPieSlice *slice);

    //! Adds a chart after the others; the grid takes it into its flow.
    void AddChart(THintedChartView *view, TChartShape shape);
    //! The chart views in the order they are laid out.
    std::vector<THintedChartView *> Views() const;
    //! The number of columns the charts take in the given room: the one
    //! that gives every chart the most of the room it likes best.
    int ColumnsFor(QSize room) const;
    QSize minimumSizeHint() const override;
    QBarCategoryAxis *MonthAxis() const { return FMonthAxis; }

    THintedChartView *MonthlyView = nullptr;
    THintedChartView *MonthDonutView;
    THintedChartView *YearDonutView;
    QBarSet *IncomeSet;
    QBarSet *ExpenseSet;
    QBarSeries *MonthlyBars;
    QLineSeries *SurplusLine;
    QPieSeries *MonthDonut;
    QPieSeries *YearDonut;

signals:
    //! A month's bar was clicked; month is 1..12.
    void MonthClicked(int month);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct TChartCell {
        THintedChartView *View;
        TChartShape Shape;
    };
    void arrange(int columns);
    void clearMonthly();
    static void fillDonut(THintedChartView *view, QPieSeries *donut, const std::vector<TItemAmount> &items);

    QGridLayout *FLayout;
    std::vector<TChartCell> FCells;
    int FColumns = 0;
    QBarCategoryAxis *FMonthAxis;
    QValueAxis *FAmountAxis;
    //! The amounts behind the bars and the line, for the hover texts.
    std::array<TMonthAmounts, 12> FMonths{};
};

} // namespace kestrum
