// Every statement the ledger runs, with parameters as the ledger passes
// them (the controls' texts as strings), against a real file.
#include "support/EngineLedger.h"

#include "db/DbErrors.h"
#include "db/DbRowReader.h"

namespace kestrum::test {
namespace {

class Catalogue : public EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        if (NotSetUp())
            return;
        AddGain(8600, "2024-07-10 00:00:00", "工资");
        AddGain(1500.5, "2024-07-28 00:00:00", "奖金", "季度奖");
        AddGain(8600, "2024-08-10 00:00:00", "工资");
        AddGain(9000, "2025-07-10 00:00:00", "工资");
        AddExpen(2800, "2024-07-01 00:00:00", "房租");
        AddExpen(45.5, "2024-07-03 00:00:00", "伙食");
        AddExpen(2800, "2024-08-01 00:00:00", "房租");
        AddExpen(120, "2025-01-05 00:00:00", "交通");
    }

    // The replace-and-reopen sequence with string parameters.
    Variant Run(TDbQuery &query, const QString &sql, const std::vector<std::pair<QString, QString>> &params,
                const QString &resultField = {})
    {
        query.Close();
        query.ClearSQL();
        query.AddSQL(sql);
        for (const auto &[name, text] : params)
            query.ParamByName(name)->SetValue(Variant(text));
        query.Open();
        return resultField.isEmpty() ? Variant() : query.FieldByName(resultField)->Value();
    }

    TDbQuery *Statistics()
    {
        if (!FStatistics) {
            FStatistics = std::make_unique<TDbQuery>();
            FStatistics->SetConnection(&FConnection);
        }
        return FStatistics.get();
    }

    std::unique_ptr<TDbQuery> FStatistics;
};

TEST_P(Catalogue, StartUpStatementsLoadEveryRowWithTheLedgersFields)
{
    auto gain = OpenQuery("select * from gain");
    EXPECT_EQ(gain->RecordCount(), 4);
    EXPECT_EQ(Rows(*gain, {"本次进帐", "进帐人", "备注"}),
              "8600,工资,|1500.5,奖金,季度奖|8600,工资,|9000,工资,");
    auto expen = OpenQuery("select * from expen");
    EXPECT_EQ(Rows(*expen, {"消费金额", "消费者"}), "2800,房租|45.5,伙食|2800,房租|120,交通");
    // Declared types decide the field types.
    EXPECT_EQ(gain->FieldByName("id")->DataType(), ftAutoInc);
    EXPECT_EQ(gain->FieldByName("本次进帐")->DataType(), ftFloat);
    EXPECT_EQ(gain->FieldByName("进帐时间")->DataType(), ftDateTime);
    EXPECT_EQ(gain->FieldByName("进帐人")->DataType(), ftString);
    EXPECT_EQ(gain->FieldByName("进帐人")->Size(), 50);
    EXPECT_EQ(gain->FieldByName("备注")->DataType(), ftMemo);
    EXPECT_EQ(gain->FieldByName("本次进帐")->Alignment(), taRightJustify);
    EXPECT_TRUE(gain->CanModify());
}

TEST_P(Catalogue, MonthStatementsSelectOneMonth)
{
    TDbQuery gain;
    gain.SetConnection(&FConnection);
    Run(gain, "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ",
        {{"b", "2024"}, {"c", "7"}});
    EXPECT_EQ(Rows(gain, {"本次进帐"}), "8600|1500.5");
    EXPECT_TRUE(gain.CanModify());
    // The table is named "Expen" and still found.
    TDbQuery expen;
    expen.SetConnection(&FConnection);
    Run(expen, "select * from Expen where year(消费日期)= :b AND month(消费日期)=:c ",
        {{"b", "2024"}, {"c", "8"}});
    EXPECT_EQ(Rows(expen, {"消费金额", "消费者"}), "2800,房租");
    EXPECT_TRUE(expen.CanModify());
}

TEST_P(Catalogue, TextParametersConvertLikeJet)
{
    TDbQuery gain;
    gain.SetConnection(&FConnection);
    const QString sql = "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ";
    for (const auto &[year, month] : std::vector<std::pair<QString, QString>>{
             {" 2024 ", "07"}, {"2024", " 7"}, {"2024.0", "7"}, {"02024", "007"}}) {
        Run(gain, sql, {{"b", year}, {"c", month}});
        EXPECT_EQ(gain.RecordCount(), 2) << year.toStdString() << "/" << month.toStdString();
    }
    Run(gain, sql, {{"b", "2023"}, {"c", "7"}});
    EXPECT_EQ(gain.RecordCount(), 0);
    EXPECT_TRUE(gain.Active());
}

TEST_P(Catalogue, TextThatIsNoNumberFailsTheStatementEvenOnAnEmptyTable)
{
    Exec("DELETE FROM gain");
    TDbQuery gain;
    gain.SetConnection(&FConnection);
    const QString sql = "select * from gain where year(进帐时间)= :b AND month(进帐时间)=:c ";
    for (const QString &year :
         {QStringLiteral("abc"), QStringLiteral(""), QStringLiteral("20x4"), QStringLiteral("二〇二四")}) {
        try {
            Run(gain, sql, {{"b", year}, {"c", "7"}});
            ADD_FAILURE() << "no error for year '" << year.toStdString() << "'";
        } catch (const EDatabaseError &e) {
            EXPECT_NE(e.message().find("数据类型不匹配"), std::string::npos) << e.message();
        }
        EXPECT_FALSE(gain.Active());
    }
}

TEST_P(Catalogue, AllTimeSums)
{
    EXPECT_DOUBLE_EQ(Run(*Statistics(), "select sum(本次进帐) as l1 from gain", {}, "l1").toDouble(),
                     27700.5);
    EXPECT_DOUBLE_EQ(Run(*Statistics(), "select sum(消费金额) as l2 from expen", {}, "l2").toDouble(),
                     5765.5);
    EXPECT_FALSE(Statistics()->CanModify());
}

TEST_P(Catalogue, MonthSums)
{
    const Variant l1 =
        Run(*Statistics(),
            "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a AND month(进帐时间)=:b ",
            {{"a", "2024"}, {"b", "7"}}, "l1");
    EXPECT_DOUBLE_EQ(l1.toDouble(), 10100.5);
    const Variant l2 =
        Run(*Statistics(),
            "select sum(消费金额) as l2 from expen where year(消费日期)= :c AND month(消费日期)=:d ",
            {{"c", "2024"}, {"d", "7"}}, "l2");
    EXPECT_DOUBLE_EQ(l2.toDouble(), 2845.5);
}

TEST_P(Catalogue, YearSums)
{
    const Variant l1 = Run(*Statistics(), "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  ",
                           {{"a", "2024"}}, "l1");
    EXPECT_DOUBLE_EQ(l1.toDouble(), 18700.5);
    const Variant l2 = Run(*Statistics(), "select sum(消费金额) as l2 from expen where year(消费日期)= :c  ",
                           {{"c", "2025"}}, "l2");
    EXPECT_DOUBLE_EQ(l2.toDouble(), 120);
}

TEST_P(Catalogue, EmptySelectionSumsToNull)
{
    EXPECT_TRUE(Run(*Statistics(), "select sum(本次进帐) as l1 from gain where year(进帐时间)= :a  ",
                    {{"a", "1999"}}, "l1")
                    .isNull());
    Exec("DELETE FROM expen");
    EXPECT_TRUE(Run(*Statistics(), "select sum(消费金额) as l2 from expen", {}, "l2").isNull());
}

TEST_P(Catalogue, ParametersAreBoundNeverPastedIntoTheText)
{
    TDbQuery gain;
    gain.SetConnection(&FConnection);
    // A text that would end the statement if pasted.
    Run(gain, "select * from gain where 进帐人 = :x", {{"x", "工资'; DROP TABLE gain; --"}});
    EXPECT_EQ(gain.RecordCount(), 0);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "4");
    Run(gain, "select * from gain where 进帐人 = :x", {{"x", "工资"}});
    EXPECT_EQ(gain.RecordCount(), 3);
}

TEST_P(Catalogue, StatementErrorsLeaveTheRecordSetClosed)
{
    TDbQuery query;
    query.SetConnection(&FConnection);
    EXPECT_THROW(Run(query, "select * from nosuchtable", {}), EDatabaseError);
    EXPECT_FALSE(query.Active());
    // A writing statement is refused and does not run.
    EXPECT_THROW(Run(query, "delete from gain", {}), EDatabaseError);
    EXPECT_EQ(Value("SELECT count(*) FROM gain"), "4");
}

TEST_P(Catalogue, MissingParameterNameIsAnError)
{
    TDbQuery query;
    query.SetSQL({"select * from gain where year(进帐时间)= :b"});
    EXPECT_EQ(query.Parameters().Count(), 1);
    EXPECT_EQ(query.ParamByName("B")->Name(), "b");
    EXPECT_THROW(query.ParamByName("c"), EDatabaseError);
    EXPECT_EQ(query.Parameters().FindParam("c"), nullptr);
}

// A scan runs the statement as an open would (parameters converted the
// same way, writing statements refused) but keeps nothing and leaves the
// record set as it was.
TEST_P(Catalogue, ScanHandsOverEveryRowAndKeepsNone)
{
    TDbQuery query;
    query.SetConnection(&FConnection);
    query.SetSQL({"select month(进帐时间) as m, 进帐人, 本次进帐, 备注 from gain where year(进帐时间)= :a "
                  "order by id"});
    query.ParamByName("a")->SetValue(Variant(QStringLiteral("2024")));
    std::string rows;
    query.Scan([&](const TDbRowReader &row) {
        ASSERT_EQ(row.ColumnCount(), 4);
        rows += std::to_string(row.Integer(0)) + ',' + std::string(row.Text(1)) + ',' +
                std::to_string(row.Float(2)) + ',' + (row.IsNull(3) ? "null" : std::string(row.Text(3))) +
                '|';
    });
    EXPECT_EQ(rows, "7,工资,8600.000000,null|7,奖金,1500.500000,季度奖|8,工资,8600.000000,null|");
    EXPECT_FALSE(query.Active());

    query.ParamByName("a")->SetValue(Variant(QStringLiteral("abc")));
    EXPECT_THROW(query.Scan([](const TDbRowReader &) {}), EDatabaseError);
    query.SetSQL({"delete from gain"});
    EXPECT_THROW(query.Scan([](const TDbRowReader &) {}), EDatabaseError);
    EXPECT_EQ(Value("select count(*) from gain"), "4") << "a scan never writes";

    // An open record set keeps its rows and its place through a scan of its statement.
    query.SetSQL({"select * from expen order by id"});
    query.Open();
    query.Next();
    int scanned = 0;
    query.Scan([&](const TDbRowReader &) { ++scanned; });
    EXPECT_EQ(scanned, 4);
    EXPECT_EQ(query.RecNo(), 2);
    EXPECT_EQ(query.RecordCount(), 4);
}

KESTRUM_ON_BOTH_ENGINES(Catalogue);

} // namespace
} // namespace kestrum::test
