// The journal and undo/redo: what every writer leaves in the journal, how
// actions are labelled and grouped, undo/redo order across connections,
// refusals that write nothing, and older files that get the journal.
#include "JournalTestSupport.h"
#include "LedgerEngines.h"
#include "support/HandleDriver.h"

#include "core/Errors.h"
#include "db/DbConnection.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "ledger/UndoHistory.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace kestrum {
namespace {

using namespace journaltest;
using test::EngineName;
using test::TEngine;

class Journal : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Path());
        FDb = Open(Path());
    }
    void TearDown() override { sqlite3_close(FDb); }
    QString Path() const { return FDir.filePath("Vantorel.mdb"); }
    std::string Label(const std::optional<TUndoAction> &action)
    {
        return action ? action->Label.toStdString() : std::string("<none>");
    }

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
};

//! Undo and redo on either engine.
class Undo : public test::LedgerOnEngine {
protected:
    std::string Label(const std::optional<TUndoAction> &action)
    {
        return action ? action->Label.toStdString() : std::string("<none>");
    }
    void InsertGain(double amount, const char *item, const char *date = "2026-01-10 00:00:00")
    {
        Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (" + std::to_string(amount) + ", '" +
             date + "', '" + item + "')");
    }
};
KESTRUM_ON_BOTH_ENGINES(Undo);

TEST_F(Journal, RecordSetWritesAreJournaledWithTheirValuesAndLabels)
{
    TDbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Path());
    TDbQuery query;
    query.SetConnection(&connection);
    query.SetSQL({QStringLiteral("select * from gain")});
    query.Open();
    query.Append();
    query.FieldByName(QString::fromUtf8("本次进帐"))->SetAsFloat(8600);
    query.FieldByName(QString::fromUtf8("进帐人"))->SetAsString(QString::fromUtf8("工资"));
    query.Post();
    TUndoHistory history(DriverOf(FDb));
    EXPECT_EQ(Label(history.NextUndo()), "录入 工资 8600");

    query.Edit();
    query.FieldByName(QString::fromUtf8("本次进帐"))->SetAsFloat(8650.5);
    query.Post();
    EXPECT_EQ(Label(history.NextUndo()), "修改 工资 8650.5");
    query.Delete();
    EXPECT_EQ(Label(history.NextUndo()), "删除 工资 8650.5");

    std::vector<TJournalRow> rows;
    ForEachJournalRow(DriverOf(FDb), false, [&](const TJournalRow &row) {
        rows.push_back(row);
        return true;
    });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Kind, TJournalKind::Insert);
    EXPECT_EQ(rows[1].Kind, TJournalKind::Update);
    EXPECT_EQ(rows[2].Kind, TJournalKind::Delete);
    EXPECT_EQ(rows[1].Before[0].Real, 8600);
    EXPECT_EQ(rows[1].After[0].Real, 8650.5);
    EXPECT_EQ(rows[2].Before[2].Bytes, "工资");
    EXPECT_EQ(rows[2].After[0].Type, SQLITE_NULL);
    // Three writes outside any action: three actions.
    EXPECT_NE(rows[0].Action, rows[1].Action);
    EXPECT_NE(rows[1].Action, rows[2].Action);
    EXPECT_FALSE(rows[0].Time.isEmpty());
    EXPECT_EQ(Replay(FDb), DumpTables(FDb));
    // The history line names time, action, kind, table, id, item and amount.
    const QString line = JournalHistoryLine(rows[2]);
    EXPECT_TRUE(line.contains(QString::fromUtf8("删除  gain  1  工资  8650.5"))) << line.toStdString();
}

TEST_P(Undo, UndoAndRedoWholeActionsInOrderAndSurviveReopening)
{
    InsertGain(8600, "工资");
    InsertGain(5200, "工资");
    BeginWrite(Db());
    OpenJournalAction(Db(), QString::fromUtf8("导入 2 条纪录"));
    Exec("UPDATE gain SET 本次进帐 = 9000 WHERE id = 1");
    Exec("INSERT INTO expen (消费金额, 消费者) VALUES (35, '伙食')");
    CloseJournalAction(Db());
    Exec("COMMIT");
    const TTables afterAll = DumpTables(Db());
    {
        TUndoHistory history(Db());
        EXPECT_EQ(Label(history.NextUndo()), "导入 2 条纪录");
        EXPECT_EQ(Label(history.NextRedo()), "<none>");
        history.Undo();
    }
    // Another connection (the program after a restart) sees the same stacks.
    Reopen();
    TUndoHistory history(Db());
    EXPECT_EQ(Scalar("SELECT 本次进帐 FROM gain WHERE id = 1"), "8600.0");
    EXPECT_EQ(Scalar("SELECT count(*) FROM expen"), "0");
    EXPECT_EQ(Label(history.NextUndo()), "录入 工资 5200");
    EXPECT_EQ(Label(history.NextRedo()), "导入 2 条纪录");
    history.Undo();
    history.Undo();
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain"), "0");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_trash"), "0"); // undone inserts were deleted by no one
    EXPECT_EQ(Label(history.NextUndo()), "<none>");
    EXPECT_THROW(history.Undo(), EUndoRefused);
    // Redo is oldest first.
    EXPECT_EQ(Label(history.NextRedo()), "录入 工资 8600");
    history.Redo();
    history.Redo();
    history.Redo();
    EXPECT_EQ(DumpTables(Db()), afterAll);
    EXPECT_THROW(history.Redo(), EUndoRefused);
    // Undo and redo rows are in the journal, so replaying it still gives the tables.
    EXPECT_EQ(Replay(Db()), DumpTables(Db()));
    // ... but they are not history to undo: the next undo is the import again.
    EXPECT_EQ(Label(history.NextUndo()), "导入 2 条纪录");
}

TEST_P(Undo, SomethingNewAfterUndoDropsTheRedoListWhoeverWritesIt)
{
    InsertGain(1, "a");
    InsertGain(2, "b");
    TUndoHistory history(Db());
    history.Undo();
    EXPECT_EQ(Label(history.NextRedo()), "录入 b 2");
    InsertGain(3, "c"); // a plain writer, outside any action
    EXPECT_EQ(Label(history.NextRedo()), "<none>");
    history.Undo();
    EXPECT_EQ(Label(history.NextRedo()), "录入 c 3");
    BeginWrite(Db());
    OpenJournalAction(Db(), QString::fromUtf8("导入"));
    Exec("DELETE FROM gain WHERE id = 1");
    CloseJournalAction(Db());
    Exec("COMMIT");
    EXPECT_EQ(Label(history.NextRedo()), "<none>");
    EXPECT_EQ(Label(history.NextUndo()), "导入");
    // An action that wrote nothing leaves nothing to undo.
    BeginWrite(Db());
    OpenJournalAction(Db(), QString::fromUtf8("导入 0 条纪录"));
    CloseJournalAction(Db());
    Exec("COMMIT");
    EXPECT_EQ(Label(history.NextUndo()), "导入");
}

TEST_P(Undo, JoinedDeletesAreOneActionWithACountedLabel)
{
    for (int i = 1; i <= 4; ++i)
        InsertGain(100 * i, "x");
    TUndoHistory history(Db());
    std::vector<std::int64_t> actions;
    for (int id : {1, 2, 4}) {
        Exec("DELETE FROM gain WHERE id = " + std::to_string(id));
        actions.push_back(history.LastActionOf(QStringLiteral("gain"), TJournalKind::Delete));
    }
    history.JoinActions(actions);
    EXPECT_EQ(Label(history.NextUndo()), "删除 3 条纪录");
    history.Undo();
    EXPECT_EQ(Rows("SELECT id FROM gain ORDER BY id"), "1;2;3;4");
    EXPECT_EQ(Label(history.NextUndo()), "录入 x 400");
    history.Redo();
    EXPECT_EQ(Rows("SELECT id FROM gain ORDER BY id"), "3");
    EXPECT_EQ(Replay(Db()), DumpTables(Db()));
}

TEST_P(Undo, ARowChangedBehindTheJournalsBackRefusesTheUndoAndWritesNothing)
{
    InsertGain(8600, "工资");
    Exec("UPDATE gain SET 进帐人 = '奖金' WHERE id = 1");
    // A writer that bypasses the journal (an old copy of the program that
    // dropped the triggers while it wrote).
    std::unique_ptr<TDbDriver> other = Connect();
    BeginWrite(*other);
    DropJournalTriggers(*other);
    Exec(*other, "UPDATE gain SET 本次进帐 = 1 WHERE id = 1");
    EnsureJournal(*other);
    Exec(*other, "COMMIT");
    const std::string journalRows = Scalar("SELECT count(*) FROM kestrum_journal");
    TUndoHistory history(Db());
    try {
        history.Undo();
        ADD_FAILURE() << "undo went through";
    } catch (const EUndoRefused &refused) {
        EXPECT_EQ(refused.message(), "撤销失败：该纪录已被其他程序修改。");
    }
    EXPECT_EQ(Rows("SELECT 进帐人, 本次进帐 FROM gain"), "奖金|1.0");
    EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_journal"), journalRows);
    if (!OnServer()) { // a file keeps its open action in a table
        EXPECT_EQ(Scalar("SELECT count(*) FROM kestrum_journal_open"), "0");
    }
    EXPECT_EQ(Label(history.NextUndo()), "修改 奖金 8600");

    // A deleted row whose id was taken meanwhile cannot come back.
    Exec("DELETE FROM gain WHERE id = 1");
    BeginWrite(*other);
    DropJournalTriggers(*other);
    Exec(*other, "INSERT INTO gain (id, 本次进帐) VALUES (1, 7)");
    EnsureJournal(*other);
    Exec(*other, "COMMIT");
    EXPECT_THROW(history.Undo(), EUndoRefused);
    EXPECT_EQ(Scalar("SELECT 本次进帐 FROM gain WHERE id = 1"), "7.0");
    other.reset();
}

TEST_P(Undo, AnUndoOfWhatTheMenuNamedIsRefusedWhenAnotherConnectionActedSince)
{
    InsertGain(8600, "工资");
    TUndoHistory mine(Db());
    const std::int64_t shown = mine.NextUndo()->Id;
    std::unique_ptr<TDbDriver> other = Connect();
    Exec(*other, "UPDATE gain SET 进帐人 = '奖金' WHERE id = 1"); // the other edits the same row
    EXPECT_THROW(mine.Undo(shown), EUndoRefused);
    EXPECT_EQ(Scalar("SELECT 进帐人 FROM gain WHERE id = 1"), "奖金");
    // The other's own undo history goes on: it undoes its edit.
    TUndoHistory theirs(*other);
    EXPECT_EQ(theirs.Undo().Label.toStdString(), "修改 奖金 8600");
    // Now my insert is the newest action again and my undo goes through.
    EXPECT_EQ(mine.Undo(shown).Label.toStdString(), "录入 工资 8600");
    EXPECT_EQ(Scalar("SELECT count(*) FROM gain"), "0");
    EXPECT_EQ(Replay(Db()), DumpTables(Db()));
    other.reset();
}

TEST_F(Journal, OlderFilesGetTheJournalWithoutLosingRowsAndReadOnlyFilesAreLeftAlone)
{
    const QString old = FDir.filePath("old.mdb");
    sqlite3 *db = nullptr;
    sqlite3_open(old.toUtf8().constData(), &db);
    Exec(db, LedgerSchemaSql);
    Exec(db, "INSERT INTO gain (本次进帐, 进帐人) VALUES (8600, '工资')");
    EXPECT_FALSE(HasJournal(DriverOf(db)));
    EnsureJournal(DriverOf(db));
    EXPECT_TRUE(HasJournal(DriverOf(db)));
    EnsureJournal(DriverOf(db)); // twice is harmless
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM gain"), "1");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM kestrum_journal"), "0"); // old rows are where it starts
    Exec(db, "DELETE FROM gain");
    TUndoHistory history(DriverOf(db));
    history.Undo();
    EXPECT_EQ(Scalar(db, "SELECT 进帐人 FROM gain"), "工资");
    sqlite3_close(db);

    // A table without the ledger's columns gets no triggers and stays writable.
    const QString odd = FDir.filePath("odd.mdb");
    sqlite3_open(odd.toUtf8().constData(), &db);
    Exec(db, "CREATE TABLE gain (id INTEGER PRIMARY KEY, x); CREATE TABLE expen (id INTEGER PRIMARY KEY, "
             "消费金额, 消费日期, 消费者, 备注)");
    EnsureJournal(DriverOf(db));
    Exec(db, "INSERT INTO gain (x) VALUES (1)");
    Exec(db, "INSERT INTO expen (消费金额) VALUES (2)");
    EXPECT_EQ(Scalar(db, "SELECT group_concat(tbl) FROM kestrum_journal"), "expen");
    sqlite3_close(db);

    // A file that can only be read: nothing to add, no failure.
    const QString readOnly = FDir.filePath("ro.mdb");
    sqlite3_open(readOnly.toUtf8().constData(), &db);
    Exec(db, LedgerSchemaSql);
    sqlite3_close(db);
    ::chmod(readOnly.toUtf8().constData(), 0444);
    sqlite3_open_v2(readOnly.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    EXPECT_NO_THROW(EnsureJournal(DriverOf(db)));
    EXPECT_FALSE(HasJournal(DriverOf(db)));
    sqlite3_close(db);
}

TEST_P(Undo, ChangingAnEntrysKeyIsADeleteAndAnInsertThatUndoTakesBack)
{
    InsertGain(8600, "工资");
    Exec("UPDATE gain SET id = 10 WHERE id = 1");
    EXPECT_EQ(Replay(Db()), DumpTables(Db()));
    TUndoHistory history(Db());
    EXPECT_EQ(Label(history.NextUndo()), "更改 2 条纪录");
    history.Undo();
    EXPECT_EQ(Rows("SELECT id FROM gain ORDER BY id"), "1");
}

TEST_F(Journal, HistoryCommandListsTheJournalNewestFirst)
{
    InsertGain(FDb, 8600, "工资");
    Exec(FDb, "DELETE FROM gain");
    TUndoHistory(DriverOf(FDb)).Undo();
    QProcess process;
    process.start(QStringLiteral(KESTRUM_DB_TOOL), {QStringLiteral("history"), Path()});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QString::fromUtf8("撤销#2  录入  gain  1  工资  8600")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QString::fromUtf8("删除  gain  1  工资  8600"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QString::fromUtf8("录入  gain  1  工资  8600"))) << lines[2].toStdString();

    process.start(QStringLiteral(KESTRUM_DB_TOOL), {QStringLiteral("history"), FDir.filePath("missing.mdb")});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_FALSE(QFile::exists(FDir.filePath("missing.mdb")));
}

TEST(JournalText, AmountsReadAsTypedAndLabelsNameWhatWasDone)
{
    auto real = [](double v) {
        TJournalValue value;
        value.Type = SQLITE_FLOAT;
        value.Real = v;
        return value;
    };
    EXPECT_EQ(JournalAmountText(real(8600)).toStdString(), "8600");
    EXPECT_EQ(JournalAmountText(real(35.5)).toStdString(), "35.5");
    EXPECT_EQ(JournalAmountText(real(0.1 + 0.2)).toStdString(), "0.3");
    EXPECT_EQ(JournalAmountText(real(-0.001)).toStdString(), "0");
    EXPECT_EQ(JournalAmountText(TJournalValue()).toStdString(), "");
    TJournalRow row;
    row.Kind = TJournalKind::Insert;
    row.After[0] = real(12);
    EXPECT_EQ(JournalActionLabel({row}).toStdString(), "录入 12"); // no item: no gap
    TJournalRow deleted = row;
    deleted.Kind = TJournalKind::Delete;
    EXPECT_EQ(JournalActionLabel({deleted, deleted}).toStdString(), "删除 2 条纪录");
    EXPECT_EQ(JournalActionLabel({row, deleted}).toStdString(), "更改 2 条纪录");
}

} // namespace
} // namespace kestrum
