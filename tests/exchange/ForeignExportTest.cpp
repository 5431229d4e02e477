// kestrum-db export --format qif|csv-en: files other finance programs read,
// and what those layouts cannot carry, reported.
#include "ToolFolder.h"
#include "ledger/LedgerFile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <set>

namespace kestrum {
namespace {

using test::TRun;

class ForeignExport : public test::ToolFolder {
protected:
    TRun Run(const QString &program, const QStringList &arguments) { return RunProgram(program, arguments); }
};

// What QIF can carry: amounts in cents of both kinds, category paths, items
// that other programs would read as a transfer or a class, Chinese text.
const char *const CarriedRows = "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
                                "(8000, '2024-01-05 00:00:00', '工资', '一月'),"
                                "(0.3, '2024-01-20 00:00:00', 'Interest:Bank', NULL),"
                                "(1234567.89, '2024-02-29 00:00:00', '[奖金]', '年终'),"
                                "(5, '2024-03-01 00:00:00', NULL, NULL);"
                                "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                                "(12.5, '2024-01-06 00:00:00', 'Food:Groceries', '华联；周末'),"
                                "(3, '2024-01-06 00:00:00', '交通/地铁', ''),"
                                "(0, '2024-01-07 00:00:00', '赠品', 'M^ 不是结束'),"
                                "(99.99, '1999-12-31 00:00:00', '', '没有项目');";

// Regression: no other finance program could read an export (no QIF, no signed amounts).
TEST_F(ForeignExport, QifWrittenAndReadBackGivesTheSameRows)
{
    ASSERT_EQ(Db({"init"}).Code, 0);
    Sql("Vantorel.mdb", CarriedRows);
    TRun run = Db({"export", "--format", "qif", "out.qif"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("exported 8 entries"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("2 items starting with '[' or holding '/' were written as the payee"),
              std::string::npos)
        << run.Out;
    const std::string qif = Read("out.qif");
    EXPECT_TRUE(qif.starts_with("!Type:Bank\nD2024-01-05\nT8000.00\nL工资\nM一月\n^\n")) << qif;
    EXPECT_NE(qif.find("D2024-01-06\nT-12.50\nLFood:Groceries\nM华联；周末\n^\n"), std::string::npos) << qif;
    EXPECT_NE(qif.find("D2024-01-07\nT-0.00\nL赠品\nMM^ 不是结束\n^\n"), std::string::npos) << qif;
    EXPECT_NE(qif.find("T-3.00\nP交通/地铁\n^\n"), std::string::npos) << qif;

    // The English CSV carries the same, and this program reads it back as well.
    ASSERT_EQ(Db({"export", "--format", "csv-en", "out.csv"}).Code, 0);
    for (const char *file : {"out.qif", "out.csv"}) {
        const std::string copy = std::string("copy-") + file + ".mdb";
        ASSERT_EQ(Db({"init", copy.c_str()}).Code, 0);
        run = Db({"import", file, copy.c_str()});
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(Missing("Vantorel.mdb", copy.c_str()), "") << file;
        EXPECT_EQ(Missing(copy.c_str(), "Vantorel.mdb"), "") << file;
        EXPECT_EQ(CheckLedgerDatabase(Path(copy.c_str())).GainRows, 4) << file;
        EXPECT_EQ(CheckLedgerDatabase(Path(copy.c_str())).ExpenRows, 4) << file;
    }
}

// Regression: what a layout cannot hold must be said, never lost unsaid.
TEST_F(ForeignExport, WhatQifAndEnglishCsvCannotHoldIsReported)
{
    ASSERT_EQ(Db({"init"}).Code, 0);
    Sql("Vantorel.mdb", "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
                        "(10.0 / 3, '2024-01-11 09:30:00', '三人分', '第一行\n第二行'),"
                        "(-20, '2024-01-12 00:00:00', '工资冲正', NULL),"
                        "(7, NULL, '没日期', NULL),"
                        "('十二元', '2024-01-13 00:00:00', '文字', NULL);"
                        "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                        "(-50, '2024-01-06 00:00:00', '退货', '退回\r\n两行');");
    TRun run = Db({"export", "--format", "qif", "out.qif"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    for (const char *note :
         {"exported 3 entries to out.qif: 2 income, 1 expense",
          "note: 1 entries have no amount or no readable date; this format cannot hold them",
          "note: 1 entries hold text that is no number as their amount; they are not in the file",
          "note: 1 amounts between two cents were rounded to the cent", "note: 1 entries have a time of day",
          "note: 2 remarks over several lines were written on one line",
          "note: 2 entries have a negative amount"})
        EXPECT_NE(run.Out.find(note), std::string::npos) << note << "\n" << run.Out;
    const std::string qif = Read("out.qif");
    EXPECT_NE(qif.find("D2024-01-11\nT3.33\nL三人分\nM第一行 第二行\n^\n"), std::string::npos) << qif;
    EXPECT_NE(qif.find("D2024-01-12\nT-20.00\nL工资冲正\n^\n"), std::string::npos) << qif;
    // A refund goes out positive: money came back.
    EXPECT_NE(qif.find("D2024-01-06\nT50.00\nL退货\nM退回 两行\n^\n"), std::string::npos) << qif;

    run = Db({"export", "--format", "csv-en", "out.csv"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(Read("out.csv"), "date,amount,category,memo\r\n"
                               "2024-01-11,3.33,三人分,\"第一行\n第二行\"\r\n"
                               "2024-01-12,-20.00,工资冲正,\r\n"
                               "2024-01-06,50.00,退货,\"退回\r\n两行\"\r\n");
    EXPECT_NE(run.Out.find("note: 2 entries have a negative amount"), std::string::npos) << run.Out;

    EXPECT_EQ(Db({"export", "--format", "ofx", "x.ofx"}).Code, 2);
}

// A workbook carries what the ledger holds: exact amounts, times of day,
// refunds, line breaks, rows without an amount or a date, and text where an
// amount belongs (said in the report). Read back, it gives the same rows.
TEST_F(ForeignExport, XlsxWrittenAndReadBackGivesTheSameRows)
{
    ASSERT_EQ(Db({"init"}).Code, 0);
    Sql("Vantorel.mdb", CarriedRows);
    Sql("Vantorel.mdb", "INSERT INTO gain (本次进帐, 进帐时间, 进帐人, 备注) VALUES "
                        "(10.0 / 3, '2024-01-11 09:30:17', '三人分', '第一行\n第二行 & <更多>'),"
                        "(-20, '2024-01-12 23:59:59', '工资冲正', NULL),"
                        "(7, NULL, '没日期', NULL),"
                        "(NULL, '2024-01-14 00:00:00', '没金额', NULL);"
                        "INSERT INTO expen (消费金额, 消费日期, 消费者, 备注) VALUES "
                        "(-50, '2024-01-06 00:00:00', '=1+1', '退回');");
    TRun run = Db({"export", "--format", "xlsx", "out.xlsx"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("exported 13 entries to out.xlsx: 8 income, 5 expense"), std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("note: 2 entries have no amount or no date; their cells are empty"),
              std::string::npos)
        << run.Out;
    // Numbers and dates as such, not as text.
    const std::string zip = Read("out.xlsx");
    EXPECT_TRUE(zip.starts_with("PK\x03\x04"));
    ASSERT_EQ(Db({"init", "copy.mdb"}).Code, 0);
    run = Db({"import", "out.xlsx", "copy.mdb"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_NE(run.Out.find("导入了13条纪录"), std::string::npos) << run.Out;
    EXPECT_EQ(Missing("Vantorel.mdb", "copy.mdb"), "");
    EXPECT_EQ(Missing("copy.mdb", "Vantorel.mdb"), "");
}

TEST_F(ForeignExport, NoFormatWritesOverTheLedgerItReads)
{
    ASSERT_EQ(Db({"init"}).Code, 0);
    Sql("Vantorel.mdb", CarriedRows);
    for (const char *format : {"qif", "csv-en", "xlsx"}) {
        const TRun run = Db({"export", "--format", format, "--force", "Vantorel.mdb"});
        EXPECT_EQ(run.Code, 1) << format;
        EXPECT_EQ(CheckLedgerDatabase(Path("Vantorel.mdb")).ExpenRows, 4) << format;
    }
}

TEST_F(ForeignExport, SkroogeReadsEveryEntryOfTheQif)
{
    const QString skrooge = QStandardPaths::findExecutable(QStringLiteral("skroogeconvert"));
    if (skrooge.isEmpty())
        GTEST_SKIP() << "skroogeconvert is not installed (Debian package skrooge); the QIF is not checked "
                        "against another program";
    ASSERT_EQ(Db({"init"}).Code, 0);
    Sql("Vantorel.mdb", CarriedRows);
    ASSERT_EQ(Db({"export", "--format", "qif", "out.qif"}).Code, 0);
    const TRun run = Run(skrooge, {"--in", Path("out.qif"), "--out", Path("out.json")});
    ASSERT_EQ(run.Code, 0) << run.Out << run.Err;
    QFile file(Path("out.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
    // Skrooge keeps the amount and category in a sub-operation, the payee and remark in the operation.
    std::map<int, std::string> categories, payees;
    for (const QJsonValue c : json["category"].toArray())
        categories[c["id"].toInt()] = c["t_fullname"].toString().toStdString();
    for (const QJsonValue p : json["payee"].toArray())
        payees[p["id"].toInt()] = p["t_name"].toString().toStdString();
    std::map<int, std::string> operations;
    for (const QJsonValue o : json["operation"].toArray())
        operations[o["id"].toInt()] = o["d_date"].toString().toStdString() + " " +
                                      payees[o["r_payee_id"].toInt()] + "|" +
                                      o["t_comment"].toString().toStdString();
    std::multiset<std::string> read;
    for (const QJsonValue s : json["suboperation"].toArray())
        read.insert(operations[s["rd_operation_id"].toInt()] + " " +
                    QString::number(s["f_value"].toDouble(), 'f', 2).toStdString() + " " +
                    categories[s["r_category_id"].toInt()]);
    const std::multiset<std::string> expected = {
        "2024-01-05 |一月 8000.00 工资",
        "2024-01-20 | 0.30 Interest > Bank",
        "2024-02-29 [奖金]|年终 1234567.89 ",
        "2024-03-01 | 5.00 ",
        "2024-01-06 |华联；周末 -12.50 Food > Groceries",
        "2024-01-06 交通/地铁| -3.00 ",
        "2024-01-07 |M^ 不是结束 0.00 赠品",
        "1999-12-31 |没有项目 -99.99 ",
    };
    EXPECT_EQ(read, expected);
}

} // namespace
} // namespace kestrum
