#include "app/RecurringOfferDialog.h"

#include "app/ColumnFitting.h"
#include "ui/Beep.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrum {

using TColumn = TRecurringOfferList::TColumn;

TRecurringOfferDialog::TRecurringOfferDialog(TRecurringOfferList &list, QWidget *parent)
    : QDialog(parent), FList(list)
{
    setWindowTitle(QString::fromUtf8("定期收支到期"));
    resize(640, 320);
    TitleLabel =
        new QLabel(FList.Title() + QString::fromUtf8("，请勾选要入账的纪录（金额可以修改）："), this);
    ProblemLabel = new QLabel(this);
    ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000"));

    ListView = new QTableWidget(FList.RowCount(), TRecurringOfferList::ColumnCount, this);
    QStringList titles;
    for (int column = 0; column < TRecurringOfferList::ColumnCount; ++column)
        titles << TRecurringOfferList::ColumnTitle(static_cast<TColumn>(column));
    ListView->setHorizontalHeaderLabels(titles);
    ListView->verticalHeader()->hide();
    ListView->horizontalHeader()->setStretchLastSection(true);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
    FFilling = true;
    for (int row = 0; row < FList.RowCount(); ++row)
        for (int column = 0; column < TRecurringOfferList::ColumnCount; ++column) {
            auto *item = new QTableWidgetItem(FList.Text(row, static_cast<TColumn>(column)));
            if (column == int(TColumn::Post)) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
                item->setCheckState(FList.Ticked(row) ? Qt::Checked : Qt::Unchecked);
            } else if (column == int(TColumn::Amount)) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsSelectable);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            ListView->setItem(row, column, item);
        }
    FFilling = false;
    FitColumnsToSamples(*ListView, TRecurringOfferList::ColumnCount, [](int column) {
        return TRecurringOfferList::ColumnSample(static_cast<TColumn>(column));
    });
    connect(ListView, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem *item) { itemChanged(item); });

    PostButton = new QPushButton(QString::fromUtf8("入账"), this);
    PostButton->setDefault(true);
    LaterButton = new QPushButton(QString::fromUtf8("以后再说"), this);
    connect(PostButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ProblemLabel, 1);
    buttons->addWidget(PostButton);
    buttons->addWidget(LaterButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(ListView);
    layout->addLayout(buttons);
    updateButtons();
}

void TRecurringOfferDialog::itemChanged(QTableWidgetItem *item)
{
    if (FFilling)
        return;
    const int row = item->row();
    if (item->column() == int(TColumn::Post)) {
        FList.SetTicked(row, item->checkState() == Qt::Checked);
    } else if (item->column() == int(TColumn::Amount)) {
        const bool taken = FList.SetAmountText(row, item->text());
        ProblemLabel->setText(taken
                                  ? QString()
                                  : QString::fromUtf8("“%1”不是有效的金额：须为大于 0 的数字，最多两位小数。")
                                        .arg(item->text()));
        if (!taken)
            MessageBeep();
        FFilling = true;
        item->setText(FList.Text(row, TColumn::Amount));
        FFilling = false;
    }
    updateButtons();
}

void TRecurringOfferDialog::updateButtons()
{
    PostButton->setEnabled(FList.TickedCount() > 0);
}

} // namespace kestrum
