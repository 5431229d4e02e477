#include "ServerCommands.h"

#include "ServerSchema.h"
#include "db/DbDriver.h"
#include "db/PgDriver.h"
#include "db/SqliteDriver.h"
#include "ledger/Budget.h"
#include "ledger/DateIndexes.h"
#include "ledger/Journal.h"
#include "ledger/LedgerFile.h"
#include "ledger/RecurringStore.h"
#include "ledger/Trash.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace kestrum {

namespace {

struct TCopyTable {
    const char *Name;
    std::vector<const char *> Columns;
    int Money = -1;         //!< the column holding an amount, or -1
    bool Required = false;  //!< every ledger has it; the others an older file may lack
    int DroppedColumn = -1; //!< a column whose value means nothing in the copy
};

// Entries before the trash: a copied entry must not take a trashed one with it.
const TCopyTable CopyTables[] = {
    {"gain", {"id", "本次进帐", "进帐时间", "进帐人", "备注"}, 1, true},
    {"expen", {"id", "消费金额", "消费日期", "消费者", "备注"}, 1, true},
    {"kestrum_budget", {"id", "amount", "month", "item", "kind"}, 1},
    {"kestrum_recurring",
     {"id", "page", "amount_cents", "item", "remark", "first_date", "unit", "every", "end_date", "end_count",
      "paused"}},
    // The journal is not copied, so the action a mark was posted in is gone.
    {"kestrum_recurring_posted",
     {"schedule_id", "occurs_on", "action_id", "tbl", "row_id", "posted_at"},
     -1,
     false,
     2},
    {"kestrum_trash",
     {"id", "source", "original_id", "amount", "entry_date", "item", "remark", "deleted_at"},
     3},
};

bool IsServer(TDbDriver &driver)
{
    return std::strcmp(driver.Name(), "postgresql") == 0;
}

bool TableExists(TDbDriver &driver, const char *name)
{
    auto find = IsServer(driver)
                    ? driver.Prepare("SELECT 1 WHERE to_regclass(?1) IS NOT NULL")
                    : driver.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    find->BindText(1, name);
    return find->Step();
}

std::string Quote(const char *name)
{
    return std::string("\"") + name + "\"";
}

//! An amount in ten-thousandths; a value with more decimals than that (not
//! mere binary noise) is refused rather than rounded away.
std::int64_t MoneyUnits(double value, const char *table)
{
    const double scaled = value * 10000.0;
    const double units = std::round(scaled);
    if (!std::isfinite(scaled) || std::fabs(scaled - units) > 1e-6 * std::max(1.0, std::fabs(scaled)))
        throw EDbDriverError(TDbErrorKind::Other,
                             std::string("表 ") + table + " 中的金额 " + std::to_string(value) +
                                 " 超过四位小数，服务器上的账本无法准确保存，没有复制。");
    return std::int64_t(units);
}

//! An amount a server gives as exact decimal text ("-12.3400"), in
//! ten-thousandths, without passing through a double: numeric(19, 4) holds
//! more digits than a double keeps.
std::int64_t DecimalUnits(const std::string &text, const char *table)
{
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        ++at;
    std::int64_t units = 0;
    int decimals = -1;
    bool digits = false;
    bool fits = true;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        digits = true;
        if (decimals >= 0 && ++decimals > 4) {
            if (c != '0')
                fits = false;
            continue;
        }
        fits = fits && units <= (std::numeric_limits<std::int64_t>::max() - 9) / 10;
        if (fits)
            units = units * 10 + (c - '0');
    }
    if (!digits || at != text.size() || !fits)
        throw EDbDriverError(TDbErrorKind::Other,
                             std::string("表 ") + table + " 中的金额“" + text + "”无法准确复制，没有复制。");
    for (int d = std::max(decimals, 0); d < 4; ++d) {
        if (units > std::numeric_limits<std::int64_t>::max() / 10)
            throw EDbDriverError(TDbErrorKind::Other, std::string("表 ") + table + " 中的金额“" + text +
                                                          "”无法准确复制，没有复制。");
        units *= 10;
    }
    return negative ? -units : units;
}

//! An amount as the source holds it, in ten-thousandths: a server's
//! exactly, a file's through the double it stores.
std::int64_t SourceUnits(TDbStatement &select, int column, bool fromServer, const char *table)
{
    return fromServer ? DecimalUnits(select.ColumnText(column), table)
                      : MoneyUnits(select.ColumnDouble(column), table);
}

//! An amount a file holds as text: a number, or the copy would turn it into 0.
void RequireNumber(const std::string &text, const char *table)
{
    char *end = nullptr;
    std::strtod(text.c_str(), &end);
    while (end && *end == ' ')
        ++end;
    if (text.empty() || !end || *end != '\0')
        throw EDbDriverError(TDbErrorKind::Other,
                             std::string("表 ") + table + " 中的金额“" + text + "”不是数字，没有复制。");
}

//! An address as it may be shown: any password in it left out.
std::string Shown(const std::string &target)
{
    std::string shown = target;
    if (IsServerTarget(target) && shown.find("://") != std::string::npos) {
        const std::size_t start = shown.find("://") + 3;
        const std::size_t at = shown.find('@', start);
        const std::size_t colon = shown.find(':', start);
        if (at != std::string::npos && colon != std::string::npos && colon < at)
            shown.erase(colon, at - colon);
    }
    for (const char *keyword : {"password=", "password ="}) {
        const std::size_t found = shown.find(keyword);
        if (found != std::string::npos) {
            const std::size_t end = shown.find_first_of(" &", found);
            shown.erase(found, end == std::string::npos ? std::string::npos : end - found);
        }
    }
    return shown;
}

std::string UnitsText(std::int64_t units)
{
    const bool negative = units < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t(-(units + 1)) + 1 : std::uint64_t(units);
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%04llu", static_cast<unsigned long long>(magnitude % 10000));
    return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

struct TTableFigures {
    std::int64_t Rows = 0, Sum = 0;
    bool operator==(const TTableFigures &) const = default;
};

//! One value on its way from the source to the target.
struct TCell {
    TDbValueType Type = TDbValueType::Null;
    std::int64_t Integer = 0;
    double Real = 0;
    std::string Text;
};

void Bind(TDbStatement &insert, int parameter, const TCell &cell)
{
    switch (cell.Type) {
    case TDbValueType::Null:
        insert.BindNull(parameter);
        break;
    case TDbValueType::Integer:
        insert.BindInt64(parameter, cell.Integer);
        break;
    case TDbValueType::Real:
        insert.BindDouble(parameter, cell.Real);
        break;
    case TDbValueType::DateTime:
        insert.BindDateTime(parameter, cell.Real);
        break;
    case TDbValueType::Blob:
        insert.BindBlob(parameter, cell.Text);
        break;
    case TDbValueType::Text:
        insert.BindText(parameter, cell.Text);
        break;
    }
}

// Rows go in batches: over a network each statement costs a round trip.
constexpr int BatchRows = 200;

//! Copies one table's rows; returns the source's count and sum.
TTableFigures CopyRows(TDbDriver &from, TDbDriver &to, const TCopyTable &table)
{
    const int width = int(table.Columns.size());
    std::string columns;
    for (int i = 0; i < width; ++i)
        columns += (i ? ", " : "") + Quote(table.Columns[std::size_t(i)]);
    auto insertSql = [&](int rows) {
        std::string sql = std::string("INSERT INTO ") + table.Name + " (" + columns + ") VALUES ";
        for (int r = 0; r < rows; ++r) {
            sql += r ? ", (" : "(";
            for (int c = 0; c < width; ++c)
                sql += (c ? ", ?" : "?") + std::to_string(r * width + c + 1);
            sql += ")";
        }
        return sql;
    };
    auto select = from.Prepare("SELECT " + columns + " FROM " + table.Name + " ORDER BY 1");
    std::unique_ptr<TDbStatement> batch;
    std::vector<TCell> cells(std::size_t(BatchRows * width));
    int held = 0;
    auto flush = [&] {
        if (held == 0)
            return;
        std::unique_ptr<TDbStatement> last;
        TDbStatement *insert = nullptr;
        if (held == BatchRows) {
            if (!batch)
                batch = to.Prepare(insertSql(BatchRows));
            insert = batch.get();
        } else {
            last = to.Prepare(insertSql(held));
            insert = last.get();
        }
        for (int i = 0; i < held * width; ++i)
            Bind(*insert, i + 1, cells[std::size_t(i)]);
        insert->Step();
        insert->Reset();
        held = 0;
    };

    const bool toServer = IsServer(to);
    const bool fromServer = IsServer(from);
    TTableFigures figures;
    while (select->Step()) {
        for (int c = 0; c < width; ++c) {
            TCell &cell = cells[std::size_t(held * width + c)];
            const TDbValueType type = select->ColumnType(c);
            cell.Type = c == table.DroppedColumn ? TDbValueType::Null : type;
            if (cell.Type == TDbValueType::Null)
                continue;
            if (c == table.Money) {
                if (!fromServer && (type == TDbValueType::Text || type == TDbValueType::Blob))
                    RequireNumber(select->ColumnText(c), table.Name);
                const std::int64_t units = SourceUnits(*select, c, fromServer, table.Name);
                figures.Sum += units;
                if (toServer) {
                    cell.Type = TDbValueType::Text;
                    cell.Text = UnitsText(units);
                } else {
                    // A file keeps amounts as doubles; the check of the sums
                    // afterwards refuses an amount that does not survive it.
                    cell.Type = TDbValueType::Real;
                    cell.Real = fromServer ? double(units) / 10000.0 : select->ColumnDouble(c);
                }
                continue;
            }
            switch (type) {
            case TDbValueType::Integer:
                cell.Integer = select->ColumnInt64(c);
                break;
            case TDbValueType::Real:
                cell.Real = select->ColumnDouble(c);
                break;
            case TDbValueType::DateTime:
                cell.Real = select->ColumnDateTime(c);
                break;
            case TDbValueType::Blob:
                cell.Text = select->ColumnBlob(c);
                break;
            default:
                cell.Text = select->ColumnText(c);
                break;
            }
        }
        ++figures.Rows;
        if (++held == BatchRows)
            flush();
    }
    flush();
    return figures;
}

//! The count and sum the target holds now, read back the same way.
TTableFigures Figures(TDbDriver &driver, const TCopyTable &table)
{
    TTableFigures figures;
    const std::string money = table.Money >= 0 ? Quote(table.Columns[std::size_t(table.Money)]) : "NULL";
    auto select = driver.Prepare("SELECT " + money + " FROM " + table.Name);
    const bool server = IsServer(driver);
    while (select->Step()) {
        ++figures.Rows;
        if (!select->ColumnIsNull(0))
            figures.Sum += SourceUnits(*select, 0, server, table.Name);
    }
    return figures;
}

//! Copies every table, checking each against the source before returning.
TLedgerCopy CopyTablesOf(TDbDriver &from, TDbDriver &to)
{
    TLedgerCopy copy;
    for (const TCopyTable &table : CopyTables) {
        if (!TableExists(from, table.Name)) {
            if (table.Required)
                throw EDbDriverError(TDbErrorKind::SchemaMissing,
                                     std::string("源中没有表 ") + table.Name + "，它不是账本，没有复制。");
            continue;
        }
        const TTableFigures source = CopyRows(from, to, table);
        const TTableFigures copied = Figures(to, table);
        if (!(copied == source))
            throw EDbDriverError(TDbErrorKind::Other, std::string("复制后核对表 ") + table.Name +
                                                          " 不符（源 " + std::to_string(source.Rows) +
                                                          " 行，目标 " + std::to_string(copied.Rows) +
                                                          " 行），目标没有改动。");
        const std::string name = table.Name;
        if (name == "gain") {
            copy.GainRows = source.Rows;
            copy.GainSum = source.Sum;
        } else if (name == "expen") {
            copy.ExpenRows = source.Rows;
            copy.ExpenSum = source.Sum;
        } else if (name == "kestrum_budget") {
            copy.BudgetRows = source.Rows;
        } else if (name == "kestrum_recurring") {
            copy.ScheduleRows = source.Rows;
        } else if (name == "kestrum_trash") {
            copy.TrashRows = source.Rows;
        }
    }
    return copy;
}

//! The source read as of one moment, whatever others write meanwhile.
void BeginReading(TDbDriver &source)
{
    if (IsServer(source)) {
        source.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
        CheckServerLedger(source);
    } else {
        source.Begin();
    }
}

TLedgerCopy CopyToServer(TDbDriver &source, const std::string &target)
{
    TPgDriver server(target);
    server.Begin();
    try {
        CreateServerTables(server);
        TLedgerCopy copy = CopyTablesOf(source, server);
        // New rows get ids after the copied ones.
        for (const char *table : {"gain", "expen", "kestrum_budget", "kestrum_recurring", "kestrum_trash"})
            server.Exec(std::string("SELECT setval(pg_get_serial_sequence('") + table +
                        "', 'id'), max(id)) FROM " + table);
        CreateServerTriggers(server);
        server.Commit();
        return copy;
    } catch (...) {
        if (server.InTransaction())
            server.Rollback();
        throw;
    }
}

//! Built beside the target under a temporary name and renamed into place
//! when complete, as a new ledger file is.
TLedgerCopy CopyToFile(TDbDriver &source, const std::string &target)
{
    const QString path = QString::fromStdString(target);
    if (QFileInfo::exists(path))
        throw EDbDriverError(TDbErrorKind::Other, "“" + target + "”已经存在，没有改动它。");
    const QString building = path + QStringLiteral(".part");
    if (QFileInfo::exists(building) && !QFile::remove(building))
        throw EDbDriverError(TDbErrorKind::Other, "无法建立“" + target + "”。");
    TLedgerCopy copy;
    try {
        {
            TSqliteDriver file(building.toStdString(), true);
            sqlite3 *db = file.Handle();
            file.Begin();
            file.Exec(LedgerSchemaSql);
            EnsureDateIndexes(db);
            EnsureTrash(file);
            EnsureBudgets(file);
            EnsureRecurring(file);
            copy = CopyTablesOf(source, file);
            // After the rows: they are where the ledger starts, not
            // something its user did and could undo.
            EnsureJournal(file);
            file.Commit();
        }
        if (!QFile::rename(building, path))
            throw EDbDriverError(TDbErrorKind::Other, "无法建立“" + target + "”。");
    } catch (...) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        throw;
    }
    return copy;
}

std::string Money(std::int64_t units)
{
    std::string text = UnitsText(units);
    return text.substr(0, text.size() - 2); // cents, as the ledger shows them
}

int Fail(const std::exception &e)
{
    std::fprintf(stderr, "kestrum-db: %s\n", e.what());
    return 1;
}

std::string Utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

} // namespace

TLedgerCopy CopyLedger(const std::string &source, const std::string &target)
{
    std::unique_ptr<TDbDriver> from = OpenDbDriver(source);
    BeginReading(*from);
    TLedgerCopy copy = IsServerTarget(target) ? CopyToServer(*from, target) : CopyToFile(*from, target);
    from->Rollback();
    return copy;
}

namespace tools {

bool IsServerCommand(const char *command, const QStringList &arguments)
{
    if (std::strcmp(command, "copy") == 0)
        return true;
    const bool onServer = !arguments.isEmpty() && IsServerTarget(Utf8(arguments.first()));
    return onServer && (std::strcmp(command, "init") == 0 || std::strcmp(command, "backup") == 0 ||
                        std::strcmp(command, "check") == 0);
}

int RunServerCommand(const char *command, const QStringList &arguments)
{
    const std::string name = command;
    try {
        if (name == "copy" || name == "backup") {
            if (arguments.size() != 2 && !(name == "backup" && arguments.size() == 1))
                return 2;
            const std::string source = Utf8(arguments[0]);
            std::string target;
            if (arguments.size() == 2) {
                target = Utf8(arguments[1]);
            } else {
                std::unique_ptr<TDbDriver> server = OpenDbDriver(source);
                auto database = server->Prepare("SELECT current_database()");
                database->Step();
                target = database->ColumnText(0) + "-backup-" +
                         Utf8(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))) +
                         ".mdb";
            }
            const TLedgerCopy copy = CopyLedger(source, target);
            std::printf(
                "copied %s to %s: %lld income entries (sum %s), %lld expense entries (sum %s), "
                "%lld budgets, %lld recurring entries, %lld entries in the trash; counts and sums checked\n",
                Shown(source).c_str(), Shown(target).c_str(), static_cast<long long>(copy.GainRows),
                Money(copy.GainSum).c_str(), static_cast<long long>(copy.ExpenRows),
                Money(copy.ExpenSum).c_str(), static_cast<long long>(copy.BudgetRows),
                static_cast<long long>(copy.ScheduleRows), static_cast<long long>(copy.TrashRows));
            return 0;
        }
        if (arguments.size() != 1)
            return 2;
        TPgDriver server(Utf8(arguments[0]));
        if (name == "init") {
            CreateServerLedger(server);
            std::printf("created empty ledger on %s\n", Shown(Utf8(arguments[0])).c_str());
            return 0;
        }
        CheckServerLedger(server);
        std::printf("%s: usable ledger, format version %d\n", Shown(Utf8(arguments[0])).c_str(),
                    ServerLedgerVersion(server));
        return 0;
    } catch (const std::exception &e) {
        return Fail(e);
    }
}

} // namespace tools

} // namespace kestrum
