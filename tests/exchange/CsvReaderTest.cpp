// The CSV reader over files as banks, spreadsheets and this program write them.
#include "exchange/CsvReader.h"

#include "ExchangeTestSupport.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

#include <ctime>

namespace kestrum {
namespace {

std::string Csv(const QByteArray &text, const TCsvOptions &options = {})
{
    try {
        TCsvEntrySource source(text, options);
        return ReadAll(source);
    } catch (const EImportError &e) {
        return std::string("error: ") + e.what();
    }
}

TEST(CsvQuoting, QuotedCellsHoldSeparatorsQuotesAndLineEnds)
{
    EXPECT_EQ(Csv("日期,金额,项目,备注\n"
                  "2024-1-5,-12.50,\"超市, 日用\",\"两行\n备注 \"\"引号\"\"\"\n"
                  "2024-1-6,3,\"\",x\n"),
              "E1250 2024-01-05 超市, 日用|两行\n备注 \"引号\"@2; I300 2024-01-06 |x@4");
    // Blanks before an opening quote, text after a closing one, CR LF and lone CR.
    EXPECT_EQ(Csv("date,amount,item\r\n2024-01-05, \"-1,000\" ,a\"b\"\r2024-01-06,1,\"c\"d\r\n"),
              "E100000 2024-01-05 a\"b\"|@2; I100 2024-01-06 cd|@3");
}

TEST(CsvQuoting, AQuoteLeftOpenStopsTheFileAtTheLineItOpened)
{
    EXPECT_EQ(Csv("date,amount,item\n2024-01-05,1,ok\n2024-01-06,2,\"never closed\n2024-01-07,3,x\n"),
              "error: 第3行：这里开始的引号没有结束（文件在引号内结束）");
}

TEST(CsvSeparators, CommaSemicolonAndTabAreDetected)
{
    EXPECT_EQ(Csv("date;amount;item\n2024-01-05;1,234.00;a,b\n"), "I123400 2024-01-05 a,b|@2");
    EXPECT_EQ(Csv("date\tamount\titem\n2024-01-05\t1,234.00\ta;b\n"), "I123400 2024-01-05 a;b|@2");
    TCsvOptions forced;
    forced.Separator = ';';
    EXPECT_EQ(Csv("date;amount\n2024-01-05;7\n", forced), "I700 2024-01-05 |@2");
    EXPECT_EQ(PreviewCsv("a,b\n1,2\n").Options.Separator, ',');
}

TEST(CsvEncodings, Utf8WithAndWithoutMarkGb18030AndUtf16ReadAlike)
{
    const QString text = QStringLiteral("日期,金额,项目\n2024-01-05,-8,早餐\n");
    const std::string expected = "E800 2024-01-05 早餐|@2";
    EXPECT_EQ(Csv(text.toUtf8()), expected);
    EXPECT_EQ(Csv("\xEF\xBB\xBF" + text.toUtf8()), expected);
    QStringEncoder gb("GB18030");
    const QByteArray gbBytes = gb.encode(text);
    EXPECT_EQ(Csv(gbBytes), expected);
    EXPECT_EQ(PreviewCsv(gbBytes).Options.Encoding, ceGb18030);
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    EXPECT_EQ(Csv(utf16), expected);
    // A forced encoding that the bytes are not in is an error, not garbage.
    TCsvOptions utf8;
    utf8.Encoding = ceUtf8;
    EXPECT_EQ(Csv(gbBytes, utf8), "error: 第1行：文本不是有效的 UTF-8");
}

TEST(CsvHeaders, ChineseAndEnglishNamesMapToRoles)
{
    EXPECT_EQ(
        Csv("交易日期,交易金额,摘要,附言,收/支\n2024-01-05,12,工资,一月,收入\n2024-01-06,5,午饭,,支出\n"),
        "I1200 2024-01-05 工资|一月@2; E500 2024-01-06 午饭|@3");
    EXPECT_EQ(Csv("Date,Payee,Memo,Amount (CNY),Type\n2024-01-05,Shop,x,12.00,expense\n"),
              "E1200 2024-01-05 Shop|x@2");
    // A category is the item, as a QIF file's is; the description goes to the remark.
    EXPECT_EQ(Csv("date,category,amount\n2024-01-05,Food,-3\n"), "E300 2024-01-05 Food|@2");
    EXPECT_EQ(Csv("date,category,amount,description\n2024-01-05,Food,-3,Bread\n"),
              "E300 2024-01-05 Food|Bread@2");
    // A payment service's export: the direction column wins over a column of transaction kinds.
    EXPECT_EQ(Csv("交易创建时间,类型,交易对方,商品名称,金额（元）,收/支,备注\n"
                  "2024-01-05 10:00:00,即时到账交易,小店,面包,¥12.00,支出,\n"),
              "E1200 2024-01-05+36000 小店|@2");
    EXPECT_EQ(CsvRoleOfHeader(QStringLiteral(" 金额（元） ")), crAmount);
    EXPECT_EQ(CsvRoleOfHeader(QStringLiteral("余额")), crIgnore);
    EXPECT_TRUE(CsvRoleNames(crRemark).contains(QStringLiteral("memo")));
}

TEST(CsvHeaders, TitleLinesBeforeTheHeaderArePassedOver)
{
    const QByteArray bank = "某某银行 交易明细\n账号:6222 0000\n\n"
                            "交易时间,交易对方,收入金额,支出金额,余额,交易号\n"
                            "2024-01-05 09:15:00,公司,\"8,600.00\",,9000.00,A1\n"
                            "2024-01-06 12:00:00,食堂,,25.50,8974.50,A2\n";
    EXPECT_EQ(Csv(bank), "I860000 2024-01-05+33300 公司|@5; E2550 2024-01-06+43200 食堂|@6");
    const TCsvPreview preview = PreviewCsv(bank);
    EXPECT_EQ(preview.Options.HeaderRow, 2);
    EXPECT_EQ(preview.Headers.join('|').toStdString(), "交易时间|交易对方|收入金额|支出金额|余额|交易号");
    EXPECT_EQ(preview.Rows.size(), 2);
    EXPECT_TRUE(preview.Problems.isEmpty());
    TCsvEntrySource source(bank);
    ReadAll(source);
    EXPECT_EQ(source.Notes().join('|').toStdString(), "没有读取的列：余额、交易号");
}

TEST(CsvHeaders, AFileWithoutHeaderIsMappedFromItsCells)
{
    const QByteArray rows = "2024-01-05,午饭,-25.5,食堂\n2024-01-06,工资,8600,\n";
    const TCsvPreview preview = PreviewCsv(rows);
    EXPECT_EQ(preview.Options.HeaderRow, TCsvOptions::NoHeaderRow);
    EXPECT_EQ(preview.Options.Mapping, (QList<TCsvColumnRole>{crDate, crItem, crAmount, crRemark}));
    EXPECT_EQ(Csv(rows), "E2550 2024-01-05 午饭|食堂@1; I860000 2024-01-06 工资|@2");
}

TEST(CsvHeaders, TheUsersMappingWins)
{
    TCsvOptions options;
    options.HeaderRow = 0;
    options.Mapping = {crRemark, crDate, crIgnore, crAmount};
    EXPECT_EQ(Csv("x,y,z,w\nnote,2024-01-05,ignored,-1\n", options), "E100 2024-01-05 |note@2");
    options.Mapping = {crRemark, crDate, crAmount, crAmount};
    EXPECT_EQ(Csv("x,y,z,w\nnote,2024-01-05,1,-1\n", options), "error: 第1行：有2列被当作金额；只需要一列");
}

TEST(CsvHeaders, AHeaderThatMapsNothingIsRefusedNamingItsColumns)
{
    EXPECT_EQ(Csv("foo,bar\nx,y\n"), "error: 第1行：没有哪一列被当作日期（文件的列：foo、bar）；"
                                     "第1行：没有哪一列被当作金额（文件的列：foo、bar）");
    const TCsvPreview preview = PreviewCsv("foo,bar\nx,y\n");
    EXPECT_EQ(preview.Problems.size(), 2);
    EXPECT_EQ(preview.Rows.size(), 1) << "the preview still shows the rows so the user can map them";
}

TEST(CsvKinds, SignTypeColumnAndSplitColumnsDecide)
{
    const QByteArray signed_ = "日期,金额\n2024-01-05,-1\n2024-01-05,2\n2024-01-05,(3)\n";
    EXPECT_EQ(Csv(signed_), "E100 2024-01-05 |@2; I200 2024-01-05 |@3; E300 2024-01-05 |@4");
    TCsvOptions allExpense;
    allExpense.KindRule = ckAllExpense;
    EXPECT_EQ(Csv(signed_, allExpense), "E100 2024-01-05 |@2; E200 2024-01-05 |@3; E300 2024-01-05 |@4");
    // A type column decides; a negative expense is the usual way of writing
    // it, a negative income is money given back and stays negative.
    EXPECT_EQ(Csv("日期,金额,类型\n2024-01-05,-1,支出\n2024-01-05,1,消费\n2024-01-05,-1,收入\n2024-01-05,1,\n"
                  "2024-01-05,1,转账\n"),
              "E100 2024-01-05 |@2; E100 2024-01-05 |@3; I-100 2024-01-05 |@4; "
              "I100 2024-01-05 |@5; !6 类型无法识别：“转账”（应为“收入”或“支出”）");
    EXPECT_EQ(
        Csv("日期,收入,支出\n2024-01-05,5,\n2024-01-05,,6\n2024-01-05,,\n2024-01-05,1,2\n2024-01-05,0,2\n"),
        "I500 2024-01-05 |@2; E600 2024-01-05 |@3; !4 没有金额; !5 收入金额和支出金额都填了; "
        "E200 2024-01-05 |@6");
}

TEST(CsvKinds, TheLedgersOwnExportKeepsEverySignDecimalAndEmptyCell)
{
    // Guards against an exported refund (an expense of -50) coming back as +50.
    const QByteArray exported = "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                                "收入,-20.00,2024-01-05,冲正,\r\n"
                                "支出,-50.00,2024-01-06,退款,\r\n"
                                "支出,3.3333333333333335,,三分之一,\r\n"
                                "支出,,2024-01-07 08:00:00,'\t=1,\r\n"
                                "支出,100000000000000000,2024-01-08,大,\r\n"
                                "支出,\"1,234.5\",2024-01-09,改过,\r\n";
    TCsvEntrySource source(exported);
    EXPECT_EQ(source.Options().AmountRule, caLedger);
    EXPECT_EQ(ReadAll(source), "I-2000 2024-01-05 冲正|@2; E-5000 2024-01-06 退款|@3; "
                               "E=3.3333333333333335 nodate 三分之一|@4; E- 2024-01-07+28800 \t=1|@5; "
                               "E=1e+17 2024-01-08 大|@6; E123450 2024-01-09 改过|@7");
    // A bank's file of the same shape but other names keeps the bank's reading.
    EXPECT_EQ(Csv("收支,金额,日期\n支出,-50.00,2024-01-06\n"), "E5000 2024-01-06 |@2");
    TCsvOptions bank;
    bank.AmountRule = caDirection;
    EXPECT_NE(Csv(exported, bank).find("E5000 2024-01-06 退款|@3; !4 金额的小数超过两位"), std::string::npos);
}

TEST(CsvKinds, TheLedgersOwnExportTellsAnEmptyTextFromNoneByItsQuotes)
{
    // Guards against a quoted empty remark ("") of the ledger's export read as no remark.
    const QByteArray exported = "\xEF\xBB\xBF类型,金额,日期,项目,备注\r\n"
                                "收入,1.00,2024-01-05,\"\",\"\"\r\n"
                                "收入,2.00,2024-01-05,,\r\n"
                                "收入,3.00,2024-01-05,x,\"\"\r\n";
    auto read = [](const QByteArray &text) {
        TCsvEntrySource source(text);
        std::string out;
        TForeignEntry entry;
        TBadRecord bad;
        while (source.Next(entry, bad) == TEntrySource::esEntry)
            out +=
                std::string(entry.EmptyItemIsText ? "T" : "N") + (entry.EmptyRemarkIsText ? "T" : "N") + " ";
        return out;
    };
    EXPECT_EQ(read(exported), "TT NN NT ");
    // Other files read as before: an empty cell, quoted or not, is no text.
    EXPECT_EQ(read("日期,金额,项目,备注\n2024-01-05,1,\"\",\"\"\n2024-01-06,2,,\n"), "NN NN ");
}

TEST(CsvAmounts, AnAmountThatReadsEitherWayIsReadAsTheFileWritesOthersOrRefused)
{
    // Guards against "1.500" read as 1.50 in a file that writes 1.234,56.
    EXPECT_EQ(Csv("日期;金额\n2024-01-05;-1.500\n2024-01-06;1.234,56\n2024-01-07;12,5\n"),
              "E150000 2024-01-05 |@2; I123456 2024-01-06 |@3; I1250 2024-01-07 |@4");
    TCsvEntrySource european("日期;金额\n2024-01-05;-1.500\n2024-01-06;1.234,56\n");
    ReadAll(european);
    EXPECT_EQ(european.Notes().join('|').toStdString(),
              "有1条金额（第一条在第2行：“-1.500”）的分隔符本身有两种读法，按第3行“1.234,56”的写法，以“,"
              "”为小数点读取");
    EXPECT_EQ(Csv("2024-01-05;1.500\n2024-01-06;1.234,56\n"),
              "I150000 2024-01-05 |@1; I123456 2024-01-06 |@2")
        << "without a header row";
    EXPECT_EQ(Csv("日期,金额\n2024-01-05,1.500\n2024-01-06,\"2,000.50\"\n"),
              "I150 2024-01-05 |@2; I200050 2024-01-06 |@3");
    EXPECT_EQ(
        Csv("日期,金额\n2024-01-05,1.500\n2024-01-06,2\n"),
        "!2 "
        "金额“1.500”无法确定：其中的“.”可能是小数点，也可能是千位分隔符，文件中的其他金额也看不出是哪一种; "
        "I200 2024-01-06 |@3");
    EXPECT_EQ(
        Csv("日期;金额\n2024-01-05;1.500\n2024-01-06;2.50\n2024-01-07;3,5\n"),
        "!2 "
        "金额“1.500”无法确定：其中的“.”可能是小数点，也可能是千位分隔符，文件中的其他金额也看不出是哪一种；"
        "文件中的金额有两种写法：第3行的“2.50”以“.”为小数点，第4行的“3,5”以“,”为小数点; "
        "I250 2024-01-06 |@3; I350 2024-01-07 |@4");
}

TEST(CsvDates, ATimeWithAZoneLandsOnTheLocalDay)
{
    // Guards against 23:30 UTC on the last of January staying in January in Beijing.
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "Asia/Shanghai");
    tzset();
    const std::string read = Csv("日期,金额\n2026-01-31T23:30:00Z,1\n2026-01-31T23:30:00+08:00,2\n"
                                 "2026-01-31T23:30:00,3\n");
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
    EXPECT_EQ(read, "I100 2026-02-01+27000 |@2; I200 2026-01-31+84600 |@3; I300 2026-01-31+84600 |@4");
}

TEST(CsvBadRecords, EachBadRowIsReportedWithItsLineAndTheRestGoesOn)
{
    EXPECT_EQ(Csv("日期,金额,项目\n2024-2-30,1,a\n2024-02-01,12..5,b\n\n2024-02-02,,c\n,4,d\n2024-02-03,5\n"),
              "!2 日期不存在：“2024-2-30”; !3 金额无法识别：“12..5”; !5 没有金额; !6 没有日期; "
              "I500 2024-02-03 |@7");
}

TEST(CsvBadInput, FilesThatAreNoCsvAreRefusedClearly)
{
    EXPECT_EQ(Csv(""), "error: 文件中没有任何纪录");
    EXPECT_EQ(Csv("\n\n ,, \n"), "error: 文件中没有任何纪录");
    EXPECT_EQ(Csv(QByteArray("date,amount\n\0\x01\x02", 15)), "error: 第2行：文件不是文本（含有 NUL 字节）");
    EXPECT_EQ(Csv("date,amount\n2024-01-01,1\n\x81\x20\xFF\n"),
              "error: 第3行：无法识别的编码：文本既不是 UTF-8 也不是 GB18030");
}

TEST(CsvFormulas, AGuardingApostropheComesOffButOtherApostrophesStay)
{
    EXPECT_EQ(Csv("日期,金额,项目,备注\n2024-01-05,1,'=SUM(A1),'-退款\n2024-01-05,1,'x,''=y\n"
                  "2024-01-05,1,\"'\t=1\",\"'\r@x\"\n"),
              "I100 2024-01-05 =SUM(A1)|-退款@2; I100 2024-01-05 'x|'=y@3; I100 2024-01-05 \t=1|\r@x@4");
}

TEST(CsvProgress, RisesToOneAsTheFileIsRead)
{
    TCsvEntrySource source("date,amount\n2024-01-01,1\n2024-01-02,2\n");
    EXPECT_LT(source.Progress(), 0.5);
    ReadAll(source);
    EXPECT_DOUBLE_EQ(source.Progress(), 1.0);
    EXPECT_EQ(source.Description().toStdString(), "CSV（UTF-8，逗号分隔）");
}

} // namespace
} // namespace kestrum
