#include "ledger/Journal.h"

#include "core/Errors.h"
#include "ledger/JournalSql.h"
#include "ledger/ReplacedRows.h"

#include "db/DbDriver.h"

#include <QStringList>

#include <sqlite3.h>

#include <memory>

namespace kestrum {

namespace {

using namespace journal_sql;

// The ids are plain row ids, not AUTOINCREMENT: the journal only grows, and
// keeping a sequence would cost every write another update.
const char *const JournalTablesSql =
    "CREATE TABLE IF NOT EXISTS kestrum_journal_action ("
    "id INTEGER PRIMARY KEY, kind INTEGER NOT NULL DEFAULT 0, state INTEGER NOT NULL DEFAULT 0, "
    "target INTEGER, label TEXT, at TEXT);"
    // Only actions that can be redone are in here: finding the next one and
    // dropping them all when something new is done stay cheap.
    "CREATE INDEX IF NOT EXISTS kestrum_journal_action_undone ON kestrum_journal_action(id) WHERE state = 1;"
    // Holds a row only inside a transaction that opened an action.
    "CREATE TABLE IF NOT EXISTS kestrum_journal_open ("
    "id INTEGER PRIMARY KEY CHECK (id = 1), action_id INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS kestrum_journal ("
    "id INTEGER PRIMARY KEY, action_id INTEGER NOT NULL, tbl TEXT NOT NULL, row_id INTEGER NOT NULL, "
    "kind TEXT NOT NULL, "
    "old_amount, old_date, old_item, old_remark, new_amount, new_date, new_item, new_remark);"
    "CREATE INDEX IF NOT EXISTS kestrum_journal_by_action ON kestrum_journal(action_id);";

struct TLedgerTable {
    const char *Name;
    const char *Columns[4]; // amount, date, item, remark
    //! A table of ours that an older file lacks until it is opened: the
    //! journal is whole without it as long as it is absent.
    bool Optional = false;
};

const TLedgerTable LedgerTables[] = {{"gain", {"本次进帐", "进帐时间", "进帐人", "备注"}},
                                     {"expen", {"消费金额", "消费日期", "消费者", "备注"}},
                                     // Budgets undo and redo like entries: amount, month, item, kind.
                                     {"kestrum_budget", {"amount", "month", "item", "kind"}, true}};

// Each change has two triggers, of which exactly one fires: one for a
// write inside an open action, one for a write that is an action of its
// own. Their conditions are looked up once per row, which keeps a bulk
// insert inside one action down to the journal row itself.
const char *const TriggerSuffixes[] = {"insert",       "update",       "rekey",       "delete",
                                       "insert_alone", "update_alone", "rekey_alone", "delete_alone"};

std::string TriggerName(const TLedgerTable &table, const char *suffix)
{
    return std::string("kestrum_journal_") + table.Name + "_" + suffix;
}

//! The table's INTEGER PRIMARY KEY column when it has one and the four
//! ledger columns; empty otherwise. A server's tables are its own schema's,
//! keyed by id.
std::string JournalKey(TDbDriver &db, const TLedgerTable &table)
{
    if (OnServer(db))
        return TableExists(db, table.Name) ? "id" : "";
    Statement info =
        Prepare(db, std::string("SELECT name, type, pk FROM pragma_table_info('") + table.Name + "')");
    std::string key;
    int found = 0;
    while (info->Step()) {
        const std::string name = info->ColumnText(0);
        const std::string type = info->ColumnText(1);
        if (info->ColumnInt64(2) == 1 && sqlite3_stricmp(type.c_str(), "INTEGER") == 0)
            key = name;
        for (const char *column : table.Columns)
            if (name == column)
                ++found;
    }
    return found == 4 ? key : std::string();
}

bool TriggerExists(TDbDriver &db, const std::string &name)
{
    Statement find = Prepare(db, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
    find->BindText(1, name);
    return find->Step();
}

//! Triggers that a row may replace another through: an insert, and an
//! update that changes the key.
bool MayReplace(const char *suffix)
{
    return std::string(suffix).starts_with("insert") || std::string(suffix).starts_with("rekey");
}

//! Whether the trigger exists as this version writes it: files from before
//! the journal took replaced rows have insert and rekey triggers that miss them.
bool TriggerIsCurrent(TDbDriver &db, const TLedgerTable &table, const char *suffix)
{
    const std::string name = TriggerName(table, suffix);
    Statement find = Prepare(db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
    find->BindText(1, name);
    if (!find->Step())
        return false;
    return !MayReplace(suffix) || find->ColumnText(0).find(ReplacedRowsTable) != std::string::npos;
}

//! A write with no action open is an action of its own, and a new action
//! means nothing can be redone any more.
const char *const NewActionSql = "UPDATE kestrum_journal_action SET state = 2 WHERE state = 1;"
                                 "INSERT INTO kestrum_journal_action (kind, state, at) "
                                 "VALUES (0, 0, datetime('now', 'localtime'));";

//! The row's time is its action's: one transaction, one moment.
std::string JournalInsertSql(const TLedgerTable &table, const std::string &key, bool alone, char kind,
                             const char *before, const char *after)
{
    std::string columns = "action_id, tbl, row_id, kind";
    std::string values = std::string(alone ? "(SELECT max(id) FROM kestrum_journal_action)"
                                           : "(SELECT action_id FROM kestrum_journal_open)") +
                         ", '" + table.Name + "', " + (after ? after : before) + "." + Quoted(key) + ", '" +
                         kind + "'";
    const char *const names[] = {"amount", "date", "item", "remark"};
    for (int i = 0; i < 4; ++i) {
        if (before) {
            columns += std::string(", old_") + names[i];
            values += std::string(", ") + before + "." + Quoted(table.Columns[i]);
        }
        if (after) {
            columns += std::string(", new_") + names[i];
            values += std::string(", ") + after + "." + Quoted(table.Columns[i]);
        }
    }
    return "INSERT INTO kestrum_journal (" + columns + ") VALUES (" + values + ");";
}

//! The row that a REPLACE conflict took out of the way of NEW, as a
//! delete of the same action, journaled before the row that took its place.
std::string JournalReplacedSql(const TLedgerTable &table, const std::string &key, bool alone)
{
    return std::string("INSERT INTO kestrum_journal (action_id, tbl, row_id, kind, old_amount, old_date, "
                       "old_item, old_remark) SELECT ") +
           (alone ? "(SELECT max(id) FROM kestrum_journal_action)"
                  : "(SELECT action_id FROM kestrum_journal_open)") +
           ", '" + table.Name +
           "', row_id, 'D', amount, entry_date, item, remark FROM kestrum_replaced WHERE " +
           ReplacedRowCondition(table.Name, "NEW." + Quoted(key)) + ";";
}

std::string TriggerSql(const TLedgerTable &table, const std::string &key, const std::string &suffix)
{
    const bool alone = suffix.ends_with("_alone");
    const std::string event = alone ? suffix.substr(0, suffix.size() - 6) : suffix;
    const std::string head = "CREATE TRIGGER IF NOT EXISTS " + TriggerName(table, suffix.c_str());
    const std::string on = std::string(" ON ") + table.Name;
    const std::string k = Quoted(key);
    const std::string open = alone ? "NOT EXISTS (SELECT 1 FROM kestrum_journal_open)"
                                   : "EXISTS (SELECT 1 FROM kestrum_journal_open)";
    const std::string begin = std::string(" BEGIN ") + (alone ? NewActionSql : "");
    if (event == "insert")
        return head + " AFTER INSERT" + on + " WHEN " + open + begin + JournalReplacedSql(table, key, alone) +
               JournalInsertSql(table, key, alone, 'I', nullptr, "NEW") + " END";
    if (event == "update")
        return head + " AFTER UPDATE" + on + " WHEN OLD." + k + " = NEW." + k + " AND " + open + begin +
               JournalInsertSql(table, key, alone, 'U', "OLD", "NEW") + " END";
    if (event == "rekey") // a changed key: the old row went, a new one came
        return head + " AFTER UPDATE" + on + " WHEN OLD." + k + " <> NEW." + k + " AND " + open + begin +
               JournalReplacedSql(table, key, alone) +
               JournalInsertSql(table, key, alone, 'D', "OLD", nullptr) +
               JournalInsertSql(table, key, alone, 'I', nullptr, "NEW") + " END";
    return head + " AFTER DELETE" + on + " WHEN " + open + begin +
           JournalInsertSql(table, key, alone, 'D', "OLD", nullptr) + " END";
}

TJournalValue ColumnValueOf(sqlite3_stmt *s, int column)
{
    TJournalValue value;
    value.Type = sqlite3_column_type(s, column);
    switch (value.Type) {
    case SQLITE_INTEGER:
        value.Integer = sqlite3_column_int64(s, column);
        break;
    case SQLITE_FLOAT:
        value.Real = sqlite3_column_double(s, column);
        break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
        const void *bytes = value.Type == SQLITE_TEXT
                                ? static_cast<const void *>(sqlite3_column_text(s, column))
                                : sqlite3_column_blob(s, column);
        value.Bytes.assign(static_cast<const char *>(bytes), std::size_t(sqlite3_column_bytes(s, column)));
        break;
    }
    default:
        break;
    }
    return value;
}

TJournalValue ColumnValueOf(const TDbStatement &s, int column)
{
    TJournalValue value;
    switch (s.ColumnType(column)) {
    case TDbValueType::Integer:
        value.Type = SQLITE_INTEGER;
        value.Integer = s.ColumnInt64(column);
        break;
    case TDbValueType::Real:
        value.Type = SQLITE_FLOAT;
        value.Real = s.ColumnDouble(column);
        break;
    case TDbValueType::Text:
    case TDbValueType::DateTime:
        value.Type = SQLITE_TEXT;
        value.Bytes = s.ColumnText(column);
        break;
    case TDbValueType::Blob:
        value.Type = SQLITE_BLOB;
        value.Bytes = s.ColumnBlob(column);
        break;
    case TDbValueType::Null:
        break;
    }
    return value;
}

//! An amount a server's journal keeps as its exact digits, as the number a
//! file's journal holds: labels read "8600.5", not "8600.5000".
void AmountAsNumber(TJournalValue &value)
{
    if (value.Type != SQLITE_TEXT)
        return;
    bool ok = false;
    const double number = QString::fromStdString(value.Bytes).toDouble(&ok);
    if (!ok)
        return;
    value.Type = SQLITE_FLOAT;
    value.Real = number;
    value.Bytes.clear();
}

const char *const RowSelectSql =
    "SELECT j.id, j.action_id, coalesce(a.kind, 0), coalesce(a.target, 0), j.tbl, j.row_id, j.kind, a.at, "
    "j.old_amount, j.old_date, j.old_item, j.old_remark, j.new_amount, j.new_date, j.new_item, j.new_remark "
    "FROM kestrum_journal j LEFT JOIN kestrum_journal_action a ON a.id = j.action_id ";

TJournalRow ReadRow(const TDbStatement &s, bool server)
{
    TJournalRow row;
    row.Id = s.ColumnInt64(0);
    row.Action = s.ColumnInt64(1);
    row.ActionKind = static_cast<TJournalActionKind>(s.ColumnInt64(2));
    row.ActionTarget = s.ColumnInt64(3);
    row.Table = Text(s, 4);
    row.Row = s.ColumnInt64(5);
    const std::string kind = s.ColumnText(6);
    row.Kind = TJournalKind(kind.empty() ? 'U' : kind[0]);
    row.Time = Text(s, 7);
    for (int i = 0; i < 4; ++i) {
        row.Before[i] = ColumnValueOf(s, 8 + i);
        row.After[i] = ColumnValueOf(s, 12 + i);
    }
    if (server) {
        AmountAsNumber(row.Before[0]);
        AmountAsNumber(row.After[0]);
    }
    return row;
}

} // namespace

TJournalValue JournalColumnValue(sqlite3_stmt *statement, int column)
{
    return ColumnValueOf(statement, column);
}

TJournalValue JournalColumnValue(const TDbStatement &statement, int column)
{
    return ColumnValueOf(statement, column);
}

void BindJournalValue(sqlite3_stmt *statement, int parameter, const TJournalValue &value)
{
    switch (value.Type) {
    case SQLITE_INTEGER:
        sqlite3_bind_int64(statement, parameter, value.Integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_bind_double(statement, parameter, value.Real);
        break;
    case SQLITE_TEXT:
        sqlite3_bind_text(statement, parameter, value.Bytes.data(), int(value.Bytes.size()),
                          SQLITE_TRANSIENT);
        break;
    case SQLITE_BLOB:
        sqlite3_bind_blob(statement, parameter, value.Bytes.data(), int(value.Bytes.size()),
                          SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(statement, parameter);
        break;
    }
}

bool JournalTableOf(TDbDriver &db, const QString &table, TJournalTable &info)
{
    for (const TLedgerTable &ledger : LedgerTables) {
        if (table != QString::fromUtf8(ledger.Name))
            continue;
        info.Key = JournalKey(db, ledger);
        for (int i = 0; i < 4; ++i)
            info.Columns[i] = ledger.Columns[i];
        return !info.Key.empty();
    }
    return false;
}

bool HasJournal(TDbDriver &db)
{
    // A server's schema has its triggers from the start.
    if (OnServer(db))
        return TableExists(db, "kestrum_journal");
    for (const TLedgerTable &table : LedgerTables) {
        if (table.Optional && JournalKey(db, table).empty())
            continue;
        for (const char *suffix : TriggerSuffixes)
            if (!TriggerExists(db, TriggerName(table, suffix)))
                return false;
    }
    return true;
}

bool JournalIsCurrent(TDbDriver &db)
{
    if (OnServer(db))
        return HasJournal(db);
    for (const TLedgerTable &table : LedgerTables) {
        if (table.Optional && JournalKey(db, table).empty())
            continue;
        if (!ReplacedRowsSetupSql(db, table.Name, table.Columns).empty())
            return false;
        for (const char *suffix : TriggerSuffixes)
            if (!TriggerIsCurrent(db, table, suffix))
                return false;
    }
    return true;
}

void EnsureJournal(TDbDriver &db)
{
    if (OnServer(db)) {
        // The schema is kestrum-db init's; only triggers set aside in this
        // transaction come back.
        if (db.InTransaction())
            Exec(db, "SELECT set_config('kestrum.journal_paused', '', true)");
        return;
    }
    if (ReadOnlyFile(db) || JournalIsCurrent(db))
        return;
    // A savepoint works alone and inside a caller's transaction alike.
    Exec(db, "SAVEPOINT kestrum_journal_setup");
    try {
        Exec(db, JournalTablesSql);
        for (const TLedgerTable &table : LedgerTables) {
            const std::string key = JournalKey(db, table);
            if (key.empty())
                continue; // not a ledger table: nothing here could be undone
            for (const std::string &sql : ReplacedRowsSetupSql(db, table.Name, table.Columns))
                Exec(db, sql);
            for (const char *suffix : TriggerSuffixes) {
                if (!TriggerIsCurrent(db, table, suffix))
                    Exec(db, "DROP TRIGGER IF EXISTS " + TriggerName(table, suffix));
                Exec(db, TriggerSql(table, key, suffix));
            }
        }
        Exec(db, "RELEASE kestrum_journal_setup");
    } catch (...) {
        sqlite3_exec(FileHandle(db), "ROLLBACK TO kestrum_journal_setup; RELEASE kestrum_journal_setup",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

void DropJournalTriggers(TDbDriver &db)
{
    if (OnServer(db)) {
        // Dropping a trigger would lock every other writer out; a setting of
        // this transaction makes the triggers pass over its writes instead.
        Exec(db, "SELECT set_config('kestrum.journal_paused', 'on', true)");
        return;
    }
    for (const TLedgerTable &table : LedgerTables)
        for (const char *suffix : TriggerSuffixes)
            Exec(db, "DROP TRIGGER IF EXISTS " + TriggerName(table, suffix));
}

void JournalInsertedRows(TDbDriver &db, const QString &table, std::int64_t afterKey)
{
    for (const TLedgerTable &ledger : LedgerTables) {
        if (table != QString::fromUtf8(ledger.Name))
            continue;
        const std::string key = JournalKey(db, ledger);
        if (key.empty())
            return;
        std::string sql;
        if (OnServer(db)) {
            // The server's journal keeps values as text, dates as a file writes them.
            const bool timestamp = !ledger.Optional;
            sql = std::string(
                      "INSERT INTO kestrum_journal (action_id, tbl, row_id, kind, new_amount, new_date, "
                      "new_item, new_remark) SELECT ") +
                  OpenActionSql(db) + ", '" + ledger.Name + "', NEW.id, 'I', NEW." +
                  Quoted(ledger.Columns[0]) + "::text, " +
                  (timestamp ? "kestrum_time_text(NEW." + Quoted(ledger.Columns[1]) + ")"
                             : "NEW." + Quoted(ledger.Columns[1]) + "::text") +
                  ", NEW." + Quoted(ledger.Columns[2]) + "::text, NEW." + Quoted(ledger.Columns[3]) +
                  "::text FROM " + ledger.Name + " AS NEW WHERE NEW.id > ?1 ORDER BY NEW.id";
        } else {
            // The trigger's own statement, reading every new row at once.
            sql = JournalInsertSql(ledger, key, false, 'I', nullptr, "NEW");
            const std::size_t values = sql.find(" VALUES (");
            sql = sql.substr(0, values) + " SELECT " + sql.substr(values + 9, sql.size() - values - 9 - 2) +
                  " FROM " + ledger.Name + " AS NEW WHERE NEW." + Quoted(key) + " > ?1 ORDER BY NEW." +
                  Quoted(key);
        }
        Statement insert = Prepare(db, sql);
        insert->BindInt64(1, afterKey);
        Run(*insert);
        return;
    }
}

std::vector<TJournalRow> ReadActionRows(TDbDriver &db, std::int64_t action)
{
    Statement select = Prepare(db, std::string(RowSelectSql) + "WHERE j.action_id = ?1 ORDER BY j.id");
    select->BindInt64(1, action);
    const bool server = OnServer(db);
    std::vector<TJournalRow> rows;
    while (select->Step())
        rows.push_back(ReadRow(*select, server));
    return rows;
}

void ForEachJournalRow(TDbDriver &db, bool newestFirst, const std::function<bool(const TJournalRow &)> &row)
{
    if (!TableExists(db, "kestrum_journal"))
        return;
    Statement select =
        Prepare(db, std::string(RowSelectSql) + "ORDER BY j.id " + (newestFirst ? "DESC" : "ASC"));
    const bool server = OnServer(db);
    while (select->Step())
        if (!row(ReadRow(*select, server)))
            return;
}

std::int64_t OpenJournalAction(TDbDriver &db, const QString &label, TJournalActionKind kind,
                               std::int64_t target)
{
    if (!db.InTransaction())
        throw Exception("a journal action opens only inside a write transaction");
    if (OnServer(db)) {
        Statement open = Prepare(
            db, "SELECT kestrum_open_action(CAST(?1 AS integer), CAST(?2 AS bigint), CAST(?3 AS text))");
        open->BindInt64(1, static_cast<int>(kind));
        open->BindInt64(2, target);
        BindText(*open, 3, label);
        return open->Step() ? open->ColumnInt64(0) : 0;
    }
    if (kind == TJournalActionKind::Do)
        Exec(db, "UPDATE kestrum_journal_action SET state = 2 WHERE state = 1");
    Statement insert = db.PrepareInsert("INSERT INTO kestrum_journal_action (kind, state, target, label, at) "
                                        "VALUES (?1, ?2, ?3, ?4, datetime('now', 'localtime'))",
                                        "id");
    insert->BindInt64(1, static_cast<int>(kind));
    insert->BindInt64(2, kind == TJournalActionKind::Do ? 0 : 3);
    if (target != 0)
        insert->BindInt64(3, target);
    if (!label.isEmpty())
        BindText(*insert, 4, label);
    Run(*insert);
    const std::int64_t action = db.LastInsertId();
    Statement open =
        Prepare(db, "INSERT OR REPLACE INTO kestrum_journal_open (id, action_id) VALUES (1, ?1)");
    open->BindInt64(1, action);
    Run(*open);
    return action;
}

void CloseJournalAction(TDbDriver &db)
{
    if (OnServer(db)) {
        Exec(db, "SELECT kestrum_close_action()");
        return;
    }
    // An action that wrote nothing (an import of an empty file) is nothing
    // to undo.
    Exec(db, "DELETE FROM kestrum_journal_action WHERE id = (SELECT action_id FROM kestrum_journal_open) "
             "AND NOT EXISTS (SELECT 1 FROM kestrum_journal WHERE action_id = "
             "(SELECT action_id FROM kestrum_journal_open))");
    Exec(db, "DELETE FROM kestrum_journal_open");
}

void SetJournalActionLabel(TDbDriver &db, const QString &label)
{
    Statement update = Prepare(db, std::string("UPDATE kestrum_journal_action SET label = ?1 WHERE id = ") +
                                       OpenActionSql(db));
    BindText(*update, 1, label);
    Run(*update);
}

QString JournalKindWord(TJournalKind kind)
{
    switch (kind) {
    case TJournalKind::Insert:
        return QString::fromUtf8("录入");
    case TJournalKind::Update:
        return QString::fromUtf8("修改");
    case TJournalKind::Delete:
        return QString::fromUtf8("删除");
    }
    return {};
}

QString JournalAmountText(const TJournalValue &value)
{
    double amount = 0;
    if (value.Type == SQLITE_INTEGER)
        return QString::number(value.Integer);
    if (value.Type == SQLITE_FLOAT)
        amount = value.Real;
    else if (value.Type == SQLITE_TEXT)
        return QString::fromStdString(value.Bytes);
    else
        return {};
    QString text = QString::number(amount, 'f', 2);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString JournalActionLabel(const std::vector<TJournalRow> &rows)
{
    if (rows.empty())
        return {};
    if (rows.size() == 1) {
        const TJournalRow &row = rows.front();
        const TJournalValue *values = row.Kind == TJournalKind::Delete ? row.Before : row.After;
        QStringList parts{JournalKindWord(row.Kind)};
        if (values[2].Type == SQLITE_TEXT && !values[2].Bytes.empty())
            parts.append(QString::fromStdString(values[2].Bytes));
        const QString amount = JournalAmountText(values[0]);
        if (!amount.isEmpty())
            parts.append(amount);
        return parts.join(' ');
    }
    bool oneKind = true;
    for (const TJournalRow &row : rows)
        oneKind = oneKind && row.Kind == rows.front().Kind;
    const QString word = oneKind ? JournalKindWord(rows.front().Kind) : QString::fromUtf8("更改");
    return word + ' ' + QString::number(rows.size()) + QString::fromUtf8(" 条纪录");
}

QString JournalHistoryLine(const TJournalRow &row)
{
    QString action = QString::number(row.Action);
    if (row.ActionKind == TJournalActionKind::Undo)
        action += QString::fromUtf8(" 撤销#") + QString::number(row.ActionTarget);
    else if (row.ActionKind == TJournalActionKind::Redo)
        action += QString::fromUtf8(" 重做#") + QString::number(row.ActionTarget);
    const TJournalValue *values = row.Kind == TJournalKind::Delete ? row.Before : row.After;
    const QString item = values[2].Type == SQLITE_TEXT ? QString::fromStdString(values[2].Bytes) : QString();
    return QStringList{row.Time,
                       QString::fromUtf8("操作") + action,
                       JournalKindWord(row.Kind),
                       row.Table,
                       QString::number(row.Row),
                       item.isEmpty() ? QStringLiteral("-") : item,
                       JournalAmountText(values[0]).isEmpty() ? QStringLiteral("-")
                                                              : JournalAmountText(values[0])}
        .join(QStringLiteral("  "));
}

} // namespace kestrum
