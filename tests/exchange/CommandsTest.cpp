// kestrum-db import and export, run as the user runs them.
#include "ToolFolder.h"
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kestrum {
namespace {

using test::TRun;

class Commands : public test::ToolFolder {
protected:
    TRun Run(const QStringList &arguments)
    {
        return RunProgram(QStringLiteral(KESTRUM_DB_TOOL), arguments, 60000);
    }
};

TEST_F(Commands, HelpListsEveryCommandAndWrongUsageExitsWithTwo)
{
    const TRun help = Run({"--help"});
    EXPECT_EQ(help.Code, 0);
    for (const char *command : {"init", "demo", "check", "import", "export", "--skip-bad",
                                "--keep-duplicates", "--from", "--to", "--include-transfers"})
        EXPECT_NE(help.Out.find(command), std::string::npos) << command;
    // The help once named only CSV and QIF, though import reads old Access ledgers too.
    EXPECT_NE(help.Out.find("Access"), std::string::npos) << help.Out;
    EXPECT_NE(help.Out.find("HomeBank"), std::string::npos) << help.Out;
    EXPECT_EQ(Run({}).Code, 2);
    EXPECT_EQ(Run({"frobnicate"}).Code, 2);
    const TRun unknown = Run({"import", "--bogus", "a.csv"});
    EXPECT_EQ(unknown.Code, 2);
    EXPECT_NE(unknown.Err.find("unknown option '--bogus'"), std::string::npos);
    EXPECT_EQ(Run({"import"}).Code, 2);
    EXPECT_EQ(Run({"export", "--from"}).Code, 2);
    EXPECT_EQ(Run({"export", "--from", "2024-2-30", "x.csv"}).Code, 2);
    EXPECT_EQ(Run({"export", "--from", "2024-03-01", "--to", "2024-02-01", "x.csv"}).Code, 2);
}

TEST_F(Commands, ImportAndExportWorkOnTheLedgerInTheWorkingFolder)
{
    ASSERT_EQ(Run({"init"}).Code, 0);
    Write("bank.csv", "日期,金额,项目\n2024-01-05,-3,咖啡\n2024-01-06,100,红包\n");
    TRun run = Run({"import", "bank.csv"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "从CSV（UTF-8，逗号分隔）导入了2条纪录：收入1条，支出1条\n");
    run = Run({"import", "bank.csv"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_NE(run.Out.find("跳过了2条账本中已有的纪录（第2、3行）"), std::string::npos);
    run = Run({"import", "--keep-duplicates", "bank.csv"});
    EXPECT_NE(run.Out.find("导入了2条纪录"), std::string::npos);

    run = Run({"export", "--from", "2024-01-06", "out.csv"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "exported 2 entries to out.csv: 2 income, 0 expense\n");
    run = Run({"export", "out.csv"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("已经存在"), std::string::npos);
    EXPECT_EQ(Run({"export", "--force", "out.csv"}).Code, 0);
}

// Guards against a HomeBank file being read as a CSV table and refused.
TEST_F(Commands, AHomeBankLedgerImportsWholeOrNotAtAll)
{
    CreateLedgerDatabase(Path("my.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTRUM_HOMEBANK_DIR "/example.xhb"), Path("example.xhb")));
    TRun run = Run({"import", "example.xhb", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out.substr(0, run.Out.find('\n')), "从HomeBank导入了188条纪录：收入27条，支出161条");
    EXPECT_NE(run.Out.find("没有导入26条账户之间的转账"), std::string::npos) << run.Out;
    EXPECT_EQ(CheckLedgerDatabase(Path("my.mdb")).GainRows, 27);
    // With the payee as the item the entries are the same ones: nothing comes in twice.
    run = Run({"import", "--item=payee", "example.xhb", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("跳过了188条账本中已有的纪录"), std::string::npos) << run.Out;
    CreateLedgerDatabase(Path("payees.mdb"));
    run = Run({"import", "--item=payee", "example.xhb", "payees.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(CheckLedgerDatabase(Path("payees.mdb")).GainRows, 27);
    // A damaged transaction keeps the whole file out.
    Write("bad.xhb", "<?xml version=\"1.0\"?>\n<homebank v=\"1.4\">\n"
                     "<ope date=\"739000\" amount=\"5\" account=\"1\"/>\n"
                     "<ope date=\"x\" amount=\"5\" account=\"1\"/>\n</homebank>\n");
    run = Run({"import", "bad.xhb", "my.mdb"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("第4行：日期无效：“x”"), std::string::npos) << run.Err;
    EXPECT_EQ(CheckLedgerDatabase(Path("my.mdb")).GainRows, 27);
}

TEST_F(Commands, ABadFileImportsNothingAndSaysWhyWithExitOne)
{
    CreateLedgerDatabase(Path("my.mdb"));
    Write("bad.csv", "日期,金额\n2024-01-05,1\n2024-2-30,2\n");
    TRun run = Run({"import", "bad.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("第3行：日期不存在：“2024-2-30”"), std::string::npos) << run.Err;
    EXPECT_EQ(CheckLedgerDatabase(Path("my.mdb")).GainRows, 0);
    run = Run({"import", "--skip-bad", "bad.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_NE(run.Out.find("跳过了1条有误的纪录"), std::string::npos);
    EXPECT_EQ(CheckLedgerDatabase(Path("my.mdb")).GainRows, 1);

    Write("cut.csv", "日期,金额\n2024-01-05,\"1\n");
    run = Run({"import", "cut.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("引号没有结束"), std::string::npos) << run.Err;
    Write("empty.csv", "");
    EXPECT_EQ(Run({"import", "empty.csv", "my.mdb"}).Code, 1);
    EXPECT_EQ(Run({"import", "my.mdb", "my.mdb"}).Code, 1) << "a database is no file to import";
    EXPECT_EQ(Run({"import", "nowhere.csv", "my.mdb"}).Code, 1);
    run = Run({"import", "bad.csv", "none.mdb"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("kestrum-db init"), std::string::npos);
    EXPECT_FALSE(QFile::exists(Path("none.mdb")));
    EXPECT_EQ(CheckLedgerDatabase(Path("my.mdb")).GainRows, 1);
}

TEST_F(Commands, ALedgerExportedAndImportedIntoAnEmptyLedgerGivesBackTheSameRows)
{
    // Guards against signs, decimals past the cent, large amounts, undated
    // entries and multi-line remarks changing on the way out and back in.
    ASSERT_EQ(Run({"init"}).Code, 0);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(Path("Vantorel.mdb").toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
                           "(-20, '2024-01-05 00:00:00', '工资冲正', NULL),"
                           "(10.0 / 3, '2024-01-11 09:30:00', '三人分', '第一行\n第二行'),"
                           "(1e17, NULL, '很大', NULL);"
                           "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                           "(-50, '2024-01-06 00:00:00', '退货', '退回\r\n两行'),"
                           "(0.1 + 0.2, NULL, '糖', NULL);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    TRun run = Run({"export", "all.csv"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    ASSERT_EQ(Run({"init", "copy.mdb"}).Code, 0);
    run = Run({"import", "all.csv", "copy.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(Missing("Vantorel.mdb", "copy.mdb"), "");
    EXPECT_EQ(Missing("copy.mdb", "Vantorel.mdb"), "");
    EXPECT_EQ(CheckLedgerDatabase(Path("copy.mdb")).GainRows, 3);
    EXPECT_EQ(CheckLedgerDatabase(Path("copy.mdb")).ExpenRows, 2);
}

TEST_F(Commands, AnEmptyRemarkAndNoRemarkComeBackAsTheyWere)
{
    // Guards against an empty remark ('') coming back from export and import as Null.
    ASSERT_EQ(Run({"init"}).Code, 0);
    Sql("Vantorel.mdb", "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
                        "(1, '2024-01-05 00:00:00', '', ''), (2, '2024-01-05 00:00:00', NULL, NULL),"
                        "(3, '2024-01-05 00:00:00', '工资', '一,\"二\"');");
    TRun run = Run({"export", "all.csv"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    ASSERT_EQ(Run({"init", "copy.mdb"}).Code, 0);
    run = Run({"import", "all.csv", "copy.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(Path("copy.mdb").toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt *s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT group_concat(quote(进帐人) || ' ' || quote(备注), '; ') FROM "
                                 "(SELECT * FROM gain ORDER BY 本次进帐)",
                                 -1, &s, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)),
                 "'' ''; NULL NULL; '工资' '一,\"二\"'");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(Commands, AmountsAndZonedTimesAreReadAsTheFileMeansThem)
{
    // Guards against "1.500" read as 1.50, and a UTC time kept as the local one.
    CreateLedgerDatabase(Path("my.mdb"));
    Write("euro.csv", "日期;金额\n2026-01-05;1.500\n2026-01-06;1.234,56\n");
    TRun run = Run({"import", "euro.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    Write("alone.csv", "date,amount\n2026-01-05,2.500\n");
    run = Run({"import", "alone.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("第2行：金额“2.500”无法确定"), std::string::npos) << run.Err;
    Write("utc.csv", "date,amount\n2026-01-31T23:30:00Z,7\n");
    QProcess process;
    process.setWorkingDirectory(FDir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Asia/Shanghai"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KESTRUM_DB_TOOL), {"import", "utc.csv", "my.mdb"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    sqlite3 *db = nullptr;
    sqlite3_open(Path("my.mdb").toUtf8().constData(), &db);
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(db, "SELECT group_concat(本次进帐 || '@' || 进帐时间, '; ') FROM gain", -1, &s,
                       nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)),
                 "1500.0@2026-01-05 00:00:00; 1234.56@2026-01-06 00:00:00; 7.0@2026-02-01 07:30:00");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(Commands, ExportNamesAmountsThatAreNoNumberAndGuardsTabLedFormulas)
{
    // Guards against text in the amount column written as 0.00, and a
    // formula behind a tab reaching a spreadsheet.
    CreateLedgerDatabase(Path("my.mdb"));
    sqlite3 *db = nullptr;
    sqlite3_open(Path("my.mdb").toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES ('十二元', '2024-01-06 00:00:00', "
                 "char(9) || '=1+1')",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const TRun run = Run({"export", "out.csv", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("note: 1 entries hold text that is no number as their amount"), std::string::npos)
        << run.Out;
    QFile file(Path("out.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("支出,十二元,2024-01-06,\"'\t=1+1\",\r\n"));
}

TEST_F(Commands, QifFilesAreRecognisedByTheirHeader)
{
    CreateLedgerDatabase(Path("my.mdb"));
    Write("money.txt", "!Type:Bank\nD31/1/2024\nT-5\nPBus\n^\n");
    TRun run = Run({"import", "--month-first", "money.txt", "my.mdb"});
    EXPECT_EQ(run.Code, 1) << "31 is no month";
    run = Run({"import", "money.txt", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("从QIF（UTF-8）导入了1条纪录：收入0条，支出1条"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("注意：日期按“日/月/年”读取"), std::string::npos);
}

// Regression: the report said nothing of dates that read either way, nor of opening balances and transfers.
TEST_F(Commands, QifReportSaysWhenTheDateOrderIsOpenAndWhatWasLeftOut)
{
    CreateLedgerDatabase(Path("my.mdb"));
    Write("either.qif", "!Account\nNChecking\nTBank\n^\n!Type:Bank\n"
                        "D05/02/2024\nT100\nPOpening Balance\nL[Checking]\n^\n"
                        "D06/02/2024\nT-5\nPBus\n^\nD07/02/2024\nT-20\nL[Savings]\n^\n");
    TRun run = Run({"import", "either.qif", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("导入了1条纪录：收入0条，支出1条"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("每个日期都既能按“月/日/年”也能按“日/月/年”读取"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("--day-first"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("没有导入1条期初余额（第6行）"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("没有导入1条账户之间的转账（第15行）"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("--include-transfers"), std::string::npos) << run.Out;

    run = Run({"import", "--day-first", "--include-transfers", "--keep-duplicates", "either.qif", "my.mdb"});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("导入了3条纪录：收入1条，支出2条"), std::string::npos) << run.Out;
    EXPECT_EQ(run.Out.find("--day-first"), std::string::npos) << run.Out;

    // 医药 in GBK, bytes that are valid UTF-8 too: the report names the encoding and both readings.
    Write("gbk.qif", "!Type:Bank\nD2024-01-13\nT-5\nP\xD2\xBD\xD2\xA9\n^\n");
    run = Run({"import", "gbk.qif", "my.mdb"});
    EXPECT_NE(run.Out.find("从QIF（GB18030）导入了1条纪录"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("按 GB18030 读是“医药”，按 UTF-8 读是“ҽҩ”"), std::string::npos) << run.Out;
}

// Regression: a QIF file's categories never reached the ledger, and the command had no say in it.
TEST_F(Commands, QifItemsComeFromTheCategoryUnlessTheOptionSaysOtherwise)
{
    CreateLedgerDatabase(Path("my.mdb"));
    Write("cats.qif", "!Type:Bank\nD2024-01-13\nT-25.5\nPShop\nLFood:Groceries\n^\n");
    TRun run = Run({"import", "cats.qif", "my.mdb"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    run = Run({"import", "--item=payee", "--keep-duplicates", "cats.qif", "my.mdb"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(Run({"import", "--item=shop", "cats.qif", "my.mdb"}).Code, 2);
    sqlite3 *db = nullptr;
    sqlite3_open(Path("my.mdb").toUtf8().constData(), &db);
    sqlite3_stmt *s = nullptr;
    sqlite3_prepare_v2(
        db, "SELECT group_concat(消费者 || '|' || 备注, '; ') FROM (SELECT * FROM expen ORDER BY id)", -1, &s,
        nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))),
              "Food:Groceries|Shop; Shop|Food:Groceries");
    sqlite3_finalize(s);
    sqlite3_close(db);
}

} // namespace
} // namespace kestrum
