#include "app/BudgetChart.h"

#include "app/BudgetDialogModel.h"
#include "app/LedgerTotals.h"
#include "core/Utf8.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace kestrum {

namespace {

const QColor BudgetColor(210, 222, 238);
const QColor ActualColor(70, 120, 190);
const QColor OverColor(200, 30, 30);
constexpr int RowHeight = 22;
constexpr int Margin = 8;
constexpr int NameWidth = 72;
constexpr int FigureWidth = 150;

} // namespace

TBudgetChart::TBudgetChart(QWidget *parent) : QWidget(parent)
{
    // The chart sits under the totals boxes: without a budget it shrinks to its title and hint, so a
    // ledger without budgets keeps every other chart in view at the window's first size.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TBudgetChart::ShowMonth(TDbDriver *db, const TBudgetMonth &month)
{
    if (!db) {
        ShowHint(utf8("账本未打开"));
        return;
    }
    try {
        ShowOverview(TBudgetBook(*db).Overview(month));
    } catch (const std::exception &error) {
        ShowHint(utf8("无法统计预算：") + QString::fromUtf8(error.what()));
    }
}

void TBudgetChart::ShowOverview(const TBudgetOverview &overview)
{
    FTitle = overview.Month.Caption() + utf8(" 预算与实际");
    FBars.clear();
    for (const TBudgetLine &line : overview.Lines)
        if (line.Budget)
            FBars.push_back(line);
    // Over-budget items first, then by the size of their budget.
    std::stable_sort(FBars.begin(), FBars.end(), [](const TBudgetLine &a, const TBudgetLine &b) {
        if (a.Over() != b.Over())
            return a.Over();
        return *a.Budget > *b.Budget;
    });
    if (FBars.size() > std::size_t(MaxBars))
        FBars.resize(std::size_t(MaxBars));
    const std::optional<TBudgetCents> budget = overview.Budget();
    FFooterOver = overview.Over();
    if (!budget)
        FFooter = utf8("本月没有预算（录入 → 预算... 中设定）");
    else if (FFooterOver)
        FFooter = utf8("本月超支 ") + BudgetMoneyText(-overview.Left());
    else
        FFooter = utf8("本月还可花 ") + BudgetMoneyText(overview.Left());
    updateGeometry();
    update();
}

void TBudgetChart::ShowHint(const QString &hint)
{
    FTitle = utf8("预算与实际");
    FBars.clear();
    FFooter = hint;
    FFooterOver = false;
    updateGeometry();
    update();
}

QString TBudgetChart::BarsText() const
{
    QStringList bars;
    for (const TBudgetLine &line : FBars)
        bars.append((line.Item.isEmpty() ? NoItemName() : line.Item) + ' ' + BudgetAmountText(line.Actual) +
                    '/' + BudgetAmountText(*line.Budget) + (line.Over() ? QStringLiteral("!") : QString()));
    return bars.join(QStringLiteral(", "));
}

QSize TBudgetChart::sizeHint() const
{
    return {420, Margin * 2 + RowHeight * (2 + int(FBars.size()))};
}

QSize TBudgetChart::minimumSizeHint() const
{
    return {NameWidth + FigureWidth + 2 * Margin, sizeHint().height()};
}

void TBudgetChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = rect().adjusted(Margin, Margin, -Margin, -Margin);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(area.left(), area.top(), area.width(), RowHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, FTitle);
    painter.setFont(font());

    TBudgetCents largest = 1;
    for (const TBudgetLine &line : FBars)
        largest = std::max({largest, *line.Budget, line.Actual});
    const int barLeft = area.left() + NameWidth;
    const int barWidth = std::max(20, area.width() - NameWidth - FigureWidth);
    int top = area.top() + RowHeight;
    for (const TBudgetLine &line : FBars) {
        const QRect row(area.left(), top, area.width(), RowHeight);
        painter.setPen(line.Over() ? OverColor : palette().color(QPalette::WindowText));
        painter.drawText(QRect(row.left(), row.top(), NameWidth - 4, RowHeight),
                         Qt::AlignRight | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(line.Item.isEmpty() ? NoItemName() : line.Item,
                                                          Qt::ElideRight, NameWidth - 4));
        const auto length = [&](TBudgetCents amount) {
            return int(double(std::max<TBudgetCents>(amount, 0)) / double(largest) * barWidth);
        };
        painter.setPen(Qt::NoPen);
        painter.setBrush(BudgetColor);
        painter.drawRect(barLeft, row.top() + 3, length(*line.Budget), RowHeight - 6);
        painter.setBrush(line.Over() ? OverColor : ActualColor);
        painter.drawRect(barLeft, row.top() + 7, length(line.Actual), RowHeight - 14);
        // The budget's end stays visible over a longer spending bar.
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
        const int end = barLeft + length(*line.Budget);
        painter.drawLine(end, row.top() + 2, end, row.bottom() - 2);
        painter.setPen(line.Over() ? OverColor : palette().color(QPalette::WindowText));
        painter.drawText(QRect(barLeft + barWidth + 4, row.top(), FigureWidth - 4, RowHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         BudgetMoneyText(line.Actual) + QStringLiteral(" / ") +
                             BudgetMoneyText(*line.Budget));
        top += RowHeight;
    }
    painter.setPen(FFooterOver ? OverColor : palette().color(QPalette::WindowText));
    painter.setFont(bold);
    painter.drawText(QRect(area.left(), top + 2, area.width(), RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     FFooter);
}

} // namespace kestrum
