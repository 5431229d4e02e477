#include "app/RecurringDialog.h"

#include "app/ColumnFitting.h"
#include "app/RecurringEditor.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrum {

TRecurringDialog::TRecurringDialog(TDbDriver &db, std::function<QDate()> today, QWidget *parent)
    : QDialog(parent), FList(db, std::move(today))
{
    setWindowTitle(QString::fromUtf8("定期收支"));
    resize(820, 380);
    EditSchedule = [this](const TRecurringSchedule &schedule,
                          const QString &title) -> std::optional<TRecurringSchedule> {
        TRecurringEditor editor(schedule, title, this);
        if (editor.exec() != QDialog::Accepted)
            return std::nullopt;
        return editor.Schedule();
    };

    ListView = new QTableWidget(0, TRecurringList::ColumnCount, this);
    QStringList titles;
    for (int column = 0; column < TRecurringList::ColumnCount; ++column)
        titles << TRecurringList::ColumnTitle(static_cast<TRecurringList::TColumn>(column));
    ListView->setHorizontalHeaderLabels(titles);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->verticalHeader()->hide();
    ListView->horizontalHeader()->setStretchLastSection(true);

    AddButton = new QPushButton(QString::fromUtf8("添加..."), this);
    ChangeButton = new QPushButton(QString::fromUtf8("修改..."), this);
    PauseButton = new QPushButton(QString::fromUtf8("暂停"), this);
    DeleteButton = new QPushButton(QString::fromUtf8("删除"), this);
    CloseButton = new QPushButton(QString::fromUtf8("关闭"), this);
    auto guarded = [this](void (TRecurringDialog::*click)()) {
        return [this, click] {
            try {
                (this->*click)();
            } catch (const std::exception &error) {
                ShowException(this, error);
                fill(currentRow());
            }
        };
    };
    connect(AddButton, &QPushButton::clicked, this, guarded(&TRecurringDialog::AddClick));
    connect(ChangeButton, &QPushButton::clicked, this, guarded(&TRecurringDialog::ChangeClick));
    connect(PauseButton, &QPushButton::clicked, this, guarded(&TRecurringDialog::PauseClick));
    connect(DeleteButton, &QPushButton::clicked, this, guarded(&TRecurringDialog::DeleteClick));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ListView, &QTableWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(ListView, &QTableWidget::cellDoubleClicked, this, guarded(&TRecurringDialog::ChangeClick));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {AddButton, ChangeButton, PauseButton, DeleteButton})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ListView);
    layout->addLayout(buttons);
    fill(0);
}

int TRecurringDialog::currentRow() const
{
    const QList<QTableWidgetItem *> selected = ListView->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

void TRecurringDialog::fill(int currentRow)
{
    ListView->setRowCount(FList.RowCount());
    for (int row = 0; row < FList.RowCount(); ++row)
        for (int column = 0; column < TRecurringList::ColumnCount; ++column) {
            auto *item = new QTableWidgetItem(FList.Text(row, static_cast<TRecurringList::TColumn>(column)));
            if (column == int(TRecurringList::TColumn::Amount))
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (FList.IsDue(row) && column == int(TRecurringList::TColumn::NextDate))
                item->setForeground(QColor(0xb0, 0, 0));
            ListView->setItem(row, column, item);
        }
    fitColumns();
    if (FList.RowCount() > 0)
        ListView->selectRow(std::clamp(currentRow, 0, FList.RowCount() - 1));
    updateButtons();
}

void TRecurringDialog::fitColumns()
{
    // Sized to the rows alone, an empty list's columns shrink to their
    // captions and the rows' texts jump out wide when the first one comes.
    FitColumnsToSamples(*ListView, TRecurringList::ColumnCount, [](int column) {
        return TRecurringList::ColumnSample(static_cast<TRecurringList::TColumn>(column));
    });
}

void TRecurringDialog::updateButtons()
{
    const int row = currentRow();
    ChangeButton->setEnabled(row >= 0);
    DeleteButton->setEnabled(row >= 0);
    PauseButton->setEnabled(row >= 0);
    PauseButton->setText(row >= 0 && FList.Schedule(row).Paused ? QString::fromUtf8("继续")
                                                                : QString::fromUtf8("暂停"));
}

void TRecurringDialog::AddClick()
{
    TRecurringSchedule fresh;
    fresh.FirstDate = QDate::currentDate();
    const std::optional<TRecurringSchedule> added = EditSchedule(fresh, QString::fromUtf8("添加定期收支"));
    if (!added)
        return;
    const int row = FList.Add(*added);
    FChanged = true;
    fill(row);
}

void TRecurringDialog::ChangeClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const std::optional<TRecurringSchedule> changed =
        EditSchedule(FList.Schedule(row), QString::fromUtf8("修改定期收支"));
    if (!changed)
        return;
    const int at = FList.Change(row, *changed);
    FChanged = true;
    fill(at);
}

void TRecurringDialog::PauseClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    FList.SetPaused(row, !FList.Schedule(row).Paused);
    FChanged = true;
    fill(row);
}

void TRecurringDialog::DeleteClick()
{
    const int row = currentRow();
    if (row < 0)
        return;
    TMessageBoxRequest request;
    request.Caption = ApplicationTitle();
    request.Icon = miQuestion;
    request.Text =
        QString::fromUtf8("删除定期收支“%1”？已入账的纪录不受影响。").arg(FList.Schedule(row).Item);
    request.Buttons = {QString::fromUtf8("确定"), QString::fromUtf8("取消")};
    if (ShowMessageBox(this, request) != 0)
        return;
    FList.Remove(row);
    FChanged = true;
    fill(row);
}

} // namespace kestrum
