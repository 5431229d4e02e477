// kestrum-db due and post-due: what a cron job sees and posts, by the same
// rules as the program; two jobs started at once post each occurrence once.
#include "JournalTestSupport.h"
#include "support/HandleDriver.h"

#include "ledger/RecurringStore.h"

#include <QProcess>
#include <QTemporaryDir>

namespace kestrum {
namespace {

using namespace journaltest;

class RecurringCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Path());
        sqlite3 *db = Open(Path());
        TRecurringSchedule salary;
        salary.Page = TRecurringPage::Income;
        salary.Item = QString::fromUtf8("工资");
        salary.AmountCents = 860000;
        // Two months and a day back: three occurrences by today, month ends
        // or not.
        salary.FirstDate = QDate::currentDate().addMonths(-2).addDays(-1);
        SaveRecurringSchedule(DriverOf(db), salary);
        sqlite3_close(db);
    }
    QString Path() const { return FDir.filePath("ledger.mdb"); }
    static std::pair<int, QString> Run(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        process.waitForFinished(30000);
        return {process.exitCode(),
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
    }
    std::string Count(const char *sql)
    {
        sqlite3 *db = Open(Path());
        const std::string count = Scalar(db, sql);
        sqlite3_close(db);
        return count;
    }

    QTemporaryDir FDir;
};

TEST_F(RecurringCommands, DueListsAndPostDuePostsOnceAsOneUndoableAction)
{
    auto [code, text] = Run({QStringLiteral("due"), Path()});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text.count(QString::fromUtf8("收入  8600.00  工资")), 3) << text.toStdString();
    EXPECT_EQ(Count("SELECT count(*) FROM gain"), "0");

    std::tie(code, text) = Run({QStringLiteral("post-due"), Path()});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(text.contains(QStringLiteral("posted 3 entries"))) << text.toStdString();
    EXPECT_EQ(Count("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(Count("SELECT label FROM kestrum_journal_action"), "定期收支入账 3 条纪录");

    std::tie(code, text) = Run({QStringLiteral("post-due"), Path()});
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(text.contains(QStringLiteral("posted 0 entries"))) << text.toStdString();
    std::tie(code, text) = Run({QStringLiteral("due"), Path()});
    EXPECT_TRUE(text.contains(QStringLiteral("nothing is due"))) << text.toStdString();
    EXPECT_EQ(Count("SELECT count(*) FROM gain"), "3");
}

TEST_F(RecurringCommands, TwoJobsAtOncePostEachOccurrenceOnce)
{
    QProcess first, second;
    first.start(QStringLiteral(KESTRUM_DB_TOOL), {QStringLiteral("post-due"), Path()});
    second.start(QStringLiteral(KESTRUM_DB_TOOL), {QStringLiteral("post-due"), Path()});
    ASSERT_TRUE(first.waitForFinished(30000));
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(Count("SELECT count(*) FROM gain"), "3");
    EXPECT_EQ(Count("SELECT count(*) FROM kestrum_recurring_posted"), "3");
}

TEST_F(RecurringCommands, AFileThatIsNoLedgerIsRefusedAndLeftAlone)
{
    auto [code, text] = Run({QStringLiteral("post-due"), FDir.filePath("missing.mdb")});
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(QFile::exists(FDir.filePath("missing.mdb")));
}

} // namespace
} // namespace kestrum
