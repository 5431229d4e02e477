#include "app/EntryPage.h"

#include "app/BudgetDialogModel.h"
#include "app/ChangeWatch.h"
#include "app/EntryPageGrid.h"
#include "app/LedgerData.h"
#include "app/LedgerImages.h"
#include "app/SaveQuestion.h"
#include "core/Utf8.h"
#include "data/DbDataController.h"
#include "db/DbConnection.h"
#include "db/DbDataSource.h"
#include "db/DbDriver.h"
#include "db/DbQuery.h"
#include "editors/CalcEdit.h"
#include "editors/DateEdit.h"
#include "editors/DbTextEdit.h"
#include "grid/GridTableView.h"
#include "ledger/DatePeriods.h"
#include "navigator/Navigator.h"
#include "pages/PqGroupBox.h"
#include "ui/ErrorBox.h"

#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace kestrum {

namespace {

constexpr int EntryBoxHeight = 193;
constexpr int SplitterHeight = 3;

// The caption asks for the navigator's "+" button, the add button.
const char *const NoteText = "注意：添加新记录前要点击右方\"+\"号 >>";

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(utf8(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

template <class Editor> Editor *makeEditor(QWidget *parent, const char *name, const QRect &bounds)
{
    auto *editor = new Editor(parent);
    editor->setObjectName(utf8(name));
    editor->setGeometry(bounds);
    return editor;
}

template <class Editor> void bind(Editor *editor, TDbDataSource &source, const char *field)
{
    editor->DataBinding().SetDataSource(&source);
    editor->DataBinding().SetDataField(utf8(field));
}

} // namespace

const TEntryPageDescription &IncomePageDescription()
{
    static const TEntryPageDescription description{
        {"PqGroupBox1",
         "Label1",
         "kvDBCalcEdit1",
         "Label2",
         "kvDBDateEdit1",
         "Label3",
         "kvDBTextEdit1",
         "Label4",
         "kvDBMemo1",
         "Button5",
         "Edit1",
         "Label29",
         "ComboBox5",
         "Label28",
         "Label24",
         "kvDBNavigator1",
         "PqGroupBox2",
         "kvGrid1",
         "kvGrid1Level1",
         "kvGrid1DBTableView1",
         {"kvGrid1DBTableView1DBColumn", "kvGrid1DBTableView1DBColumn1", "kvGrid1DBTableView1DBColumn2",
          "kvGrid1DBTableView1DBColumn3"}},
        "录入进帐项目",
        "收入明细表",
        "进帐时间:",
        "进帐项:",
        "本次进帐",
        "进帐时间",
        "进帐人",
        "备注",
        "进帐项",
        128,
        368,
        178,
        TEntryTabOrder::DateFirst,
        "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ",
    };
    return description;
}

const TEntryPageDescription &ExpensePageDescription()
{
    static const TEntryPageDescription description{
        {"PqGroupBox3",
         "Label5",
         "kvDBCalcEdit2",
         "Label6",
         "kvDBDateEdit2",
         "Label7",
         "kvDBTextEdit2",
         "Label8",
         "kvDBMemo2",
         "Button4",
         "Edit3",
         "Label26",
         "ComboBox4",
         "Label27",
         "Label25",
         "kvDBNavigator2",
         "PqGroupBox4",
         "kvGrid2",
         "kvGridLevel1",
         "kvGridDBTableView1",
         {"kvGridDBTableView1DBColumn", "kvGridDBTableView1DBColumn1", "kvGridDBTableView1DBColumn2",
          "kvGridDBTableView1DBColumn3"}},
        "录入消费项目",
        "消费明细表",
        "消费时间:",
        "消费项：", // the full-width colon is the caption's own
        "消费金额",
        "消费日期",
        "消费者",
        "备注",
        "消费项",
        129,
        360,
        182,
        TEntryTabOrder::AmountFirst,
        "select * from Expen where year(消费日期)= :b AND month(消费日期)=:c ",
    };
    return description;
}

TEntryPage::TEntryPage(const TEntryPageDescription &description, TDbDataSource &source, TImageList *images,
                       QWidget *parent)
    : QWidget(parent), FDescription(description), FSource(source)
{
    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setHandleWidth(SplitterHeight);
    Splitter->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter);

    createEntryBox(images);
    createListBox();
    Splitter->addWidget(EntryBox);
    Splitter->addWidget(ListBox);
    // Only the entry box keeps its height when the page grows; the splitter
    // changes it by hand.
    Splitter->setStretchFactor(0, 0);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({EntryBoxHeight, 1 << 16});
    arrangeTabOrder();

    WatchEntryGridFocus(*View, [this] { FollowGridFocus(); });
    // What other programs write into the ledger shows in the list.
    FollowOtherWriters(*this, View->DBDataController()->DBProvider());
    Navigator->Buttons().OnButtonClick = [this](TkvCustomNavigatorButtons *, int index, bool &done) {
        // A click that arrives before the buttons were repainted disabled.
        if (FEntryHidden && (index == nbDelete || index == nbEdit))
            done = true;
    };

    if (TDbQuery *query = DataSet()) {
        // Whoever listened before (the ledger's change notification) still hears of the save.
        query->AfterPost = [this, before = std::move(query->AfterPost)](TDbQuery *dataSet) {
            EntrySaved(*dataSet);
            if (before)
                before(dataSet);
        };
    }
}

void TEntryPage::EntrySaved(TDbQuery &dataSet)
{
    // The saved entry is in the list already, as the file holds it. Only
    // when the statement no longer selects it (its date left the month
    // shown) does the statement run again, so that it leaves the list; it
    // stays stored.
    try {
        if (!dataSet.StatementSelectsCurrentRow())
            dataSet.Refresh();
    } catch (const std::exception &error) {
        // The save itself went through: saying only the error would make the
        // user enter the entry a second time.
        ShowErrorBox(this, utf8("记录已保存，但列表未能刷新：") + QString::fromUtf8(error.what()));
    }
}

bool TEntryPage::IsEntryHiddenByGrid() const
{
    const TDbQuery *query = DataSet();
    return query && query->Active() && query->State() == dsBrowse && !query->IsEmpty() &&
           !EntryGridHasFocusedRow(*View);
}

void TEntryPage::FollowGridFocus()
{
    const bool hidden = IsEntryHiddenByGrid();
    if (hidden == FEntryHidden)
        return;
    FEntryHidden = hidden;
    TDbDataSource *source = hidden ? nullptr : &FSource;
    AmountEdit->DataBinding().SetDataSource(source);
    DateEdit->DataBinding().SetDataSource(source);
    ItemEdit->DataBinding().SetDataSource(source);
    RemarkMemo->DataBinding().SetDataSource(source);
    Navigator->Buttons().Delete().SetEnabled(!hidden);
    Navigator->UpdateButtonsState();
}

TEntryPage::~TEntryPage() = default;

TDbQuery *TEntryPage::DataSet() const
{
    return FSource.DataSet();
}

void TEntryPage::createEntryBox(TImageList *images)
{
    const TEntryPageNames &names = FDescription.Names;
    EntryBox = new TPqGroupBox(this);
    EntryBox->setObjectName(utf8(names.EntryBox));
    EntryBox->SetCaption(utf8(FDescription.EntryCaption));
    EntryBox->setMinimumHeight(1);
    EntryBox->resize(EntryBox->width(), EntryBoxHeight);

    AmountLabel = makeLabel(EntryBox, names.AmountLabel, utf8("本次金额:"), 16, 24);
    DateLabel = makeLabel(EntryBox, names.DateLabel, utf8(FDescription.DateCaption), 16, 48);
    ItemLabel = makeLabel(EntryBox, names.ItemLabel, utf8(FDescription.ItemCaption), 16, 72);
    RemarkLabel = makeLabel(EntryBox, names.RemarkLabel, utf8("备注:"), 16, 96);

    AmountEdit = makeEditor<TkvDBCalcEdit>(EntryBox, names.AmountEdit, QRect(88, 20, 121, 21));
    DateEdit = makeEditor<TkvDBDateEdit>(EntryBox, names.DateEdit, QRect(88, 45, 121, 21));
    ItemEdit = makeEditor<TkvDBTextEdit>(EntryBox, names.ItemEdit, QRect(88, 70, 121, 21));
    RemarkMemo = makeEditor<TkvDBMemo>(EntryBox, names.RemarkMemo, QRect(88, 96, 705, 49));
    bind(AmountEdit, FSource, FDescription.AmountField);
    bind(DateEdit, FSource, FDescription.DateField);
    bind(ItemEdit, FSource, FDescription.ItemField);
    bind(RemarkMemo, FSource, FDescription.RemarkField);

    ShowButton = new QPushButton(utf8("显示"), EntryBox);
    ShowButton->setObjectName(utf8(names.ShowButton));
    ShowButton->setGeometry(16, 154, 75, 25);
    connect(ShowButton, &QPushButton::clicked, this, [this] { ShowMonth(); });

    YearEdit = new QLineEdit(QStringLiteral("2006"), EntryBox);
    YearEdit->setObjectName(utf8(names.YearEdit));
    YearEdit->setGeometry(104, 156, 41, 21);
    YearLabel = makeLabel(EntryBox, names.YearLabel, utf8("年"), 152, 160);

    MonthCombo = new QComboBox(EntryBox);
    MonthCombo->setObjectName(utf8(names.MonthCombo));
    MonthCombo->setEditable(true);
    for (int month = 1; month <= 12; ++month)
        MonthCombo->addItem(QString::number(month));
    MonthCombo->setCurrentText(QStringLiteral("7"));
    MonthCombo->setGeometry(172, 156, 37, 21);
    MonthLabel = makeLabel(EntryBox, names.MonthLabel, utf8("月"), 216, 160);
    // Their labels 年 and 月 stand to their right, where screen readers do not look for a name.
    YearEdit->setAccessibleName(utf8("显示的年份"));
    // An editable combo box gives screen readers its text as its name: the name goes on its edit too.
    MonthCombo->setAccessibleName(utf8("显示的月份"));
    MonthCombo->lineEdit()->setAccessibleName(utf8("显示的月份"));

    NoteLabel = makeLabel(EntryBox, names.NoteLabel, utf8(NoteText), FDescription.NoteLabelLeft, 160);
    BudgetLabel = makeLabel(EntryBox, "BudgetLabel", QString(), 232, 24);
    BudgetLabel->hide();

    createNavigator(images);
}

void TEntryPage::createNavigator(TImageList *images)
{
    Navigator = new TkvDBNavigator(EntryBox);
    Navigator->setObjectName(utf8(FDescription.Names.Navigator));
    Navigator->SetDataSource(&FSource);
    TkvDBNavigatorButtons &buttons = Navigator->Buttons();
    buttons.SetImages(images);
    buttons.SetDialogParent(this);
    for (int index : {nbFirst, nbPriorPage, nbPrior, nbNext, nbNextPage, nbLast, nbEdit, nbRefresh,
                      nbSaveBookmark, nbGotoBookmark, nbFilter}) {
        buttons.Button(index).SetEnabled(false);
        buttons.Button(index).SetVisible(false);
    }
    buttons.Insert().SetHint(utf8("添加"));
    buttons.Post().SetHint(utf8("保存"));
    buttons.Cancel().SetHint(utf8("取消"));
    buttons.Cancel().SetImageIndex(liCancel);
    buttons.SetConfirmDelete(true);
    Navigator->SetShowHint(true);
    Navigator->ButtonsChanged();
    Navigator->setGeometry(608, 152, FDescription.NavigatorWidth, 25);
}

void TEntryPage::createListBox()
{
    const TEntryPageNames &names = FDescription.Names;
    ListBox = new TPqGroupBox(this);
    ListBox->setObjectName(utf8(names.ListBox));
    ListBox->SetCaption(utf8(FDescription.ListCaption));
    ListBox->installEventFilter(this); // the grid fills the box's client area

    const TEntryPageGrid grid = CreateEntryPageGrid(ListBox, FDescription, FSource);
    Grid = grid.Grid;
    FGridWidget = grid.Widget;
    Level = grid.Level;
    View = grid.View;
    Columns = grid.Columns;
}

void TEntryPage::arrangeTabOrder()
{
    QWidget *first = AmountEdit;
    QWidget *second = DateEdit;
    if (FDescription.TabOrder == TEntryTabOrder::DateFirst)
        std::swap(first, second);
    QWidget *const order[] = {first,     second,     ItemEdit, RemarkMemo,
                              Navigator, ShowButton, YearEdit, MonthCombo};
    // The controls were made in another order; the chain moves each one
    // right behind the one before it.
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Navigator->SetTabStop(true);
}

bool TEntryPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
                               event->type() == QEvent::Show))
        FGridWidget->setGeometry(ListBox->Geometry().ClientRect);
    return QWidget::eventFilter(watched, event);
}

void TEntryPage::ShowMonth()
{
    if (!SettlePendingEntry())
        return;
    TDbQuery *query = DataSet();
    if (!query)
        return;
    try {
        // The month's rows are read through a slice of the date index; the
        // statement selects exactly the rows the month statement does.
        const TLedgerData::TParameterTexts parameters = {{QStringLiteral("b"), YearEdit->text()},
                                                         {QStringLiteral("c"), MonthCombo->currentText()}};
        // The slice is a file's: on a server the dates are timestamps, not
        // text or day numbers, and there is no rowid; the month statement
        // itself reads the server's date index, in the same row order.
        const QString statement = utf8(FDescription.MonthStatement);
        const TDbConnection *connection = query->Connection();
        const bool server = connection && IsServerTarget(connection->DataSourceName().toStdString());
        TLedgerData::ReplaceAndReopen(*query, TLedgerData::ListStatement(statement, parameters, server),
                                      parameters);
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
}

void TEntryPage::ShowBudgetLine(const QDate &today)
{
    const TDbQuery *query = DataSet();
    const TDbConnection *connection = query ? query->Connection() : nullptr;
    std::optional<TBudgetOverview> overview;
    try {
        const TBudgetMonth month{today.year(), today.month()};
        // Reading the month's entries is left out while no budget is set.
        if (connection && connection->Connected()) {
            TBudgetBook book(connection->Driver());
            if (book.HasBudgetIn(month))
                overview = book.Overview(month);
        }
    } catch (const std::exception &) {
        // A ledger that cannot be read now shows no line; the entries say why.
    }
    if (!overview || !overview->Budget()) {
        BudgetLabel->hide();
        return;
    }
    const TBudgetCents left = overview->Left();
    BudgetLabel->setText(utf8("本月已花 %1 / 预算 %2，%3 %4")
                             .arg(BudgetMoneyText(overview->Spent()), BudgetMoneyText(*overview->Budget()),
                                  left >= 0 ? utf8("还可花") : utf8("超支"),
                                  BudgetMoneyText(left >= 0 ? left : -left)));
    BudgetLabel->setStyleSheet(left < 0 ? QStringLiteral("color: rgb(200, 30, 30);") : QString());
    BudgetLabel->adjustSize();
    BudgetLabel->show();
}

bool TEntryPage::SettlePendingEntry()
{
    return kestrum::SettlePendingEntry(this, DataSet());
}

} // namespace kestrum
