// kestrum-db import and export, run as the user runs them.
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrum {
namespace {

struct TRun {
    int Code = -1;
    std::string Out;
    std::string Err;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString Path(const char *name) const { return FDir.filePath(name); }
    TRun Run(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(FDir.path());
        process.start(QStringLiteral(KESTRUM_DB_TOOL), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }
    void Write(const char *name, const QByteArray &text)
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir FDir;
};

TEST_F(Commands, HelpListsEveryCommandAndWrongUsageExitsWithTwo)
{
    const TRun help = Run({"--help"});
    EXPECT_EQ(help.Code, 0);
    for (const char *command : {"init", "demo", "check", "import", "export", "--skip-bad",
                                "--keep-duplicates", "--from", "--to", "--include-transfers"})
        EXPECT_NE(help.Out.find(command), std::string::npos) << command;
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

} // namespace
} // namespace kestrum
