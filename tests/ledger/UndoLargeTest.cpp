// Undo and redo of a large action (an import): a bounded number of
// statements whatever the action's size, progress and cancel, and a trash
// that holds only what someone deleted.
#include "JournalTestSupport.h"
#include "support/HandleDriver.h"

#include "ledger/Trash.h"
#include "ledger/UndoHistory.h"

#include <QTemporaryDir>

namespace kestrum {
namespace {

using namespace journaltest;

constexpr int ImportRows = 20000;

class UndoLarge : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Path());
        FDb = Open(Path());
        InsertGain(FDb, 8600, "工资");
        Exec(FDb, "DELETE FROM gain"); // one entry in the trash that a user deleted
        Import(0);
    }
    void TearDown() override { sqlite3_close(FDb); }
    QString Path() const { return FDir.filePath("Vantorel.mdb"); }

    //! One action of ImportRows entries, as an import makes it.
    void Import(int shift)
    {
        Exec(FDb, "BEGIN IMMEDIATE");
        OpenJournalAction(DriverOf(FDb), QString::fromUtf8("导入 %1 条纪录").arg(ImportRows));
        Exec(FDb, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                      std::to_string(ImportRows) +
                      ") INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) SELECT i % 97 + " +
                      std::to_string(shift) + ", '2026-01-01 00:00:00', 'item' || (i % 13), 'r' || i FROM n");
        CloseJournalAction(DriverOf(FDb));
        Exec(FDb, "COMMIT");
    }

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
};

int CountStatements(unsigned, void *context, void *, void *text)
{
    // Statements of triggers come as "-- TRIGGER name"; only the ones the
    // undo itself runs are counted.
    const char *sql = static_cast<const char *>(text);
    if (sql && std::string(sql).rfind("--", 0) != 0)
        ++*static_cast<int *>(context);
    return 0;
}

// Guards against an undo that ran a table-info query and a statement per
// entry on the window's thread: a million-entry import froze the program.
TEST_F(UndoLarge, AnActionIsUndoneAndRedoneWithABoundedNumberOfStatements)
{
    const TTables imported = DumpTables(FDb);
    int statements = 0;
    sqlite3_trace_v2(FDb, SQLITE_TRACE_STMT, CountStatements, &statements);
    TUndoHistory history(DriverOf(FDb));
    history.Undo();
    EXPECT_LT(statements, 200) << "a statement per entry";
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), "0");
    EXPECT_EQ(history.LastEntryCount(), ImportRows);
    statements = 0;
    history.Redo();
    EXPECT_LT(statements, 200);
    sqlite3_trace_v2(FDb, 0, nullptr, nullptr);
    EXPECT_EQ(DumpTables(FDb), imported);
    EXPECT_EQ(Replay(FDb), DumpTables(FDb));
}

// Guards against undone inserts filling the trash: after an undo and a
// fresh import of the same file, "restore all" brought every entry back a
// second time.
TEST_F(UndoLarge, UndoneInsertsStayOutOfTheTrashAndRestoreAllAddsNoDuplicate)
{
    TUndoHistory history(DriverOf(FDb));
    history.Undo();
    EXPECT_EQ(TrashCount(DriverOf(FDb)), 1) << "only the entry a user deleted";
    Import(0);
    const TTrashRestoreResult restored = RestoreAllFromTrash(DriverOf(FDb));
    EXPECT_EQ(restored.Inserted(), 1);
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), std::to_string(ImportRows));
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM gain"), "1");

    // A redo of a delete puts the entry back in the trash, as the delete did.
    Exec(FDb, "BEGIN IMMEDIATE");
    OpenJournalAction(DriverOf(FDb), QString::fromUtf8("删除 10 条纪录"));
    Exec(FDb, "DELETE FROM expen WHERE id IN (SELECT id FROM expen ORDER BY id LIMIT 10)");
    CloseJournalAction(DriverOf(FDb));
    Exec(FDb, "COMMIT");
    EXPECT_EQ(TrashCount(DriverOf(FDb)), 10);
    history.Undo();
    EXPECT_EQ(TrashCount(DriverOf(FDb)), 0) << "the entries are back";
    history.Redo();
    EXPECT_EQ(TrashCount(DriverOf(FDb)), 10);
    EXPECT_EQ(Replay(FDb), DumpTables(FDb));
}

TEST_F(UndoLarge, ProgressIsToldAndACancelWritesNothing)
{
    const TTables imported = DumpTables(FDb);
    const std::string journal = Scalar(FDb, "SELECT count(*) FROM kestrum_journal");
    TUndoHistory history(DriverOf(FDb));
    int calls = 0;
    history.OnProgress = [&](double fraction) {
        EXPECT_GE(fraction, 0.0);
        EXPECT_LE(fraction, 1.0);
        return ++calls < 3;
    };
    EXPECT_THROW(history.Undo(), EUndoCancelled);
    EXPECT_EQ(DumpTables(FDb), imported);
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM kestrum_journal"), journal);
    EXPECT_TRUE(HasJournal(DriverOf(FDb))) << "the triggers set aside are back";
    EXPECT_EQ(history.NextUndo()->Label.toStdString(), "导入 20000 条纪录");

    double last = 0;
    calls = 0;
    history.OnProgress = [&](double fraction) {
        EXPECT_GE(fraction, last);
        last = fraction;
        ++calls;
        return true;
    };
    history.Undo();
    EXPECT_GT(calls, 3);
    EXPECT_EQ(Scalar(FDb, "SELECT count(*) FROM expen"), "0");
}

} // namespace
} // namespace kestrum
