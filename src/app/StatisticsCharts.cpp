#include "app/StatisticsCharts.h"

#include "app/StatisticsChartViews.h"

#include "core/Utf8.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QGridLayout>
#include <QHelpEvent>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>

namespace kestrum {

namespace {

const QColor IncomeColor(0x3a, 0x7b, 0xc8);
const QColor ExpenseColor(0xe0, 0x70, 0x38);
const QColor SurplusColor(0x2e, 0x8b, 0x57);
// One colour per slice in order of size; the gathered rest is grey.
const QColor SliceColors[] = {QColor(0xe0, 0x70, 0x38), QColor(0x3a, 0x7b, 0xc8), QColor(0x5a, 0xa8, 0x4e),
                              QColor(0xc9, 0x4a, 0x7a), QColor(0xd8, 0xb0, 0x2c), QColor(0x7b, 0x5e, 0xb8)};
const QColor OtherItemsColor(0x9a, 0x9a, 0x9a);

// The size a chart likes best: the bars' twelve months readable side by
// side, a donut's ring beside its legend.
constexpr QSize PreferredCellSize(520, 280);
constexpr int DonutMaximumWidth = 640;

const char *const CentsProperty = "kestrumCents";
const char *const ShareProperty = "kestrumShare";
const char *const ItemProperty = "kestrumItem";

double ChartValue(TCents amount)
{
    return CentsToDouble(amount);
}

QString MonthName(int monthIndex)
{
    return QString::number(monthIndex + 1) + utf8("月");
}

QString ShareText(double percent)
{
    return QString::number(percent, 'f', 1) + QLatin1Char('%');
}

QChart *MakeChart(const QFont &font)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    QFont titleFont = font;
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->setFont(font);
    return chart;
}

} // namespace

THintedChartView::THintedChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);
}

void THintedChartView::SetHint(const QString &hint)
{
    if (hint == FHint)
        return;
    FHint = hint;
    viewport()->update();
}

void THintedChartView::SetHoverText(const QString &text)
{
    FHoverText = text;
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), text, viewport());
}

bool THintedChartView::viewportEvent(QEvent *event)
{
    // The scene answers a tool tip request with its items' own tips, and
    // the chart items have none: it would hide the hovered amount.
    if (event->type() == QEvent::ToolTip) {
        if (FHoverText.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), FHoverText, viewport());
        return true;
    }
    return QChartView::viewportEvent(event);
}

void THintedChartView::drawForeground(QPainter *painter, const QRectF &rect)
{
    QChartView::drawForeground(painter, rect);
    if (FHint.isEmpty())
        return;
    painter->save();
    painter->setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    painter->setFont(font());
    const QRectF area = chart()->plotArea().isEmpty() ? sceneRect() : chart()->plotArea();
    painter->drawText(area, Qt::AlignCenter | Qt::TextWordWrap, FHint);
    painter->restore();
}

TStatisticsCharts::TStatisticsCharts(QWidget *parent) : QWidget(parent)
{
    const QFont chartFont = font();

    // Income and expense side by side per month, the surplus over them.
    QChart *monthly = MakeChart(chartFont);
    IncomeSet = new QBarSet(utf8("收入"));
    IncomeSet->setColor(IncomeColor);
    IncomeSet->setBorderColor(IncomeColor);
    ExpenseSet = new QBarSet(utf8("支出"));
    ExpenseSet->setColor(ExpenseColor);
    ExpenseSet->setBorderColor(ExpenseColor);
    for (int month = 0; month < 12; ++month) {
        IncomeSet->append(0);
        ExpenseSet->append(0);
    }
    MonthlyBars = new QBarSeries;
    MonthlyBars->append(IncomeSet);
    MonthlyBars->append(ExpenseSet);
    MonthlyBars->setBarWidth(0.75);
    SurplusLine = new QLineSeries;
    SurplusLine->setName(utf8("盈余"));
    QPen surplusPen(SurplusColor);
    surplusPen.setWidthF(2);
    SurplusLine->setPen(surplusPen);
    SurplusLine->setPointsVisible(true);
    monthly->addSeries(MonthlyBars);
    monthly->addSeries(SurplusLine);
    FMonthAxis = new QBarCategoryAxis;
    for (int month = 0; month < 12; ++month)
        FMonthAxis->append(MonthName(month));
    FMonthAxis->setLabelsFont(chartFont);
    FAmountAxis = new QValueAxis;
    FAmountAxis->setLabelFormat(QStringLiteral("%.0f"));
    FAmountAxis->setLabelsFont(chartFont);
    monthly->addAxis(FMonthAxis, Qt::AlignBottom);
    monthly->addAxis(FAmountAxis, Qt::AlignLeft);
    for (QAbstractSeries *series :
         {static_cast<QAbstractSeries *>(MonthlyBars), static_cast<QAbstractSeries *>(SurplusLine)}) {
        series->attachAxis(FMonthAxis);
        series->attachAxis(FAmountAxis);
    }
    monthly->legend()->setAlignment(Qt::AlignBottom);
    MonthlyView = new TMonthBarsView(monthly, FMonthAxis, FAmountAxis, this);

    auto makeDonut = [&](QPieSeries *&donut) {
        QChart *chart = MakeChart(chartFont);
        donut = new QPieSeries;
        donut->setHoleSize(0.5);
        donut->setPieSize(0.9);
        chart->addSeries(donut);
        // The slices' labels (item, amount, share) stand in the legend beside
        // the ring: outside the ring, labels of small slices overlap.
        return new TDonutChartView(chart, this);
    };
    MonthDonutView = makeDonut(MonthDonut);
    YearDonutView = makeDonut(YearDonut);

    FLayout = new QGridLayout(this);
    FLayout->setContentsMargins(0, 4, 0, 0);
    FLayout->setSpacing(4);
    AddChart(MonthlyView, TChartShape::Wide);
    AddChart(MonthDonutView, TChartShape::Round);
    AddChart(YearDonutView, TChartShape::Round);

    const std::pair<QBarSet *, int> sets[] = {{IncomeSet, 0}, {ExpenseSet, 1}};
    for (const auto &[set, index] : sets) {
        connect(set, &QBarSet::hovered, this, [this, index = index](bool status, int monthIndex) {
            MonthlyView->SetHoverText(status ? BarToolTip(index, monthIndex) : QString());
        });
        connect(set, &QBarSet::clicked, this, [this](int monthIndex) { emit MonthClicked(monthIndex + 1); });
    }
    connect(SurplusLine, &QLineSeries::hovered, this, [this](const QPointF &point, bool state) {
        MonthlyView->SetHoverText(state ? SurplusToolTip(std::clamp(qRound(point.x()), 0, 11)) : QString());
    });

    clearMonthly();
    ShowYearHint(QString());
    ShowMonthHint(QString());
}

QString TStatisticsCharts::BarToolTip(int set, int monthIndex) const
{
    if (monthIndex < 0 || monthIndex >= 12)
        return QString();
    const TMonthAmounts &month = FMonths[std::size_t(monthIndex)];
    return MonthName(monthIndex) + (set == 0 ? utf8(" 收入：") : utf8(" 支出：")) +
           CentsToCurrencyText(set == 0 ? month.Income : month.Expense);
}

QString TStatisticsCharts::SurplusToolTip(int monthIndex) const
{
    if (monthIndex < 0 || monthIndex >= 12)
        return QString();
    return MonthName(monthIndex) + utf8(" 盈余：") +
           CentsToCurrencyText(FMonths[std::size_t(monthIndex)].Surplus());
}

QString TStatisticsCharts::SliceToolTip(const QPieSlice *slice)
{
    return slice->property(ItemProperty).toString() + utf8("：") +
           CentsToCurrencyText(slice->property(CentsProperty).toLongLong()) + utf8("（") +
           ShareText(slice->property(ShareProperty).toDouble()) + utf8("）");
}

void TStatisticsCharts::AddChart(THintedChartView *view, TChartShape shape)
{
    view->setParent(this);
    view->setMinimumSize(MinimumCellSize);
    // Wider than this, a donut's legend would stand far off its ring.
    if (shape == TChartShape::Round)
        view->setMaximumWidth(DonutMaximumWidth);
    FCells.push_back({view, shape});
    arrange(ColumnsFor(size()));
    updateGeometry();
}

std::vector<THintedChartView *> TStatisticsCharts::Views() const
{
    std::vector<THintedChartView *> views;
    for (const TChartCell &cell : FCells)
        views.push_back(cell.View);
    return views;
}

int TStatisticsCharts::ColumnsFor(QSize room) const
{
    const int count = int(FCells.size());
    int best = 1;
    double bestScore = -1;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const double cellWidth = double(room.width() - (columns - 1) * FLayout->spacing()) / columns;
        const double cellHeight = double(room.height() - (rows - 1) * FLayout->spacing()) / rows;
        if (columns > 1 && cellWidth < MinimumCellSize.width())
            break;
        // How far the smaller side of a cell reaches toward the size a chart
        // likes; on a tie the fewer columns keep the bars wider.
        const double score =
            std::min(cellWidth / PreferredCellSize.width(), cellHeight / PreferredCellSize.height());
        if (score > bestScore + 1e-9) {
            bestScore = score;
            best = columns;
        }
    }
    return best;
}

QSize TStatisticsCharts::minimumSizeHint() const
{
    // One column is the narrowest arrangement; a shorter room scrolls.
    const int count = int(FCells.size());
    const QMargins margins = FLayout->contentsMargins();
    return QSize(MinimumCellSize.width() + margins.left() + margins.right(),
                 count * MinimumCellSize.height() + std::max(0, count - 1) * FLayout->spacing() +
                     margins.top() + margins.bottom());
}

void TStatisticsCharts::clearMonthly()
{
    FMonths = {};
    QList<QPointF> points;
    for (int month = 0; month < 12; ++month) {
        IncomeSet->replace(month, 0);
        ExpenseSet->replace(month, 0);
        points.append(QPointF(month, 0));
    }
    SurplusLine->replace(points);
    if (MonthlyView)
        static_cast<TMonthBarsView *>(MonthlyView)->SetAmountRange(0, 100);
    else
        FAmountAxis->setRange(0, 100);
}

void TStatisticsCharts::arrange(int columns)
{
    FColumns = columns;
    for (const TChartCell &cell : FCells)
        FLayout->removeWidget(cell.View);
    for (int i = 0; i < FLayout->rowCount(); ++i)
        FLayout->setRowStretch(i, 0);
    for (int i = 0; i < FLayout->columnCount(); ++i)
        FLayout->setColumnStretch(i, 0);
    const int count = int(FCells.size());
    const int rows = (count + columns - 1) / columns;
    // Cells the grid has to spare go to wide charts, each taking a whole row.
    int spare = rows * columns - count;
    int row = 0, column = 0;
    for (const TChartCell &cell : FCells) {
        const bool wholeRow =
            columns > 1 && cell.Shape == TChartShape::Wide && column == 0 && spare >= columns - 1;
        if (wholeRow) {
            FLayout->addWidget(cell.View, row, 0, 1, columns);
            spare -= columns - 1;
            ++row;
            continue;
        }
        FLayout->addWidget(cell.View, row, column);
        if (++column == columns) {
            column = 0;
            ++row;
        }
    }
    for (int i = 0; i < rows; ++i)
        FLayout->setRowStretch(i, 1);
    for (int i = 0; i < columns; ++i)
        FLayout->setColumnStretch(i, 1);
}

void TStatisticsCharts::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int columns = ColumnsFor(size());
    if (columns != FColumns)
        arrange(columns);
}

void TStatisticsCharts::ShowYear(const TYearTotals &year)
{
    FMonths = year.Months;
    QList<QPointF> points;
    double low = 0, high = 0;
    for (int month = 0; month < 12; ++month) {
        const TMonthAmounts &amounts = FMonths[std::size_t(month)];
        const double income = ChartValue(amounts.Income), expense = ChartValue(amounts.Expense),
                     surplus = ChartValue(amounts.Surplus());
        IncomeSet->replace(month, income);
        ExpenseSet->replace(month, expense);
        points.append(QPointF(month, surplus));
        low = std::min({low, income, expense, surplus});
        high = std::max({high, income, expense, surplus});
    }
    SurplusLine->replace(points);
    if (high - low < 1)
        high = low + 100;
    static_cast<TMonthBarsView *>(MonthlyView)->SetAmountRange(low, high);
    MonthlyView->chart()->setTitle(year.Year + utf8("年各月收支"));
    MonthlyView->SetHint(year.Empty ? utf8("这一年没有记账") : QString());

    YearDonutView->chart()->setTitle(year.Year + utf8("年支出构成"));
    fillDonut(YearDonutView, YearDonut, TopItems(year.ExpenseByItem, DonutSlices));
    YearDonutView->SetHint(YearDonut->count() == 0 ? utf8("这一年没有支出") : QString());
    static_cast<TDonutChartView *>(YearDonutView)->FitLegend();
}

void TStatisticsCharts::ShowMonth(const TYearTotals &year, int month)
{
    if (month < 1 || month > 12)
        return ShowMonthHint(utf8("没有这个月份"));
    MonthDonutView->chart()->setTitle(year.Year + utf8("年") + QString::number(month) + utf8("月支出构成"));
    fillDonut(MonthDonutView, MonthDonut,
              TopItems(year.MonthExpenseByItem[std::size_t(month - 1)], DonutSlices));
    MonthDonutView->SetHint(MonthDonut->count() == 0 ? utf8("这个月没有支出") : QString());
    static_cast<TDonutChartView *>(MonthDonutView)->FitLegend();
}

void TStatisticsCharts::ShowYearHint(const QString &hint)
{
    clearMonthly();
    MonthlyView->chart()->setTitle(utf8("各月收支"));
    MonthlyView->SetHint(hint);
    YearDonut->clear();
    YearDonutView->chart()->setTitle(utf8("年支出构成"));
    YearDonutView->SetHint(hint);
    static_cast<TDonutChartView *>(YearDonutView)->FitLegend();
}

void TStatisticsCharts::ShowMonthHint(const QString &hint)
{
    MonthDonut->clear();
    MonthDonutView->chart()->setTitle(utf8("月支出构成"));
    MonthDonutView->SetHint(hint);
    static_cast<TDonutChartView *>(MonthDonutView)->FitLegend();
}

void TStatisticsCharts::fillDonut(THintedChartView *view, QPieSeries *donut,
                                  const std::vector<TItemAmount> &items)
{
    donut->clear();
    TCents total = 0;
    for (const TItemAmount &item : items)
        total += item.Amount;
    const QFont labelFont = donut->chart() ? donut->chart()->legend()->font() : QFont();
    int colour = 0;
    for (const TItemAmount &item : items) {
        const double share = total > 0 ? 100.0 * double(item.Amount) / double(total) : 0;
        const QString fullLabel = item.Item + QLatin1Char(' ') + CentsToCurrencyText(item.Amount) +
                                  QLatin1Char(' ') + ShareText(share);
        auto *slice = new QPieSlice(fullLabel, ChartValue(item.Amount));
        slice->setProperty(TDonutChartView::FullLabelProperty, fullLabel);
        slice->setProperty(TDonutChartView::ShortLabelProperty,
                           item.Item + QLatin1Char(' ') + ShareText(share));
        slice->setProperty(CentsProperty, qlonglong(item.Amount));
        slice->setProperty(ShareProperty, share);
        slice->setProperty(ItemProperty, item.Item);
        const QColor color = item.Item == OtherItemsName() ? OtherItemsColor : SliceColors[colour++ % 6];
        slice->setColor(color);
        slice->setBorderColor(Qt::white);
        slice->setLabelFont(labelFont);
        QObject::connect(slice, &QPieSlice::hovered, view, [view, slice](bool state) {
            view->SetHoverText(state ? SliceToolTip(slice) : QString());
        });
        donut->append(slice);
    }
}

} // namespace kestrum
