#include "ledger/ServerTotals.h"

#include "db/DbDriver.h"

#include <cstdlib>

namespace kestrum {

namespace {

std::string Quoted(const QString &identifier)
{
    std::string quoted = "\"";
    for (const char c : identifier.toStdString()) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

//! The condition on the date and the statement's parameters it needs.
std::string SpanCondition(const QString &dateColumn)
{
    const std::string date = Quoted(dateColumn);
    return date + " >= ?1 AND " + date + " < ?2";
}

void BindSpan(TDbStatement &statement, const TDateSpan &span)
{
    statement.BindDateTime(1, span.From);
    statement.BindDateTime(2, span.To);
}

Variant AmountOf(const TDbStatement &statement, int column)
{
    if (statement.ColumnIsNull(column))
        return Variant::null();
    if (statement.ColumnType(column) == TDbValueType::Integer)
        return Variant(statement.ColumnInt64(column));
    return DecimalTextValue(statement.ColumnText(column));
}

// The index each entry table's periods are read through, as a new ledger
// has it: the amount and the item ride along, so a period's sums read the
// index alone.
struct TDateIndex {
    const char *Name, *Table, *Columns;
};
const TDateIndex DateIndexes[] = {
    {"kestrum_gain_date", "gain", "(\"进帐时间\", \"本次进帐\", \"进帐人\")"},
    {"kestrum_expen_date", "expen", "(\"消费日期\", \"消费金额\", \"消费者\")"},
};

} // namespace

Variant DecimalTextValue(const std::string &text)
{
    // sign, digits, and at most four decimals that are not all zero beyond.
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+'))
        ++at;
    std::int64_t scaled = 0;
    bool exact = at < text.size();
    int decimals = -1;
    for (; exact && at < text.size(); ++at) {
        const char c = text[at];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') {
            exact = false;
            break;
        }
        if (decimals >= 4) {
            exact = c == '0';
            continue;
        }
        if (decimals >= 0)
            ++decimals;
        if (__builtin_mul_overflow(scaled, 10, &scaled) || __builtin_add_overflow(scaled, c - '0', &scaled))
            exact = false;
    }
    for (int d = std::max(decimals, 0); exact && d < 4; ++d)
        exact = !__builtin_mul_overflow(scaled, 10, &scaled);
    if (!exact)
        return Variant(std::strtod(text.c_str(), nullptr));
    return Variant(Currency{negative ? -scaled : scaled});
}

Variant ServerAmountSum(TDbDriver &server, const QString &table, const QString &amountColumn,
                        const QString &dateColumn, const std::optional<TDateSpan> &span)
{
    std::string sql = "SELECT sum(" + Quoted(amountColumn) + ") FROM " + Quoted(table);
    if (span)
        sql += " WHERE " + SpanCondition(dateColumn);
    const std::unique_ptr<TDbStatement> sum = server.Prepare(sql);
    if (span)
        BindSpan(*sum, *span);
    return sum->Step() ? AmountOf(*sum, 0) : Variant::null();
}

std::vector<TServerMonthSum> ServerMonthSums(TDbDriver &server, const QString &table,
                                             const QString &amountColumn, const QString &dateColumn,
                                             const QString &itemColumn, const TDateSpan &span)
{
    const std::string item = itemColumn.isEmpty() ? "''" : "coalesce(trim(" + Quoted(itemColumn) + "), '')";
    const std::string sql = "SELECT extract(month FROM " + Quoted(dateColumn) + ")::integer, " + item +
                            ", sum(" + Quoted(amountColumn) + "), count(*) FROM " + Quoted(table) +
                            " WHERE " + SpanCondition(dateColumn) + " GROUP BY 1, 2";
    const std::unique_ptr<TDbStatement> sums = server.Prepare(sql);
    BindSpan(*sums, span);
    std::vector<TServerMonthSum> result;
    while (sums->Step()) {
        TServerMonthSum row;
        row.Month = int(sums->ColumnInt64(0));
        row.Item = QString::fromStdString(sums->ColumnText(1));
        row.Amount = AmountOf(*sums, 2);
        row.Rows = sums->ColumnInt64(3);
        result.push_back(std::move(row));
    }
    return result;
}

bool EnsureServerDateIndexes(TDbDriver &server)
{
    bool complete = true;
    for (const TDateIndex &index : DateIndexes) {
        const std::unique_ptr<TDbStatement> present =
            server.Prepare("SELECT to_regclass(?1) IS NOT NULL, to_regclass(?2) IS NOT NULL");
        present->BindText(1, index.Name);
        present->BindText(2, index.Table);
        if (!present->Step() || present->ColumnInt64(0) != 0 || present->ColumnInt64(1) == 0)
            continue;
        try {
            server.Exec(std::string("CREATE INDEX IF NOT EXISTS ") + index.Name + " ON " + index.Table + " " +
                        index.Columns);
        } catch (const EDbDriverError &) {
            complete = false; // a member who may not change the schema still reads the sums
        }
    }
    return complete;
}

} // namespace kestrum
