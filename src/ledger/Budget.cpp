#include "ledger/Budget.h"

#include "ledger/Journal.h"
#include "ledger/JournalSql.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace kestrum {

namespace {

using namespace journal_sql;

// The index serves both the reading of a month (every row up to it, by key)
// and the lookup of one key's row in a month. Rows are never unique by key in
// the schema: a REPLACE conflict on such a constraint would take a row out
// behind the journal's back. The writers here keep one row per key and
// month, and a reader takes the newest one if another program wrote two.
const char *const BudgetTableSql =
    "CREATE TABLE IF NOT EXISTS kestrum_budget ("
    "id INTEGER PRIMARY KEY, amount REAL, month TEXT NOT NULL, item TEXT NOT NULL, kind TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS kestrum_budget_key ON kestrum_budget(kind, item, month);";

const char *KindWord(TBudgetKind kind)
{
    switch (kind) {
    case TBudgetKind::Expense:
        return "expen";
    case TBudgetKind::Income:
        return "gain";
    case TBudgetKind::Total:
        return "total";
    }
    return "expen";
}

std::optional<TBudgetKind> KindOf(const std::string &text)
{
    for (TBudgetKind kind : {TBudgetKind::Expense, TBudgetKind::Income, TBudgetKind::Total})
        if (text == KindWord(kind))
            return kind;
    return std::nullopt;
}

//! The entries' table and its amount, date and item columns.
struct TEntryTable {
    const char *Name, *Amount, *Date, *Item;
};

TEntryTable EntryTableOf(TBudgetKind kind)
{
    if (kind == TBudgetKind::Income)
        return {"gain", "\"本次进帐\"", "\"进帐时间\"", "\"进帐人\""};
    return {"expen", "\"消费金额\"", "\"消费日期\"", "\"消费者\""};
}

//! A sum of money (the double nearest its exact total) in fen: first read to
//! the four decimals an amount holds, then rounded half away from zero, as
//! the statistics round their sums.
TBudgetCents SumToFen(double value)
{
    if (!std::isfinite(value))
        return 0;
    const auto units = std::int64_t(std::llround(value * 10000.0));
    return (units + (units >= 0 ? 50 : -50)) / 100;
}

std::optional<TBudgetCents> AmountColumn(const TDbStatement &statement, int column)
{
    if (statement.ColumnIsNull(column))
        return std::nullopt;
    return TBudgetCents(std::llround(statement.ColumnDouble(column) * 100.0));
}

//! Runs `work`; a failure says that the budget was not saved, and why.
template <class TWork> void Saving(TWork &&work)
{
    try {
        work();
    } catch (const EBudgetRefused &) {
        throw;
    } catch (const Exception &e) {
        throw Exception(std::string("预算未能保存：") + Reason(e));
    }
}

QString KindCaption(TBudgetKind kind)
{
    switch (kind) {
    case TBudgetKind::Expense:
        return QString::fromUtf8("预算");
    case TBudgetKind::Income:
        return QString::fromUtf8("收入目标");
    case TBudgetKind::Total:
        return QString::fromUtf8("月预算");
    }
    return {};
}

} // namespace

QString TBudgetMonth::Key() const
{
    return QStringLiteral("%1-%2").arg(Year, 4, 10, QLatin1Char('0')).arg(Month, 2, 10, QLatin1Char('0'));
}

QString TBudgetMonth::Caption() const
{
    return QString::number(Year) + QString::fromUtf8("年") + QString::number(Month) + QString::fromUtf8("月");
}

QString TBudgetMonth::FirstDay() const
{
    return Key() + QStringLiteral("-01");
}

std::optional<TBudgetCents> TBudgetOverview::Budget() const
{
    if (TotalBudget)
        return TotalBudget;
    std::optional<TBudgetCents> sum;
    for (const TBudgetLine &line : Lines)
        if (line.Budget)
            sum = sum.value_or(0) + *line.Budget;
    return sum;
}

TBudgetCents TBudgetOverview::Spent() const
{
    if (TotalBudget)
        return Actual;
    TBudgetCents spent = 0;
    for (const TBudgetLine &line : Lines)
        if (line.Budget)
            spent += line.Actual;
    return spent;
}

TBudgetCents TBudgetOverview::Left() const
{
    const std::optional<TBudgetCents> budget = Budget();
    return budget ? *budget - Spent() : 0;
}

const TBudgetLine *TBudgetOverview::Line(const QString &item) const
{
    const auto found =
        std::find_if(Lines.begin(), Lines.end(), [&](const TBudgetLine &line) { return line.Item == item; });
    return found == Lines.end() ? nullptr : &*found;
}

void EnsureBudgets(TDbDriver &db)
{
    // A server's ledger has the table from kestrum-db init.
    if (OnServer(db) || ReadOnlyFile(db) || HasBudgets(db))
        return;
    Exec(db, BudgetTableSql);
}

bool HasBudgets(TDbDriver &db)
{
    return TableExists(db, "kestrum_budget");
}

std::vector<TBudgetBook::TChange> TBudgetBook::InForce(const TBudgetMonth &month) const
{
    std::vector<TChange> inForce;
    if (!HasBudgets(FDb))
        return inForce;
    // Ordered by key and month, so the last row of each key is the one in force.
    Statement select = Prepare(FDb, "SELECT kind, item, amount FROM kestrum_budget WHERE month <= ?1 "
                                    "ORDER BY kind, item, month, id");
    BindText(*select, 1, month.Key());
    while (select->Step()) {
        const std::optional<TBudgetKind> kind = KindOf(select->ColumnText(0));
        if (!kind)
            continue;
        TChange change{*kind, Text(*select, 1), AmountColumn(*select, 2)};
        if (!inForce.empty() && inForce.back().Kind == change.Kind && inForce.back().Item == change.Item)
            inForce.back() = std::move(change);
        else
            inForce.push_back(std::move(change));
    }
    std::erase_if(inForce, [](const TChange &change) { return !change.Amount; });
    return inForce;
}

std::optional<TBudgetCents> TBudgetBook::BudgetOf(TBudgetKind kind, const QString &item,
                                                  const TBudgetMonth &month) const
{
    if (!HasBudgets(FDb))
        return std::nullopt;
    Statement select = Prepare(FDb, "SELECT amount FROM kestrum_budget WHERE kind = ?1 AND item = ?2 AND "
                                    "month <= ?3 ORDER BY month DESC, id DESC LIMIT 1");
    select->BindText(1, KindWord(kind));
    BindText(*select, 2, item);
    BindText(*select, 3, month.Key());
    if (select->Step())
        return AmountColumn(*select, 0);
    return std::nullopt;
}

bool TBudgetBook::HasBudgetIn(const TBudgetMonth &month, TBudgetKind kind) const
{
    const std::vector<TChange> inForce = InForce(month);
    return std::any_of(inForce.begin(), inForce.end(), [kind](const TChange &change) {
        return change.Kind == kind || (kind == TBudgetKind::Expense && change.Kind == TBudgetKind::Total);
    });
}

std::vector<QString> TBudgetBook::ItemsOf(TBudgetKind kind) const
{
    const TEntryTable table = EntryTableOf(kind);
    Statement all = Prepare(FDb, std::string("SELECT DISTINCT coalesce(trim(") + table.Item + "), '') FROM " +
                                     table.Name);
    std::vector<QString> items;
    while (all->Step())
        items.push_back(Text(*all, 0));
    return items;
}

TBudgetOverview TBudgetBook::Overview(const TBudgetMonth &month, TBudgetKind kind,
                                      const std::vector<QString> &moreItems) const
{
    if (kind == TBudgetKind::Total)
        kind = TBudgetKind::Expense;
    TBudgetOverview overview;
    overview.Month = month;
    overview.Kind = kind;
    std::map<QString, TBudgetLine> lines;
    auto lineOf = [&lines](const QString &item) -> TBudgetLine & {
        TBudgetLine &line = lines[item];
        line.Item = item;
        return line;
    };

    // Dates are ISO text, so the month is one range of them: an index on
    // the date column serves it when the file has one.
    const TEntryTable table = EntryTableOf(kind);
    const std::string item = std::string("coalesce(trim(") + table.Item + "), '')";
    Statement spent =
        Prepare(FDb, "SELECT " + item + " AS i, sum(" + table.Amount + ") FROM " + table.Name + " WHERE " +
                         table.Date + " >= ?1 AND " + table.Date + " < ?2 GROUP BY i");
    BindText(*spent, 1, month.FirstDay());
    BindText(*spent, 2, month.Next().FirstDay());
    // The month's whole total is added from the items' exact sums in
    // ten-thousandths and rounded once, as the month's own sum would be.
    std::int64_t totalUnits = 0;
    while (spent->Step()) {
        TBudgetLine &line = lineOf(Text(*spent, 0));
        line.Seen = true;
        if (spent->ColumnIsNull(1))
            continue;
        const double sum = spent->ColumnDouble(1);
        line.Actual = SumToFen(sum);
        totalUnits += std::int64_t(std::llround(sum * 10000.0));
    }
    overview.Actual = SumToFen(double(totalUnits) / 10000.0);

    for (const QString &name : moreItems)
        lineOf(name);

    for (const TChange &change : InForce(month)) {
        if (change.Kind == TBudgetKind::Total && kind == TBudgetKind::Expense)
            overview.TotalBudget = change.Amount;
        else if (change.Kind == kind)
            lineOf(change.Item).Budget = change.Amount;
    }
    for (auto &[name, line] : lines)
        overview.Lines.push_back(std::move(line));
    return overview;
}

void TBudgetBook::SetBudget(TBudgetKind kind, const QString &item, const TBudgetMonth &month,
                            std::optional<TBudgetCents> amount)
{
    if (!month.Valid())
        throw EBudgetRefused("预算的月份无效。");
    if (amount && *amount < 0)
        throw EBudgetRefused("预算不能是负数。");
    const QString name = kind == TBudgetKind::Total ? QString() : item.trimmed();
    QString label = amount ? KindCaption(kind) : QString::fromUtf8("清除") + KindCaption(kind);
    if (!name.isEmpty())
        label += ' ' + name;
    if (amount)
        label += ' ' + BudgetAmountText(*amount);
    Write(month, {{kind, name, amount}}, label);
}

void TBudgetBook::CopyPreviousMonth(const TBudgetMonth &month)
{
    if (!month.Valid() || !month.Previous().Valid())
        throw EBudgetRefused("预算的月份无效。");
    std::vector<TChange> changes = InForce(month.Previous());
    // Budgets of this month that last month did not have end here.
    for (TChange &current : InForce(month)) {
        const bool kept = std::any_of(changes.begin(), changes.end(), [&](const TChange &change) {
            return change.Kind == current.Kind && change.Item == current.Item;
        });
        if (!kept)
            changes.push_back({current.Kind, current.Item, std::nullopt});
    }
    Write(month, changes, QString::fromUtf8("复制上月预算到") + month.Caption());
}

void TBudgetBook::ClearMonth(const TBudgetMonth &month)
{
    if (!month.Valid())
        throw EBudgetRefused("预算的月份无效。");
    std::vector<TChange> changes = InForce(month);
    for (TChange &change : changes)
        change.Amount.reset();
    Write(month, changes, QString::fromUtf8("清除") + month.Caption() + QString::fromUtf8("预算"));
}

void TBudgetBook::Write(const TBudgetMonth &month, const std::vector<TChange> &changes, const QString &label)
{
    if (changes.empty())
        return;
    if (ReadOnlyFile(FDb))
        throw EBudgetRefused("账本只能读取，预算无法保存。");
    Saving([&] { EnsureBudgets(FDb); });
    TWriteTransaction transaction(FDb, "预算未能保存");
    Saving([&] { WriteChanges(month, changes, label); });
    Saving([&] { transaction.Commit(); });
}

void TBudgetBook::WriteChanges(const TBudgetMonth &month, const std::vector<TChange> &changes,
                               const QString &label)
{
    const bool journaled = HasJournal(FDb);
    if (journaled) {
        EnsureJournal(FDb); // a table added after the journal gets its triggers
        OpenJournalAction(FDb, label);
    }
    Statement rowAt = Prepare(FDb, "SELECT id, amount FROM kestrum_budget WHERE kind = ?1 AND item = ?2 AND "
                                   "month = ?3 ORDER BY id DESC");
    Statement before = Prepare(FDb, "SELECT amount FROM kestrum_budget WHERE kind = ?1 AND item = ?2 AND "
                                    "month < ?3 ORDER BY month DESC, id DESC LIMIT 1");
    Statement remove = Prepare(FDb, "DELETE FROM kestrum_budget WHERE id = ?1");
    Statement update = Prepare(FDb, "UPDATE kestrum_budget SET amount = ?2 WHERE id = ?1");
    Statement insert =
        Prepare(FDb, "INSERT INTO kestrum_budget (amount, month, item, kind) VALUES (?1, ?2, ?3, ?4)");
    const auto bindAmount = [](TDbStatement &statement, int parameter, std::optional<TBudgetCents> amount) {
        if (amount)
            statement.BindDouble(parameter, double(*amount) / 100.0);
        else
            statement.BindNull(parameter);
    };
    const QString key = month.Key();
    for (const TChange &change : changes) {
        for (TDbStatement *statement : {rowAt.get(), before.get()}) {
            statement->BindText(1, KindWord(change.Kind));
            BindText(*statement, 2, change.Item);
            BindText(*statement, 3, key);
        }
        std::optional<TBudgetCents> carried;
        if (before->Step())
            carried = AmountColumn(*before, 0);
        before->Reset();
        std::vector<std::pair<std::int64_t, std::optional<TBudgetCents>>> rows;
        while (rowAt->Step())
            rows.emplace_back(rowAt->ColumnInt64(0), AmountColumn(*rowAt, 1));
        rowAt->Reset();

        // A month that only repeats what it carries over needs no row of
        // its own; duplicates another program wrote go as well.
        const bool needsRow = change.Amount != carried;
        for (std::size_t i = needsRow ? 1 : 0; i < rows.size(); ++i) {
            remove->BindInt64(1, rows[i].first);
            Run(*remove);
        }
        if (!needsRow)
            continue;
        if (rows.empty()) {
            bindAmount(*insert, 1, change.Amount);
            BindText(*insert, 2, key);
            BindText(*insert, 3, change.Item);
            insert->BindText(4, KindWord(change.Kind));
            Run(*insert);
        } else if (rows.front().second != change.Amount) {
            update->BindInt64(1, rows.front().first);
            bindAmount(*update, 2, change.Amount);
            Run(*update);
        }
    }
    if (journaled)
        CloseJournalAction(FDb);
}

QString BudgetAmountText(TBudgetCents amount)
{
    const bool negative = amount < 0;
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(amount) : std::uint64_t(amount);
    QString text = QString::number(magnitude / 100);
    if (const std::uint64_t fen = magnitude % 100; fen != 0) {
        text += '.' + QString::number(fen / 10);
        if (fen % 10 != 0)
            text += QString::number(fen % 10);
    }
    return negative ? '-' + text : text;
}

} // namespace kestrum
