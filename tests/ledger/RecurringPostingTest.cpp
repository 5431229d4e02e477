// Recurring entries in real ledger files: what falls due, posting as one
// journal action, and never posting an occurrence twice: again later, after
// a clock set back, from two processes at once, or after a process killed
// between writing the entries and marking them.
#include "JournalTestSupport.h"
#include "LedgerEngines.h"
#include "support/HandleDriver.h"

#include "ledger/RecurringStore.h"
#include "ledger/UndoHistory.h"

#include <QTemporaryDir>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum {
namespace {

using namespace journaltest;
using test::EngineName;
using test::TEngine;

const QDate Today(2026, 12, 10);

class RecurringPosting : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Path());
        FDb = Open(Path());
        EnsureRecurring(DriverOf(FDb));
        TRecurringSchedule rent;
        rent.Item = QString::fromUtf8("房租");
        rent.Remark = QString::fromUtf8("月底交");
        rent.AmountCents = 280000;
        rent.FirstDate = QDate(2026, 9, 30);
        rent.Unit = TRecurringUnit::Months;
        FRent = SaveRecurringSchedule(DriverOf(FDb), rent);
    }
    void TearDown() override { sqlite3_close(FDb); }
    QString Path() const { return FDir.filePath("ledger.mdb"); }

    std::string DueText(const QDate &today = Today)
    {
        QStringList lines;
        for (const TRecurringDue &due : DueRecurringEntries(DriverOf(FDb), today))
            lines.append(due.Date.toString(Qt::ISODate) + ' ' + due.Item + ' ' +
                         RecurringAmountText(due.AmountCents));
        return lines.join(", ").toStdString();
    }
    std::string Expenses()
    {
        std::string rows;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(FDb, "SELECT 消费日期, 消费金额, 消费者, ifnull(备注, '') FROM expen ORDER BY id",
                           -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            rows += std::string(rows.empty() ? "" : ", ") +
                    reinterpret_cast<const char *>(sqlite3_column_text(s, 0)) + ' ' +
                    reinterpret_cast<const char *>(sqlite3_column_text(s, 1)) + ' ' +
                    reinterpret_cast<const char *>(sqlite3_column_text(s, 2)) + ' ' +
                    reinterpret_cast<const char *>(sqlite3_column_text(s, 3));
        sqlite3_finalize(s);
        return rows;
    }

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
    std::int64_t FRent = 0;
};

//! The same schedule on either engine.
class RecurringOnEngine : public test::LedgerOnEngine {
protected:
    void SetUp() override
    {
        LedgerOnEngine::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        EnsureRecurring(Db());
        TRecurringSchedule rent;
        rent.Item = QString::fromUtf8("房租");
        rent.Remark = QString::fromUtf8("月底交");
        rent.AmountCents = 280000;
        rent.FirstDate = QDate(2026, 9, 30);
        rent.Unit = TRecurringUnit::Months;
        FRent = SaveRecurringSchedule(Db(), rent);
    }

    std::string DueText(const QDate &today = Today)
    {
        QStringList lines;
        for (const TRecurringDue &due : DueRecurringEntries(Db(), today))
            lines.append(due.Date.toString(Qt::ISODate) + ' ' + due.Item + ' ' +
                         RecurringAmountText(due.AmountCents));
        return lines.join(", ").toStdString();
    }
    std::string Expenses()
    {
        std::string rows;
        auto s = Db().Prepare("SELECT 消费日期, 消费金额, 消费者, coalesce(备注, '') FROM expen ORDER BY id");
        while (s->Step())
            rows += std::string(rows.empty() ? "" : ", ") + test::CellText(*s, 0, OnServer()) + ' ' +
                    test::CellText(*s, 1, OnServer()) + ' ' + test::CellText(*s, 2, OnServer()) + ' ' +
                    test::CellText(*s, 3, OnServer());
        return rows;
    }

    std::int64_t FRent = 0;
};
KESTRUM_ON_BOTH_ENGINES(RecurringOnEngine);

TEST_F(RecurringPosting, AnOlderLedgerGetsTheTablesAndMissedMonthsAreEachDueOnce)
{
    sqlite3 *older = nullptr;
    sqlite3_open(FDir.filePath("older.mdb").toUtf8().constData(), &older);
    Exec(older, LedgerSchemaSql);
    EXPECT_FALSE(HasRecurring(DriverOf(older)));
    EXPECT_TRUE(DueRecurringEntries(DriverOf(older), Today).empty());
    EnsureRecurring(DriverOf(older));
    EXPECT_TRUE(HasRecurring(DriverOf(older)));
    sqlite3_close(older);

    EXPECT_EQ(DueText(), "2026-09-30 房租 2800.00, 2026-10-30 房租 2800.00, 2026-11-30 房租 2800.00");
}

TEST_P(RecurringOnEngine, PostingWritesEntriesAsOneActionAndNeverTwice)
{
    std::vector<TRecurringDue> due = DueRecurringEntries(Db(), Today);
    due[2].AmountCents = 301050; // a bill that came out higher
    const TRecurringPostResult first = PostRecurringEntries(Db(), due, Today);
    EXPECT_EQ(first.Posted, 3);
    EXPECT_EQ(Expenses(), "2026-09-30 00:00:00 2800.0 房租 月底交, 2026-10-30 00:00:00 2800.0 房租 月底交, "
                          "2026-11-30 00:00:00 3010.5 房租 月底交");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_journal_action"), "1");
    EXPECT_EQ(Scalar("SELECT label FROM kestrum_journal_action"), "定期收支入账 3 条纪录");
    EXPECT_EQ(DueText(), "");
    // The same offer accepted a second time (a second window, a stale list).
    const TRecurringPostResult again = PostRecurringEntries(Db(), due, Today);
    EXPECT_EQ(again.Posted, 0);
    EXPECT_EQ(again.Skipped, 3);
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "3");
    EXPECT_EQ(DueText(QDate(2026, 12, 29)), "");
    EXPECT_EQ(DueText(QDate(2027, 1, 1)), "2026-12-30 房租 2800.00");
}

TEST_P(RecurringOnEngine, AClockSetBackOffersAndPostsNothingAlreadyPosted)
{
    PostRecurringEntries(Db(), DueRecurringEntries(Db(), Today), Today);
    EXPECT_EQ(DueText(QDate(2026, 11, 1)), "");
    EXPECT_EQ(DueText(QDate(2025, 6, 1)), "");
    // An occurrence after the day the clock shows is not posted either.
    const TRecurringDue future{FRent,  QDate(2026, 12, 31),       TRecurringPage::Expense,
                               280000, QString::fromUtf8("房租"), {}};
    EXPECT_EQ(PostRecurringEntries(Db(), {future}, QDate(2026, 11, 1)).Skipped, 1);
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "3");
}

TEST_P(RecurringOnEngine, APausedChangedOrDeletedScheduleIsNotPostedFromAnOldOffer)
{
    const std::vector<TRecurringDue> offer = DueRecurringEntries(Db(), Today);
    SetRecurringPaused(Db(), FRent, true);
    EXPECT_EQ(DueText(), "");
    EXPECT_EQ(PostRecurringEntries(Db(), offer, Today).Posted, 0);
    SetRecurringPaused(Db(), FRent, false);
    DeleteRecurringSchedule(Db(), FRent);
    EXPECT_EQ(PostRecurringEntries(Db(), offer, Today).Posted, 0);
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "0");
}

TEST_P(RecurringOnEngine, UndoTakesThePostingBackAndMakesItDueAgainRedoPostsItAgain)
{
    PostRecurringEntries(Db(), DueRecurringEntries(Db(), Today), Today);
    TUndoHistory history(Db());
    EXPECT_EQ(history.NextUndo()->Label.toStdString(), "定期收支入账 3 条纪录");
    history.Undo();
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "0");
    EXPECT_EQ(DueText(), "2026-09-30 房租 2800.00, 2026-10-30 房租 2800.00, 2026-11-30 房租 2800.00");
    history.Redo();
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "3");
    EXPECT_EQ(DueText(), "");

    // Undone and posted anew: the new posting stands, the old one can no
    // longer be redone beside it.
    history.Undo();
    std::vector<TRecurringDue> due = DueRecurringEntries(Db(), Today);
    due.resize(1);
    EXPECT_EQ(PostRecurringEntries(Db(), due, Today).Posted, 1);
    EXPECT_FALSE(history.NextRedo());
    EXPECT_EQ(Expenses(), "2026-09-30 00:00:00 2800.0 房租 月底交");
    EXPECT_EQ(DueText(), "2026-10-30 房租 2800.00, 2026-11-30 房租 2800.00");
    EXPECT_EQ(history.NextUndo()->Label.toStdString(), "定期收支 房租 2800.00");
}

TEST_F(RecurringPosting, TwoProcessesPostingAtOnceWriteEachOccurrenceOnce)
{
    const std::vector<TRecurringDue> offer = DueRecurringEntries(DriverOf(FDb), Today);
    sqlite3_close(FDb);
    FDb = nullptr;
    constexpr int Children = 4;
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < Children; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(30);
            ::close(start[1]);
            char go;
            (void)!::read(start[0], &go, 1); // all start together
            sqlite3 *db = Open(Path());
            sqlite3_busy_timeout(db, 10000);
            int posted = -1;
            try {
                posted = PostRecurringEntries(DriverOf(db), offer, Today).Posted;
            } catch (...) {
            }
            sqlite3_close(db);
            ::_exit(posted < 0 ? 100 : posted);
        }
        children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]); // end of file wakes every child at once
    int total = 0;
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 100);
        total += WEXITSTATUS(status);
    }
    EXPECT_EQ(total, 3);
    FDb = Open(Path());
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), "3");
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM kestrum_recurring_posted"), "3");
    EXPECT_EQ(DueText(), "");
}

class KilledPosting : public RecurringPosting, public ::testing::WithParamInterface<TRecurringPostStep> {};

TEST_P(KilledPosting, AProcessKilledBeforeTheCommitLeavesNeitherEntriesNorMarks)
{
    const std::vector<TRecurringDue> offer = DueRecurringEntries(DriverOf(FDb), Today);
    const TRecurringPostStep stopAt = GetParam();
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3 *db = Open(Path());
        PostRecurringEntries(DriverOf(db), offer, Today, [stopAt](TRecurringPostStep step) {
            if (step == stopAt)
                std::raise(SIGKILL); // no destructors, no rollback
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    sqlite3_close(FDb);
    FDb = Open(Path()); // rolls back what the dead process left
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), "0");
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM kestrum_recurring_posted"), "0");
    EXPECT_EQ(Scalar(FDb, "PRAGMA quick_check"), "ok");
    EXPECT_EQ(PostRecurringEntries(DriverOf(FDb), DueRecurringEntries(DriverOf(FDb), Today), Today).Posted,
              3);
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), "3");
}

INSTANTIATE_TEST_SUITE_P(Steps, KilledPosting,
                         ::testing::Values(TRecurringPostStep::Began, TRecurringPostStep::EntryWritten,
                                           TRecurringPostStep::Marked));

} // namespace
} // namespace kestrum
