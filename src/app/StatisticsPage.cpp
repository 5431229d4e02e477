#include "app/StatisticsPage.h"

#include "app/BudgetChart.h"
#include "app/StatisticsCharts.h"
#include "app/StatisticsText.h"
#include "core/Utf8.h"
#include "db/DbConnection.h"
#include "pages/PqGroupBox.h"
#include "ui/ErrorBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include <tuple>

namespace kestrum {

namespace {

const int GroupBoxHeight = 150;
// The widest total a value label makes room for, so that a result does not
// move the charts beside the boxes.
const char *const WidestValue = "-00,000,000,000.00";
// A year typed into a picker is summed once the typing pauses.
const int ChartRefreshDelay = 250;
// Years whose chart figures are kept until the ledger changes: the year box's
// and the month box's.
const std::size_t CachedYears = 2;

const char *const IncomeNames[] = {"a", "b"};
const char *const ExpenseNames[] = {"c", "d"};

QLabel *makeLabel(const char *text, QWidget *parent, bool bold = false)
{
    auto *label = new QLabel(utf8(text), parent);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QComboBox *makeYearPicker(QWidget *parent)
{
    auto *picker = new QComboBox(parent);
    picker->setEditable(true);
    // 2012 to 2014 were never in the list; any year may still be typed.
    picker->addItems({"2005", "2006", "2007", "2008", "2009", "2010", "2011", "2015", "2016"});
    picker->setCurrentText("2005");
    picker->setMinimumContentsLength(4);
    return picker;
}

TPqGroupBox *makeBox(const char *caption, QWidget *parent)
{
    auto *box = new TPqGroupBox(parent);
    box->SetCaption(utf8(caption));
    box->setFixedHeight(GroupBoxHeight);
    return box;
}

//! The labels of a box's three result rows, in the order income caption,
//! income, expense caption, expense, surplus caption, surplus.
using TResultLabels = std::tuple<QLabel *&, QLabel *&, QLabel *&, QLabel *&, QLabel *&, QLabel *&>;

//! Lays out a box: the line that ends with its button, and under it the
//! result rows, made here, with the caption labels right-aligned to a common
//! edge and the values starting just right of it.
void layOutBox(TPqGroupBox *box, std::initializer_list<QWidget *> sentence, QPushButton *button,
               const char *incomeCaption, TResultLabels labels)
{
    auto &[incomeLabel, income, expenseLabel, expense, surplusLabel, surplus] = labels;
    incomeLabel = makeLabel(incomeCaption, box);
    income = makeLabel("", box);
    expenseLabel = makeLabel("总共出账(消费):", box);
    expense = makeLabel("", box);
    surplusLabel = makeLabel("盈余:", box, true);
    surplus = makeLabel("", box, true);

    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(16, 4, 16, 4);
    auto *line = new QHBoxLayout;
    for (QWidget *widget : sentence)
        line->addWidget(widget);
    if (sentence.size() > 0)
        line->addSpacing(12);
    line->addWidget(button);
    line->addStretch(1);
    grid->addLayout(line, 0, 0, 1, 3);
    int row = 1;
    for (const auto &[caption, value] : {std::pair(incomeLabel, income), std::pair(expenseLabel, expense),
                                         std::pair(surplusLabel, surplus)}) {
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QLatin1StringView(WidestValue)));
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
}

} // namespace

TStatisticsPage::TStatisticsPage(TDbQuery *query, QWidget *parent)
    : QWidget(parent), FQuery(query), FLabelTotals(*query)
{
    auto *outerLayout = new QVBoxLayout(this);
    outerLayout->setContentsMargins(0, 0, 0, 0);
    ScrollArea = new QScrollArea(this);
    ScrollArea->setFrameShape(QFrame::NoFrame);
    ScrollArea->setWidgetResizable(true);
    outerLayout->addWidget(ScrollArea);
    auto *content = new QWidget(ScrollArea);
    ScrollArea->setWidget(content);
    FContentLayout = new QGridLayout(content);
    FContentLayout->setContentsMargins(0, 0, 0, 0);
    FContentLayout->setSpacing(4);
    auto *boxColumn = new QVBoxLayout;
    boxColumn->setContentsMargins(0, 0, 0, 0);
    boxColumn->setSpacing(0);

    // All time
    PqGroupBox6 = makeBox("总账统计", content);
    Button3 = new QPushButton(utf8("开始计算"), PqGroupBox6);
    layOutBox(PqGroupBox6, {}, Button3,
              "您自使用本软件以来,总共入账(收入):", {Label9, l1, Label10, l2, Label11, l3});

    // One month: "察看 [year] 年 [month] 月的记账 [确定]"
    PqGroupBox7 = makeBox("月统计", content);
    Label12 = makeLabel("察看", PqGroupBox7);
    ComboBox1 = makeYearPicker(PqGroupBox7);
    Label13 = makeLabel("年", PqGroupBox7);
    ComboBox2 = new QComboBox(PqGroupBox7);
    ComboBox2->setEditable(true);
    for (int month = 1; month <= 12; ++month)
        ComboBox2->addItem(QString::number(month));
    ComboBox2->setCurrentText("7");
    Label14 = makeLabel("月的记账", PqGroupBox7);
    Button1 = new QPushButton(utf8("确定"), PqGroupBox7);
    layOutBox(PqGroupBox7, {Label12, ComboBox1, Label13, ComboBox2, Label14}, Button1,
              "本月总共入账(收入):", {Label15, m1, Label16, m2, Label17, m3});

    // One year: "察看 [year] 年 的记账 [确定]"
    PqGroupBox5 = makeBox("年统计", content);
    Label18 = makeLabel("察看", PqGroupBox5);
    ComboBox3 = makeYearPicker(PqGroupBox5);
    Label19 = makeLabel("年", PqGroupBox5);
    Label20 = makeLabel("的记账", PqGroupBox5);
    Button2 = new QPushButton(utf8("确定"), PqGroupBox5);
    layOutBox(PqGroupBox5, {Label18, ComboBox3, Label19, Label20}, Button2,
              "本年总共入账(收入):", {Label21, y1, Label22, y2, Label23, y3});

    Charts = new TStatisticsCharts(content);

    // The boxes share the width the widest of them asks for.
    int boxWidth = 0;
    for (TPqGroupBox *box : {PqGroupBox6, PqGroupBox7, PqGroupBox5})
        boxWidth = std::max(boxWidth, box->sizeHint().width());
    for (TPqGroupBox *box : {PqGroupBox6, PqGroupBox7, PqGroupBox5}) {
        box->setFixedWidth(boxWidth);
        boxColumn->addWidget(box);
    }
    boxColumn->addWidget(BudgetChart = new TBudgetChart(content));
    boxColumn->addStretch(1);
    FContentLayout->addLayout(boxColumn, 0, 0);
    placeCharts(ChartPlace::Beside);

    FBoxes = {
        {{"select sum(本次进帐) as l1 from gain", "select sum(消费金额) as l2 from expen", {}, l1, l2, l3},
         {"select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b ",
          "select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d ",
          {ComboBox1, ComboBox2},
          m1,
          m2,
          m3},
         {"select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  ",
          "select sum(消费金额) as l2 from expen where year(消费日期)= :c  ",
          {ComboBox3},
          y1,
          y2,
          y3}}};
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    FChartQuery.SetName(QStringLiteral("StatisticsCharts"));
    FChartTimer = new QTimer(this);
    FChartTimer->setSingleShot(true);
    FChartTimer->setInterval(ChartRefreshDelay);
    connect(FChartTimer, &QTimer::timeout, this, [this] { RefreshCharts(); });
    for (QComboBox *picker : {ComboBox1, ComboBox2, ComboBox3})
        connect(picker, &QComboBox::currentTextChanged, this, [this] { scheduleChartRefresh(); });
    connect(Charts, &TStatisticsCharts::MonthClicked, this, [this](int month) { chartMonthClicked(month); });
}

TStatisticsPage::~TStatisticsPage() = default;

void TStatisticsPage::placeCharts(ChartPlace place)
{
    FChartPlace = place;
    FContentLayout->removeWidget(Charts);
    if (place == ChartPlace::Beside) {
        FContentLayout->addWidget(Charts, 0, 1);
        FContentLayout->setColumnStretch(1, 1);
        FContentLayout->setRowStretch(1, 0);
    } else {
        FContentLayout->addWidget(Charts, 1, 0);
        FContentLayout->setColumnStretch(1, 0);
        FContentLayout->setRowStretch(1, 1);
    }
}

void TStatisticsPage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Beside the boxes while the charts keep their least width there; on a
    // narrower page under them, where the page scrolls down rather than sideways.
    const int besideWidth =
        PqGroupBox6->width() + FContentLayout->spacing() + Charts->minimumSizeHint().width();
    const ChartPlace place = width() >= besideWidth ? ChartPlace::Beside : ChartPlace::Below;
    if (place != FChartPlace)
        placeCharts(place);
}

void TStatisticsPage::runSum(const char *statement, const TSumBox &box, const char *const *names,
                             const QString &resultField, QLabel *label)
{
    TLedgerData::TParameterTexts texts;
    for (std::size_t i = 0; i < box.Pickers.size(); ++i)
        texts.emplace_back(QString::fromLatin1(names[i]), box.Pickers[i]->currentText());
    const Variant value = FLabelTotals.Sum(utf8(statement), texts, resultField);
    label->setText(value.isNull() ? QStringLiteral("0") : SumToText(value));
}

void TStatisticsPage::calculate(const TSumBox &box)
{
    if (const TDbConnection *connection = FQuery->Connection())
        FLabelsLedger = connection->ConnectionString();
    try {
        runSum(box.IncomeStatement, box, IncomeNames, QStringLiteral("l1"), box.Income);
        runSum(box.ExpenseStatement, box, ExpenseNames, QStringLiteral("l2"), box.Expense);
        // The labels are the store of the totals: the surplus is read back from them.
        box.Surplus->setText(SurplusText(box.Income->text(), box.Expense->text()));
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
}

void TStatisticsPage::Button3Click()
{
    calculate(FBoxes[0]);
}

void TStatisticsPage::Button1Click()
{
    calculate(FBoxes[1]);
}

void TStatisticsPage::Button2Click()
{
    calculate(FBoxes[2]);
}

void TStatisticsPage::LedgerChanged()
{
    const TDbConnection *connection = FQuery->Connection();
    if (!FLabelsLedger.isEmpty() && (!connection || connection->ConnectionString() != FLabelsLedger)) {
        for (const TSumBox &box : FBoxes)
            for (QLabel *label : {box.Income, box.Expense, box.Surplus})
                label->clear();
        FLabelsLedger.clear();
    }
    FYearCache.clear();
    scheduleChartRefresh();
}

void TStatisticsPage::scheduleChartRefresh()
{
    FChartsStale = true;
    if (isVisible())
        FChartTimer->start();
}

void TStatisticsPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (FChartsStale)
        RefreshCharts();
}

const TYearTotals &TStatisticsPage::yearTotals(const QString &yearText)
{
    const auto cached = std::find_if(FYearCache.begin(), FYearCache.end(),
                                     [&](const TYearTotals &totals) { return totals.Year == yearText; });
    if (cached != FYearCache.end())
        return *cached;
    if (FChartQuery.Connection() != FQuery->Connection())
        FChartQuery.SetConnection(FQuery->Connection());
    TYearTotals totals = FChartTotals.Year(yearText);
    if (FYearCache.size() >= CachedYears)
        FYearCache.erase(FYearCache.begin());
    FYearCache.push_back(std::move(totals));
    return FYearCache.back();
}

namespace {

//! A picker text the charts cannot follow: why, or "" when it is a number.
QString PickerHint(const QString &text, int low, int high, const char *what)
{
    bool isNumber = false;
    const int number = text.trimmed().toInt(&isNumber);
    if (isNumber && number >= low && number <= high)
        return QString();
    return utf8("请选择") + utf8(what);
}

QString FailureHint(const std::exception &error)
{
    return utf8("无法统计：") + QString::fromUtf8(error.what());
}

} // namespace

void TStatisticsPage::RefreshCharts()
{
    FChartTimer->stop();
    FChartsStale = false;

    const QString year = ComboBox3->currentText();
    if (const QString hint = PickerHint(year, 1, 9999, "年份"); !hint.isEmpty()) {
        Charts->ShowYearHint(hint);
    } else {
        try {
            Charts->ShowYear(yearTotals(year));
        } catch (const std::exception &error) {
            Charts->ShowYearHint(FailureHint(error));
        }
    }

    const QString monthYear = ComboBox1->currentText();
    QString hint = PickerHint(monthYear, 1, 9999, "年份");
    if (hint.isEmpty())
        hint = PickerHint(ComboBox2->currentText(), 1, 12, "月份");
    if (!hint.isEmpty()) {
        Charts->ShowMonthHint(hint);
        BudgetChart->ShowHint(hint);
        return;
    }
    BudgetChart->ShowMonth(
        FQuery->Connection() && FQuery->Connection()->Connected() ? &FQuery->Connection()->Driver() : nullptr,
        {monthYear.trimmed().toInt(), ComboBox2->currentText().trimmed().toInt()});
    try {
        Charts->ShowMonth(yearTotals(monthYear), ComboBox2->currentText().trimmed().toInt());
    } catch (const std::exception &error) {
        Charts->ShowMonthHint(FailureHint(error));
    }
}

void TStatisticsPage::chartMonthClicked(int month)
{
    // The bars are the year box's year; the month box follows them there.
    ComboBox1->setCurrentText(ComboBox3->currentText());
    ComboBox2->setCurrentText(QString::number(month));
    Button1Click();
    RefreshCharts();
}

} // namespace kestrum
