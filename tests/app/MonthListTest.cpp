// The entry pages' month list: read through a slice of the date index, it
// holds the rows the month statement as written selects, in the same order.
#include "LedgerFileFixture.h"
#include "app/EntryPage.h"
#include "app/LedgerData.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DbConnection.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "db/JetFunctions.h"
#include "ledger/DateIndexes.h"
#include "ledger/DatePeriods.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrum {
namespace {

class MonthList : public testing::Test {
protected:
    MonthList()
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        connection.SetConnectionString(file.ConnectionString());
        query.SetConnection(&connection);
    }

    //! The ids the statement lists, in its order, or "error".
    std::string Ids(const QString &statement, const TLedgerData::TParameterTexts &parameters)
    {
        try {
            TLedgerData::ReplaceAndReopen(query, statement, parameters);
            std::string ids;
            for (query.First(); !query.Eof(); query.Next())
                ids += query.FieldByName("id")->AsString().toStdString() + ' ';
            return ids;
        } catch (const std::exception &) {
            return "error";
        }
    }

    void AddIndexes()
    {
        sqlite3 *db = nullptr;
        sqlite3_open(file.Path().toUtf8().constData(), &db);
        EnsureDateIndexes(db);
        sqlite3_close(db);
    }

    //! The query plan of a statement, one line per step.
    QStringList Plan(const QString &statement)
    {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(file.Path().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        RegisterJetFunctions(db);
        const QByteArray sql = ("EXPLAIN QUERY PLAN " + statement).toUtf8();
        sqlite3_stmt *s = nullptr;
        QStringList steps;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) != SQLITE_OK)
            steps << QString::fromUtf8(sqlite3_errmsg(db));
        while (s && sqlite3_step(s) == SQLITE_ROW)
            steps << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 3)));
        sqlite3_finalize(s);
        sqlite3_close(db);
        return steps;
    }

    TLedgerFile file;
    TDbConnection connection;
    TDbQuery query;
};

const QString &IncomeMonth()
{
    static const QString statement = utf8(IncomePageDescription().MonthStatement);
    return statement;
}

TEST_F(MonthList, EveryStoredDateAndPickerTextListsWhatTheStatementAsWrittenLists)
{
    file.Scalar("BEGIN");
    // Ids out of date order, so that an order by date would show.
    int id = 500;
    for (const char *date : {"'2018-03-31 23:59:59'",
                             "'2018-03-01 00:00:00'",
                             "'2018-03-15T12:00:00'",
                             "'2018-03-05 10:00:00.250'",
                             "'2018-03-05'",
                             "'2018-02-28 23:59:59'",
                             "'2018-04-01 00:00:00'",
                             "'2018-12-31 23:59:59'",
                             "'2019-01-01 00:00:00'",
                             "'2017-12-31 23:59:59'",
                             "'2018-3-7'",
                             "'2018-03-7'",
                             "'2018-13-01'",
                             "'2018-03-32'",
                             "'2018-02-30'",
                             "'2018-03-01 25:00'",
                             "'2018-03'",
                             "'2018'",
                             "'2018.5'",
                             "43160",
                             "43190.999",
                             "43165.75",
                             "43159.5",
                             "43191.25",
                             "43100.5",
                             "43466",
                             "43465.99",
                             "-36522.25",
                             "'0001-01-01'",
                             "'9999-12-31 23:59:59'",
                             "2958465.5",
                             "NULL",
                             "''",
                             "'abc'",
                             "x'323031382d30332d3031'"}) {
        id = id * 7 % 1009; // a walk over the ids in no order
        file.Scalar("INSERT INTO gain (id, \"本次进帐\", \"进帐时间\") VALUES (" + std::to_string(id) +
                    ", 1.25, " + date + ")");
    }
    file.Scalar("COMMIT");

    const QStringList years = {"2018", " 2018 ", "02018", "2018.0", "18",    "1899", "1",
                               "9999", "0",      "10000", "2018.5", "-2018", "abc",  ""};
    const QStringList months = {"3", "03", " 3", "12", "1", "2", "13", "0", "3.0", "x", ""};
    for (const bool indexed : {false, true}) {
        if (indexed)
            AddIndexes();
        for (const QString &year : years)
            for (const QString &month : months) {
                const TLedgerData::TParameterTexts parameters = {{"b", year}, {"c", month}};
                EXPECT_EQ(Ids(MonthListStatement(IncomeMonth(), parameters), parameters),
                          Ids(IncomeMonth(), parameters))
                    << year.toStdString() << '/' << month.toStdString() << " indexed " << indexed;
            }
    }
    // The lists themselves, so the comparison above compares something.
    const TLedgerData::TParameterTexts march = {{"b", "2018"}, {"c", "3"}};
    const std::string listed = Ids(MonthListStatement(IncomeMonth(), march), march);
    std::vector<int> ids;
    for (std::size_t at = 0; at < listed.size(); at = listed.find(' ', at) + 1)
        ids.push_back(std::stoi(listed.substr(at)));
    EXPECT_EQ(ids.size(), 8u) << "five texts and three day numbers of March: " << listed;
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << listed;
}

TEST_F(MonthList, TheMonthIsReadFromARangeOfTheDateIndexAndNeverFromTheWholeTable)
{
    AddIndexes();
    for (const char *statement :
         {IncomePageDescription().MonthStatement, ExpensePageDescription().MonthStatement}) {
        const QString narrowed = MonthListStatement(utf8(statement), {{"b", "2018"}, {"c", "3"}});
        ASSERT_NE(narrowed, utf8(statement));
        const QStringList plan = Plan(narrowed);
        int reads = 0;
        for (const QString &step : plan) {
            EXPECT_FALSE(step.startsWith(QLatin1String("SCAN"))) << plan.join('\n').toStdString();
            if (step.startsWith(QLatin1String("SEARCH"))) {
                ++reads;
                EXPECT_TRUE(step.contains(QLatin1String("USING INDEX kestrum_gain_date (")) ||
                            step.contains(QLatin1String("USING INDEX kestrum_expen_date (")))
                    << plan.join('\n').toStdString();
            }
        }
        EXPECT_EQ(reads, 2) << plan.join('\n').toStdString();
    }
}

TEST_F(MonthList, OtherStatementsAndTextsThatNameNoYearRunAsTheyAre)
{
    for (const char *statement :
         {"select * from gain", "select * from gain where year(进帐时间)= :b OR month(进帐时间)=:c ",
          "select * from gain where year(进帐时间)= :b AND month(备注)=:c ",
          "select 本次进帐 from gain where year(进帐时间)= :b AND month(进帐时间)=:c "})
        EXPECT_EQ(MonthListStatement(utf8(statement), {{"b", "2018"}, {"c", "3"}}), utf8(statement));
    for (const char *year : {"abc", "2018.5", "0", "10000", ""})
        EXPECT_EQ(MonthListStatement(IncomeMonth(), {{"b", year}, {"c", "3"}}), IncomeMonth()) << year;
    EXPECT_EQ(MonthListStatement(IncomeMonth(), {{"b", "2018"}}), IncomeMonth()) << "no month bound";
}

// A list of a month made on one engine is told back to the month statement
// it came from, so that another ledger opened on the other engine shows the
// same month; any other statement is no month list.
TEST_F(MonthList, AMonthListGivesBackItsMonthStatementAndNothingElseDoes)
{
    for (const char *month : {"3", "12", " 07 ", "13", "abc"}) {
        const QString listed = MonthListStatement(IncomeMonth(), {{"b", "2018"}, {"c", month}});
        EXPECT_EQ(MonthStatementOfList(listed), IncomeMonth().trimmed()) << month;
    }
    EXPECT_EQ(MonthStatementParameters(IncomeMonth()), std::pair(QStringLiteral("b"), QStringLiteral("c")));
    for (const char *statement : {"select * from gain", "select * from gain order by rowid",
                                  "select * from gain where year(进帐时间)= :b OR month(进帐时间)=:c  AND "
                                  "((1) OR (2)) order by rowid",
                                  "select 本次进帐 from gain where year(进帐时间)= :b AND month(进帐时间)=:c "
                                  "AND ((1) OR (2)) order by rowid"}) {
        EXPECT_EQ(MonthStatementOfList(utf8(statement)), std::nullopt) << statement;
        EXPECT_EQ(MonthStatementParameters(utf8(statement)), std::nullopt) << statement;
    }
    // A month the index cannot narrow is listed as written, which is no list.
    EXPECT_EQ(MonthStatementOfList(MonthListStatement(IncomeMonth(), {{"b", "abc"}, {"c", "3"}})),
              std::nullopt);
}

} // namespace
} // namespace kestrum
