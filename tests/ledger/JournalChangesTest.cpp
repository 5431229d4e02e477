// Which entries another connection wrote into a ledger file, read from its
// journal: each row once, nothing for writes that touch no entry, and
// "read everything again" where the journal cannot tell.
#include "ledger/JournalChanges.h"
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/UndoHistory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrum {
namespace {

std::string Text(const std::vector<TDbChange> &changes)
{
    std::string text;
    for (const TDbChange &change : changes)
        text += (text.empty() ? "" : " ") + (change.Table.empty() ? std::string("*") : change.Table) + ":" +
                std::to_string(change.RowId);
    return text;
}

class JournalChangesTest : public testing::Test {
protected:
    JournalChangesTest()
    {
        path = dir.filePath("Vantorel.mdb").toStdString();
        CreateLedgerDatabase(QString::fromStdString(path));
        mine = std::make_unique<TSqliteDriver>(path, false, 2000);
        EnsureJournal(*mine);
        other = std::make_unique<TSqliteDriver>(path, false, 2000);
        other->Exec("INSERT INTO gain (本次进帐, 进帐人) VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    }

    QTemporaryDir dir;
    std::string path;
    std::unique_ptr<TSqliteDriver> mine, other;
};

TEST_F(JournalChangesTest, EachEntryAnotherConnectionWroteComesOnceAndOtherWritesBringNothing)
{
    TJournalChanges changes(*mine);
    EXPECT_EQ(Text(changes.Since()), "") << "what was there at the start is known";

    other->Exec("UPDATE gain SET 本次进帐 = 10 WHERE 进帐人 = 'b'");
    other->Exec("UPDATE gain SET 本次进帐 = 11 WHERE 进帐人 = 'b'");
    other->Exec("DELETE FROM gain WHERE 进帐人 = 'c'");
    other->Exec("INSERT INTO expen (消费金额, 消费者) VALUES (5, '餐饮')");
    EXPECT_EQ(Text(changes.Since()), "expen:1 gain:2 gain:3");
    EXPECT_EQ(Text(changes.Since()), "") << "nothing new";

    // A table of the program's own (budgets, kept totals) holds no entry.
    other->Exec("CREATE TABLE IF NOT EXISTS kestrum_note (x); INSERT INTO kestrum_note VALUES (1)");
    EXPECT_EQ(Text(changes.Since()), "");

    other->Exec("INSERT INTO gain (本次进帐, 进帐人) VALUES (4, 'd')");
    changes.Skip();
    EXPECT_EQ(Text(changes.Since()), "") << "the program's own writes, known already";
}

TEST_F(JournalChangesTest, AnUndoOrManyRowsOrNoJournalMeanReadEverythingAgain)
{
    TJournalChanges changes(*mine);
    other->Exec("BEGIN");
    OpenJournalAction(*other, QStringLiteral("t"));
    other->Exec("UPDATE gain SET 本次进帐 = 100 WHERE 进帐人 = 'a'");
    CloseJournalAction(*other);
    other->Exec("COMMIT");
    EXPECT_EQ(Text(changes.Since()), "gain:1");

    // An undo writes its rows with the journal set aside.
    TUndoHistory(*other).Undo();
    EXPECT_EQ(Text(changes.Since()), "*:0");
    EXPECT_EQ(Text(changes.Since()), "");

    other->Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1001) "
                "INSERT INTO gain (本次进帐) SELECT i FROM n");
    EXPECT_EQ(Text(changes.Since()), "*:0");

    DropJournalTriggers(*other);
    other->Exec("UPDATE gain SET 本次进帐 = 7 WHERE rowid = 2");
    EXPECT_EQ(Text(changes.Since()), "*:0") << "a file without a journal cannot say";
}

TEST_F(JournalChangesTest, AJournalMadeAfterTheLastLookTellsEveryWriteSinceIt)
{
    // Guards against both pages of a ten-million-entry file being read
    // again after its open: the program adds the journal to an older file
    // after it read the rows, and its first change was taken for one the
    // journal could not tell.
    DropJournalTriggers(*mine);
    mine->Exec("DROP TABLE kestrum_journal; DROP TABLE kestrum_journal_action");
    TJournalChanges changes(*mine);
    EnsureJournal(*mine);
    other->Exec("CREATE TABLE IF NOT EXISTS kestrum_note (x); INSERT INTO kestrum_note VALUES (1)");
    EXPECT_EQ(Text(changes.Since()), "");
    other->Exec("UPDATE gain SET 本次进帐 = 5 WHERE 进帐人 = 'a'");
    EXPECT_EQ(Text(changes.Since()), "gain:1");
}

TEST_F(JournalChangesTest, AnActionListsTheRowsItWroteOnceEachUnlessTheyAreTooMany)
{
    other->Exec("BEGIN");
    const std::int64_t action = OpenJournalAction(*other, QStringLiteral("t"));
    other->Exec("UPDATE gain SET 本次进帐 = 100 WHERE 进帐人 = 'c'");
    other->Exec("UPDATE gain SET 本次进帐 = 101 WHERE 进帐人 = 'c'");
    other->Exec("DELETE FROM gain WHERE 进帐人 = 'a'");
    other->Exec("INSERT INTO expen (消费金额, 消费者) VALUES (5, '餐饮')");
    CloseJournalAction(*other);
    other->Exec("COMMIT");
    const auto rows = RowsOfAction(*mine, action, 3);
    ASSERT_TRUE(rows);
    EXPECT_EQ(Text(*rows), "expen:1 gain:1 gain:3");
    // Its undo writes the same rows; listed before or after, they stay.
    TUndoHistory(*other).Undo();
    EXPECT_EQ(Text(RowsOfAction(*mine, action, 3).value_or(std::vector<TDbChange>{})),
              "expen:1 gain:1 gain:3");

    EXPECT_FALSE(RowsOfAction(*mine, action, 2)) << "more rows than asked for";
    EXPECT_EQ(Text(RowsOfAction(*mine, 999, 10).value_or(std::vector<TDbChange>{{"x", 1}})), "")
        << "an action that wrote nothing";
    DropJournalTriggers(*mine);
    mine->Exec("DROP TABLE kestrum_journal");
    EXPECT_FALSE(RowsOfAction(*mine, action, 10)) << "no journal, nothing to say";
}

} // namespace
} // namespace kestrum
