#include "app/BudgetDialog.h"

#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "core/Utf8.h"
#include "editors/CalcEdit.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ui/ErrorBox.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrum {

namespace {

const QColor OverColor(200, 30, 30);

} // namespace

class TBudgetDialog::TTableModel : public QAbstractTableModel {
public:
    TTableModel(TBudgetDialog &dialog) : QAbstractTableModel(&dialog), FDialog(dialog) {}

    void Reset()
    {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : FDialog.FModel.RowCount();
    }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        const bool income = FDialog.FModel.Kind() == TBudgetKind::Income;
        switch (section) {
        case ItemColumn:
            return utf8("项目");
        case BudgetColumn:
            return income ? utf8("本月目标") : utf8("本月预算");
        case ActualColumn:
            return income ? utf8("已收") : utf8("已花");
        default:
            return income ? utf8("还差") : utf8("剩余");
        }
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        return index.column() == BudgetColumn ? flags | Qt::ItemIsEditable : flags;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const TBudgetDialogModel &model = FDialog.FModel;
        if (!index.isValid() || index.row() >= model.RowCount())
            return {};
        const TBudgetLine &line = model.Line(index.row());
        if (role == Qt::TextAlignmentRole && index.column() != ItemColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ForegroundRole && line.Over() && model.Kind() == TBudgetKind::Expense &&
            index.column() != BudgetColumn)
            return OverColor;
        if (role == Qt::EditRole && index.column() == BudgetColumn)
            return line.Budget ? BudgetAmountText(*line.Budget) : QString();
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case ItemColumn:
            return model.ItemText(index.row());
        case BudgetColumn:
            return model.BudgetText(index.row());
        case ActualColumn:
            return model.ActualText(index.row());
        default:
            return model.LeftText(index.row());
        }
    }
    bool setData(const QModelIndex &index, const QVariant &value, int role) override
    {
        if (role != Qt::EditRole || index.column() != BudgetColumn)
            return false;
        return FDialog.SetBudgetText(index.row(), value.toString());
    }

private:
    TBudgetDialog &FDialog;
};

//! The calculator edit in the budget column. Its text box has the focus, so
//! Enter and Escape are taken from there.
class TBudgetDialog::TAmountDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *edit = new TkvCalcEdit(parent);
        edit->InnerWidget()->installEventFilter(const_cast<TAmountDelegate *>(this));
        edit->InnerWidget()->setProperty("budgetEditor", QVariant::fromValue<QObject *>(edit));
        return edit;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *edit = static_cast<TkvCalcEdit *>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        edit->SetEditValue(text.isEmpty() ? Variant::null() : Variant(text.toDouble()));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        auto *edit = static_cast<TkvCalcEdit *>(editor);
        model->setData(index, edit->DisplayText(), Qt::EditRole);
    }
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &) const override
    {
        editor->setGeometry(option.rect);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *edit = qobject_cast<QWidget *>(object->property("budgetEditor").value<QObject *>());
        if (!edit)
            return QStyledItemDelegate::eventFilter(object, event);
        auto *self = const_cast<TAmountDelegate *>(this);
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                object->removeEventFilter(self);
                emit self->commitData(edit);
                emit self->closeEditor(edit, QAbstractItemDelegate::NoHint);
                return true;
            }
            if (key == Qt::Key_Escape) {
                object->removeEventFilter(self);
                emit self->closeEditor(edit, QAbstractItemDelegate::RevertModelCache);
                return true;
            }
        }
        // Leaving the cell stores the amount, as leaving a text cell does;
        // the calculator's own popup is still part of the edit. A closed
        // editor (hidden by the view) has nothing left to store.
        // Looked at once the focus has settled: a view that closes the
        // editor itself moves the focus first and hides the editor after.
        if (event->type() == QEvent::FocusOut) {
            QMetaObject::invokeMethod(
                self,
                [self, guard = QPointer<QWidget>(edit)] {
                    if (!guard || !guard->isVisible() || QApplication::activePopupWidget())
                        return;
                    QWidget *focus = QApplication::focusWidget();
                    if (focus && (focus == guard || guard->isAncestorOf(focus)))
                        return;
                    emit self->commitData(guard);
                    emit self->closeEditor(guard, QAbstractItemDelegate::NoHint);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

TBudgetDialog::TBudgetDialog(TDbDriver &db, const TBudgetMonth &month, QWidget *parent)
    : QDialog(parent), FModel(db, month)
{
    setWindowTitle(utf8("预算"));
    resize(620, 520);

    MonthEdit = new QDateEdit(QDate(month.Year, month.Month, 1), this);
    MonthEdit->setDisplayFormat(utf8("yyyy年M月"));
    MonthEdit->setCurrentSection(QDateTimeEdit::MonthSection);
    KindCombo = new QComboBox(this);
    KindCombo->addItems({utf8("支出预算"), utf8("收入目标")});
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(utf8("月份:"), this));
    top->addWidget(MonthEdit);
    top->addSpacing(16);
    top->addWidget(KindCombo);
    top->addStretch(1);

    ListView = new QTableView(this);
    FTable = new TTableModel(*this);
    ListView->setModel(FTable);
    ListView->setItemDelegateForColumn(BudgetColumn, new TAmountDelegate(ListView));
    ListView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->verticalHeader()->hide();
    ListView->horizontalHeader()->setSectionResizeMode(ItemColumn, QHeaderView::Stretch);
    for (int column : {BudgetColumn, ActualColumn, LeftColumn})
        ListView->setColumnWidth(column, 130);

    TotalLabel = new QLabel(utf8("本月总预算:"), this);
    TotalEdit = new TkvCalcEdit(this);
    TotalEdit->setFixedWidth(130);
    TotalButton = new QPushButton(utf8("设定"), this);
    SummaryLabel = new QLabel(this);
    auto *total = new QHBoxLayout;
    total->addWidget(TotalLabel);
    total->addWidget(TotalEdit);
    total->addWidget(TotalButton);
    total->addSpacing(16);
    total->addWidget(SummaryLabel, 1);

    NewItemEdit = new QLineEdit(this);
    NewItemEdit->setPlaceholderText(utf8("项目名称"));
    NewItemAmountEdit = new TkvCalcEdit(this);
    NewItemAmountEdit->setFixedWidth(130);
    NewItemButton = new QPushButton(utf8("添加"), this);
    auto *newItem = new QHBoxLayout;
    newItem->addWidget(new QLabel(utf8("新项目:"), this));
    newItem->addWidget(NewItemEdit, 1);
    newItem->addWidget(NewItemAmountEdit);
    newItem->addWidget(NewItemButton);

    CopyButton = new QPushButton(utf8("复制上月预算"), this);
    ClearButton = new QPushButton(utf8("清除本月预算"), this);
    CloseButton = new QPushButton(utf8("关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CopyButton);
    buttons->addWidget(ClearButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ListView, 1);
    layout->addLayout(newItem);
    layout->addLayout(total);
    layout->addLayout(buttons);

    connect(MonthEdit, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        guarded([&] { FModel.SetMonth({date.year(), date.month()}); });
        refresh();
    });
    connect(KindCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        guarded([&] { FModel.SetKind(index == 1 ? TBudgetKind::Income : TBudgetKind::Expense); });
        refresh();
    });
    connect(TotalButton, &QPushButton::clicked, this, [this] { TotalClick(); });
    // Enter belongs to the field being typed in, never to a button.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    connect(NewItemEdit, &QLineEdit::returnPressed, this, [this] { NewItemClick(); });
    connect(NewItemButton, &QPushButton::clicked, this, [this] { NewItemClick(); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { CopyClick(); });
    connect(ClearButton, &QPushButton::clicked, this, [this] { ClearClick(); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    refresh();
}

TBudgetDialog::~TBudgetDialog() = default;

bool TBudgetDialog::guarded(const std::function<void()> &change)
{
    try {
        change();
        return true;
    } catch (const std::exception &error) {
        ShowException(this, error);
        return false;
    }
}

void TBudgetDialog::refresh()
{
    FTable->Reset();
    const bool expense = FModel.Kind() == TBudgetKind::Expense;
    const std::optional<TBudgetCents> total = FModel.Overview().TotalBudget;
    TotalEdit->SetEditValue(total ? Variant(double(*total) / 100.0) : Variant::null());
    for (QWidget *widget : {static_cast<QWidget *>(TotalLabel), static_cast<QWidget *>(TotalEdit),
                            static_cast<QWidget *>(TotalButton)})
        widget->setVisible(expense);
    SummaryLabel->setText(FModel.SummaryText());
    QPalette palette = SummaryLabel->palette();
    palette.setColor(QPalette::WindowText, FModel.Overview().Over() && expense
                                               ? OverColor
                                               : this->palette().color(QPalette::WindowText));
    SummaryLabel->setPalette(palette);
}

bool TBudgetDialog::SetBudgetText(int row, const QString &text)
{
    const bool done = guarded([&] { FModel.SetBudget(row, ParseBudgetAmount(text)); });
    // The list is read again after the editor closed.
    QMetaObject::invokeMethod(
        this, [this] { refresh(); }, Qt::QueuedConnection);
    return done;
}

void TBudgetDialog::TotalClick()
{
    guarded([&] { FModel.SetTotalBudget(ParseBudgetAmount(TotalEdit->DisplayText())); });
    refresh();
}

void TBudgetDialog::NewItemClick()
{
    const QString item = NewItemEdit->text().trimmed();
    if (item.isEmpty()) {
        ShowException(this, EBudgetRefused("请先输入项目名称。"));
        return;
    }
    if (guarded([&] { FModel.SetItemBudget(item, ParseBudgetAmount(NewItemAmountEdit->DisplayText())); })) {
        NewItemEdit->clear();
        NewItemAmountEdit->SetEditValue(Variant::null());
    }
    refresh();
}

void TBudgetDialog::CopyClick()
{
    guarded([&] { FModel.CopyPreviousMonth(); });
    refresh();
}

void TBudgetDialog::ClearClick()
{
    guarded([&] { FModel.ClearMonth(); });
    refresh();
}

void ShowBudgetDialog(TForm1 &window)
{
    TLedgerData &data = window.Data();
    // A ledger that failed to open at start gets another try here.
    data.ADOConnection1.Open();
    if (!data.HoldsLedger())
        throw Exception("这个数据库文件不是账本（没有收入表 gain 和支出表 expen），无法设定预算。");
    TDbDriver &db = data.ADOConnection1.Driver();
    EnsureBudgets(db);
    EnsureJournal(db); // covers the budget table when it is new

    const QDate today = QDate::currentDate();
    TBudgetDialog dialog(db, {today.year(), today.month()}, &window);
    dialog.Model().OnChanged = [&data] { data.LedgerChanged(); };
    dialog.exec();
}

} // namespace kestrum
