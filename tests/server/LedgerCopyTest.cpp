// Copying a ledger between a file and a server, in either direction, and
// the kestrum-db commands for a server ledger.
#include "ServerCommands.h"
#include "ServerSchema.h"
#include "db/SqliteDriver.h"
#include "ledger/LedgerFile.h"
#include "ledger/RecurringStore.h"
#include "server/ServerLedgerFixture.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace kestrum::test {

namespace {

class LedgerCopyTest : public ServerLedgerTest {
protected:
    //! A sample ledger with budgets, a schedule and an entry in the trash.
    QString SampleFile()
    {
        const QString path = Folder.filePath(QStringLiteral("family.mdb"));
        CreateDemoDatabase(path, 2022, 2023);
        TSqliteDriver file(path.toStdString());
        EnsureRecurring(file);
        file.Exec(
            "INSERT INTO kestrum_budget (amount, month, item, kind) VALUES (1500.75, '2023-05', '伙食', "
            "'expen');"
            "INSERT INTO kestrum_recurring (page, amount_cents, item, first_date, unit, every) "
            "VALUES ('expen', 280000, '房租', '2023-01-01', 2, 1);"
            "UPDATE gain SET \"进帐时间\" = '2023-03-03 12:34:56.789' WHERE id = 3;"
            "DELETE FROM expen WHERE id = 7");
        return path;
    }
};

const char *const EntriesSql[] = {
    "SELECT id, \"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\" FROM gain ORDER BY id",
    "SELECT id, \"消费金额\", \"消费日期\", \"消费者\", \"备注\" FROM expen ORDER BY id",
    "SELECT id, amount, month, item, kind FROM kestrum_budget ORDER BY id",
    "SELECT id, page, amount_cents, item, first_date FROM kestrum_recurring ORDER BY id",
    "SELECT source, original_id, amount, entry_date, item FROM kestrum_trash ORDER BY id",
};

TEST_F(LedgerCopyTest, AFileCopiedToAServerAndBackIsTheSameLedger)
{
    const QString source = SampleFile();
    const TLedgerCopy up = CopyLedger(source.toStdString(), Target);
    EXPECT_GT(up.GainRows, 20);
    EXPECT_GT(up.ExpenRows, 200); // more than one batch
    EXPECT_EQ(up.BudgetRows, 1);
    EXPECT_EQ(up.ScheduleRows, 1);
    EXPECT_EQ(up.TrashRows, 1);
    EXPECT_NO_THROW(CheckServerLedger(*Ledger));
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) FROM kestrum_journal"), "0\n"); // nothing to undo

    const QString back = Folder.filePath(QStringLiteral("back.mdb"));
    const TLedgerCopy down = CopyLedger(Target, back.toStdString());
    EXPECT_EQ(down.GainSum, up.GainSum);
    EXPECT_EQ(down.ExpenSum, up.ExpenSum);
    TSqliteDriver original(source.toStdString());
    TSqliteDriver copy(back.toStdString());
    for (const char *sql : EntriesSql)
        EXPECT_EQ(Rows(copy, sql), Rows(original, sql)) << sql;
    EXPECT_EQ(Rows(copy, "SELECT \"进帐时间\" FROM gain WHERE id = 3"), "2023-03-03 12:34:56.789\n");

    // New entries on the server get ids after the copied ones, and are journaled.
    Ledger->Exec("INSERT INTO gain (\"本次进帐\") VALUES (1)");
    EXPECT_EQ(Rows(*Ledger, "SELECT max(id) = " + std::to_string(up.GainRows + 1) + " FROM gain"), "t\n");
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) FROM kestrum_journal"), "1\n");
    // The copied file is a whole ledger: its writes are journaled too.
    copy.Exec("DELETE FROM gain WHERE id = 1");
    EXPECT_EQ(Rows(copy, "SELECT count(*) FROM kestrum_journal"), "1\n");
}

TEST_F(LedgerCopyTest, ACopyThatCannotBeExactLeavesTheTargetAsItWas)
{
    const QString source = SampleFile();
    {
        TSqliteDriver file(source.toStdString());
        file.Exec("UPDATE expen SET \"消费金额\" = 1.23456 WHERE id = (SELECT max(id) FROM expen)");
    }
    EXPECT_THROW(CopyLedger(source.toStdString(), Target), EDbDriverError);
    EXPECT_EQ(ServerLedgerVersion(*Ledger), 0);
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"), "0\n");
    // Guards against an amount the file holds as words arriving as 0.
    {
        TSqliteDriver file(source.toStdString());
        file.Exec("UPDATE expen SET \"消费金额\" = '十二元' WHERE \"消费金额\" = 1.23456");
    }
    const QString back = Folder.filePath(QStringLiteral("back.mdb"));
    EXPECT_THROW(CopyLedger(source.toStdString(), back.toStdString()), EDbDriverError);
    EXPECT_FALSE(QFile::exists(back));
    EXPECT_FALSE(QFile::exists(back + ".part"));

    // A target that holds a ledger is never written over.
    CreateServerLedger(*Ledger);
    Ledger->Exec("INSERT INTO gain (\"本次进帐\") VALUES (7)");
    {
        TSqliteDriver file(source.toStdString());
        file.Exec("UPDATE expen SET \"消费金额\" = 1.2345 WHERE \"消费金额\" = '十二元'");
    }
    EXPECT_THROW(CopyLedger(source.toStdString(), Target), EDbDriverError);
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*), sum(\"本次进帐\") FROM gain"), "1|7.0000\n");
    EXPECT_THROW(CopyLedger(Target, source.toStdString()), EDbDriverError); // an existing file
    EXPECT_FALSE(QFile::exists(source + ".part"));
}

TEST_F(LedgerCopyTest, AmountsBeyondADoublesDigitsCopyExactlyBetweenServersAndNeverRoundedIntoAFile)
{
    CreateServerLedger(*Ledger);
    // Nineteen digits: numeric(19, 4) holds them, a double keeps about 16.
    Ledger->Exec("INSERT INTO gain (\"本次进帐\", \"进帐人\") VALUES (123456789012345.6789, '整栋楼'), "
                 "(-0.0001, '找零'), (0.5, '利息')");
    Ledger->Exec("INSERT INTO expen (\"消费金额\", \"消费者\") VALUES (-99999999999999.9999, '退款')");
    const std::string amounts = "SELECT \"本次进帐\"::text FROM gain ORDER BY id";

    const std::string other = Server->ConnectionString(Server->CreateDatabase());
    const TLedgerCopy copy = CopyLedger(Target, other);
    EXPECT_EQ(copy.GainSum, 1234567890123456789LL + 5000 - 1);
    EXPECT_EQ(copy.ExpenSum, -999999999999999999LL);
    TPgDriver copied(other);
    EXPECT_EQ(Rows(copied, amounts), Rows(*Ledger, amounts));
    EXPECT_EQ(Rows(copied, amounts), "123456789012345.6789\n-0.0001\n0.5000\n");

    // A file holds a double: the check of the sums refuses the copy rather
    // than let the amount arrive rounded, and leaves no file behind.
    const QString file = Folder.filePath(QStringLiteral("rounded.mdb"));
    EXPECT_THROW(CopyLedger(Target, file.toStdString()), EDbDriverError);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(QFile::exists(file + ".part"));
}

TEST_F(LedgerCopyTest, TheToolInitsCopiesAndBacksUpAServerLedger)
{
    const QString source = SampleFile();
    auto run = [](const QStringList &arguments, QString *out = nullptr) {
        QProcess tool;
        tool.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        tool.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
        return tool.exitCode();
    };
    const QString uri = QString::fromStdString(Server->Uri(Database));
    QString said;
    // A password given in the address (the server here trusts the socket)
    // is never repeated in what the tool prints.
    QString withPassword = uri;
    withPassword.replace(QStringLiteral("postgres@"), QStringLiteral("postgres:hush-hush@"));
    EXPECT_EQ(run({QStringLiteral("copy"), source, withPassword}, &said), 0) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("hush-hush"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("counts and sums checked"))) << said.toStdString();
    EXPECT_EQ(run({QStringLiteral("init"), uri}, &said), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("已有账本"))) << said.toStdString();
    const QString backup = Folder.filePath(QStringLiteral("backup.mdb"));
    EXPECT_EQ(run({QStringLiteral("backup"), uri, backup}, &said), 0) << said.toStdString();
    EXPECT_EQ(run({QStringLiteral("check"), backup}), 0);
    const std::string other = Server->CreateDatabase();
    EXPECT_EQ(run({QStringLiteral("check"), QString::fromStdString(Server->Uri(other))}, &said), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("没有账本"))) << said.toStdString();
    EXPECT_EQ(run({QStringLiteral("init"), QString::fromStdString(Server->Uri(other))}), 0);
}

} // namespace

} // namespace kestrum::test
