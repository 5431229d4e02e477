// The statistics' totals for all time, a month and a year give the same
// figures on a ledger file and on a ledger on a server, and both are the
// exact sums of the rows counted one by one: entries without a date belong
// to no period, entries without an amount add nothing, and the first and
// last instant of a month belong to it.
#include "LedgerFileFixture.h"
#include "ServerSchema.h"
#include "app/LedgerTotals.h"
#include "app/StatisticsText.h"
#include "core/DateTime.h"
#include "core/RegionalSettings.h"
#include "core/Utf8.h"
#include "db/DateText.h"
#include "db/DbConnection.h"
#include "db/DbQuery.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/ServerTotals.h"
#include "support/PgServer.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

namespace kestrum {
namespace {

enum class TEngine { File, Server };

struct TEntry {
    bool Income;
    std::optional<TCents> Cents; //!< Null amount when empty
    std::optional<std::string> Date;
    std::string Item;
};

//! Year, month (0 for the year), item ("" for every item) -> cents.
using TBruteSums = std::map<std::tuple<bool, int, int, std::string>, TCents>;

std::vector<TEntry> MakeEntries()
{
    std::mt19937 random(20261210);
    const char *const items[] = {"午饭", " 房租 ", "", "交通", "其他"};
    std::vector<TEntry> entries;
    for (int i = 0; i < 400; ++i) {
        TEntry entry;
        entry.Income = random() % 3 == 0;
        if (random() % 11 != 0)
            entry.Cents = TCents(random() % 2000000) - 300000; // refunds are negative
        if (random() % 13 != 0) {
            const int year = 2023 + int(random() % 3), month = 1 + int(random() % 12);
            const int last = DaysInMonth(year, month);
            // The first and the last instant of a month come up often.
            const int kind = int(random() % 4);
            char text[40];
            if (kind == 0)
                std::snprintf(text, sizeof text, "%04d-%02d-01 00:00:00", year, month);
            else if (kind == 1)
                std::snprintf(text, sizeof text, "%04d-%02d-%02d 23:59:59.999", year, month, last);
            else
                std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:00", year, month,
                              1 + int(random() % last), int(random() % 24), int(random() % 60));
            entry.Date = text;
        }
        entry.Item = items[random() % 5];
        entries.push_back(entry);
    }
    return entries;
}

TBruteSums BruteSums(const std::vector<TEntry> &entries)
{
    TBruteSums sums;
    for (const TEntry &e : entries) {
        sums[{e.Income, 0, 0, "*"}] += e.Cents.value_or(0);
        if (!e.Date)
            continue;
        const int year = std::stoi(e.Date->substr(0, 4)), month = std::stoi(e.Date->substr(5, 2));
        QString trimmed = QString::fromStdString(e.Item).trimmed();
        const std::string item = trimmed.isEmpty() ? NoItemName().toStdString() : trimmed.toStdString();
        for (const auto &key : {std::tuple(e.Income, year, 0, std::string("*")),
                                std::tuple(e.Income, year, month, std::string("*")),
                                std::tuple(e.Income, year, 0, item), std::tuple(e.Income, year, month, item)})
            sums[key] += e.Cents.value_or(0);
    }
    return sums;
}

class TotalsOnEngines : public testing::TestWithParam<TEngine> {
protected:
    void SetUp() override
    {
        setRegionalSettings(RegionalSettings::simplifiedChinese());
        if (GetParam() == TEngine::Server) {
            if (test::TPgServer::Skipped())
                GTEST_SKIP() << "KESTRUM_PG_SKIP=1";
            test::TPgServer &server = test::TPgServer::Shared();
            const std::string target = server.ConnectionString(server.CreateDatabase());
            server_ = std::make_unique<TPgDriver>(target);
            CreateServerLedger(*server_);
            Fill(*server_);
            // The page's connection opens the server as it opens a file.
            connection_.SetConnectionString(
                "Data Source=" + TDbConnection::QuotedConnectionStringValue(QString::fromStdString(target)));
        } else {
            TSqliteDriver db(file_.Path().toStdString());
            Fill(db);
            connection_.SetConnectionString(file_.ConnectionString());
        }
        query_.SetConnection(&connection_);
    }

    void Fill(TDbDriver &db)
    {
        db.Begin();
        for (const TEntry &e : entries_) {
            const std::unique_ptr<TDbStatement> insert =
                db.Prepare(e.Income ? "INSERT INTO gain (本次进帐, 进帐时间, 进帐人) VALUES (?1, ?2, ?3)"
                                    : "INSERT INTO expen (消费金额, 消费日期, 消费者) VALUES (?1, ?2, ?3)");
            if (e.Cents)
                insert->BindDouble(1, double(*e.Cents) / 100.0);
            else
                insert->BindNull(1);
            if (e.Date)
                insert->BindDateTime(2, *IsoTextToDays(*e.Date));
            else
                insert->BindNull(2);
            insert->BindText(3, e.Item);
            insert->Step();
        }
        db.Commit();
    }

    TCents Sum(const char *statement, const TLedgerData::TParameterTexts &parameters)
    {
        if (server_) {
            EXPECT_TRUE(TLedgerTotals::ServerSum(*server_, utf8(statement), parameters).has_value())
                << statement;
        }
        return SumToCents(TLedgerTotals(query_).Sum(utf8(statement), parameters, QStringLiteral("l1")));
    }

    TYearTotals Year(const QString &year) { return TLedgerTotals(query_).Year(year); }

    TCents Expected(bool income, int year, int month, const std::string &item = "*") const
    {
        const auto found = sums_.find({income, year, month, item});
        return found == sums_.end() ? 0 : found->second;
    }

    const std::vector<TEntry> entries_ = MakeEntries();
    const TBruteSums sums_ = BruteSums(entries_);
    TLedgerFile file_;
    TDbConnection connection_;
    TDbQuery query_;
    std::unique_ptr<TPgDriver> server_;
};

TEST_P(TotalsOnEngines, AllTimeMonthAndYearSumsAreTheRowsAddedUp)
{
    EXPECT_EQ(Sum("select sum(本次进帐) as l1 from gain", {}), Expected(true, 0, 0));
    EXPECT_EQ(Sum("select sum(消费金额) as l1 from expen", {}), Expected(false, 0, 0));
    for (int year = 2022; year <= 2026; ++year) {
        const QString y = QString::number(year);
        EXPECT_EQ(Sum("select sum(本次进帐) as l1 from gain where year(进帐时间)= :a", {{"a", y}}),
                  Expected(true, year, 0))
            << year;
        for (int month = 1; month <= 12; ++month) {
            const QString m = QString::number(month);
            EXPECT_EQ(
                Sum("select sum(消费金额) as l1 from expen where year(消费日期)= :c AND month(消费日期)=:d",
                    {{"c", y}, {"d", m}}),
                Expected(false, year, month))
                << year << "-" << month;
        }
    }
}

TEST_P(TotalsOnEngines, YearFiguresAreTheRowsAddedUpPerMonthAndItem)
{
    for (const int year : {2022, 2024}) {
        const TYearTotals totals = Year(QString::number(year));
        EXPECT_EQ(totals.Empty, year == 2022);
        TCents items = 0;
        for (const TItemAmount &item : totals.ExpenseByItem) {
            EXPECT_EQ(item.Amount, Expected(false, year, 0, item.Item.toStdString()))
                << item.Item.toStdString();
            items += item.Amount;
        }
        EXPECT_EQ(items, Expected(false, year, 0));
        for (int month = 1; month <= 12; ++month) {
            EXPECT_EQ(totals.Months[std::size_t(month - 1)].Income, Expected(true, year, month)) << month;
            EXPECT_EQ(totals.Months[std::size_t(month - 1)].Expense, Expected(false, year, month)) << month;
            for (const TItemAmount &item : totals.MonthExpenseByItem[std::size_t(month - 1)])
                EXPECT_EQ(item.Amount, Expected(false, year, month, item.Item.toStdString()));
        }
    }
}

TEST_P(TotalsOnEngines, NumbersThatNameNoPeriodSumNothing)
{
    for (const auto &[year, month] :
         std::vector<std::pair<const char *, const char *>>{{"2024", "13"}, {"2024", "0"}, {"0", "1"}})
        EXPECT_EQ(Sum("select sum(消费金额) as l1 from expen where year(消费日期)= :c AND month(消费日期)=:d",
                      {{"c", year}, {"d", month}}),
                  0)
            << year << "-" << month;
}

TEST_P(TotalsOnEngines, AServerLedgerWithoutTheDateIndexesGetsThemWhenSummed)
{
    if (!server_)
        GTEST_SKIP() << "a file's indexes are the open checks'";
    server_->Exec("DROP INDEX kestrum_gain_date; DROP INDEX kestrum_expen_date");
    EXPECT_EQ(Sum("select sum(本次进帐) as l1 from gain where year(进帐时间)= :a", {{"a", "2024"}}),
              Expected(true, 2024, 0));
    const std::unique_ptr<TDbStatement> indexes = server_->Prepare(
        "SELECT count(*) FROM pg_indexes WHERE indexname IN ('kestrum_gain_date', 'kestrum_expen_date')");
    ASSERT_TRUE(indexes->Step());
    EXPECT_EQ(indexes->ColumnInt64(0), 2);
}

INSTANTIATE_TEST_SUITE_P(Engines, TotalsOnEngines, testing::Values(TEngine::File, TEngine::Server),
                         [](const testing::TestParamInfo<TEngine> &info) {
                             return info.param == TEngine::File ? "File" : "Server";
                         });

TEST(ServerDecimals, ExactDecimalTextsBecomeCurrencyAndOthersDoubles)
{
    EXPECT_EQ(DecimalTextValue("-12.3400").toCurrency().scaled, -123400);
    EXPECT_EQ(DecimalTextValue("7").toCurrency().scaled, 70000);
    EXPECT_EQ(DecimalTextValue("0.00010000").toCurrency().scaled, 1);
    EXPECT_EQ(DecimalTextValue("0.00005").type(), VarType::Float64);
    EXPECT_EQ(DecimalTextValue("99999999999999999999.5").type(), VarType::Float64);
}

} // namespace
} // namespace kestrum
