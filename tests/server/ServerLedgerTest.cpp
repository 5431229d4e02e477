// The ledger on a server: its schema, its triggers keeping the promises a
// ledger file keeps, and failures to sign in said in words.
#include "ServerSchema.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/UndoHistory.h"
#include "server/ServerLedgerFixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrum::test {

namespace {

TEST_F(ServerLedgerTest, InitMakesALedgerOnceAndRefusesAMissingOrNewerOne)
{
    try {
        CheckServerLedger(*Ledger);
        ADD_FAILURE() << "an empty database passed as a ledger";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::SchemaMissing);
        EXPECT_NE(std::string(e.what()).find("没有账本"), std::string::npos) << e.what();
    }
    CreateServerLedger(*Ledger);
    EXPECT_NO_THROW(CheckServerLedger(*Ledger));
    Ledger->Exec(
        "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (1, '2024-01-01', '工资')");
    EXPECT_THROW(CreateServerLedger(*Ledger), EDbDriverError);
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) FROM gain"), "1\n"); // left as it was

    Ledger->Exec("UPDATE kestrum_schema SET version = " + std::to_string(ServerSchemaVersion + 1));
    try {
        CheckServerLedger(*Ledger);
        ADD_FAILURE() << "a newer ledger passed";
    } catch (const EDbDriverError &e) {
        EXPECT_NE(std::string(e.what()).find("较新版本"), std::string::npos) << e.what();
    }
}

TEST_F(ServerLedgerTest, TheJetDateFunctionsWorkOnServerDates)
{
    CreateServerLedger(*Ledger);
    EXPECT_EQ(Rows(*Ledger, "SELECT year(t), month(t), day(t), hour(t), minute(t), second(t), year(NULL) "
                            "FROM (SELECT timestamp '2024-07-05 13:30:59.5' AS t) x"),
              "2024|7|5|13|30|59|NULL\n");
}

// The same writes on a ledger file and on a server leave the same journal
// and the same trash.
TEST_F(ServerLedgerTest, TriggersJournalAndTrashAsALedgerFileDoes)
{
    CreateServerLedger(*Ledger);
    const QString path = Folder.filePath(QStringLiteral("ledger.mdb"));
    CreateLedgerDatabase(path);
    TSqliteDriver file(path.toStdString());

    const char *const writes[] = {
        "INSERT INTO gain (id, \"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES (1, 8600.5, "
        "'2024-01-10 "
        "00:00:00', '工资', NULL)",
        "INSERT INTO gain (id, \"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES (2, 300, '2024-01-12 "
        "08:15:00', '兼职', '家教')",
        "UPDATE gain SET \"进帐人\" = '奖金' WHERE id = 2",
        "OPEN",
        "DELETE FROM gain WHERE id = 1",
        "INSERT INTO expen (id, \"消费金额\", \"消费日期\", \"消费者\") VALUES (5, 42.25, '2024-01-13 "
        "00:00:00', '伙食')",
        "CLOSE",
        "UPDATE gain SET id = 9 WHERE id = 2",
        "INSERT INTO kestrum_budget (amount, month, item, kind) VALUES (500, '2024-01', '伙食', 'expen')",
        // The same entry back under its old id leaves the trash.
        "INSERT INTO gain (id, \"本次进帐\", \"进帐时间\", \"进帐人\", \"备注\") VALUES (1, 8600.5, "
        "'2024-01-10 "
        "00:00:00', '工资', NULL)",
        "DELETE FROM gain WHERE id = 9",
        "DELETE FROM expen",
    };
    for (const char *sql : writes) {
        if (std::string(sql) == "OPEN") {
            file.Begin();
            OpenJournalAction(file, QStringLiteral("删除"), TJournalActionKind::Do, 0);
            Ledger->Begin();
            Ledger->Exec("SELECT kestrum_open_action(0, 0, '删除')");
        } else if (std::string(sql) == "CLOSE") {
            CloseJournalAction(file);
            file.Commit();
            Ledger->Exec("SELECT kestrum_close_action()");
            Ledger->Commit();
        } else {
            file.Exec(sql);
            Ledger->Exec(sql);
        }
    }
    // Actions as their order among all actions, so the ids need not match.
    const std::string journal =
        "SELECT (SELECT count(*) FROM kestrum_journal_action a WHERE a.id <= j.action_id), tbl, row_id, "
        "kind, "
        "CAST(old_amount AS REAL), old_item, old_remark, CAST(new_amount AS REAL), new_item, new_remark "
        "FROM kestrum_journal j ORDER BY j.id";
    const std::string journalPg =
        "SELECT (SELECT count(*) FROM kestrum_journal_action a WHERE a.id <= j.action_id), tbl, row_id, "
        "kind, "
        "CAST(old_amount AS float8), old_item, old_remark, CAST(new_amount AS float8), new_item, new_remark "
        "FROM kestrum_journal j ORDER BY j.id";
    const std::string fileJournal = Rows(file, journal);
    EXPECT_EQ(Rows(*Ledger, journalPg), fileJournal);
    EXPECT_NE(fileJournal.find("|D|"), std::string::npos);
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*), max(state) FROM kestrum_journal_action"),
              Rows(file, "SELECT count(*), max(state) FROM kestrum_journal_action"));
    const std::string trash =
        "SELECT source, original_id, amount, item, remark FROM kestrum_trash ORDER BY id";
    EXPECT_EQ(Rows(*Ledger, trash), Rows(file, trash));
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) FROM kestrum_trash"), "2\n");
    // Dates in the journal read as a file's do.
    EXPECT_EQ(Rows(*Ledger, "SELECT old_date FROM kestrum_journal WHERE tbl = 'expen' AND kind = 'D'"),
              "2024-01-13 00:00:00\n");
}

TEST_F(ServerLedgerTest, OtherWindowsHearOfEachSavedEntry)
{
    CreateServerLedger(*Ledger);
    TPgDriver other(Target);
    other.WatchChanges();
    auto insert = Ledger->PrepareInsert(
        "INSERT INTO expen (\"消费金额\", \"消费日期\", \"消费者\") VALUES (?1, ?2, ?3)", "id");
    insert->BindText(1, "12.50");
    insert->BindDateTime(2, 45300.0);
    insert->BindText(3, "伙食");
    insert->Step();
    const std::int64_t id = Ledger->LastInsertId();
    EXPECT_GT(id, 0);
    EXPECT_EQ(other.TakeChanges(2000), (std::vector<TDbChange>{{"expen", id}}));
    Ledger->Exec("DELETE FROM expen");
    EXPECT_EQ(other.TakeChanges(2000), (std::vector<TDbChange>{{"expen", id}}));
}

// Someone else's save between reading a row and writing it is not
// overwritten: the second writer is refused and told to try again.
TEST_F(ServerLedgerTest, AnEditOverSomeoneElsesChangeIsRefused)
{
    CreateServerLedger(*Ledger);
    Ledger->Exec(
        "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (100, '2024-01-01', '工资')");
    TPgDriver other(Target);
    Ledger->Exec("BEGIN ISOLATION LEVEL REPEATABLE READ");
    EXPECT_EQ(Rows(*Ledger, "SELECT \"进帐人\" FROM gain"), "工资\n");
    other.Exec("UPDATE gain SET \"进帐人\" = '奖金'");
    try {
        Ledger->Exec("UPDATE gain SET \"进帐人\" = '兼职'");
        ADD_FAILURE() << "the second edit overwrote the first";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::Busy) << e.what();
    }
    Ledger->Rollback();
    EXPECT_EQ(Rows(*Ledger, "SELECT \"进帐人\" FROM gain"), "奖金\n");
}

TEST_F(ServerLedgerTest, AWrongPasswordIsSaidSoAndNeverWrittenDown)
{
    CreateServerLedger(*Ledger);
    Ledger->Exec(std::string("CREATE ROLE ") + TPgServer::PasswordRole + " LOGIN PASSWORD 'right-one'");
    const QString passFile = Folder.filePath(QStringLiteral("pgpass"));
    auto signIn = [&](const char *password) {
        QFile file(passFile);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("*:*:*:") + TPgServer::PasswordRole + ":" + password + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        ::setenv("PGPASSFILE", passFile.toLocal8Bit().constData(), 1);
        TPgDriver driver(Server->ConnectionStringAs(Database, TPgServer::PasswordRole));
    };
    try {
        signIn("wrong-one");
        ADD_FAILURE() << "signed in with a wrong password";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::AuthFailed) << e.what();
        EXPECT_NE(std::string(e.what()).find("密码"), std::string::npos);
        EXPECT_EQ(std::string(e.what()).find("wrong-one"), std::string::npos);
    }
    EXPECT_NO_THROW(signIn("right-one"));
    ::unsetenv("PGPASSFILE");

    // A role without rights on the ledger is told so.
    TPgDriver stranger(Server->ConnectionStringAs(Database, "postgres"));
    stranger.Exec("CREATE ROLE kestrum_stranger LOGIN");
    TPgDriver limited(Server->ConnectionStringAs(Database, "kestrum_stranger"));
    try {
        limited.Exec("SELECT * FROM gain");
        ADD_FAILURE() << "read without rights";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::NoRights) << e.what();
    }
}

TEST_F(ServerLedgerTest, ADatabaseThatIsNotThereIsSaidSo)
{
    try {
        TPgDriver missing(Server->ConnectionString("no_such_ledger"));
        ADD_FAILURE() << "connected to a missing database";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::SchemaMissing) << e.what();
    }
    try {
        TPgDriver down("host=" + Folder.path().toStdString() + " port=1 dbname=x connect_timeout=2");
        ADD_FAILURE() << "connected to no server";
    } catch (const EDbDriverError &e) {
        EXPECT_EQ(e.Kind(), TDbErrorKind::ConnectionLost) << e.what();
        EXPECT_NE(std::string(e.what()).find("连接"), std::string::npos);
    }
}

// Guards against an undo on one computer writing over an edit that another
// computer saved while the undo ran: the undo is refused and writes nothing.
TEST_F(ServerLedgerTest, AnUndoIsRefusedWhenAnotherConnectionEditedItsRowMeanwhile)
{
    CreateServerLedger(*Ledger);
    Ledger->Exec(
        "INSERT INTO gain (\"本次进帐\", \"进帐时间\", \"进帐人\") VALUES (8600, '2024-01-10', '工资')");
    Ledger->Exec("UPDATE gain SET \"本次进帐\" = 9000");
    TPgDriver other(Target);
    TUndoHistory history(*Ledger);
    history.OnStep = [&](TUndoStep step) {
        if (step == TUndoStep::Began)
            other.Exec("UPDATE gain SET \"进帐人\" = '奖金'");
    };
    const std::string journal = Rows(*Ledger, "SELECT count(*) FROM kestrum_journal");
    try {
        history.Undo();
        ADD_FAILURE() << "the undo wrote over the other edit";
    } catch (const EUndoRefused &refused) {
        EXPECT_EQ(refused.message(), "撤销失败：该纪录已被其他程序修改。");
    }
    history.OnStep = nullptr;
    EXPECT_FALSE(Ledger->InTransaction());
    EXPECT_EQ(Rows(*Ledger, "SELECT \"进帐人\", \"本次进帐\"::float8 FROM gain"), "奖金|9000.0000\n");
    // Only the other's edit was journaled; it is what an undo takes back now.
    EXPECT_EQ(Rows(*Ledger, "SELECT count(*) - 1 FROM kestrum_journal"), journal);
    EXPECT_EQ(history.NextUndo()->Label.toStdString(), "修改 奖金 9000");
}

} // namespace

} // namespace kestrum::test
