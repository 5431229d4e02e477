#include "app/StatisticsPage.h"

#include "app/LedgerData.h"
#include "app/StatisticsText.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "pages/PqGroupBox.h"
#include "ui/ErrorBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

namespace kestrum {

namespace {

const int GroupBoxHeight = 150;

QString utf8(const char *text)
{
    return QString::fromUtf8(text);
}

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
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
}

} // namespace

TStatisticsPage::TStatisticsPage(TDbQuery *query, QWidget *parent) : QWidget(parent), FQuery(query)
{
    auto *pageLayout = new QVBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);

    // All time
    PqGroupBox6 = makeBox("总账统计", this);
    Button3 = new QPushButton(utf8("开始计算"), PqGroupBox6);
    layOutBox(PqGroupBox6, {}, Button3,
              "您自使用本软件以来,总共入账(收入):", {Label9, l1, Label10, l2, Label11, l3});

    // One month: "察看 [year] 年 [month] 月的记账 [确定]"
    PqGroupBox7 = makeBox("月统计", this);
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
    PqGroupBox5 = makeBox("年统计", this);
    Label18 = makeLabel("察看", PqGroupBox5);
    ComboBox3 = makeYearPicker(PqGroupBox5);
    Label19 = makeLabel("年", PqGroupBox5);
    Label20 = makeLabel("的记账", PqGroupBox5);
    Button2 = new QPushButton(utf8("确定"), PqGroupBox5);
    layOutBox(PqGroupBox5, {Label18, ComboBox3, Label19, Label20}, Button2,
              "本年总共入账(收入):", {Label21, y1, Label22, y2, Label23, y3});

    pageLayout->addWidget(PqGroupBox6);
    pageLayout->addWidget(PqGroupBox7);
    pageLayout->addWidget(PqGroupBox5);
    pageLayout->addStretch(1);

    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TStatisticsPage::runSum(const QString &statement, const std::vector<TParameterSource> &parameters,
                             const QString &resultField, QLabel *label)
{
    TLedgerData::TParameterTexts texts;
    for (const auto &[name, picker] : parameters)
        texts.emplace_back(name, picker->currentText());
    TLedgerData::ReplaceAndReopen(*FQuery, statement, texts);
    const Variant value = FQuery->FieldByName(resultField)->Value();
    label->setText(value.isNull() ? QStringLiteral("0") : SumToText(value));
}

void TStatisticsPage::runPair(const QString &incomeStatement, const QString &expenseStatement,
                              const std::vector<TParameterSource> &incomeParameters,
                              const std::vector<TParameterSource> &expenseParameters, QLabel *income,
                              QLabel *expense, QLabel *surplus)
{
    try {
        runSum(incomeStatement, incomeParameters, QStringLiteral("l1"), income);
        runSum(expenseStatement, expenseParameters, QStringLiteral("l2"), expense);
        // The labels are the store of the totals: the surplus is read back from them.
        surplus->setText(SurplusText(income->text(), expense->text()));
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
}

void TStatisticsPage::Button3Click()
{
    runPair(utf8("select sum(本次进帐) as l1 from gain"), utf8("select sum(消费金额) as l2 from expen"), {},
            {}, l1, l2, l3);
}

void TStatisticsPage::Button1Click()
{
    runPair(utf8("select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b "),
            utf8("select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d "),
            {{"a", ComboBox1}, {"b", ComboBox2}}, {{"c", ComboBox1}, {"d", ComboBox2}}, m1, m2, m3);
}

void TStatisticsPage::Button2Click()
{
    runPair(utf8("select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  "),
            utf8("select sum(消费金额) as l2 from expen where year(消费日期)= :c  "), {{"a", ComboBox3}},
            {{"c", ComboBox3}}, y1, y2, y3);
}

} // namespace kestrum
