// Writers of other programs with every conflict clause: whatever a write
// replaces leaves a journal row and a trash copy, the journal replays to the
// tables, and undo brings back the state before the write.
#include "JournalTestSupport.h"
#include "support/HandleDriver.h"

#include "ledger/Trash.h"
#include "ledger/UndoHistory.h"

#include <QRegularExpression>
#include <QTemporaryDir>

namespace kestrum {
namespace {

using namespace journaltest;

struct TConflictCase {
    const char *Name;
    const char *Sql;
    bool Succeeds;
    const char *Trashed; //!< the trash copies the write adds, "gain#2:b" by trash id
};

const TConflictCase ConflictCases[] = {
    {"insert or replace",
     "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (2, 99, '2026-02-01 00:00:00', "
     "'替换')",
     true, "gain#2:b"},
    {"replace into", "REPLACE INTO expen (id, 消费金额, 消费者) VALUES (1, 5, '替换')", true, "expen#1:e"},
    {"update or replace", "UPDATE OR REPLACE gain SET id = 2 WHERE id = 3", true, "gain#2:b"},
    {"insert or replace from a select",
     "INSERT OR REPLACE INTO gain (id, 本次进帐, 进帐时间, 进帐人, 备注) "
     "SELECT id, 本次进帐 * 2, 进帐时间, 进帐人, 备注 FROM gain",
     true, "gain#1:a gain#2:b gain#3:c"},
    {"replace with the same values",
     "REPLACE INTO gain (id, 本次进帐, 进帐时间, 进帐人) SELECT * FROM "
     "(SELECT id, 本次进帐, 进帐时间, 进帐人 FROM gain WHERE id = 1)",
     true, ""},
    {"insert or ignore",
     "INSERT OR IGNORE INTO gain (id, 本次进帐, 进帐人) VALUES (2, 99, '忽略'), (10, 10, '新')", true, ""},
    {"insert or abort",
     "INSERT OR ABORT INTO gain (id, 本次进帐, 进帐人) VALUES (11, 1, 'x'), (2, 99, '中止')", false, ""},
    {"insert or fail",
     "INSERT OR FAIL INTO gain (id, 本次进帐, 进帐人) VALUES (12, 12, '先到'), (2, 99, '失败')", false, ""},
    {"insert or rollback",
     "BEGIN; INSERT INTO gain (id, 本次进帐, 进帐人) VALUES (13, 13, '先到'); "
     "INSERT OR ROLLBACK INTO gain (id, 本次进帐, 进帐人) VALUES (2, 99, '回滚')",
     false, ""},
    {"upsert do update",
     "INSERT INTO gain (id, 本次进帐, 进帐人) VALUES (2, 77, '更新') "
     "ON CONFLICT(id) DO UPDATE SET 本次进帐 = excluded.本次进帐, 进帐人 = excluded.进帐人",
     true, ""},
    {"upsert do nothing",
     "INSERT INTO gain (id, 本次进帐, 进帐人) VALUES (2, 77, 'x') ON CONFLICT DO NOTHING", true, ""},
    {"update or ignore", "UPDATE OR IGNORE gain SET id = 2 WHERE id = 3", true, ""},
};

class ConflictClauses : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }

    //! A ledger with gain 1..3 (a, b, c) and expen 1..2 (e, f), made by the program.
    QString NewLedger(const QString &name)
    {
        const QString path = FDir.filePath(name);
        CreateLedgerDatabase(path);
        sqlite3 *db = Open(path);
        for (const char *item : {"a", "b", "c"})
            InsertGain(db, 100, item);
        Exec(db, "INSERT INTO expen (消费金额, 消费者) VALUES (30, 'e'), (40, 'f')");
        sqlite3_close(db);
        return path;
    }

    static std::string TrashAfter(sqlite3 *db, const std::string &mark)
    {
        return Scalar(db, "SELECT ifnull(group_concat(source || '#' || original_id || ':' || item, ' '), '') "
                          "FROM (SELECT * FROM kestrum_trash WHERE id > " +
                              mark + " ORDER BY id)");
    }

    //! Runs one case as another program would (a bare connection) and checks
    //! the journal, the trash and the undo of all it did.
    void Check(const QString &path, const TConflictCase &c)
    {
        SCOPED_TRACE(c.Name);
        sqlite3 *program = Open(path);
        const TTables before = DumpTables(program);
        const std::string trashMark = Scalar(program, "SELECT ifnull(max(id), 0) FROM kestrum_trash");
        const std::string trashCount = Scalar(program, "SELECT count(*) FROM kestrum_trash");
        const std::int64_t actionMark =
            std::stoll(Scalar(program, "SELECT ifnull(max(id), 0) FROM kestrum_journal_action"));

        sqlite3 *other = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(other, c.Sql, nullptr, nullptr, nullptr) == SQLITE_OK, c.Succeeds)
            << sqlite3_errmsg(other);
        if (!sqlite3_get_autocommit(other))
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        EXPECT_EQ(Replay(program), DumpTables(program)) << "the journal misses what the write did";
        EXPECT_EQ(TrashAfter(program, trashMark), c.Trashed);
        // A later plain write of the same program is only itself.
        EXPECT_EQ(sqlite3_exec(other, "INSERT INTO gain (id, 本次进帐, 进帐人) VALUES (50, 1, '之后')",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(other);
        EXPECT_EQ(Replay(program), DumpTables(program)) << "a note of an earlier write was taken up again";
        EXPECT_EQ(TrashAfter(program, trashMark), c.Trashed);

        TUndoHistory history(DriverOf(program));
        while (history.NextUndo() && history.NextUndo()->Id > actionMark)
            history.Undo();
        EXPECT_EQ(DumpTables(program), before) << "undo did not bring back the state before the write";
        EXPECT_EQ(Scalar(program, "SELECT count(*) FROM kestrum_trash"), trashCount)
            << "an entry that undo brought back stays in the trash";
        EXPECT_EQ(Replay(program), DumpTables(program));
        sqlite3_close(program);
    }

    QTemporaryDir FDir;
};

TEST_F(ConflictClauses, EveryRowAWriteReplacesIsJournaledAndTrashedAndUndoBringsItBack)
{
    int n = 0;
    for (const TConflictCase &c : ConflictCases)
        Check(NewLedger(QStringLiteral("case%1.mdb").arg(n++)), c);
}

// Guards against ledgers written before replaced rows were noted: they keep
// triggers that miss them until the file is opened by this version.
TEST_F(ConflictClauses, AnOlderLedgerGetsTheNotesWhenItsJournalAndTrashAreEnsured)
{
    const QString path = NewLedger(QStringLiteral("older.mdb"));
    sqlite3 *db = Open(path);
    // Back to the triggers of an older version: no notes, no trash copy of
    // replaced rows, journal triggers without the replaced row.
    std::vector<std::pair<std::string, std::string>> triggers;
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger'", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW)
        triggers.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)),
                              reinterpret_cast<const char *>(sqlite3_column_text(s, 1)));
    sqlite3_finalize(s);
    const QRegularExpression noted(QStringLiteral("INSERT INTO kestrum_journal \\([^)]*\\) SELECT [^;]*;"));
    for (const auto &[name, sql] : triggers) {
        Exec(db, "DROP TRIGGER " + name);
        if (name.find("replaced") == std::string::npos)
            Exec(db, QString::fromStdString(sql).remove(noted).toStdString());
    }
    Exec(db, "DROP TABLE kestrum_replaced");
    EXPECT_TRUE(HasJournal(DriverOf(db)));
    EXPECT_FALSE(JournalIsCurrent(DriverOf(db)));
    EnsureJournal(DriverOf(db));
    EXPECT_TRUE(EnsureTrash(DriverOf(db)));
    EXPECT_TRUE(JournalIsCurrent(DriverOf(db)));
    sqlite3_close(db);
    Check(path, ConflictCases[0]);
    Check(path, ConflictCases[2]);
}

} // namespace
} // namespace kestrum
