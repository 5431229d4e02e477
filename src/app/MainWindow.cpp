#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/BudgetDialog.h"
#include "app/EntryPage.h"
#include "app/ImportCommands.h"
#include "app/LedgerData.h"
#include "app/LedgerImages.h"
#include "app/Maker.h"
#include "app/RecurringCommands.h"
#include "app/SaveQuestion.h"
#include "app/StatisticsPage.h"
#include "app/TrashDialog.h"
#include "app/UndoCommands.h"
#include "core/Utf8.h"
#include "pages/PqPageControl.h"
#include "pages/PqTabSheet.h"
#include "ui/ErrorBox.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

namespace kestrum {

TForm1::TForm1(TLedgerData &data, TShell &shell, QWidget *parent)
    : QMainWindow(parent), FData(data), FShell(shell), FToday([] { return QDate::currentDate(); })
{
    setWindowTitle(QStringLiteral("Kestrum"));
    setFont(DesignFont(SongTiFamily(), 13));
    AddLedgerImages(ImageList1);

    // Restored size centred on the screen; the window starts maximized.
    const QSize restoredSize(865, 583);
    QRect restored(QPoint(0, 0), restoredSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        restored.moveCenter(screen->availableGeometry().center());
    setGeometry(restored);
    setWindowState(Qt::WindowMaximized);

    createPages();
    createMenu();
}

TForm1::~TForm1()
{
    FData.RemoveLedgerChangedListener(FLedgerChangedListener);
}

void TForm1::createPages()
{
    PqPageControl1 = new TPqPageControl(this);
    PqPageControl1->SetImages(&ImageList1);
    setCentralWidget(PqPageControl1);

    auto addSheet = [this](const char *caption, int imageIndex) {
        auto *sheet = new TPqTabSheet(PqPageControl1);
        sheet->SetCaption(utf8(caption));
        sheet->SetImageIndex(imageIndex);
        return sheet;
    };
    TabSheet2 = addSheet("收入进帐", liIncome);
    TabSheet1 = addSheet("消费记账", liExpense);
    TabSheet3 = addSheet("综合统计", liStatistics);
    TabSheet4 = addSheet("系统设置", liSettings);
    TabSheet4->SetTabVisible(false); // nothing in the program leads there

    createEntryPages();

    StatisticsPage = new TStatisticsPage(&FData.ADOQuery3, TabSheet3);
    auto *statisticsLayout = new QVBoxLayout(TabSheet3);
    statisticsLayout->setContentsMargins(0, 0, 0, 0);
    statisticsLayout->addWidget(StatisticsPage);
    FLedgerChangedListener = FData.AddLedgerChangedListener([this] {
        StatisticsPage->LedgerChanged();
        static_cast<TEntryPage *>(ExpensePage)->ShowBudgetLine(FToday());
    });

    PqPageControl1->SetActivePage(TabSheet2);
}

void TForm1::createEntryPages()
{
    auto fill = [this](TPqTabSheet *sheet, const TEntryPageDescription &description, TDbDataSource &source) {
        auto *page = new TEntryPage(description, source, &ImageList1, sheet);
        auto *layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        return page;
    };
    TEntryPage *income = fill(TabSheet2, IncomePageDescription(), FData.DataSource1);
    TEntryPage *expense = fill(TabSheet1, ExpensePageDescription(), FData.DataSource2);
    IncomePage = income;
    ExpensePage = expense;
    ComboBox5 = income->MonthCombo;
    ComboBox4 = expense->MonthCombo;
    // Closing asks about an entry with changes on either page before it is lost.
    new TPendingEntryCloseGuard(this, SettleSteps());
}

void TForm1::createMenu()
{
    QMenuBar *bar = menuBar();
    N1 = bar->addMenu(utf8("录入"));
    N3 = N1->addAction(ImageList1.Icon(liIncome), utf8("进帐纪录"));
    N2 = N1->addAction(ImageList1.Icon(liExpense), utf8("消费纪录"));
    N8 = N1->addSeparator();
    N9 = N1->addAction(utf8("退出"));
    N4 = bar->addMenu(utf8("统计"));
    N5 = N4->addAction(ImageList1.Icon(liStatistics), utf8("综合统计"));
    N6 = bar->addMenu(utf8("关于"));
    N7 = N6->addAction(utf8("关于Mirelo"));

    connect(N3, &QAction::triggered, this, [this] { guarded([this] { N3Click(); }); });
    connect(N2, &QAction::triggered, this, [this] { guarded([this] { N2Click(); }); });
    connect(N9, &QAction::triggered, this, [this] { guarded([this] { N9Click(); }); });
    connect(N5, &QAction::triggered, this, [this] { guarded([this] { N5Click(); }); });
    connect(N7, &QAction::triggered, this, [this] { guarded([this] { N7Click(); }); });

    // The trash of deleted entries, above the separator before "退出".
    QAction *trash = new QAction(utf8("回收站..."), N1);
    N1->insertAction(N8, trash);
    connect(trash, &QAction::triggered, this, [this] { guarded([this] { ShowTrashDialog(*this); }); });
    new TRecurringCommands(*this); // "定期收支..." and the offer of what fell due

    // Monthly budgets, after the trash.
    QAction *budgets = new QAction(utf8("预算..."), N1);
    N1->insertAction(N8, budgets);
    connect(budgets, &QAction::triggered, this, [this] { guarded([this] { ShowBudgetDialog(*this); }); });

    UndoCommands = new TUndoCommands(FData, N1, N8, this, SettleSteps());
    new TLedgerExchangeCommands(*this); // "导入..." and "导出..." before "退出"
}

std::vector<std::function<bool()>> TForm1::SettleSteps() const
{
    auto *income = static_cast<TEntryPage *>(IncomePage);
    auto *expense = static_cast<TEntryPage *>(ExpensePage);
    return {[income] { return !income || income->SettlePendingEntry(); },
            [expense] { return !expense || expense->SettlePendingEntry(); }};
}

void TForm1::guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        ShowException(this, error);
    }
}

bool TForm1::openPage(const QString &page)
{
    return !ShellCallFailed(FShell.ShellExecute(QStringLiteral("open"), page));
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Spontaneous shows are the system restoring a minimized window, not a show.
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent *event)
{
    guarded([this] { FormClose(); });
    event->accept(); // the close is never refused
}

void TForm1::FormShow()
{
    if (!openPage(TMaker::MainPage()))
        ShowMessage(this, TMaker::Domain() + utf8("无法定位。"));

    const QDate today = FToday();
    const QString year = QString::number(today.year());
    const QString month = QString::number(today.month());
    StatisticsPage->ComboBox1->setCurrentText(year);
    StatisticsPage->ComboBox2->setCurrentText(month);
    if (ComboBox5)
        ComboBox5->setCurrentText(month);
    if (ComboBox4)
        ComboBox4->setCurrentText(month);
    static_cast<TEntryPage *>(ExpensePage)->ShowBudgetLine(today);
    StatisticsPage->ComboBox3->setCurrentText(year);
}

void TForm1::FormClose()
{
    const QString page = FToday().day() >= 15 ? TMaker::MainPage() : TMaker::SecondPage();
    if (!openPage(page))
        ShowMessage(this, TMaker::Name() + utf8("网址：") + QUrl(page).host());
}

void TForm1::N3Click()
{
    PqPageControl1->SetActivePage(TabSheet2);
}

void TForm1::N2Click()
{
    PqPageControl1->SetActivePage(TabSheet1);
}

void TForm1::N9Click()
{
    close();
}

void TForm1::N5Click()
{
    PqPageControl1->SetActivePage(TabSheet3);
}

void TForm1::N7Click()
{
    if (FAboutBox)
        FAboutBox->ShowAndRaise();
}

} // namespace kestrum
