// The window's recurring entries: the offer at start and when the date
// changes, posting what is ticked as one action that one 撤销 takes back,
// "以后再说" waiting for the next day, and the dialog's schedules.
#include "app/RecurringCommands.h"

#include "LedgerFileFixture.h"
#include "app/LedgerData.h"
#include "app/MainWindow.h"
#include "app/RecurringDialog.h"
#include "app/RecurringOfferDialog.h"
#include "app/RecurringOfferList.h"
#include "app/UndoCommands.h"
#include "core/RegionalSettings.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "ledger/RecurringStore.h"
#include "support/FakeShell.h"
#include "support/OffscreenSizeHintsFilter.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

class RecurringCommandsBase : public testing::Test {
protected:
    explicit RecurringCommandsBase(test::TEngine engine) : file(engine)
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (!file.Unavailable().empty())
            return;
        file.AddExpense(35, "2026-12-02", "伙食");
        data.ADOConnection1.SetConnectionString(file.ConnectionString());
        data.Loaded([this](const std::exception &error) { loadErrors.push_back(error.what()); });
        window.SetClock([this] { return today; });
        commands = window.findChild<TRecurringCommands *>();
        commands->ConfirmOffer = [this](TRecurringOfferList &offer) {
            offers << offer.Title();
            if (answer)
                answer(offer);
            return post;
        };
    }
    //! A monthly rent first due `first`, stored as the dialog stores it.
    void AddRent(const QDate &first)
    {
        commands->ShowDialog = [first](TRecurringDialog &dialog) {
            dialog.EditSchedule = [first](const TRecurringSchedule &fresh, const QString &) {
                TRecurringSchedule rent = fresh;
                rent.Item = QString::fromUtf8("房租");
                rent.AmountCents = 280000;
                rent.FirstDate = first;
                return std::optional<TRecurringSchedule>(rent);
            };
            dialog.AddButton->click();
        };
        commands->MenuAction->trigger();
    }

    void SetUp() override { TLedgerFile::RequireLedger(file); }

    test::OffscreenSizeHintsFilter sizeHints;
    TMessageBoxRecorder boxes;
    TLedgerFile file;
    TLedgerData data;
    TFakeShell shell;
    TForm1 window{data, shell};
    TRecurringCommands *commands = nullptr;
    std::vector<std::string> loadErrors;
    QDate today{2026, 12, 10};
    QStringList offers;
    bool post = true;
    std::function<void(TRecurringOfferList &)> answer;
};

//! On a ledger file, for what reaches into the file itself.
class RecurringCommandsTest : public RecurringCommandsBase {
protected:
    RecurringCommandsTest() : RecurringCommandsBase(test::TEngine::File) {}
};

//! On a ledger file and on a ledger on a server.
class RecurringOnEnginesTest : public RecurringCommandsBase,
                               public testing::WithParamInterface<test::TEngine> {
protected:
    RecurringOnEnginesTest() : RecurringCommandsBase(GetParam()) {}
};

TEST_F(RecurringCommandsTest, AnOlderLedgerGetsTheTablesAndTheMenuHasItsItem)
{
    EXPECT_TRUE(loadErrors.empty());
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM sqlite_master WHERE name = 'kestrum_recurring'"), "1");
    EXPECT_TRUE(window.N1->actions().contains(commands->MenuAction));
    EXPECT_EQ(commands->MenuAction->text().toStdString(), "定期收支...");
}

TEST_P(RecurringOnEnginesTest, ARentAddedDueYesterdayIsOfferedPostedAndOneUndoTakesItBack)
{
    post = false; // "以后再说" right after adding it
    AddRent(today.addDays(-1));
    EXPECT_EQ(offers, QStringList{QString::fromUtf8("有 1 条定期收支到期")});
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "1");

    // The next start offers it again; this time it goes in, with the amount
    // as typed, and the expense page shows it.
    post = true;
    answer = [](TRecurringOfferList &offer) { offer.SetAmountText(0, QStringLiteral("2850")); };
    EXPECT_EQ(commands->OfferDue(), 1);
    EXPECT_EQ(file.Rows("SELECT 消费金额, 消费日期 FROM expen WHERE 消费者 = '房租' ORDER BY id"),
              "2850.0|2026-12-09 00:00:00");
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 2);
    window.UndoCommands->UpdateItems();
    EXPECT_EQ(window.UndoCommands->UndoAction()->text().toStdString(), "撤销 定期收支 房租 2850.00");

    window.UndoCommands->Undo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "1");
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 1);
    window.UndoCommands->Redo();
    EXPECT_EQ(file.Scalar("SELECT count(*) FROM expen"), "2");
    offers.clear();
    EXPECT_EQ(commands->OfferDue(), 0);
    EXPECT_TRUE(offers.isEmpty());
}

TEST_F(RecurringCommandsTest, PostedEntriesShowOnTheirPageWithoutReadingThePagesAgain)
{
    post = false;
    AddRent(QDate(2026, 10, 31)); // due for October, November and December
    data.ADOQuery2.First();
    int pageReads = 0;
    sqlite3_trace_v2(
        data.ADOConnection1.Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void *reads, void *statement, void *) {
            const char *sql = sqlite3_sql(static_cast<sqlite3_stmt *>(statement));
            if (sql && (QByteArray(sql) == "select * from gain" || QByteArray(sql) == "select * from expen"))
                ++*static_cast<int *>(reads);
            return 0;
        },
        &pageReads);
    post = true;
    EXPECT_EQ(commands->OfferDue(), 2);
    sqlite3_trace_v2(data.ADOConnection1.Handle(), 0, nullptr, nullptr);
    EXPECT_EQ(pageReads, 0);
    EXPECT_EQ(data.ADOQuery2.RecordCount(), 3);
    EXPECT_EQ(data.ADOQuery2.FieldByName(QString::fromUtf8("消费者"))->AsString(), QString::fromUtf8("伙食"));
    data.ADOQuery2.Last();
    EXPECT_EQ(data.ADOQuery2.FieldByName(QString::fromUtf8("消费者"))->AsString(), QString::fromUtf8("房租"));
}

TEST_P(RecurringOnEnginesTest, LaterWaitsForTheNextDayAndTheDateChangeOffersMissedPeriodsEachOnce)
{
    post = false;
    AddRent(QDate(2026, 10, 31));
    offers.clear();
    commands->CheckDate(); // the start-up look
    commands->CheckDate(); // the timer, same day: nothing again
    EXPECT_EQ(offers, QStringList{QString::fromUtf8("有 2 条定期收支到期")});

    today = QDate(2027, 1, 1); // the program ran over new year
    post = true;
    answer = [](TRecurringOfferList &offer) { offer.SetTicked(0, false); };
    commands->CheckDate();
    EXPECT_EQ(offers.last().toStdString(), "有 3 条定期收支到期");
    // The unticked October rent is passed over by the later ones posted.
    EXPECT_EQ(file.Rows("SELECT date(消费日期) FROM expen WHERE 消费者 = '房租' ORDER BY id"),
              "2026-11-30, 2026-12-31");
    today = QDate(2027, 1, 2);
    offers.clear();
    commands->CheckDate();
    EXPECT_TRUE(offers.isEmpty());
}

TEST_P(RecurringOnEnginesTest, AnOfferDueWhileAnotherBoxIsOpenComesOnceTheBoxIsGone)
{
    // Guards the start-up offer that waited a whole minute behind the box
    // the window shows when it opens.
    post = false;
    AddRent(today.addDays(-1));
    offers.clear();
    QDialog box(&window);
    box.setModal(true);
    box.show();
    commands->CheckDate();
    EXPECT_TRUE(offers.isEmpty());
    box.hide();
    QElapsedTimer waited;
    waited.start();
    while (offers.isEmpty() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(offers, QStringList{QString::fromUtf8("有 1 条定期收支到期")});
    EXPECT_LT(waited.elapsed(), 5000);
}

INSTANTIATE_TEST_SUITE_P(Engines, RecurringOnEnginesTest, test::BothEngines(), test::EngineName);

TEST(RecurringOfferDialog, TicksAndAmountsTypedInTheListReachTheOffer)
{
    test::OffscreenSizeHintsFilter sizeHints;
    const TRecurringDue rent{1,      QDate(2026, 11, 30),       TRecurringPage::Expense,
                             280000, QString::fromUtf8("房租"), {}};
    TRecurringOfferList offer({rent, rent});
    TRecurringOfferDialog dialog(offer);
    EXPECT_TRUE(dialog.TitleLabel->text().startsWith(QString::fromUtf8("有 2 条定期收支到期")));
    const int amount = int(TRecurringOfferList::TColumn::Amount);
    dialog.ListView->item(0, amount)->setText(QStringLiteral("2850.5"));
    EXPECT_EQ(offer.Chosen().front().AmountCents, 285050);
    EXPECT_EQ(dialog.ListView->item(0, amount)->text().toStdString(), "2850.50");
    dialog.ListView->item(1, amount)->setText(QString::fromUtf8("很多"));
    EXPECT_EQ(dialog.ListView->item(1, amount)->text().toStdString(), "2800.00");
    EXPECT_FALSE(dialog.ProblemLabel->text().isEmpty());
    for (int row = 0; row < 2; ++row)
        dialog.ListView->item(row, int(TRecurringOfferList::TColumn::Post))->setCheckState(Qt::Unchecked);
    EXPECT_EQ(offer.TickedCount(), 0);
    EXPECT_FALSE(dialog.PostButton->isEnabled());
}

TEST(RecurringOfferDialog, ColumnsHoldTypicalTextsBeforeTheUserTypesALongerAmount)
{
    // Guards against columns sized to "房租" and "2800.00" alone, which cut a
    // longer amount the user types and a longer item name.
    test::OffscreenSizeHintsFilter sizeHints;
    const TRecurringDue rent{1,      QDate(2026, 11, 30),       TRecurringPage::Expense,
                             280000, QString::fromUtf8("房租"), {}};
    TRecurringOfferList offer({rent});
    TRecurringOfferDialog dialog(offer);
    const QHeaderView *header = dialog.ListView->horizontalHeader();
    const QFontMetrics metrics(dialog.ListView->font());
    using TColumn = TRecurringOfferList::TColumn;
    const std::pair<TColumn, const char *> typical[] = {{TColumn::Date, "2026-12-31"},
                                                        {TColumn::Page, "收入"},
                                                        {TColumn::Item, "物业管理费"},
                                                        {TColumn::Amount, "12345.00"}};
    for (const auto &[column, text] : typical)
        EXPECT_GT(header->sectionSize(int(column)), metrics.horizontalAdvance(QString::fromUtf8(text)))
            << text;
    for (int column = 0; column < TRecurringOfferList::ColumnCount; ++column)
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << "caption of column " << column;
}

} // namespace
} // namespace kestrum
