// The trash of deleted entries: its triggers, restoring under the old or a
// new id, all-or-nothing restores (also when the process dies midway) and
// emptying it.
#include "ledger/Trash.h"
#include "support/HandleDriver.h"

#include "LedgerEngines.h"
#include "db/DbErrors.h"
#include "ledger/LedgerFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kestrum {
namespace {

using test::EngineName;
using test::TEngine;

sqlite3 *OpenFile(const QString &path, int flags = SQLITE_OPEN_READWRITE)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(db, 2000);
    return db;
}

void Exec(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "") << sql;
}

//! Every row of a query, cells separated by "|", rows by ";" (NULL as "-").
std::string Rows(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return std::string("<error: ") + sqlite3_errmsg(db) + ">";
    std::string out;
    while (sqlite3_step(s) == SQLITE_ROW) {
        if (!out.empty())
            out += ";";
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            if (i)
                out += "|";
            const unsigned char *text = sqlite3_column_text(s, i);
            out += text ? reinterpret_cast<const char *>(text) : "-";
        }
    }
    sqlite3_finalize(s);
    return out;
}

const char *const GainRows = "SELECT id, 本次进帐, 进帐时间, 进帐人, 备注 FROM gain ORDER BY id";
const char *const ExpenRows = "SELECT id, 消费金额, 消费日期, 消费者, 备注 FROM expen ORDER BY id";
const char *const TrashRows =
    "SELECT source, original_id, amount, entry_date, item, remark FROM kestrum_trash ORDER BY id";

class TrashFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Path());
        FDb = OpenFile(Path());
        Exec(FDb,
             "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
             "(8600.5, '2024-01-10 00:00:00', '工资', NULL), (300, '2024-02-03 00:00:00', '兼职', '家教'), "
             "(12.25, '2024-03-01 00:00:00', '利息', '')");
        Exec(FDb,
             "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
             "(2800, '2024-01-01 00:00:00', '房租', NULL), (45.8, '2024-01-02 00:00:00', '伙食', '超市')");
    }
    void TearDown() override { sqlite3_close(FDb); }
    QString Path() const { return FDir.filePath("Vantorel.mdb"); }
    //! The whole ledger, trash included, in one string.
    std::string Everything() const
    {
        return Rows(FDb, GainRows) + " / " + Rows(FDb, ExpenRows) + " / " + Rows(FDb, TrashRows);
    }

    QTemporaryDir FDir;
    sqlite3 *FDb = nullptr;
};

//! The same ledger on either engine.
class Trash : public test::LedgerOnEngine {
protected:
    void SetUp() override
    {
        LedgerOnEngine::SetUp();
        if (IsSkipped() || HasFailure())
            return;
        Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
             "(8600.5, '2024-01-10 00:00:00', '工资', NULL), (300, '2024-02-03 00:00:00', '兼职', '家教'), "
             "(12.25, '2024-03-01 00:00:00', '利息', '')");
        Exec("INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
             "(2800, '2024-01-01 00:00:00', '房租', NULL), (45.8, '2024-01-02 00:00:00', '伙食', '超市')");
    }
    //! The whole ledger, trash included, in one string.
    std::string Everything() const
    {
        return Rows(GainRows) + " / " + Rows(ExpenRows) + " / " + Rows(TrashRows);
    }
};
KESTRUM_ON_BOTH_ENGINES(Trash);

TEST_P(Trash, DeletesFromAnyConnectionLandInTheTrashWithTheirValuesInTheSameTransaction)
{
    // Another connection knows nothing of the trash: the ledger's triggers do the work.
    std::unique_ptr<TDbDriver> other = Connect();
    Exec(*other, "BEGIN; DELETE FROM gain WHERE id = 1; ROLLBACK");
    EXPECT_EQ(Rows(TrashRows), "");
    Exec(*other, "DELETE FROM gain WHERE id IN (1, 3)");
    Exec(*other, "DELETE FROM expen WHERE id = 2");
    other.reset();

    EXPECT_EQ(Rows(TrashRows), "gain|1|8600.5|2024-01-10 00:00:00|工资|-;"
                               "gain|3|12.25|2024-03-01 00:00:00|利息|;"
                               "expen|2|45.8|2024-01-02 00:00:00|伙食|超市");
    if (!OnServer()) { // a file's trash keeps each value's kind
        EXPECT_EQ(Rows("SELECT typeof(amount), typeof(remark) FROM kestrum_trash WHERE original_id = 1"),
                  "real|null");
    }
    EXPECT_EQ(TrashCount(Db()), 3);

    const std::vector<TTrashEntry> list = ListTrash(Db());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Source, TTrashSource::Expen); // newest deletion first
    EXPECT_EQ(list[0].OriginalId, 2);
    EXPECT_EQ(list[0].Remark.toString(), QString::fromUtf8("超市"));
    EXPECT_EQ(list[2].Amount.toDouble(), 8600.5);
    EXPECT_TRUE(list[2].Remark.isNull());
    EXPECT_EQ(list[2].DeletedAt.size(), 19);
    const std::vector<std::int64_t> ids = TrashIds(Db());
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_GT(ids[0], ids[1]);
    const std::vector<TTrashEntry> page = TrashEntries(Db(), ids[1], ids[2]);
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0].TrashId, ids[1]);
    EXPECT_EQ(page[1].OriginalId, 1);
}

TEST_P(Trash, AnEntryInsertedAgainUnderItsIdLeavesTheTrashAnotherEntryWithThatIdDoesNot)
{
    Exec("DELETE FROM gain WHERE id = 2");
    Exec("DELETE FROM expen WHERE id = 1");
    // An undo of the delete: the same values under the old id.
    Exec("INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人, 备注) VALUES (2, 300, '2024-02-03 "
         "00:00:00', '兼职', '家教')");
    EXPECT_EQ(Rows(TrashRows), "expen|1|2800.0|2024-01-01 00:00:00|房租|-");
    // A different entry that was given the deleted id keeps the deleted one in the trash.
    Exec("INSERT INTO expen (id, 消费金额, 消费日期, 消费者, 备注) VALUES (1, 9, '2024-05-05 00:00:00', "
         "'书', NULL)");
    EXPECT_EQ(Rows(TrashRows), "expen|1|2800.0|2024-01-01 00:00:00|房租|-");
}

TEST_F(TrashFile, TheInsertTriggerFindsItsRowThroughTheIndex)
{
    // Each imported row runs the lookup; without the index an import of a
    // million rows into a ledger with a full trash would take hours.
    const std::string plan = Rows(
        FDb, "EXPLAIN QUERY PLAN SELECT id FROM kestrum_trash WHERE source = 'gain' AND original_id = 5 "
             "AND amount IS 1 AND entry_date IS 2 AND item IS 3 AND remark IS 4 ORDER BY id DESC LIMIT 1");
    EXPECT_NE(plan.find("kestrum_trash_entry"), std::string::npos) << plan;
}

TEST_F(TrashFile, EnsureTrashEquipsAnOlderFileOnceAndLeavesAReadOnlyFileAlone)
{
    const QString older = FDir.filePath("older.mdb");
    sqlite3 *db = OpenFile(older, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // An older ledger: no trash, and ids that SQLite hands out again.
    Exec(db, "CREATE TABLE gain (id INTEGER PRIMARY KEY, 本次进帐 REAL, 进帐时间 DATETIME, 进帐人 TEXT, 备注 "
             "TEXT);"
             "CREATE TABLE expen (id INTEGER PRIMARY KEY, 消费金额 REAL, 消费日期 DATETIME, 消费者 TEXT, "
             "备注 TEXT);"
             "INSERT INTO gain VALUES (1, 5, '2024-01-01 00:00:00', 'a', NULL), (2, 6, '2024-01-02 "
             "00:00:00', 'b', NULL)");
    sqlite3_close(db);

    sqlite3 *readOnly = OpenFile(older, SQLITE_OPEN_READONLY);
    EXPECT_FALSE(EnsureTrash(DriverOf(readOnly)));
    EXPECT_FALSE(HasTrash(DriverOf(readOnly)));
    EXPECT_EQ(TrashCount(DriverOf(readOnly)), 0);
    EXPECT_TRUE(ListTrash(DriverOf(readOnly)).empty());
    sqlite3_close(readOnly);

    db = OpenFile(older);
    EXPECT_TRUE(EnsureTrash(DriverOf(db)));
    const std::string schema =
        Rows(db, "SELECT type, name FROM sqlite_master WHERE name LIKE 'kestrum%' ORDER BY name");
    EXPECT_EQ(schema, "table|kestrum_replaced;trigger|kestrum_replaced_expen_insert;"
                      "trigger|kestrum_replaced_expen_update;trigger|kestrum_replaced_gain_insert;"
                      "trigger|kestrum_replaced_gain_update;"
                      "table|kestrum_trash;index|kestrum_trash_entry;trigger|kestrum_trash_expen_deleted;"
                      "trigger|kestrum_trash_expen_inserted;trigger|kestrum_trash_expen_rekey_replaced;"
                      "trigger|kestrum_trash_expen_replaced;trigger|kestrum_trash_gain_deleted;"
                      "trigger|kestrum_trash_gain_inserted;trigger|kestrum_trash_gain_rekey_replaced;"
                      "trigger|kestrum_trash_gain_replaced");
    EXPECT_TRUE(EnsureTrash(DriverOf(db)));
    EXPECT_EQ(Rows(db, "SELECT type, name FROM sqlite_master WHERE name LIKE 'kestrum%' ORDER BY name"),
              schema);

    // The highest id is handed out again after its delete: the new entry
    // must not push the deleted one out of the trash.
    Exec(db, "DELETE FROM gain WHERE id = 2");
    Exec(db, "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (7, '2024-03-03 00:00:00', 'c')");
    EXPECT_EQ(Rows(db, "SELECT id, 进帐人 FROM gain ORDER BY id"), "1|a;2|c");
    EXPECT_EQ(Rows(db, TrashRows), "gain|2|6.0|2024-01-02 00:00:00|b|-");
    const TTrashRestoreResult result = RestoreAllFromTrash(DriverOf(db));
    ASSERT_EQ(result.Outcomes.size(), 1u);
    EXPECT_EQ(result.Outcomes[0].Kind, TTrashRestoreKind::NewId);
    EXPECT_EQ(result.Outcomes[0].RestoredId, 3);
    EXPECT_EQ(Rows(db, "SELECT id, 进帐人 FROM gain ORDER BY id"), "1|a;2|c;3|b");
    EXPECT_EQ(Rows(db, TrashRows), "");
    sqlite3_close(db);
}

TEST_P(Trash, RestoreUsesTheOldIdWhenFreeANewOneWhenTakenAndNeverInsertsTwice)
{
    const std::string before = Rows(GainRows);
    Exec("DELETE FROM gain WHERE id IN (1, 2, 3)");
    // Id 2 has been taken by another entry meanwhile.
    Exec("INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人) VALUES (2, 1, '2024-06-06 00:00:00', '别的')");
    // Id 3 came back by other means while its trash copy stayed (a writer
    // that went round the triggers): restoring it must not add a second copy.
    Exec("INSERT INTO gain (id, 本次进帐, 进帐时间, 进帐人, 备注) VALUES (3, 12.25, '2024-03-01 "
         "00:00:00', '利息', '')");
    Exec("INSERT INTO kestrum_trash (source, original_id, amount, entry_date, item, remark, deleted_at) "
         "VALUES ('gain', 3, 12.25, '2024-03-01 00:00:00', '利息', '', '2024-07-07 10:00:00')");
    const std::vector<TTrashEntry> list = ListTrash(Db());
    ASSERT_EQ(list.size(), 3u);
    std::vector<std::int64_t> ids;
    for (const TTrashEntry &entry : list)
        ids.push_back(entry.TrashId);
    ids.push_back(ids[0]); // asked twice
    ids.push_back(999999); // not in the trash

    const TTrashRestoreResult result = RestoreFromTrash(Db(), ids);
    ASSERT_EQ(result.Outcomes.size(), 4u);
    EXPECT_EQ(result.Outcomes[0].OriginalId, 1);
    EXPECT_EQ(result.Outcomes[0].Kind, TTrashRestoreKind::OriginalId);
    EXPECT_EQ(result.Outcomes[1].OriginalId, 2);
    EXPECT_EQ(result.Outcomes[1].Kind, TTrashRestoreKind::NewId);
    EXPECT_EQ(result.Outcomes[1].RestoredId, 4);
    EXPECT_EQ(result.Outcomes[2].Kind, TTrashRestoreKind::AlreadyBack);
    EXPECT_EQ(result.Outcomes[3].Kind, TTrashRestoreKind::NotInTrash);
    EXPECT_EQ(result.Inserted(), 2);
    EXPECT_TRUE(result.Touched(TTrashSource::Gain));
    EXPECT_FALSE(result.Touched(TTrashSource::Expen));

    EXPECT_EQ(Rows(GainRows), "1|8600.5|2024-01-10 00:00:00|工资|-;2|1.0|2024-06-06 00:00:00|别的|-;"
                              "3|12.25|2024-03-01 00:00:00|利息|;4|300.0|2024-02-03 00:00:00|兼职|家教");
    EXPECT_NE(before, Rows(GainRows));
    EXPECT_EQ(Rows(TrashRows), "");

    // Restoring what is no longer there changes nothing and says so.
    const TTrashRestoreResult again = RestoreFromTrash(Db(), {ids[0]});
    ASSERT_EQ(again.Outcomes.size(), 1u);
    EXPECT_EQ(again.Outcomes[0].Kind, TTrashRestoreKind::NotInTrash);
    EXPECT_EQ(again.Inserted(), 0);
}

TEST_P(Trash, AnEntryBackUnderAnotherIdIsReportedAndNotInsertedTwice)
{
    // Guards against a restore adding a second copy of an entry that came
    // back meanwhile under a new id (entered again, imported again).
    Exec("DELETE FROM gain WHERE id = 2");
    Exec("INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES (300, '2024-02-03 00:00:00', "
         "'兼职', '家教')");
    // Two equal lunches deleted, one of them entered again: one comes back.
    Exec("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (9.5, '2024-05-05 00:00:00', '午饭'), "
         "(9.5, '2024-05-05 00:00:00', '午饭')");
    Exec("DELETE FROM expen WHERE id IN (3, 4)");
    Exec("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (9.5, '2024-05-05 00:00:00', '午饭')");
    // Only the same values count: another amount is another entry.
    Exec("DELETE FROM expen WHERE id = 1");
    Exec("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (2801, '2024-01-01 00:00:00', '房租')");

    const TTrashRestoreResult result = RestoreAllFromTrash(Db());
    std::string outcomes;
    for (const TTrashRestoreOutcome &o : result.Outcomes)
        outcomes += std::to_string(o.OriginalId) + ":" + std::to_string(int(o.Kind)) + ">" +
                    std::to_string(o.RestoredId) + " ";
    EXPECT_EQ(outcomes, "2:2>4 3:2>5 4:0>4 1:0>1 ");
    EXPECT_EQ(Rows(GainRows), "1|8600.5|2024-01-10 00:00:00|工资|-;3|12.25|2024-03-01 00:00:00|利息|;"
                              "4|300.0|2024-02-03 00:00:00|兼职|家教");
    EXPECT_EQ(Rows(ExpenRows), "1|2800.0|2024-01-01 00:00:00|房租|-;2|45.8|2024-01-02 00:00:00|伙食|超市;"
                               "4|9.5|2024-05-05 00:00:00|午饭|-;5|9.5|2024-05-05 00:00:00|午饭|-;"
                               "6|2801.0|2024-01-01 00:00:00|房租|-");
    EXPECT_EQ(TrashCount(Db()), 0);
}

TEST_P(Trash, OneOfTwoEqualEntriesComesBackBesideTheOtherOne)
{
    // Guards against the second of two equal lunches, there all along, being
    // taken for the deleted first one come back, so that it could never return.
    Exec("INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (9.5, '2024-05-05 00:00:00', '午饭'), "
         "(9.5, '2024-05-05 00:00:00', '午饭')");
    Exec("DELETE FROM expen WHERE id = 3");
    const TTrashRestoreResult result = RestoreAllFromTrash(Db());
    ASSERT_EQ(result.Outcomes.size(), 1u);
    EXPECT_EQ(result.Outcomes[0].Kind, TTrashRestoreKind::OriginalId);
    EXPECT_EQ(Rows(ExpenRows), "1|2800.0|2024-01-01 00:00:00|房租|-;2|45.8|2024-01-02 00:00:00|伙食|超市;"
                               "3|9.5|2024-05-05 00:00:00|午饭|-;4|9.5|2024-05-05 00:00:00|午饭|-");
}

TEST_F(TrashFile, AFailedRestoreLeavesTablesAndTrashAsTheyWere)
{
    Exec(FDb, "DELETE FROM gain; DELETE FROM expen");
    // The expense table refuses one of its rows, after the income rows went back.
    Exec(FDb, "CREATE TRIGGER refuse BEFORE INSERT ON expen WHEN NEW.消费者 = '伙食' "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    const std::string before = Everything();
    EXPECT_THROW(RestoreAllFromTrash(DriverOf(FDb)), EDatabaseError);
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(TrashCount(DriverOf(FDb)), 5);
    EXPECT_NE(sqlite3_get_autocommit(FDb), 0); // no transaction left open

    // A hook that fails rolls back as well.
    TTrashRestoreHook hook;
    hook.End = [](TDbDriver &, const TTrashRestoreResult &) { throw EDatabaseError("journal full"); };
    Exec(FDb, "DROP TRIGGER refuse");
    EXPECT_THROW(RestoreAllFromTrash(DriverOf(FDb), hook), EDatabaseError);
    EXPECT_EQ(Everything(), before);

    const TTrashRestoreResult result = RestoreAllFromTrash(DriverOf(FDb));
    EXPECT_EQ(result.Inserted(), 5);
    EXPECT_EQ(Rows(FDb, "SELECT count(*) FROM gain") + Rows(FDb, "SELECT count(*) FROM expen"), "32");
}

TEST_F(TrashFile, AProcessKilledDuringARestoreLeavesTheFileAsItWas)
{
    Exec(FDb, "DELETE FROM gain WHERE id < 3; DELETE FROM expen");
    const std::string before = Everything();
    sqlite3_close(FDb);
    FDb = nullptr;

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(Path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        TTrashRestoreHook hook;
        // Dies with every row written but nothing committed.
        hook.End = [](TDbDriver &, const TTrashRestoreResult &result) {
            _exit(result.Inserted() == 4 ? 9 : 1);
        };
        try {
            RestoreAllFromTrash(DriverOf(db), hook);
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 9);

    FDb = OpenFile(Path());
    EXPECT_EQ(Everything(), before);
    EXPECT_EQ(RestoreAllFromTrash(DriverOf(FDb)).Inserted(), 4);
    EXPECT_EQ(Rows(FDb, "SELECT count(*) FROM kestrum_trash"), "0");
}

TEST_P(Trash, TheHookBracketsTheRestoreInsideItsTransaction)
{
    Exec("DELETE FROM expen WHERE id = 1");
    std::string seen;
    TTrashRestoreHook hook;
    hook.Begin = [&](TDbDriver &db) {
        seen += db.InTransaction() ? "begin-inside " : "begin-outside ";
        seen += Rows(db, "SELECT count(*) FROM expen") + " ";
    };
    hook.End = [&](TDbDriver &db, const TTrashRestoreResult &result) {
        seen += db.InTransaction() ? "end-inside " : "end-outside ";
        seen += Rows(db, "SELECT count(*) FROM expen") + " " + std::to_string(result.Inserted());
    };
    RestoreAllFromTrash(Db(), hook);
    EXPECT_EQ(seen, "begin-inside 1 end-inside 2 1");

    // Inside a caller's transaction the restore is part of it.
    Exec("DELETE FROM expen WHERE id = 1");
    Exec("BEGIN");
    EXPECT_EQ(RestoreAllFromTrash(Db()).Inserted(), 1);
    Exec("ROLLBACK");
    EXPECT_EQ(Rows("SELECT count(*) FROM expen"), "1");
    EXPECT_EQ(TrashCount(Db()), 1);
}

TEST_P(Trash, EmptyingRemovesEveryTrashEntryAndNothingElse)
{
    EXPECT_EQ(EmptyTrash(Db()), 0);
    Exec("DELETE FROM gain WHERE id = 1; DELETE FROM expen");
    const std::string tables = Rows(GainRows) + Rows(ExpenRows);
    EXPECT_EQ(EmptyTrash(Db()), 3);
    EXPECT_EQ(TrashCount(Db()), 0);
    EXPECT_EQ(Rows(GainRows) + Rows(ExpenRows), tables);
    EXPECT_TRUE(RestoreAllFromTrash(Db()).Outcomes.empty());
}

TEST_P(Trash, ALargeDeleteAndRestoreKeepEveryEntry)
{
    // A server answers each statement over the network: fewer rows keep it quick.
    const int rows = OnServer() ? 3000 : 100000;
    Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows) +
         ") INSERT INTO expen (消费金额, 消费日期, 消费者) SELECT i * 0.01, '2024-01-01 00:00:00', 'x' || "
         "i FROM n");
    const std::string sums = Rows("SELECT count(*), sum(消费金额), sum(id) FROM expen");
    Exec("DELETE FROM expen");
    EXPECT_EQ(TrashCount(Db()), rows + 2);
    EXPECT_EQ(TrashIds(Db()).size(), std::size_t(rows + 2));
    EXPECT_EQ(RestoreAllFromTrash(Db()).Count(TTrashRestoreKind::OriginalId), rows + 2);
    EXPECT_EQ(Rows("SELECT count(*), sum(消费金额), sum(id) FROM expen"), sums);
    EXPECT_EQ(TrashCount(Db()), 0);
}

} // namespace
} // namespace kestrum
