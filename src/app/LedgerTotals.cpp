#include "app/LedgerTotals.h"

#include "core/MoneySum.h"
#include "core/Utf8.h"
#include "db/DateText.h"
#include "db/DbConnection.h"
#include "db/DbDriver.h"
#include "db/DbField.h"
#include "db/DbQuery.h"
#include "db/DbRowReader.h"
#include "db/RowStore.h"
#include "ledger/DatePeriods.h"
#include "ledger/KeptTotals.h"
#include "ledger/KeptTotalsByMonth.h"
#include "ledger/ServerTotals.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kestrum {

namespace {

// One pass over each table for the whole year, each row added up here as it
// is read: grouping in the database would first sort the year's rows, which
// costs more than reading them. The year is compared as year() compares it,
// so both select the same entries whatever form a date is stored in: a date
// stored as text is read here as year() and month() read it, without calling
// them for each row. Items are told apart without the spaces around them, and
// entries without one count as one item.
const char *const IncomeTable = "gain";
const char *const IncomeDate = "进帐时间";
const char *const IncomeYearRows = "本次进帐 as s";
const char *const IncomeYearCondition = "year(进帐时间)= :a";
const char *const ExpenseTable = "expen";
const char *const ExpenseDate = "消费日期";
const char *const ExpenseYearRows = "coalesce(trim(消费者), '') as item, 消费金额 as s";
const char *const ExpenseYearCondition = "year(消费日期)= :c";

// A sum over the rows whose date has the year, and perhaps the month, bound
// to a parameter, as the statistics page writes it. year() is a function of
// ours that no index can serve, so such a statement runs with date ranges
// added that an index on the date serves.
const QRegularExpression &PeriodSumPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*select\s+sum\(([^()\s]+)\)\s+as\s+(\w+)\s+from\s+(\w+)\s+where\s+)"
                       R"((year\(([^()\s]+)\)\s*=\s*:(\w+)(?:\s+and\s+month\(\5\)\s*=\s*:(\w+))?)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// A sum over every row of a table: "select sum(amount) as l1 from gain".
const QRegularExpression &WholeTableSumPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*select\s+sum\(([^()\s]+)\)\s+as\s+(\w+)\s+from\s+(\w+)\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

//! `select columns from table where condition`, read through the ranges: one
//! select per range, joined. No row is in both, as no date is text and a
//! number at once.
QString OverRanges(const QString &columns, const QString &table, const QString &condition,
                   const TDatePeriodRanges &ranges)
{
    return "select " + columns + " from " + table + " where " + ranges.Text + " AND " + condition +
           " union all select " + columns + " from " + table + " where " + ranges.Number + " AND " +
           condition;
}

//! The statement that reads the rows of one table for a year's charts: the
//! date as stored (d) of a row whose date is text, else its month (m), then
//! the columns.
QString YearRowsStatement(const char *table, const char *date, const char *columns, const char *condition,
                          const QString &yearText)
{
    const QString dateColumn = utf8(date), rows = utf8(columns), where = utf8(condition);
    if (const auto ranges = DatePeriodRanges(dateColumn, yearText, std::nullopt))
        return "select " + dateColumn + " as d, null as m, " + rows + " from " + utf8(table) + " where " +
               ranges->Text + " union all select null as d, month(" + dateColumn + ") as m, " + rows +
               " from " + utf8(table) + " where " + ranges->Number + " AND " + where;
    return "select null as d, month(" + dateColumn + ") as m, " + rows + " from " + utf8(table) + " where " +
           where;
}

//! A running total that adds amounts exactly, so a year of rows adds up to
//! what the database's sum() gives.
class TRunningSum {
public:
    void Add(double value) { FSum.Add(value); }
    void Add(const TMoneySum &sum) { FSum.Add(sum); }
    TCents Cents() const { return SumToCents(Variant(FSum.Value())); }

private:
    TMoneySum FSum;
};

//! The month of a row of YearRowsStatement as an index 0..11, or -1 when it
//! is none or its date is not in the year.
int MonthIndex(const TDbRowReader &row, std::optional<int> year)
{
    if (row.Kind(0) == TDbCellKind::Text) {
        const std::optional<TIsoDateTime> parts = ParseIsoText(row.Text(0));
        return parts && year && parts->Year == *year ? parts->Month - 1 : -1;
    }
    if (row.IsNull(1))
        return -1;
    const std::int64_t month = row.Integer(1);
    return month >= 1 && month <= 12 ? int(month - 1) : -1;
}

//! The query set to statement with one parameter, closed: ready to scan.
void Prepare(TDbQuery &query, const QString &statement, const QString &parameter, const QString &text)
{
    query.Close();
    query.ClearSQL();
    query.AddSQL(statement);
    query.ParamByName(parameter)->SetValue(Variant(text));
}

//! Looks items up by their bytes as read, without making a string per row.
struct TItemHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view item) const { return std::hash<std::string_view>()(item); }
};

struct TItemSums {
    std::string Item;
    TRunningSum Year;
    std::array<TRunningSum, 12> Months;
    std::array<bool, 12> InMonth{};
};

void SortLargestFirst(std::vector<TItemAmount> &items)
{
    std::sort(items.begin(), items.end(), [](const TItemAmount &a, const TItemAmount &b) {
        if (a.Amount != b.Amount)
            return a.Amount > b.Amount;
        return a.Item < b.Item;
    });
}

//! Adds a server's exact sums without losing a ten-thousandth while they fit.
class TExactSum {
public:
    void Add(const Variant &value)
    {
        if (value.isNull())
            return;
        if (value.type() == VarType::Currency && !FInexact &&
            !__builtin_add_overflow(FScaled, value.toCurrency().scaled, &FScaled))
            return;
        if (!FInexact) {
            FInexact = true;
            FValue = double(FScaled) / 10000.0;
        }
        FValue += value.type() == VarType::Currency ? value.toCurrency().toDouble() : value.toDouble();
    }
    TCents Cents() const { return SumToCents(FInexact ? Variant(FValue) : Variant(Currency{FScaled})); }

private:
    std::int64_t FScaled = 0;
    double FValue = 0;
    bool FInexact = false;
};

bool OnServer(const TDbConnection &connection)
{
    return connection.Connected() && std::string_view(connection.Driver().Name()) == "postgresql";
}

} // namespace

QString OtherItemsName()
{
    return utf8("其他");
}

QString NoItemName()
{
    return utf8("(未填)");
}

namespace {

//! A year's figures from its months' sums and its items' sums, each item
//! given by `nameAndSums` as its name and a record of Year, Months and
//! InMonth; the items largest first, in the year and in each month.
template <class TSum, class TItems, class TNameAndSums>
void FinishYear(TYearTotals &totals, const std::array<TSum, 12> &income, const std::array<TSum, 12> &expense,
                const TItems &items, TNameAndSums nameAndSums)
{
    for (std::size_t month = 0; month < 12; ++month) {
        totals.Months[month].Income = income[month].Cents();
        totals.Months[month].Expense = expense[month].Cents();
    }
    for (const auto &entry : items) {
        const auto [itemName, item] = nameAndSums(entry);
        const QString name = itemName.isEmpty() ? NoItemName() : itemName;
        totals.ExpenseByItem.push_back({name, item.Year.Cents()});
        for (std::size_t month = 0; month < 12; ++month)
            if (item.InMonth[month])
                totals.MonthExpenseByItem[month].push_back({name, item.Months[month].Cents()});
    }
    SortLargestFirst(totals.ExpenseByItem);
    for (auto &monthItems : totals.MonthExpenseByItem)
        SortLargestFirst(monthItems);
}

//! The text bound to the parameter of this name (any case), if any.
std::optional<QString> ParameterText(const TLedgerData::TParameterTexts &parameters, const QString &name)
{
    for (const auto &[parameterName, text] : parameters)
        if (parameterName.compare(name, Qt::CaseInsensitive) == 0)
            return text;
    return std::nullopt;
}

} // namespace

std::vector<TItemAmount> TopItems(const std::vector<TItemAmount> &items, int slices)
{
    slices = std::max(slices, 2);
    const QString other = OtherItemsName();
    std::vector<TItemAmount> named;
    bool hasOther = false;
    TCents otherAmount = 0;
    for (const TItemAmount &item : items) {
        if (item.Amount <= 0)
            continue;
        if (item.Item == other) {
            hasOther = true;
            otherAmount += item.Amount;
        } else {
            named.push_back(item);
        }
    }
    SortLargestFirst(named);
    const std::size_t keep =
        named.size() + (hasOther ? 1 : 0) <= std::size_t(slices) ? named.size() : std::size_t(slices - 1);
    for (std::size_t i = keep; i < named.size(); ++i) {
        hasOther = true;
        otherAmount += named[i].Amount;
    }
    named.resize(keep);
    if (hasOther)
        named.push_back({other, otherAmount});
    return named;
}

QString TLedgerTotals::SumStatement(const QString &statement, const TLedgerData::TParameterTexts &parameters)
{
    const QRegularExpressionMatch match = PeriodSumPattern().match(statement);
    if (!match.hasMatch())
        return statement;
    const std::optional<QString> yearText = ParameterText(parameters, match.captured(6));
    std::optional<QString> monthText;
    if (match.hasCaptured(7)) {
        monthText = ParameterText(parameters, match.captured(7));
        if (!monthText)
            return statement;
    }
    if (!yearText)
        return statement;
    const auto ranges = DatePeriodRanges(match.captured(5), *yearText, monthText);
    if (!ranges)
        return statement;
    return "select sum(s) as " + match.captured(2) + " from (" +
           OverRanges(match.captured(1) + " as s", match.captured(3), match.captured(4), *ranges) + ")";
}

const char *const TLedgerTotals::ServerSpanFrom = "kestrum_from";
const char *const TLedgerTotals::ServerSpanTo = "kestrum_to";

namespace {

//! The year's and the month's texts bound to a period sum's statement
//! (PeriodSumPattern's match) when each is a whole number; nothing when one
//! is missing or is no plain number, which the record set binds (or refuses)
//! as it always does.
struct TPeriodTexts {
    QString Year;
    std::optional<QString> Month;
};

std::optional<TPeriodTexts> WholeNumberPeriod(const QRegularExpressionMatch &match,
                                              const TLedgerData::TParameterTexts &parameters)
{
    const std::optional<QString> yearText = ParameterText(parameters, match.captured(6));
    std::optional<QString> monthText;
    if (match.hasCaptured(7) && !(monthText = ParameterText(parameters, match.captured(7))))
        return std::nullopt;
    if (!yearText || !WholeNumberText(*yearText) || (monthText && !WholeNumberText(*monthText)))
        return std::nullopt;
    return TPeriodTexts{*yearText, monthText};
}

//! The span of a period sum's statement on a server: the year's or the
//! month's timestamps when the parameters bound to it are whole numbers that
//! name one.
std::optional<TDateSpan> ServerPeriodSpan(const QRegularExpressionMatch &match,
                                          const TLedgerData::TParameterTexts &parameters)
{
    const std::optional<TPeriodTexts> texts = WholeNumberPeriod(match, parameters);
    return texts ? DatePeriodSpan(texts->Year, texts->Month) : std::nullopt;
}

QString QuotedColumn(const QString &column)
{
    const bool isQuoted = column.startsWith('"') || column.startsWith('[') || column.startsWith('`');
    return isQuoted ? column : "\"" + column + "\"";
}

} // namespace

QString TLedgerTotals::ServerSumStatement(const QString &statement,
                                          const TLedgerData::TParameterTexts &parameters)
{
    // A numeric sum read as the record set reads money would be a double:
    // as text it is the server's exact decimal, digit for digit.
    const auto head = [](const QRegularExpressionMatch &match) {
        return "select cast(sum(" + match.captured(1) + ") as text) as " + match.captured(2) + " from " +
               match.captured(3);
    };
    if (const QRegularExpressionMatch match = WholeTableSumPattern().match(statement); match.hasMatch())
        return head(match);
    const QRegularExpressionMatch match = PeriodSumPattern().match(statement);
    if (!match.hasMatch())
        return statement;
    // Texts that name no period as plain numbers keep the statement's own
    // conditions, which the record set binds as it does on a file.
    if (!ServerPeriodSpan(match, parameters))
        return head(match) + " where " + match.captured(4);
    // A server's dates are all timestamps: the year's or the month's range of
    // them selects exactly the rows year() and month() select, and the date
    // index serves it without calling them for each row.
    const QString date = QuotedColumn(match.captured(5));
    return head(match) + " where " + date + " >= :" + ServerSpanFrom + " AND " + date + " < :" + ServerSpanTo;
}

Variant TLedgerTotals::serverSum(const QString &statement, const TLedgerData::TParameterTexts &parameters,
                                 const QString &resultField)
{
    const QRegularExpressionMatch period = PeriodSumPattern().match(statement);
    const std::optional<TDateSpan> span =
        period.hasMatch() ? ServerPeriodSpan(period, parameters) : std::nullopt;
    // A ledger made before the indexes gets them (one lookup when it has them).
    if (span)
        EnsureServerDateIndexes(FQuery.Connection()->Driver());
    const QString sql = ServerSumStatement(statement, parameters);
    if (!span) {
        TLedgerData::ReplaceAndReopen(FQuery, sql, parameters);
    } else {
        FQuery.Close();
        FQuery.ClearSQL();
        FQuery.AddSQL(sql);
        FQuery.ParamByName(QString::fromLatin1(ServerSpanFrom))->SetValue(Variant::fromDate(span->From));
        FQuery.ParamByName(QString::fromLatin1(ServerSpanTo))->SetValue(Variant::fromDate(span->To));
        FQuery.Open();
    }
    const Variant value = FQuery.FieldByName(resultField)->Value();
    if (sql == statement || !value.isString())
        return value;
    return DecimalTextValue(value.toString().toStdString());
}

Variant TLedgerTotals::Sum(const QString &statement, const TLedgerData::TParameterTexts &parameters,
                           const QString &resultField)
{
    if (TDbConnection *connection = FQuery.Connection()) {
        connection->Open();
        if (OnServer(*connection))
            return serverSum(statement, parameters, resultField);
    }
    // A sum over a whole table is the total the file keeps, when it can give
    // the statement's value exactly.
    if (const QRegularExpressionMatch match = WholeTableSumPattern().match(statement); match.hasMatch()) {
        if (TDbConnection *connection = FQuery.Connection()) {
            FQuery.Close();
            connection->Open();
            if (const auto kept = KeptAmountSum(connection->Handle(), match.captured(3), match.captured(1)))
                return *kept;
        }
    }
    if (const std::optional<Variant> kept = KeptSum(statement, parameters)) {
        FQuery.Close();
        return *kept;
    }
    TLedgerData::ReplaceAndReopen(FQuery, SumStatement(statement, parameters), parameters);
    return FQuery.FieldByName(resultField)->Value();
}

std::optional<Variant> TLedgerTotals::KeptSum(const QString &statement,
                                              const TLedgerData::TParameterTexts &parameters)
{
    TDbConnection *connection = FQuery.Connection();
    if (!connection || !connection->Connected() || OnServer(*connection))
        return std::nullopt;
    const QRegularExpressionMatch match = PeriodSumPattern().match(statement);
    if (!match.hasMatch())
        return std::nullopt;
    const auto parameter = [&](const QString &name) -> std::optional<int> {
        const std::optional<QString> text = ParameterText(parameters, name);
        return text ? WholeNumberText(*text) : std::nullopt;
    };
    // A parameter the statement does not name is the record set's to refuse.
    for (const auto &given : parameters)
        if (given.first.compare(match.captured(6), Qt::CaseInsensitive) != 0 &&
            !(match.hasCaptured(7) && given.first.compare(match.captured(7), Qt::CaseInsensitive) == 0))
            return std::nullopt;
    // Only numbers are bound as numbers; any other text is the record set's.
    const std::optional<int> year = parameter(match.captured(6));
    const std::optional<int> month = match.hasCaptured(7) ? parameter(match.captured(7)) : std::nullopt;
    if (!year || (match.hasCaptured(7) && !month))
        return std::nullopt;
    return KeptPeriodSum(connection->Handle(), match.captured(3), match.captured(1), match.captured(5), *year,
                         month, SumStatement(statement, parameters));
}

std::optional<Variant> TLedgerTotals::ServerSum(TDbDriver &server, const QString &statement,
                                                const TLedgerData::TParameterTexts &parameters)
{
    if (const QRegularExpressionMatch match = WholeTableSumPattern().match(statement); match.hasMatch())
        return ServerAmountSum(server, match.captured(3), match.captured(1), QString(), std::nullopt);
    const QRegularExpressionMatch match = PeriodSumPattern().match(statement);
    if (!match.hasMatch())
        return std::nullopt;
    // A text that is no number is the record set's to bind, or to refuse.
    const std::optional<TPeriodTexts> texts = WholeNumberPeriod(match, parameters);
    if (!texts)
        return std::nullopt;
    // Numbers that name no year or month select no date at all.
    const std::optional<TDateSpan> span = DatePeriodSpan(texts->Year, texts->Month);
    if (!span)
        return Variant::null();
    // A ledger made before the indexes gets them (one lookup when it has them).
    EnsureServerDateIndexes(server);
    return ServerAmountSum(server, match.captured(3), match.captured(1), match.captured(5), span);
}

TYearTotals TLedgerTotals::ServerYear(TDbDriver &server, const QString &yearText)
{
    TYearTotals totals;
    totals.Year = yearText;
    const std::optional<TDateSpan> span = DatePeriodSpan(yearText, std::nullopt);
    if (!span)
        return totals;
    // A ledger made before the indexes gets them (one lookup when it has them).
    EnsureServerDateIndexes(server);
    std::array<TExactSum, 12> income, expense;
    for (const TServerMonthSum &sum :
         ServerMonthSums(server, utf8(IncomeTable), utf8("本次进帐"), utf8(IncomeDate), QString(), *span)) {
        if (sum.Month < 1 || sum.Month > 12 || sum.Rows == 0)
            continue;
        totals.Empty = false;
        income[std::size_t(sum.Month - 1)].Add(sum.Amount);
    }
    struct TItem {
        TExactSum Year;
        std::array<TExactSum, 12> Months;
        std::array<bool, 12> InMonth{};
    };
    std::vector<std::pair<QString, TItem>> items;
    std::unordered_map<QString, std::size_t> itemIndex;
    for (const TServerMonthSum &sum : ServerMonthSums(server, utf8(ExpenseTable), utf8("消费金额"),
                                                      utf8(ExpenseDate), utf8("消费者"), *span)) {
        if (sum.Month < 1 || sum.Month > 12 || sum.Rows == 0)
            continue;
        totals.Empty = false;
        const std::size_t month = std::size_t(sum.Month - 1);
        auto found = itemIndex.find(sum.Item);
        if (found == itemIndex.end()) {
            found = itemIndex.emplace(sum.Item, items.size()).first;
            items.emplace_back(sum.Item, TItem{});
        }
        TItem &item = items[found->second].second;
        item.InMonth[month] = true;
        item.Months[month].Add(sum.Amount);
        item.Year.Add(sum.Amount);
        expense[month].Add(sum.Amount);
    }
    FinishYear(totals, income, expense, items, [](const auto &entry) -> std::pair<QString, const TItem &> {
        return {entry.first, entry.second};
    });
    return totals;
}

TYearTotals TLedgerTotals::Year(const QString &yearText)
{
    if (TDbConnection *connection = FQuery.Connection()) {
        connection->Open();
        if (OnServer(*connection)) {
            FQuery.Close();
            return ServerYear(connection->Driver(), yearText);
        }
    }
    TYearTotals totals;
    totals.Year = yearText;

    std::array<TRunningSum, 12> income, expense;
    const std::optional<int> year = WholeNumberText(yearText);
    if (KeptYear(totals, yearText, year))
        return totals;
    Prepare(FQuery, YearRowsStatement(IncomeTable, IncomeDate, IncomeYearRows, IncomeYearCondition, yearText),
            QStringLiteral("a"), yearText);
    FQuery.Scan([&](const TDbRowReader &row) {
        const int month = MonthIndex(row, year);
        if (month < 0)
            return;
        totals.Empty = false;
        if (!row.IsNull(2))
            income[std::size_t(month)].Add(row.Float(2));
    });

    std::vector<TItemSums> items;
    std::unordered_map<std::string, std::size_t, TItemHash, std::equal_to<>> itemIndex;
    Prepare(FQuery,
            YearRowsStatement(ExpenseTable, ExpenseDate, ExpenseYearRows, ExpenseYearCondition, yearText),
            QStringLiteral("c"), yearText);
    FQuery.Scan([&](const TDbRowReader &row) {
        const int month = MonthIndex(row, year);
        if (month < 0)
            return;
        totals.Empty = false;
        const std::string_view name = row.Text(2);
        auto found = itemIndex.find(name);
        if (found == itemIndex.end()) {
            found = itemIndex.emplace(std::string(name), items.size()).first;
            items.push_back({std::string(name), {}, {}, {}});
        }
        TItemSums &item = items[found->second];
        item.InMonth[std::size_t(month)] = true;
        if (row.IsNull(3))
            return;
        const double amount = row.Float(3);
        expense[std::size_t(month)].Add(amount);
        item.Months[std::size_t(month)].Add(amount);
        item.Year.Add(amount);
    });

    FinishYear(totals, income, expense, items,
               [](const TItemSums &item) -> std::pair<QString, const TItemSums &> {
                   return {QString::fromUtf8(item.Item), item};
               });
    return totals;
}

bool TLedgerTotals::KeptYear(TYearTotals &totals, const QString &yearText, std::optional<int> year)
{
    TDbConnection *connection = FQuery.Connection();
    if (!year || !connection || !connection->Connected() || OnServer(*connection))
        return false;
    // The statements the scans below would run tell the order in which the
    // rows aside are added.
    const auto incomeRows = KeptYearItems(
        connection->Handle(), utf8(IncomeTable), *year,
        YearRowsStatement(IncomeTable, IncomeDate, IncomeYearRows, IncomeYearCondition, yearText));
    if (!incomeRows)
        return false;
    const auto expenseRows = KeptYearItems(
        connection->Handle(), utf8(ExpenseTable), *year,
        YearRowsStatement(ExpenseTable, ExpenseDate, ExpenseYearRows, ExpenseYearCondition, yearText));
    if (!expenseRows)
        return false;
    FQuery.Close();
    std::array<TRunningSum, 12> income, expense;
    for (const TKeptMonthItem &item : incomeRows->Months) {
        totals.Empty = false;
        income[std::size_t(item.Month - 1)].Add(item.Amount);
    }
    for (const TKeptAsideRow &row : incomeRows->Aside) {
        totals.Empty = false;
        if (row.Amount)
            income[std::size_t(row.Month - 1)].Add(*row.Amount);
    }
    std::vector<TItemSums> items;
    std::unordered_map<std::string, std::size_t> itemIndex;
    const auto itemOf = [&](const std::string &name, std::size_t month) -> TItemSums & {
        auto found = itemIndex.find(name);
        if (found == itemIndex.end()) {
            found = itemIndex.emplace(name, items.size()).first;
            items.push_back({name, {}, {}, {}});
        }
        TItemSums &item = items[found->second];
        item.InMonth[month] = true;
        return item;
    };
    for (const TKeptMonthItem &kept : expenseRows->Months) {
        totals.Empty = false;
        const std::size_t month = std::size_t(kept.Month - 1);
        TItemSums &item = itemOf(kept.Item, month);
        item.Months[month].Add(kept.Amount);
        item.Year.Add(kept.Amount);
        expense[month].Add(kept.Amount);
    }
    // Row by row, as the scan adds them: what goes to a running total's
    // floating remainder is added in the same order.
    for (const TKeptAsideRow &row : expenseRows->Aside) {
        totals.Empty = false;
        const std::size_t month = std::size_t(row.Month - 1);
        TItemSums &item = itemOf(row.Item, month);
        if (!row.Amount)
            continue;
        expense[month].Add(*row.Amount);
        item.Months[month].Add(*row.Amount);
        item.Year.Add(*row.Amount);
    }
    FinishYear(totals, income, expense, items,
               [](const TItemSums &item) -> std::pair<QString, const TItemSums &> {
                   return {QString::fromUtf8(item.Item), item};
               });
    return true;
}

} // namespace kestrum
