// What the ledger makes of an old Access ledger's rows, driven by a fake
// table source: which column is which, how values of each Jet type become an
// entry, and which rows cannot become one.
#include "exchange/JetLedgerSource.h"

#include "core/DateTime.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <map>

using namespace kestrum;

namespace {

struct TFakeTable {
    std::vector<std::string> Columns;
    std::vector<TJetRow> Rows;
};

class TFakeCursor : public TJetRowCursor {
public:
    explicit TFakeCursor(const TFakeTable &table) : FTable(table) {}
    const std::vector<std::string> &Columns() const override { return FTable.Columns; }
    std::int64_t RowCount() const override { return std::int64_t(FTable.Rows.size()); }
    bool Next(TJetRow &row) override
    {
        if (FNext >= FTable.Rows.size())
            return false;
        row = FTable.Rows[FNext++];
        return true;
    }

private:
    const TFakeTable &FTable;
    std::size_t FNext = 0;
};

class TFakeTables : public TJetTableSource {
public:
    std::map<std::string, TFakeTable> Tables;
    std::string Description() const override { return "Fake Jet"; }
    bool HasTable(const std::string &table) override { return Tables.count(table) > 0; }
    std::unique_ptr<TJetRowCursor> OpenTable(const std::string &table) override
    {
        if (!HasTable(table))
            throw Exception("no table " + table);
        return std::make_unique<TFakeCursor>(Tables.at(table));
    }
};

TJetValue Num(double value)
{
    return TJetValue::FromNumber(value);
}
TJetValue Text(const char *value)
{
    return TJetValue::FromText(value);
}
TJetValue Date(int year, int month, int day, int hour = 0, int minute = 0)
{
    return TJetValue::FromDate(ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, minute, 0)));
}
const TJetValue Null = TJetValue::Null();

TFakeTable Gain(std::vector<TJetRow> rows)
{
    return {{"id", "本次进帐", "进帐时间", "进帐人", "备注"}, std::move(rows)};
}
TFakeTable Expen(std::vector<TJetRow> rows)
{
    return {{"id", "消费金额", "消费日期", "消费者", "备注"}, std::move(rows)};
}

//! Every step as one line: "+ 1250 2024-01-10 0 工资 一月" for an income entry,
//! "- ..." for an expense ("null" for a missing amount or date), "! reason"
//! for a bad record.
std::string ReadAll(TEntrySource &source)
{
    std::string out;
    TForeignEntry entry;
    TBadRecord bad;
    for (;;) {
        const TEntrySource::TStep step = source.Next(entry, bad);
        if (step == TEntrySource::esEnd)
            return out;
        if (step == TEntrySource::esBad) {
            out += "! " + bad.Reason.toStdString() + "\n";
            continue;
        }
        out += (entry.Kind == ekIncome ? "+ " : "- ") +
               (entry.HasAmount ? std::to_string(entry.Cents) : std::string("null")) + " " +
               (entry.HasDate ? entry.Date.toString(Qt::ISODate).toStdString() : std::string("null")) + " " +
               std::to_string(entry.Seconds) + " " + entry.Item + " " + entry.Remark + "\n";
    }
}

} // namespace

TEST(JetLedgerSource, ReadsIncomeThenExpenseWithTheirColumns)
{
    TFakeTables tables;
    tables.Tables["gain"] = Gain({{Num(1), Num(5000), Date(2024, 1, 10), Text("工资"), Text("一月")},
                                  {Num(2), Num(12.5), Date(2024, 2, 3, 18, 30), Text("红包"), Null}});
    tables.Tables["expen"] = Expen({{Num(1), Num(36.8), Date(2024, 1, 11), Text("午饭"), Text("和同事")}});
    TJetLedgerSource source(tables);
    EXPECT_EQ(ReadAll(source), "+ 500000 2024-01-10 0 工资 一月\n"
                               "+ 1250 2024-02-03 66600 红包 \n"
                               "- 3680 2024-01-11 0 午饭 和同事\n");
    EXPECT_EQ(source.Description(), "Fake Jet");
    EXPECT_TRUE(source.Notes().isEmpty());
}

TEST(JetLedgerSource, FindsColumnsByNameInAnyOrderAndNotesTheUnknownOnes)
{
    TFakeTables tables;
    tables.Tables["gain"] = {{"备注", "类别", "进帐人", "ID", "进帐时间", "本次进帐"},
                             {{Text("备"), Text("x"), Text("奖金"), Num(7), Date(2023, 12, 31), Num(300)}}};
    tables.Tables["expen"] = Expen({});
    TJetLedgerSource source(tables);
    EXPECT_EQ(ReadAll(source), "+ 30000 2023-12-31 0 奖金 备\n");
    ASSERT_EQ(source.Notes().size(), 1);
    EXPECT_EQ(source.Notes()[0].toStdString(), "没有转换的列：gain.类别。");
}

TEST(JetLedgerSource, AmountsOfEveryJetKind)
{
    TFakeTables tables;
    tables.Tables["gain"] = Gain({
        {Num(1), TJetValue::FromCurrency(123456), Date(2024, 1, 1), Text("money"), Null}, // 12.3456
        {Num(2), TJetValue::FromCurrency(100), Date(2024, 1, 1), Text("cent"), Null},     // 0.01
        {Num(3), Num(0.1 + 0.2), Date(2024, 1, 1), Text("double"), Null},
        {Num(4), Text(" 7.5 "), Date(2024, 1, 1), Text("text"), Null},
        {Num(5), Null, Date(2024, 1, 1), Text("none"), Null},
        {Num(6), Num(-3), Date(2024, 1, 1), Text("negative"), Null},
        {Num(7), TJetValue::FromCurrency(-50000), Date(2024, 1, 1), Text("negative money"), Null},
        {Num(8), Text("abc"), Date(2024, 1, 1), Text("word"), Null},
        {Num(9), Date(2024, 1, 1), Date(2024, 1, 1), Text("date"), Null},
        {Num(10), Num(1e300), Date(2024, 1, 1), Text("huge"), Null},
        {Num(11), Num(2.345), Date(2024, 1, 1), Text("sub-cent"), Null},
    });
    tables.Tables["expen"] = Expen({});
    TJetLedgerSource source(tables);
    // Regression: a negative amount stopped the whole conversion, a missing one became 0.00.
    EXPECT_EQ(ReadAll(source), "+ 1235 2024-01-01 0 money \n"
                               "+ 1 2024-01-01 0 cent \n"
                               "+ 30 2024-01-01 0 double \n"
                               "+ 750 2024-01-01 0 text \n"
                               "+ null 2024-01-01 0 none \n"
                               "+ -300 2024-01-01 0 negative \n"
                               "+ -500 2024-01-01 0 negative money \n"
                               "! gain 表第 8 行：金额不是数字（abc）\n"
                               "! gain 表第 9 行：金额是日期（2024-1-1）\n"
                               "! gain 表第 10 行：金额太大（1e+300）\n"
                               "+ 235 2024-01-01 0 sub-cent \n");
    EXPECT_EQ(source.Notes().join("|").toStdString(),
              "1 条记录没有金额，照原样转换为空金额（不当作 0）：gain 表第 5 行。|"
              "2 条记录的金额是负数（如退款），照原样转换：gain 表第 6 行、gain 表第 7 行。|"
              "2 个金额多于两位小数，已四舍五入到分。");

    // Negative ten-thousandths round away from zero as positive ones do.
    TFakeTables halves;
    halves.Tables["gain"] =
        Gain({{Num(1), TJetValue::FromCurrency(-123450), Date(2024, 1, 1), Text("a"), Null},
              {Num(2), TJetValue::FromCurrency(123450), Date(2024, 1, 1), Text("b"), Null},
              {Num(3), Num(-2.345), Date(2024, 1, 1), Text("c"), Null}});
    halves.Tables["expen"] = Expen({});
    TJetLedgerSource rounded(halves);
    EXPECT_EQ(ReadAll(rounded), "+ -1235 2024-01-01 0 a \n+ 1235 2024-01-01 0 b \n+ -235 2024-01-01 0 c \n");
}

TEST(JetLedgerSource, DatesAsJetDayNumbersAsTextAndMissing)
{
    TFakeTables tables;
    tables.Tables["gain"] = Gain({});
    tables.Tables["expen"] = Expen({
        {Num(1), Num(1), TJetValue::FromDate(45300.75), Text("days"), Null},
        {Num(2), Num(1), TJetValue::FromDate(-1.25), Text("before 1900"), Null},
        {Num(3), Num(1), Num(2.5), Text("double"), Null},
        {Num(4), Num(1), Text("2024-01-10 00:00:00"), Text("stored text"), Null},
        {Num(5), Num(1), Text("2024-7-5 8:30:00"), Text("short text"), Null},
        {Num(6), Num(1), Null, Text("none"), Null},
        {Num(7), Num(1), Text("明天"), Text("word"), Null},
        {Num(8), Num(1), TJetValue::FromDate(1e9), Text("far"), Null},
    });
    TJetLedgerSource source(tables);
    EXPECT_EQ(ReadAll(source), "- 100 2024-01-09 64800 days \n"
                               "- 100 1899-12-29 21600 before 1900 \n"
                               "- 100 1900-01-01 43200 double \n"
                               "- 100 2024-01-10 0 stored text \n"
                               "- 100 2024-07-05 30600 short text \n"
                               "- 100 null 0 none \n"
                               "! expen 表第 7 行：日期不对（明天）\n"
                               "! expen 表第 8 行：日期不对（1000000000）\n");
    // Regression: an undated entry stopped the whole conversion.
    EXPECT_EQ(source.Notes().join("|").toStdString(),
              "1 条记录没有日期，照原样转换为空日期：expen 表第 6 行。");
}

TEST(JetLedgerSource, ItemsAndRemarksOfOtherKindsBecomeTextAndCutTextsAreBad)
{
    TFakeTables tables;
    tables.Tables["gain"] = Gain({{Num(1), Num(1), Date(2024, 3, 1), Num(42), Date(2024, 3, 2)}});
    TJetValue cut = Text("很长的备注");
    cut.Truncated = true;
    tables.Tables["expen"] = Expen({{Num(1), Num(1), Date(2024, 3, 1), Text("书"), cut}});
    TJetLedgerSource source(tables);
    EXPECT_EQ(ReadAll(source), "+ 100 2024-03-01 0 42 2024-3-2\n"
                               "! expen 表第 1 行：备注太长，读不全\n");
}

TEST(JetLedgerSource, AFileWithoutTheLedgerTablesOrColumnsIsRefusedAtOnce)
{
    TForeignEntry entry;
    TBadRecord bad;
    {
        TFakeTables tables;
        tables.Tables["gain"] = Gain({{Num(1), Num(1), Date(2024, 1, 1), Text("a"), Null}});
        TJetLedgerSource source(tables);
        try {
            source.Next(entry, bad);
            FAIL() << "a file without expen was read";
        } catch (const EImportError &error) {
            EXPECT_NE(std::string(error.what()).find("expen"), std::string::npos) << error.what();
        }
    }
    {
        TFakeTables tables;
        tables.Tables["gain"] = {{"id", "本次进帐", "进帐人", "备注"}, {}};
        tables.Tables["expen"] = Expen({});
        TJetLedgerSource source(tables);
        try {
            source.Next(entry, bad);
            FAIL() << "a gain table without its date column was read";
        } catch (const EImportError &error) {
            EXPECT_NE(std::string(error.what()).find("进帐时间"), std::string::npos) << error.what();
        }
    }
}

TEST(JetLedgerSource, ProgressCountsTheRowsOfBothTables)
{
    TFakeTables tables;
    tables.Tables["gain"] = Gain({{Num(1), Num(1), Date(2024, 1, 1), Text("a"), Null}});
    tables.Tables["expen"] = Expen({{Num(1), Num(1), Date(2024, 1, 1), Text("b"), Null},
                                    {Num(2), Num(-1), Date(2024, 1, 1), Text("c"), Null},
                                    {Num(3), Num(1), Date(2024, 1, 1), Text("d"), Null}});
    TJetLedgerSource source(tables);
    TForeignEntry entry;
    TBadRecord bad;
    EXPECT_EQ(source.Progress(), 0.0);
    std::vector<double> seen;
    while (source.Next(entry, bad) != TEntrySource::esEnd)
        seen.push_back(source.Progress());
    EXPECT_EQ(seen, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
    EXPECT_EQ(source.Progress(), 1.0);
}
