// The journal under stress: a process killed at every step of a post, a
// delete and an undo leaves a sound file whose journal replays to exactly
// its tables; and thousands of random actions, undos and redos keep the
// tables equal to a model of what the user did.
#include "JournalTestSupport.h"
#include "support/HandleDriver.h"

#include "db/DbConnection.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "ledger/UndoHistory.h"

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <optional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrum {
namespace {

using namespace journaltest;

enum class TOperation { Post, Delete, Undo };

class KilledWrites : public ::testing::TestWithParam<TOperation> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        CreateLedgerDatabase(Base());
        sqlite3 *db = Open(Base());
        InsertGain(db, 8600, "工资");
        InsertGain(db, 5200, "工资");
        Exec(db, "INSERT INTO expen (消费金额, 消费者) VALUES (35, '伙食')");
        // An action of three rows for the undo to take back.
        Exec(db, "BEGIN IMMEDIATE");
        OpenJournalAction(DriverOf(db), QString::fromUtf8("导入 3 条纪录"));
        Exec(db, "UPDATE gain SET 本次进帐 = 9000 WHERE id = 1");
        Exec(db, "DELETE FROM gain WHERE id = 2");
        Exec(db, "INSERT INTO expen (消费金额, 消费者) VALUES (80, '交通')");
        CloseJournalAction(DriverOf(db));
        Exec(db, "COMMIT");
        sqlite3_close(db);
    }
    QString Base() const { return FDir.filePath("base.mdb"); }

    //! Runs the operation on path; stopAt >= 0 kills the process at that step.
    static void Run(const QString &path, TOperation operation, int stopAt)
    {
        int steps = 0;
        auto step = [&] {
            if (steps++ == stopAt)
                std::raise(SIGKILL); // no destructors, no rollback
        };
        if (operation == TOperation::Undo) {
            sqlite3 *db = Open(path);
            TUndoHistory history(DriverOf(db));
            history.OnStep = [&](TUndoStep) { step(); };
            history.Undo();
            sqlite3_close(db);
            return;
        }
        TDbConnection connection;
        connection.SetConnectionString("Data Source=" + path);
        connection.OnWriteStep = [&](TDbWriteStep) { step(); };
        TDbQuery query;
        query.SetConnection(&connection);
        query.SetSQL({QStringLiteral("select * from gain")});
        query.Open();
        if (operation == TOperation::Delete) {
            query.Delete();
            return;
        }
        query.Append();
        query.FieldByName(QString::fromUtf8("本次进帐"))->SetAsFloat(123.45);
        query.FieldByName(QString::fromUtf8("进帐人"))->SetAsString(QString::fromUtf8("兼职"));
        query.Post();
    }

    QTemporaryDir FDir;
};

TEST_P(KilledWrites, EveryStepLeavesASoundFileWhoseJournalReplaysToItsTables)
{
    const TOperation operation = GetParam();
    sqlite3 *db = Open(Base());
    const TTables before = DumpTables(db);
    sqlite3_close(db);
    const QString whole = FDir.filePath("whole.mdb");
    ASSERT_TRUE(QFile::copy(Base(), whole));
    Run(whole, operation, -1);
    db = Open(whole);
    const TTables after = DumpTables(db);
    sqlite3_close(db);
    ASSERT_NE(before, after);

    int killed = 0;
    for (int stopAt = 0;; ++stopAt) {
        const QString path = FDir.filePath(QStringLiteral("killed%1.mdb").arg(stopAt));
        ASSERT_TRUE(QFile::copy(Base(), path));
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Run(path, operation, stopAt);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        db = Open(path);
        SCOPED_TRACE(stopAt);
        EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
        const TTables now = DumpTables(db);
        EXPECT_TRUE(now == before || now == after) << "a half-done write survived";
        EXPECT_EQ(Replay(db), now);
        EXPECT_EQ(Scalar(db, "SELECT count(*) FROM kestrum_journal_open"), "0");
        if (operation == TOperation::Undo && now == before) {
            // The interrupted undo can be done again.
            TUndoHistory history(DriverOf(db));
            EXPECT_EQ(history.NextUndo()->Label.toStdString(), "导入 3 条纪录");
            history.Undo();
            EXPECT_EQ(DumpTables(db), after);
        }
        sqlite3_close(db);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(now, after);
            break; // the operation ran through: every step was tried
        }
        EXPECT_TRUE(WIFSIGNALED(status));
        ++killed;
    }
    EXPECT_GE(killed, 3);
}

INSTANTIATE_TEST_SUITE_P(Journal, KilledWrites,
                         ::testing::Values(TOperation::Post, TOperation::Delete, TOperation::Undo));

TEST(JournalProcesses, WritersUndoingAndRedoingAtOnceKeepTheJournalEqualToTheTables)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shared.mdb");
    CreateLedgerDatabase(path);
    std::vector<pid_t> children;
    for (int writer = 0; writer < 3; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            sqlite3 *db = Open(path);
            sqlite3_busy_timeout(db, 20000);
            TUndoHistory history(DriverOf(db));
            std::mt19937 random{unsigned(writer)};
            int failures = 0;
            for (int i = 0; i < 150; ++i) {
                const int what = int(random() % 10);
                try {
                    if (what < 4) {
                        InsertGain(db, double(random() % 1000), "x");
                    } else if (what < 6) {
                        Exec(db,
                             "UPDATE gain SET 本次进帐 = 本次进帐 + 1 WHERE id = (SELECT max(id) FROM gain)");
                    } else if (what < 7) {
                        Exec(db, "DELETE FROM gain WHERE id = (SELECT min(id) FROM gain)");
                    } else if (const auto next = what < 9 ? history.NextUndo() : history.NextRedo()) {
                        // As the menu does: what it named, or nothing.
                        what < 9 ? history.Undo(next->Id) : history.Redo(next->Id);
                    }
                } catch (const EUndoRefused &) {
                    // Another writer came between reading and undoing.
                } catch (const std::exception &) {
                    ++failures;
                }
            }
            sqlite3_close(db);
            _exit(failures == 0 && !::testing::Test::HasFailure() ? 0 : 1);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    sqlite3 *db = Open(path);
    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Replay(db), DumpTables(db));
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM kestrum_journal_open"), "0");
    sqlite3_close(db);
}

// A model of the ledger and of what can be undone, kept by hand beside the file.
struct TChange {
    bool Gain;
    std::int64_t Id;
    std::optional<std::vector<TJournalValue>> Before, After;
};
using TAction = std::vector<TChange>;

TEST(JournalModel, TenThousandRandomActionsUndosAndRedosMatchTheModel)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("model.mdb");
    CreateLedgerDatabase(path);
    sqlite3 *db = Open(path);
    Exec(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY");
    TUndoHistory history(DriverOf(db));
    std::mt19937 random(20261209);
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    const char *const items[] = {"工资", "伙食", "房租", "交通", "奖金"};

    TTables model;
    std::vector<TAction> undo, redo;
    auto values = [&] {
        std::vector<TJournalValue> v(4);
        v[0].Type = SQLITE_FLOAT;
        v[0].Real = pick(1000000) / 100.0;
        v[1].Type = SQLITE_TEXT;
        v[1].Bytes = "2026-0" + std::to_string(1 + pick(9)) + "-1" + std::to_string(pick(10)) + " 00:00:00";
        v[2].Type = SQLITE_TEXT;
        v[2].Bytes = items[pick(5)];
        if (pick(3) == 0) {
            v[3].Type = SQLITE_TEXT;
            v[3].Bytes = "备注" + std::to_string(pick(100));
        }
        return v;
    };
    auto apply = [&](const TChange &change, bool forward) {
        TRows &rows = change.Gain ? model.Gain : model.Expen;
        const auto &to = forward ? change.After : change.Before;
        if (to)
            rows[change.Id] = *to;
        else
            rows.erase(change.Id);
    };
    auto write = [&](bool gain, std::optional<std::int64_t> id,
                     const std::optional<std::vector<TJournalValue>> &to) {
        const char *const *columns = gain ? GainColumns : ExpenColumns;
        const std::string table = gain ? "gain" : "expen";
        TRows &rows = gain ? model.Gain : model.Expen;
        TChange change{gain, 0, std::nullopt, to};
        std::string sql;
        if (!id) {
            sql = "INSERT INTO " + table + " (\"" + columns[0] + "\", \"" + columns[1] + "\", \"" +
                  columns[2] + "\", \"" + columns[3] + "\") VALUES (?1, ?2, ?3, ?4)";
        } else {
            change.Id = *id;
            change.Before = rows.at(*id);
            sql = to ? "UPDATE " + table + " SET \"" + columns[0] + "\" = ?1, \"" + columns[1] +
                           "\" = ?2, \"" + columns[2] + "\" = ?3, \"" + columns[3] + "\" = ?4 WHERE id = ?5"
                     : "DELETE FROM " + table + " WHERE id = ?5";
        }
        sqlite3_stmt *s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        for (int i = 0; to && i < 4; ++i)
            BindJournalValue(s, i + 1, (*to)[std::size_t(i)]);
        if (id)
            sqlite3_bind_int64(s, 5, *id);
        EXPECT_EQ(sqlite3_step(s), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(s);
        if (!id)
            change.Id = sqlite3_last_insert_rowid(db);
        apply(change, true);
        return change;
    };
    auto anyRow = [&](bool gain) -> std::optional<std::int64_t> {
        const TRows &rows = gain ? model.Gain : model.Expen;
        if (rows.empty())
            return std::nullopt;
        auto it = rows.begin();
        std::advance(it, pick(int(std::min<std::size_t>(rows.size(), 50))));
        return it->first;
    };

    for (int round = 0; round < 10000; ++round) {
        const int what = pick(100);
        if (what < 70) { // the user does something: one write, or several at once
            const int writes = pick(10) == 0 ? 2 + pick(3) : 1;
            const bool grouped = writes > 1;
            if (grouped) {
                Exec(db, "BEGIN IMMEDIATE");
                OpenJournalAction(DriverOf(db), QStringLiteral("batch"));
            }
            TAction action;
            for (int w = 0; w < writes; ++w) {
                const bool gain = pick(2) == 0;
                const int kind = pick(3);
                const std::optional<std::int64_t> row = anyRow(gain);
                if (kind == 0 || !row)
                    action.push_back(write(gain, std::nullopt, values()));
                else if (kind == 1)
                    action.push_back(write(gain, row, values()));
                else
                    action.push_back(write(gain, row, std::nullopt));
            }
            if (grouped) {
                CloseJournalAction(DriverOf(db));
                Exec(db, "COMMIT");
            }
            // Each plain write is an action of its own.
            if (grouped) {
                undo.push_back(action);
            } else {
                undo.push_back({action.front()});
            }
            redo.clear();
        } else if (what < 88) {
            ASSERT_EQ(history.NextUndo().has_value(), !undo.empty()) << round;
            if (undo.empty()) {
                EXPECT_THROW(history.Undo(), EUndoRefused);
            } else {
                history.Undo(history.NextUndo()->Id);
                for (auto change = undo.back().rbegin(); change != undo.back().rend(); ++change)
                    apply(*change, false);
                redo.push_back(undo.back());
                undo.pop_back();
            }
        } else {
            ASSERT_EQ(history.NextRedo().has_value(), !redo.empty()) << round;
            if (redo.empty()) {
                EXPECT_THROW(history.Redo(), EUndoRefused);
            } else {
                history.Redo(history.NextRedo()->Id);
                for (const TChange &change : redo.back())
                    apply(change, true);
                undo.push_back(redo.back());
                redo.pop_back();
            }
        }
        ASSERT_EQ(DumpTables(db), model) << "round " << round;
    }
    EXPECT_EQ(Replay(db), model);
    sqlite3_close(db);
}

} // namespace
} // namespace kestrum
