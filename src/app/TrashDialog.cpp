#include "app/TrashDialog.h"

#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "app/RowFollowing.h"
#include "app/UndoCommands.h"
#include "core/Errors.h"
#include "ledger/LedgerFile.h"
#include "ledger/Trash.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace kestrum {

//! The list as an item model: the view asks only for the rows it paints.
class TTrashDialog::TModel : public QAbstractTableModel {
public:
    TModel(TTrashList &list, QObject *parent) : QAbstractTableModel(parent), FList(list) {}

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : FList.RowCount();
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : TrashColumnCount;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return FList.Text(index.row(), TTrashColumn(index.column()));
        if (role == Qt::TextAlignmentRole && TTrashColumn(index.column()) == TTrashColumn::Amount)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return TTrashList::ColumnCaption(TTrashColumn(section));
        return {};
    }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    TTrashList &FList;
};

TTrashDialog::TTrashDialog(TDbDriver &db, QWidget *parent) : QDialog(parent), FList(db)
{
    setWindowTitle(QString::fromUtf8("回收站"));
    resize(760, 420);

    FModel = new TModel(FList, this);
    ListView = new QTableView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setModel(FModel);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setWordWrap(false);
    ListView->verticalHeader()->hide();
    // Fixed row heights let the view place a million rows without asking for each.
    ListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int widths[TrashColumnCount] = {50, 130, 90, 110, 200, 150};
    for (int column = 0; column < TrashColumnCount; ++column)
        ListView->setColumnWidth(column, widths[column]);
    ListView->horizontalHeader()->setStretchLastSection(true);
    FList.Busy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });

    RestoreButton = new QPushButton(QString::fromUtf8("还原"), this);
    RestoreAllButton = new QPushButton(QString::fromUtf8("全部还原"), this);
    EmptyButton = new QPushButton(QString::fromUtf8("清空回收站"), this);
    CloseButton = new QPushButton(QString::fromUtf8("关闭"), this);
    for (QPushButton *button : {RestoreButton, RestoreAllButton, EmptyButton, CloseButton})
        button->setAutoDefault(false);
    connect(RestoreButton, &QPushButton::clicked, this, [this] { RestoreClick(); });
    connect(RestoreAllButton, &QPushButton::clicked, this, [this] { RestoreAllClick(); });
    connect(EmptyButton, &QPushButton::clicked, this, [this] { EmptyClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(RestoreButton);
    buttons->addWidget(RestoreAllButton);
    buttons->addWidget(EmptyButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    EmptyNotice = new QLabel(QString::fromUtf8("回收站是空的。"), this);
    EmptyNotice->setObjectName(QStringLiteral("EmptyNotice"));
    EmptyNotice->setAlignment(Qt::AlignCenter);
    FListOrNotice = new QStackedWidget(this);
    FListOrNotice->addWidget(ListView);
    FListOrNotice->addWidget(EmptyNotice);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FListOrNotice);
    layout->addLayout(buttons);
    updateButtons();
}

TTrashDialog::~TTrashDialog() = default;

void TTrashDialog::RestoreClick()
{
    restore(&TTrashList::RestoreSelected);
}

void TTrashDialog::RestoreAllClick()
{
    restore(&TTrashList::RestoreAll);
}

void TTrashDialog::restore(std::optional<TTrashRestoreResult> (TTrashList::*action)())
{
    std::optional<TTrashRestoreResult> result;
    try {
        result = (FList.*action)();
    } catch (const std::exception &error) {
        listReloaded();
        ShowException(this, error);
        return;
    }
    if (!result)
        return; // the user kept editing an entry: nothing happened
    listReloaded();
    const QString report = TTrashList::RestoreReport(*result);
    if (!report.isEmpty())
        ShowMessage(this, report);
}

void TTrashDialog::EmptyClick()
{
    if (!FList.CanEmpty())
        return;
    TMessageBoxRequest request;
    request.Text = TTrashList::EmptyQuestion();
    request.Caption = ApplicationTitle();
    request.Icon = miQuestion;
    request.Buttons = {QString::fromUtf8("确定"), QString::fromUtf8("取消")};
    if (ShowMessageBox(this, request) != 0)
        return;
    try {
        FList.Empty();
    } catch (const std::exception &error) {
        listReloaded();
        ShowException(this, error);
        return;
    }
    listReloaded();
}

void TTrashDialog::listReloaded()
{
    FModel->Reset();
    updateButtons();
}

void TTrashDialog::selectionChanged()
{
    std::vector<int> rows;
    // Ranges, not one index per cell: a select-all of a large trash stays cheap.
    for (const QItemSelectionRange &range : ListView->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    FList.SetSelectedRows(rows);
    updateButtons();
}

void TTrashDialog::updateButtons()
{
    RestoreButton->setEnabled(FList.CanRestoreSelected());
    RestoreAllButton->setEnabled(FList.CanRestoreAll());
    EmptyButton->setEnabled(FList.CanEmpty());
    FListOrNotice->setCurrentWidget(FList.RowCount() == 0 ? static_cast<QWidget *>(EmptyNotice) : ListView);
}

void ConnectTrashDialog(TForm1 &window, TTrashDialog &dialog)
{
    TLedgerData &data = window.Data();
    auto *income = static_cast<TEntryPage *>(window.IncomePage);
    auto *expense = static_cast<TEntryPage *>(window.ExpensePage);
    TTrashList &list = dialog.List();
    list.RestoreHook = JournalRestoreHook();
    list.BeforeRestore = [income, expense] {
        return (!income || income->SettlePendingEntry()) && (!expense || expense->SettlePendingEntry());
    };
    list.AfterRestore = [&data, &dialog](const TTrashRestoreResult &result) {
        // Each page follows the entries that went back into its table, each
        // where its key puts it, keeping its statement (a month shown stays
        // shown) and its current entry; very many read the table again.
        const struct {
            TTrashSource source;
            TDbQuery &query;
        } pages[] = {{TTrashSource::Gain, data.ADOQuery1}, {TTrashSource::Expen, data.ADOQuery2}};
        for (const auto &page : pages) {
            if (!result.Touched(page.source) || !page.query.Active())
                continue;
            std::vector<std::int64_t> keys;
            for (const TTrashRestoreOutcome &outcome : result.Outcomes)
                if (outcome.Source == page.source && outcome.RestoredId != 0)
                    keys.push_back(outcome.RestoredId);
            try {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                if (keys.size() <= FollowMostRows) {
                    std::sort(keys.begin(), keys.end());
                    FollowWrittenRows(page.query, keys);
                } else {
                    page.query.Refresh();
                }
                QApplication::restoreOverrideCursor();
            } catch (const std::exception &error) {
                QApplication::restoreOverrideCursor();
                ShowException(&dialog, error);
            }
        }
        data.LedgerChanged();
    };
}

void ShowTrashDialog(TForm1 &window)
{
    TLedgerData &data = window.Data();
    // A ledger that failed to open at start gets another try here; a failure
    // goes to the error box like every other attempt.
    data.ADOConnection1.Open();
    // The trash table goes only into a ledger, never into a file we did not recognise.
    if (!data.HoldsLedger())
        throw Exception("这个数据库文件不是账本（没有收入表 gain 和支出表 expen），无法打开回收站。");
    TDbDriver &db = data.ADOConnection1.Driver();
    EnsureTrash(db);
    TTrashDialog dialog(db, &window);
    ConnectTrashDialog(window, dialog);
    dialog.exec();
}

} // namespace kestrum
